// Crash-safe replacement of a file. The new content is written into an
// unnamed temporary file in the target's folder (O_TMPFILE), given a
// temporary name, renamed over the target, so a crash, kill or full disk at
// any moment leaves the target either whole and old or whole and new. Where
// the file system has no unnamed files a named temporary file is used.
// Temporary names left by an earlier interrupted write of the same target are
// removed at the start of the next one. A symbolic link keeps pointing at the
// file it named: the file behind it is replaced.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qv {

struct SafeWriteResult {
  bool ok = false;
  int error = 0;  // errno of the failing step
};

enum class WriteSync {
  // The file is flushed to disk before the rename and the folder after it,
  // so a power cut cannot lose the new content or the rename (data files).
  kDurable,
  // No flushes: still atomic against a crash or kill of the process, and
  // fast enough to rewrite a small file many times in a row (settings).
  kAtomicOnly,
};

// Replaces the file at `path` with `bytes`. On failure the temporary file is
// removed and the target is untouched.
SafeWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                                    WriteSync sync = WriteSync::kDurable);

// Writes the new content of a file: gets the temporary file's descriptor and
// returns 0, or the errno of the failure (which ends the save). Content goes
// through WriteFully so that the test hook below applies.
using ContentWriter = std::function<int(int fd)>;

// Replaces the file at `path` with what `write` writes, streamed into the
// temporary file: no image of the whole file in memory. The same steps and
// guarantees as WriteFileAtomically; the file is synced after `write`
// returns, so a caller may hold a lock inside `write` without waiting for the
// disk under it.
SafeWriteResult WriteFileAtomicallyWith(const std::string& path, const ContentWriter& write,
                                        WriteSync sync = WriteSync::kDurable);

// Writes all `n` bytes at the descriptor's offset, retrying short writes and
// EINTR. False with errno set (ENOSPC for a write of nothing).
bool WriteFully(int fd, const void* data, size_t n);

// Opens a regular file for reading: its descriptor, or -1 with errno set
// (EISDIR, or EINVAL for another kind of file) when it is no regular file.
// Never waits: a FIFO in the file's place is refused at once (EINVAL).
int OpenRegularFile(const std::string& path);

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);
// Reads from `fd`'s offset to its end; false on a read error.
bool ReadWholeFd(int fd, std::string& out);

// Gives the open file `fd` (an unnamed O_TMPFILE file included) the name
// `path`; never replaces an existing file. False with errno set (EEXIST when
// the name is taken).
bool LinkFileAt(int fd, const std::string& path);

// The folder of `path`, "." for a bare name.
std::string FolderOrDot(const std::string& path);

// Syncs the folder `dir`, so that names made or changed in it survive a power
// cut. Failures are ignored: the files themselves are already synced.
void SyncDir(const std::string& dir);

// The prefix of the temporary names used for `path` (".<name>.qvtmp-").
std::string TempNamePrefix(const std::string& path);

// Test hook: every write through WriteFully fails like a full disk (ENOSPC)
// once the file holds `limit` bytes; a negative limit switches the hook off.
void SetSaveWriteLimitForTesting(long long limit);
// Test hook: use the named temporary file even where unnamed files work.
void SetSaveNamedTempForTesting(bool named);

// The folder and the file name of a path (split at the last '/'). The folder
// keeps no trailing '/' except for the root; a path without '/' has an empty folder.
std::string PathFolder(const std::string& path);
std::string PathFileName(const std::string& path);

}  // namespace qv
