// Walks the registered records of a data file image with the bytes each
// record has in the file, so the catalogue keeps them exactly as imported.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "data/data_file.h"
#include "data/measure_data.h"

namespace qv::catalog {

// One registered record as read (V1 point and average voltage 3 as every
// reader of the file gets them) and its bytes in the file: `head` from the
// first ID part through the point count, `points` the point series
// (kPointBytes per point).
struct ScannedRecord {
  const CMeasureData& record;
  std::string_view head;
  std::string_view points;
};

// Reads the data file image `bytes` as ReadDataFile does (the same versions,
// counts and checks, the same refusal texts) and hands every registered
// record to `fn` in file order, one reused record at a time. `fn` returns
// false to stop; the result is then kNone with `stopped` set. A file
// refused or found damaged may have handed some records to `fn` before:
// callers that must take a file whole or not at all collect them first.
DataFileReadResult ScanDataFile(std::string_view bytes, const Avg3Range& range,
                                const std::function<bool(const ScannedRecord&)>& fn,
                                bool* stopped = nullptr);

// A data file (full form, version "101") of an empty current measurement and
// the given registered records' bytes, each head followed by its points.
struct RecordBytes {
  std::string head;
  std::string points;
};
std::string DataFileOfRecordBytes(const std::vector<RecordBytes>& records);

// Writes `r` into `buffer` (replacing what it held) as the data file holds it
// and returns views of its head and its points into `buffer`.
std::pair<std::string_view, std::string_view> WriteRecordBytes(const CMeasureData& r,
                                                               std::string& buffer);

}  // namespace qv::catalog
