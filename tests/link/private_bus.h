// A D-Bus of the test's own and services that stand in for the system's on
// it: the sleep lock's logind and the desktop's notification service.
#pragma once

#include <sys/types.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <string>
#include <thread>

namespace qv::test {

// dbus-daemon with a bus of its own (`type` "system" or "session") in
// `dir`, named by DBUS_SYSTEM_BUS_ADDRESS or DBUS_SESSION_BUS_ADDRESS for as
// long as it lives.
class PrivateBus {
 public:
  PrivateBus(const std::string& dir, const std::string& type);
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  std::string Address() const { return "unix:path=" + socket_; }

 private:
  std::string socket_;
  std::string variable_;
  pid_t pid_ = -1;
};

// A connection to the bus at `address` that owns `name` and serves
// `vtable` (with `self` as its user data) at `path`, answered on a thread
// of its own until destruction.
class BusService {
 public:
  BusService(const std::string& address, const char* name, const char* path, const char* interface,
             const sd_bus_vtable* vtable, void* self);
  ~BusService();
  BusService(const BusService&) = delete;
  BusService& operator=(const BusService&) = delete;
  bool Started() const { return started_; }

 private:
  sd_bus* bus_ = nullptr;
  bool started_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace qv::test
