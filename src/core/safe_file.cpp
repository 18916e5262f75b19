#include "core/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace qv {
namespace {

std::atomic<long long> g_writeLimit{-1};
std::atomic<bool> g_forceNamed{false};

// Removes temporary names an interrupted save of this target left behind.
void SweepStaleTemps(const std::string& dir, const std::string& prefix) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0)
      stale.push_back(name);
  }
  ::closedir(d);
  for (const auto& name : stale)
    ::unlink((dir + "/" + name).c_str());
}

std::string TempName(const std::string& dir, const std::string& prefix, unsigned attempt) {
  static std::atomic<unsigned> counter{0};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%ld-%u-%u", static_cast<long>(::getpid()), counter++, attempt);
  return dir + "/" + prefix + buf;
}

// Keeps the permissions an existing target had; a new file gets 0666 & ~umask
// (which an unnamed temporary file does not get by itself on every system).
void CopyMode(int fd, const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }
}

bool WriteAndSync(int fd, const ContentWriter& write, WriteSync sync, int& error) {
  if (const int e = write(fd); e != 0) {
    error = e;
    return false;
  }
  if (sync == WriteSync::kDurable && fsync(fd) != 0) {
    error = errno;
    return false;
  }
  return true;
}

// Gives the unnamed file a temporary name. False when the system cannot.
bool LinkUnnamed(int fd, const std::string& dir, const std::string& prefix, std::string& tmp,
                 int& error) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    tmp = TempName(dir, prefix, attempt);
    if (LinkFileAt(fd, tmp)) return true;
    if (errno == EEXIST) continue;
    error = errno;
    return false;
  }
  error = EEXIST;
  return false;
}

}  // namespace

bool LinkFileAt(int fd, const std::string& path) {
  if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
  // Without CAP_DAC_READ_SEARCH: through the descriptor's /proc name.
  const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

std::string FolderOrDot(const std::string& path) {
  std::string d = PathFolder(path);
  return d.empty() ? std::string(".") : d;
}

void SyncDir(const std::string& dir) {
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    ::close(dfd);
  }
}

std::string PathFolder(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string PathFileName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TempNamePrefix(const std::string& path) {
  return "." + PathFileName(path) + ".qvtmp-";
}

void SetSaveWriteLimitForTesting(long long limit) {
  g_writeLimit.store(limit);
}

void SetSaveNamedTempForTesting(bool named) {
  g_forceNamed.store(named);
}

bool WriteFully(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  // The test hook cuts the file at its limit and fails like a full disk.
  const long long limit = g_writeLimit.load();
  long long held = 0;
  if (limit >= 0) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    held = at > 0 ? static_cast<long long>(at) : 0;
  }
  while (n > 0) {
    size_t want = n;
    if (limit >= 0) {
      if (held >= limit) {
        errno = ENOSPC;
        return false;
      }
      want = std::min<size_t>(n, static_cast<size_t>(limit - held));
    }
    ssize_t w = ::write(fd, p, want);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
    held += w;
  }
  return true;
}

SafeWriteResult WriteFileAtomically(const std::string& target, std::string_view bytes,
                                    WriteSync sync) {
  return WriteFileAtomicallyWith(
      target,
      [bytes](int fd) {
        errno = 0;
        if (WriteFully(fd, bytes.data(), bytes.size())) return 0;
        return errno ? errno : EIO;
      },
      sync);
}

SafeWriteResult WriteFileAtomicallyWith(const std::string& target, const ContentWriter& write,
                                        WriteSync sync) {
  SafeWriteResult r;
  // A symbolic link keeps pointing at the file it named: the file behind it
  // is replaced, not the link.
  std::string path = target;
  struct stat lst {};
  if (::lstat(target.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      path = real;
      std::free(real);
    }
  }
  const std::string dir = FolderOrDot(path);
  const std::string prefix = TempNamePrefix(path);
  SweepStaleTemps(dir, prefix);

  std::string tmp;
  bool named = false;
  int fd = g_forceNamed.load() ? -1 : ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (g_forceNamed.load()) {
    // fall through to the named temporary file
  } else if (fd >= 0) {
    CopyMode(fd, path);
    if (!WriteAndSync(fd, write, sync, r.error)) {
      ::close(fd);  // the unnamed file disappears with its descriptor
      return r;
    }
    int linkError = 0;
    named = LinkUnnamed(fd, dir, prefix, tmp, linkError);
    ::close(fd);
    if (!named && linkError != EXDEV && linkError != EPERM && linkError != ENOENT &&
        linkError != EOPNOTSUPP) {
      r.error = linkError;
      return r;
    }
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    r.error = errno;
    return r;
  }

  if (!named) {
    // No unnamed files here: a named temporary file, removed on failure.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      tmp = TempName(dir, prefix, attempt);
      fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0 || errno != EEXIST) break;
    }
    if (fd < 0) {
      r.error = errno;
      return r;
    }
    CopyMode(fd, path);
    bool ok = WriteAndSync(fd, write, sync, r.error);
    if (::close(fd) != 0 && ok) {
      ok = false;
      r.error = errno;
    }
    if (!ok) {
      ::unlink(tmp.c_str());
      return r;
    }
  }

  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    r.error = errno;
    ::unlink(tmp.c_str());
    return r;
  }
  if (sync == WriteSync::kDurable) SyncDir(dir);
  r.ok = true;
  return r;
}

int OpenRegularFile(const std::string& path) {
  // Without O_NONBLOCK the open of a FIFO would wait for a writer forever.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    errno = error;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool ReadWholeFd(int fd, std::string& out) {
  struct stat st {};
  out.clear();
  if (fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<size_t>(n));
  }
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  const bool ok = ReadWholeFd(fd, out);
  ::close(fd);
  return ok;
}

}  // namespace qv
