// The data file (".qd1") and backup file ("tmpdata.bak") format.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/measure_data.h"

namespace qv {

class ArchiveReader;
class ArchiveWriter;

using RecordList = std::vector<std::unique_ptr<CMeasureData>>;

inline constexpr char kVersionFull[] = "101";
inline constexpr char kVersionBackup[] = "101b";

enum class DataFileForm {
  kFull,    // "101": the current measurement and every registered record
  kBackup,  // "101b": the current measurement and the records not yet saved
};

struct DataFileReadResult {
  std::string error;    // CP932 text; empty on success
  std::string version;  // the version text read (also when it was refused)
  bool ok() const { return error.empty(); }
};

// Text shown when a file ends early or holds impossible lengths or counts.
std::string DataFileCorruptText();
// The refusal of an unsupported version, naming the version read.
std::string DataFileVersionText(const std::string& version);

// Reads a whole data file: the current measurement into `current` (which the
// caller has reset), registered records appended to `list` with their saved
// flag set to `savedFlag`. A file holding several current records (never
// written by this program) keeps the last of them. On an error the records
// read so far stay where they were put; callers that must not change anything
// read into fresh objects.
DataFileReadResult ReadDataFile(ArchiveReader& ar, CMeasureData& current, RecordList& list,
                                bool savedFlag, const Avg3Range& range);

// Writes the file in the given form. Saved flags are not changed here: the
// caller sets them once the file is safely on disk.
void WriteDataFile(ArchiveWriter& ar, const CMeasureData& current, const RecordList& list,
                   DataFileForm form);

// Convenience for tools and tests: the whole file as bytes.
std::string DataFileBytes(const CMeasureData& current, const RecordList& list, DataFileForm form);

}  // namespace qv
