#include "private_bus.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_support.h"

namespace qv::test {

PrivateBus::PrivateBus(const std::string& dir, const std::string& type)
    : socket_(dir + "/" + type + "_bus_socket"),
      variable_(type == "system" ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS") {
  const std::string config = dir + "/" + type + "-bus.conf";
  WriteFile(config, "<busconfig><type>" + type + "</type><listen>unix:path=" + socket_ +
                        "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow "
                        "user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/><allow "
                        "receive_sender=\"*\"/></policy></busconfig>\n");
  pid_ = ::fork();
  if (pid_ == 0) {
    const std::string arg = "--config-file=" + config;
    ::execl("/usr/bin/dbus-daemon", "dbus-daemon", arg.c_str(), "--nofork", "--nopidfile",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 500 && !FileExists(socket_); ++i)
    usleep(10000);
  ::setenv(variable_.c_str(), Address().c_str(), 1);
}

PrivateBus::~PrivateBus() {
  ::unsetenv(variable_.c_str());
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

BusService::BusService(const std::string& address, const char* name, const char* path,
                       const char* interface, const sd_bus_vtable* vtable, void* self) {
  sd_bus_new(&bus_);
  sd_bus_set_address(bus_, address.c_str());
  sd_bus_set_bus_client(bus_, 1);
  started_ = sd_bus_start(bus_) >= 0 &&
             sd_bus_add_object_vtable(bus_, nullptr, path, interface, vtable, self) >= 0 &&
             sd_bus_request_name(bus_, name, 0) >= 0;
  thread_ = std::thread([this] {
    while (!stop_) {
      while (sd_bus_process(bus_, nullptr) > 0) {
      }
      sd_bus_wait(bus_, 20000);
    }
  });
}

BusService::~BusService() {
  stop_ = true;
  thread_.join();
  sd_bus_flush_close_unref(bus_);
}

}  // namespace qv::test
