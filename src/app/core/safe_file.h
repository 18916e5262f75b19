// Crash-safe replacement of a file: the new content goes to a temporary file
// in the same folder, is flushed to disk, renamed over the target and the
// folder is flushed, so the target is always either the old or the new file.
#pragma once

#include <functional>
#include <string>

namespace qv {

struct SafeWriteResult {
  bool ok = false;
  int error = 0;  // errno of the failing step
};

// `write` gets the temporary file's descriptor and returns false on failure.
// On any failure the temporary file is removed and the target is untouched.
SafeWriteResult WriteFileAtomically(const std::string& path,
                                    const std::function<bool(int fd)>& write);

// Convenience: replaces the file with `bytes`.
SafeWriteResult WriteFileAtomically(const std::string& path, const std::string& bytes);

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace qv
