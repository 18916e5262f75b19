// One instance at a time: an exclusive lock on a file named after the
// executable in the user's runtime directory, held for the life of the process.
#pragma once

#include <string>

namespace qv {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock for `name`; false when another
  // process holds it (this one must exit).
  bool Acquire(const std::string& name);
  void Release();
  // $XDG_RUNTIME_DIR/<name>.lock, or /tmp/<name>-<uid>.lock without one.
  static std::string LockPath(const std::string& name);

 private:
  int fd_ = -1;
};

}  // namespace qv
