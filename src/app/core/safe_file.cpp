#include "app/core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qv {
namespace {

std::string DirName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

SafeWriteResult WriteFileAtomically(const std::string& path,
                                    const std::function<bool(int fd)>& write) {
  SafeWriteResult r;
  const std::string dir = DirName(path);
  std::string tmpl = dir + "/." + BaseName(path) + ".tmp-XXXXXX";
  int fd = mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) {
    r.error = errno;
    return r;
  }
  // Keep the permissions an existing target had; a new file gets 0666 & ~umask.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
  errno = 0;
  bool ok = write(fd);
  if (!ok) r.error = errno ? errno : EIO;
  if (ok && fsync(fd) != 0) {
    ok = false;
    r.error = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    r.error = errno;
  }
  if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) {
    ok = false;
    r.error = errno;
  }
  if (!ok) {
    ::unlink(tmpl.c_str());
    return r;
  }
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    ::close(dfd);
  }
  r.ok = true;
  return r;
}

SafeWriteResult WriteFileAtomically(const std::string& path, const std::string& bytes) {
  return WriteFileAtomically(path,
                             [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  out.clear();
  out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return ok;
}

}  // namespace qv
