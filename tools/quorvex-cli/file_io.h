// Reading and writing data files for the command-line tool, with the settings
// of "Dis.ini" in the working directory as the application uses them.
#pragma once

#include <string>

#include "core/app_state.h"
#include "data/data_file.h"
#include "data/measure_data.h"

namespace qv::cli {

struct LoadedFile {
  CMeasureData current;
  bool hasCurrent = false;  // false when the file held no current record
  RecordList records;
  std::string version;
};

// Loads settings from the working directory into `app`.
void LoadAppSettings(CAppState& app);

// Reads `path`. On failure prints the error (UTF-8) on stderr and returns the
// exit code: 2 for a missing file, 1 for one that cannot be read or is refused.
// With `namePath` a refused file's message begins with "<path>: " (a command
// that reads several files says which one).
int ReadDataFileAt(const std::string& path, const CAppState& app, LoadedFile& out,
                   bool namePath = false);

// Writes the full form atomically; prints the failure and returns 1 on error.
int WriteDataFileAt(const std::string& path, const CMeasureData& current,
                    const RecordList& records);

// Reads `in` and writes it to `out` in the full form, streamed record by
// record (the bytes of ReadDataFileAt then WriteDataFileAt, with one record in
// memory at a time). Prints a failure and returns its exit code as those two
// would: a read error before a write error, and `out` untouched on either.
int CopyDataFileAt(const std::string& in, const std::string& out, const CAppState& app);

}  // namespace qv::cli
