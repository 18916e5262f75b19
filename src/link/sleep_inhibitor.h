// Keeps the computer from going to sleep or idle while a run is active.
#pragma once

#include <memory>

namespace qv {

class ISleepInhibitor {
 public:
  virtual ~ISleepInhibitor() = default;
  // Takes the lock. False when it cannot be had (no system bus, no logind,
  // refused); the run then goes on without it and nothing is shown.
  virtual bool Acquire() = 0;
  // Gives the lock back; nothing happens when none is held.
  virtual void Release() = 0;
};

// systemd-logind's inhibitor lock, taken through the system bus with sd-bus:
// Inhibit("sleep:idle", "Quorvex", why, "block") returns a descriptor, and
// the lock lasts until it is closed. The bus is the one that
// DBUS_SYSTEM_BUS_ADDRESS names, otherwise the standard system bus. Acquire
// waits at most one second for logind's answer.
std::unique_ptr<ISleepInhibitor> MakeLogindInhibitor();

}  // namespace qv
