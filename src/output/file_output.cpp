#include "output/file_output.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace qv {
namespace {

// Writes all bytes, retrying short writes and interruptions; false on any
// error.
bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

OutputFileResult WriteOutputFile(const std::string& path,
                                 std::initializer_list<std::string_view> parts) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return OutputFileResult::kNotCreated;
  // Keeps other cooperating writers out while the file is written; a file
  // that cannot be locked is still written.
  ::flock(fd, LOCK_EX | LOCK_NB);
  bool ok = true;
  for (std::string_view part : parts) {
    if (!WriteAll(fd, part)) {
      ok = false;
      break;
    }
  }
  // A delayed write error shows up when the file is closed.
  if (::close(fd) != 0) ok = false;
  return ok ? OutputFileResult::kWritten : OutputFileResult::kFailed;
}

}  // namespace qv
