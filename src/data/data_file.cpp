#include "data/data_file.h"

#include <cstdio>

#include "data/archive.h"
#include "data/codec.h"
#include "data/text_format.h"

namespace qv {

// The generic report for any damage: the reader cannot tell a file cut short
// from one whose lengths or counts are wrong, and the user's remedy is the same.
std::string DataFileCorruptText() {
  return Sj(
      "データファイルを読み込めません。\n\n（※　ファイルが途中で終わっているか、壊れています。）");
}

std::string DataFileVersionText(const std::string& version) {
  static const std::string kFormat =
      Sj("データファイルを読み込めません。\n\n（※　データファイルのバージョンが対応していません。\n"
         "読み込もうとしたファイルのバージョンは [ %s ] でしたが、\n"
         "このアプリケーションで扱えるバージョンは、[ %s ] または [ %s ] です。）");
  return Format(kFormat, version, kVersionFull, kVersionBackup);
}

namespace {

void MarkDamaged(DataFileReadResult& result) {
  result.kind = DataFileError::kDamaged;
  result.error = DataFileCorruptText();
}

// The version text and the current measurement. False, with the error set,
// when the file is refused or damaged.
bool ReadHead(ArchiveReader& ar, CMeasureData& current, const Avg3Range& range,
              DataFileReadResult& result) {
  result.version = ar.ReadText();
  if (!ar.ok()) {
    MarkDamaged(result);
    return false;
  }
  const std::string& v = result.version;
  bool old = v == "100" || v == "100b";
  if (!old && v != "101" && v != "101b") {
    result.kind = DataFileError::kVersion;
    result.error = DataFileVersionText(v);
    return false;
  }

  if (old) {
    if (!current.Read(ar, range)) {
      MarkDamaged(result);
      return false;
    }
    result.currentRecords = 1;
    return true;
  }
  // A count of 0 or less reads no record; one larger than the rest of the
  // file can hold is damage.
  int32_t count = ar.ReadI32();
  if (count > 0 && !ar.CanHold(static_cast<uint64_t>(count), kMinRecordBytes)) {
    MarkDamaged(result);
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (i == 0) {
      if (!current.Read(ar, range)) break;
      result.currentRecords = 1;
      continue;
    }
    // Further current records replace the first one whole.
    CMeasureData next;
    if (!next.Read(ar, range)) break;
    current = std::move(next);
    result.currentRecords = i + 1;
  }
  if (!ar.ok()) {
    MarkDamaged(result);
    return false;
  }
  return true;
}

// The registered-record count: 0 for a count of 0 or less, -1 (with the error
// set) for one the rest of the file cannot hold.
int32_t ReadRecordCount(ArchiveReader& ar, DataFileReadResult& result) {
  int32_t n = ar.ReadI32();
  if (!ar.ok() || (n > 0 && !ar.CanHold(static_cast<uint64_t>(n), kMinRecordBytes))) {
    MarkDamaged(result);
    return -1;
  }
  return n > 0 ? n : 0;
}

// Every file this program writes ends at its last record. Bytes left after
// what the counts describe mean a wrong count (one flipped to 0 or less hides
// the records after it) or a damaged file: reading it as good would lose
// those records on the next save.
bool EndsAtLastRecord(const ArchiveReader& ar, DataFileReadResult& result) {
  if (ar.Remaining() == 0) return true;
  MarkDamaged(result);
  return false;
}

}  // namespace

DataFileReadResult ReadDataFile(ArchiveReader& ar, CMeasureData& current, RecordList& list,
                                const Avg3Range& range) {
  DataFileReadResult result;
  if (!ReadHead(ar, current, range, result)) return result;
  const int32_t n = ReadRecordCount(ar, result);
  if (n < 0) return result;
  list.reserve(list.size() + static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    auto rec = std::make_unique<CMeasureData>();
    if (!rec->Read(ar, range)) {
      MarkDamaged(result);
      return result;
    }
    list.push_back(std::move(rec));
  }
  EndsAtLastRecord(ar, result);
  return result;
}

DataFileReadResult CopyDataFile(ArchiveReader& in, ArchiveWriter& out, CMeasureData& current,
                                const Avg3Range& range) {
  DataFileReadResult result;
  if (!ReadHead(in, current, range, result)) return result;
  out.WriteText(kVersionFull);
  out.WriteI32(1);
  current.Write(out);
  const int32_t n = ReadRecordCount(in, result);
  if (n < 0) return result;
  out.WriteI32(n);
  // One record, its point series reused from one record to the next.
  CMeasureData rec;
  for (int32_t i = 0; i < n; ++i) {
    rec.MutablePoints().clear();
    if (!rec.Read(in, range)) {
      MarkDamaged(result);
      return result;
    }
    rec.Write(out);
  }
  EndsAtLastRecord(in, result);
  return result;
}

void WriteDataFile(ArchiveWriter& ar, const CMeasureData& current, const RecordList& list,
                   DataFileForm form, const SavedTest& saved) {
  const bool backup = form == DataFileForm::kBackup;
  auto written = [&](const CMeasureData& r) { return !backup || !saved || !saved(r); };
  ar.WriteText(backup ? kVersionBackup : kVersionFull);
  ar.WriteI32(1);
  current.Write(ar);
  int32_t n = 0;
  for (const auto& r : list) {
    if (written(*r)) ++n;
  }
  ar.WriteI32(n);
  for (const auto& r : list) {
    if (written(*r)) r->Write(ar);
  }
}

int WriteDataFileTo(int fd, const CMeasureData& current, const RecordList& list, DataFileForm form,
                    const SavedTest& saved) {
  ArchiveWriter ar(fd);
  WriteDataFile(ar, current, list, form, saved);
  return ar.Flush() ? 0 : ar.error();
}

SafeWriteResult SaveDataFileAtomically(const std::string& path, const CMeasureData& current,
                                       const RecordList& list, DataFileForm form,
                                       const SavedTest& saved) {
  return WriteFileAtomicallyWith(
      path, [&](int fd) { return WriteDataFileTo(fd, current, list, form, saved); });
}

std::string DataFileBytes(const CMeasureData& current, const RecordList& list, DataFileForm form,
                          const SavedTest& saved) {
  std::string out;
  ArchiveWriter ar(&out);
  WriteDataFile(ar, current, list, form, saved);
  return out;
}

}  // namespace qv
