#include "catalog/qd1_scan.h"

#include "data/archive.h"

namespace qv::catalog {
namespace {

void MarkDamaged(DataFileReadResult& r) {
  r.kind = DataFileError::kDamaged;
  r.error = DataFileCorruptText();
}

// The version and the current measurement (read and dropped). False, with
// the result set, for a refused or damaged file.
bool SkipHead(ArchiveReader& ar, const Avg3Range& range, DataFileReadResult& result) {
  result.version = ar.ReadText();
  if (!ar.ok()) {
    MarkDamaged(result);
    return false;
  }
  const std::string& v = result.version;
  const bool old = v == "100" || v == "100b";
  if (!old && v != "101" && v != "101b") {
    result.kind = DataFileError::kVersion;
    result.error = DataFileVersionText(v);
    return false;
  }
  int32_t count = 1;
  if (!old) {
    count = ar.ReadI32();
    if (count > 0 && !ar.CanHold(static_cast<uint64_t>(count), kMinRecordBytes)) {
      MarkDamaged(result);
      return false;
    }
  }
  for (int32_t i = 0; i < count; ++i) {
    CMeasureData current;
    if (!current.Read(ar, range)) {
      MarkDamaged(result);
      return false;
    }
    result.currentRecords = i + 1;
  }
  if (!ar.ok()) MarkDamaged(result);
  return ar.ok();
}

}  // namespace

DataFileReadResult ScanDataFile(std::string_view bytes, const Avg3Range& range,
                                const std::function<bool(const ScannedRecord&)>& fn,
                                bool* stopped) {
  if (stopped) *stopped = false;
  DataFileReadResult result;
  ArchiveReader ar(bytes.data(), bytes.size());
  if (!SkipHead(ar, range, result)) return result;
  const int32_t n = ar.ReadI32();
  if (!ar.ok() || (n > 0 && !ar.CanHold(static_cast<uint64_t>(n), kMinRecordBytes))) {
    MarkDamaged(result);
    return result;
  }
  CMeasureData rec;
  for (int32_t i = 0; i < n; ++i) {
    const size_t start = bytes.size() - ar.Remaining();
    rec.Reset();
    if (!rec.Read(ar, range)) {
      MarkDamaged(result);
      return result;
    }
    const size_t end = bytes.size() - ar.Remaining();
    const size_t pointBytes = rec.Points().size() * kPointBytes;
    const std::string_view whole = bytes.substr(start, end - start);
    const ScannedRecord scanned{rec, whole.substr(0, whole.size() - pointBytes),
                                whole.substr(whole.size() - pointBytes)};
    if (!fn(scanned)) {
      if (stopped) *stopped = true;
      return result;
    }
  }
  if (ar.Remaining() != 0) MarkDamaged(result);
  return result;
}

std::string DataFileOfRecordBytes(const std::vector<RecordBytes>& records) {
  std::string out;
  ArchiveWriter ar(&out);
  ar.WriteText(kVersionFull);
  ar.WriteI32(1);
  CMeasureData().Write(ar);
  ar.WriteI32(static_cast<int32_t>(records.size()));
  for (const RecordBytes& r : records) {
    ar.WriteBytes(r.head.data(), r.head.size());
    ar.WriteBytes(r.points.data(), r.points.size());
  }
  return out;
}

std::pair<std::string_view, std::string_view> WriteRecordBytes(const CMeasureData& r,
                                                               std::string& buffer) {
  buffer.clear();
  ArchiveWriter ar(&buffer);
  r.Write(ar);
  const size_t pointBytes = r.Points().size() * kPointBytes;
  const std::string_view whole(buffer);
  return {whole.substr(0, whole.size() - pointBytes), whole.substr(whole.size() - pointBytes)};
}

}  // namespace qv::catalog
