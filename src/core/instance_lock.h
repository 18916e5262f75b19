// One instance per working folder: an exclusive lock on a file named after
// the executable and the folder in the user's runtime directory, held until
// Release (or the end of the process). Two folders are two stations, each
// with its own window; a second start in the same folder finds the lock held
// and hands its files to the window that holds it (core/open_request.h),
// whose socket has the same instance name.
#pragma once

#include <sys/types.h>

#include <string>

namespace qv {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process now holds the lock of `name` in `folder` (and has
  // written its process id into the lock file); false when another process
  // holds it. When no lock file can be made at all the answer is true: a
  // missing runtime directory must not keep the user out.
  bool Acquire(const std::string& name, const std::string& folder);
  void Release();

  // "<executable's base name>-<16 hex digits>": the digits are a hash of the
  // folder's canonical path (the path as given when it cannot be resolved),
  // so every spelling of one folder gives one name. An empty or dot name
  // becomes "quorvex".
  static std::string InstanceName(const std::string& name, const std::string& folder);
  // $XDG_RUNTIME_DIR/<instance name>.lock, or /tmp/<instance name>-<uid>.lock
  // without a runtime directory.
  static std::string LockPath(const std::string& name, const std::string& folder);
  // The process that holds the lock of `name` in `folder`; 0 when the lock is
  // free or its holder is not known.
  static pid_t Holder(const std::string& name, const std::string& folder);

 private:
  int fd_ = -1;
};

}  // namespace qv
