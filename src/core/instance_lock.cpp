#include "core/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace qv {
namespace {

std::string CanonicalFolder(const std::string& folder) {
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved)) return resolved;
  return folder;
}

// FNV-1a, 64 bits: stable across builds and versions, so an older and a
// newer program find each other's lock.
uint64_t Fnv1a(const std::string& bytes) {
  uint64_t h = 14695981039346656037ULL;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

}  // namespace

InstanceLock::~InstanceLock() {
  Release();
}

std::string InstanceLock::InstanceName(const std::string& name, const std::string& folder) {
  const size_t slash = name.find_last_of('/');
  std::string base = name.substr(slash == std::string::npos ? 0 : slash + 1);
  if (base.empty() || base == "." || base == "..") base = "quorvex";
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx",
                static_cast<unsigned long long>(Fnv1a(CanonicalFolder(folder))));
  return base + "-" + digits;
}

std::string InstanceLock::LockPath(const std::string& name, const std::string& folder) {
  const std::string instance = InstanceName(name, folder);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + instance + ".lock";
  return "/tmp/" + instance + "-" + std::to_string(getuid()) + ".lock";
}

bool InstanceLock::Acquire(const std::string& name, const std::string& folder) {
  Release();
  // O_NOFOLLOW: in a shared /tmp a planted link must not redirect the lock.
  int fd = ::open(LockPath(name, folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;  // no place for a lock: do not keep the user out
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  // The holder's process id, for the messages of a later start.
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
    // The lock holds without the id.
  }
  fd_ = fd;
  return true;
}

pid_t InstanceLock::Holder(const std::string& name, const std::string& folder) {
  const int fd = ::open(LockPath(name, folder).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return 0;
  pid_t pid = 0;
  if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n > 0) pid = static_cast<pid_t>(std::strtol(text, nullptr, 10));
    if (pid < 0) pid = 0;
  }
  ::close(fd);
  return pid;
}

void InstanceLock::Release() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace qv
