// Why this user may not open a serial device, and who holds one that is in
// use: the facts behind the hint that follows a failed open (port_list.h)
// and the marks of `quorvex-cli ports`.
//
// Permission comes from the device's owner, group and mode. A user who is
// not in the device's group needs to join it; one who is in it in the group
// database but not in this process (the session began before joining) needs
// to log in again; when the group cannot open the device either (or is
// root's), only a change of the device's owner or mode helps.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace qv {

struct DeviceAccess {
  std::string device;            // the file the path names, links resolved
  bool known = false;            // the device could be examined (stat)
  bool mayOpen = false;          // this process may read and write it
  std::string owner, group;      // names, or numbers without one
  unsigned mode = 0;             // st_mode
  bool groupMayOpen = false;     // the group has read and write permission
  bool groupInDatabase = false;  // the user is in the group in the group database
  bool groupInProcess = false;   // this process has the group
};

// Examines `path` for this process's user. Never fails: what cannot be
// read stays false or empty.
DeviceAccess InspectDevice(const std::string& path);

enum class AccessAdvice {
  kNone,          // the user may open it (or it could not be examined)
  kJoinGroup,     // join `group`, then log in again
  kLogInAgain,    // joined already; this session predates it
  kOwnerAndMode,  // the group does not help: the owner or mode must change
};
AccessAdvice AdviceFor(const DeviceAccess& access);

// "crw-rw----": the type letter and the nine permission bits of `mode`.
std::string ModeText(unsigned mode);

struct DeviceHolder {
  pid_t pid = 0;
  std::string program;  // /proc/<pid>/comm; empty when unreadable
};
// A process other than this one with `device` open, as far as /proc shows
// it (only the user's own processes, unless run as root); nothing when none
// is seen.
std::optional<DeviceHolder> FindHolder(const std::string& device);

}  // namespace qv
