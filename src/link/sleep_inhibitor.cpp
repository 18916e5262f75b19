#include "link/sleep_inhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace qv {
namespace {

constexpr uint64_t kAnswerTimeoutUs = 1000 * 1000;

class CLogindInhibitor : public ISleepInhibitor {
 public:
  ~CLogindInhibitor() override { Release(); }

  bool Acquire() override {
    if (fd_ >= 0) return true;
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return false;
    sd_bus_set_method_call_timeout(bus, kAnswerTimeoutUs);
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.login1.Manager", "Inhibit", &error, &reply, "ssss",
                               "sleep:idle", "Quorvex", "放電と計測の実行中", "block");
    int fd = -1;
    // The descriptor belongs to the reply: keep a copy of it.
    if (r >= 0 && sd_bus_message_read(reply, "h", &fd) >= 0 && fd >= 0)
      fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
    return fd_ >= 0;
  }

  void Release() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<ISleepInhibitor> MakeLogindInhibitor() {
  return std::make_unique<CLogindInhibitor>();
}

}  // namespace qv
