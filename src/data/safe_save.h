// Crash-safe replacement of a data file. The new content is written into an
// unnamed temporary file in the target's folder (O_TMPFILE), flushed to disk,
// given a temporary name, renamed over the target, and the folder is flushed.
// A crash, kill or full disk at any moment leaves the target either whole and
// old or whole and new; an unnamed temporary file vanishes with the process.
// Where the file system has no unnamed files, a named temporary file is used.
// Temporary names left by an earlier interrupted save of the same target are
// removed at the start of the next save.
#pragma once

#include <string>
#include <string_view>

#include "app/core/safe_file.h"

namespace qv {

SafeWriteResult SaveBytesAtomically(const std::string& path, std::string_view bytes);

// The prefix of the temporary names used for `path` (".<name>.qvtmp-").
std::string TempNamePrefix(const std::string& path);

// Test hook: every save fails like a full disk (ENOSPC) once `limit` bytes of
// the file have been written; a negative limit switches the hook off.
void SetSaveWriteLimitForTesting(long long limit);
// Test hook: use the named temporary file even where unnamed files work.
void SetSaveNamedTempForTesting(bool named);

// The folder and the file name of a path (split at the last '/'). The folder
// keeps no trailing '/' except for the root; a path without '/' has an empty folder.
std::string PathFolder(const std::string& path);
std::string PathFileName(const std::string& path);

}  // namespace qv
