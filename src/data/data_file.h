// The data file (".qd1") and backup file ("tmpdata.bak") format.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/safe_file.h"
#include "data/measure_data.h"

namespace qv {

class ArchiveReader;
class ArchiveWriter;

using RecordList = std::vector<std::unique_ptr<CMeasureData>>;

// Whether a registered record is already in a saved data file: the backup
// form leaves such records out. An empty function counts none as saved.
using SavedTest = std::function<bool(const CMeasureData&)>;

inline constexpr char kVersionFull[] = "101";
inline constexpr char kVersionBackup[] = "101b";

enum class DataFileForm {
  kFull,    // "101": the current measurement and every registered record
  kBackup,  // "101b": the current measurement and the records not yet saved
};

// Why a data file could not be read.
enum class DataFileError {
  kNone,
  kVersion,  // an unsupported version: nothing after the version text was read
  kDamaged,  // it ends early, holds impossible lengths or counts, or goes on
             // after its last record
};

struct DataFileReadResult {
  DataFileError kind = DataFileError::kNone;
  std::string error;    // CP932 text for the user; empty on success
  std::string version;  // the version text read (also when it was refused)
  // Current-measurement records the file held and that were read whole: 1 for
  // "100"/"100b" files, the stored count for "101"/"101b" files (0 when the
  // file held none and the receiving record was left as it was).
  int32_t currentRecords = 0;
  bool ok() const { return kind == DataFileError::kNone; }
};

// Text shown when a file ends early, holds impossible lengths or counts (a
// truncated file, a text length or a count running past the end) or holds
// bytes after its last record:
// "データファイルを読み込めません。\n\n（※　ファイルが途中で終わっているか、 壊れています。）" (the
// data file cannot be read; it ends early or is damaged).
std::string DataFileCorruptText();
// The refusal of an unsupported version, naming the version read.
std::string DataFileVersionText(const std::string& version);

// Reads a whole data file: the current measurement into `current` (which the
// caller has reset), registered records appended to `list`. Every record read
// gets its V1 point truncated to a multiple of 100 and average voltage 3
// recomputed with `range`.
//
// A file holding several current records (a count above 1, never written by
// this program) keeps the last of them whole: its fields and its points, not
// the points of all of them run together.
//
// A current-record, registered-record or point count of 0 or less reads no
// record (no point) and the read goes on.
//
// The file ends exactly at its last record, as every file this program
// writes does: bytes left after what the counts describe (one trailing byte,
// or the records a count flipped to 0 or less would hide) end the read with
// DataFileCorruptText(), after the records were read.
//
// Malformed input never crashes or over-allocates: every length and count is
// checked against what the input still holds before anything is allocated,
// and a count or length running past the end, or a truncation at any byte,
// ends the read with DataFileCorruptText(). On an error
// the records read so far stay where they were put; callers that must not
// change anything read into fresh objects.
DataFileReadResult ReadDataFile(ArchiveReader& ar, CMeasureData& current, RecordList& list,
                                const Avg3Range& range);

// Reads a data file from `in` and writes it to `out` in the full form, one
// registered record at a time through one reused record: the bytes that
// ReadDataFile followed by WriteDataFile (kFull) give, without holding the
// records in memory. `current` (reset by the caller) receives the current
// measurement. On a read error the result carries it as ReadDataFile would
// and `out` holds a partial file, which the caller discards.
DataFileReadResult CopyDataFile(ArchiveReader& in, ArchiveWriter& out, CMeasureData& current,
                                const Avg3Range& range);

// Writes the file in the given form; the backup form asks `saved` which
// records to leave out. Saved flags are not changed here: the caller sets
// them once the file is safely on disk.
void WriteDataFile(ArchiveWriter& ar, const CMeasureData& current, const RecordList& list,
                   DataFileForm form, const SavedTest& saved = {});

// Writes the file in the given form to the descriptor through a fixed buffer:
// 0, or the errno of the first failed write.
int WriteDataFileTo(int fd, const CMeasureData& current, const RecordList& list, DataFileForm form,
                    const SavedTest& saved = {});

// Replaces the file at `path` with the file in the given form, streamed into
// the crash-safe writer (core/safe_file.h): durable, and on failure the old
// file stays whole. Saved flags are not changed here.
SafeWriteResult SaveDataFileAtomically(const std::string& path, const CMeasureData& current,
                                       const RecordList& list, DataFileForm form,
                                       const SavedTest& saved = {});

// Convenience for tools and tests: the whole file as bytes.
std::string DataFileBytes(const CMeasureData& current, const RecordList& list, DataFileForm form,
                          const SavedTest& saved = {});

}  // namespace qv
