#include "core/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace qv {

InstanceLock::~InstanceLock() {
  Release();
}

std::string InstanceLock::LockPath(const std::string& name) {
  // The executable's base name; a path or an empty name still gives one file
  // name in the runtime directory.
  std::string base =
      name.substr(name.find_last_of('/') == std::string::npos ? 0 : name.find_last_of('/') + 1);
  if (base.empty() || base == "." || base == "..") base = "quorvex";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + base + ".lock";
  return "/tmp/" + base + "-" + std::to_string(getuid()) + ".lock";
}

bool InstanceLock::Acquire(const std::string& name) {
  Release();
  // O_NOFOLLOW: in a shared /tmp a planted link must not redirect the lock.
  int fd = ::open(LockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return true;  // no place for a lock: do not keep the user out
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void InstanceLock::Release() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace qv
