// The sleep lock during a run, against a stand-in for systemd-logind on a
// private system bus (dbus-daemon) that the test starts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "link/run_control.h"
#include "link/sleep_inhibitor.h"
#include "link_fixture.h"

namespace qv::test {
namespace {

// dbus-daemon with a bus of its own in `dir`, named by DBUS_SYSTEM_BUS_ADDRESS
// for as long as it lives.
class PrivateBus {
 public:
  explicit PrivateBus(const std::string& dir) : socket_(dir + "/system_bus_socket") {
    const std::string config = dir + "/bus.conf";
    WriteFile(config,
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>system</type><listen>unix:path=" +
                  socket_ +
                  "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                  "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                  "<allow receive_sender=\"*\"/></policy></busconfig>\n");
    pid_ = ::fork();
    if (pid_ == 0) {
      const std::string arg = "--config-file=" + config;
      ::execl("/usr/bin/dbus-daemon", "dbus-daemon", arg.c_str(), "--nofork", "--nopidfile",
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    struct stat st {};
    for (int i = 0; i < 500 && ::stat(socket_.c_str(), &st) != 0; ++i)
      usleep(10000);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", Address().c_str(), 1);
  }
  ~PrivateBus() {
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  std::string Address() const { return "unix:path=" + socket_; }

 private:
  std::string socket_;
  pid_t pid_ = -1;
};

// Owns org.freedesktop.login1 and answers Inhibit as logind does: with the
// write end of a pipe whose closing ends the lock.
class StandInLogind {
 public:
  explicit StandInLogind(const std::string& address) {
    sd_bus_new(&bus_);
    sd_bus_set_address(bus_, address.c_str());
    sd_bus_set_bus_client(bus_, 1);
    sd_bus_negotiate_fds(bus_, 1);
    started_ = sd_bus_start(bus_) >= 0 &&
               sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/login1",
                                        "org.freedesktop.login1.Manager", kVtable, this) >= 0 &&
               sd_bus_request_name(bus_, "org.freedesktop.login1", 0) >= 0;
    thread_ = std::thread([this] {
      while (!stop_) {
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
        sd_bus_wait(bus_, 20000);
      }
    });
  }
  ~StandInLogind() {
    stop_ = true;
    thread_.join();
    sd_bus_flush_close_unref(bus_);
    if (held_ >= 0) ::close(held_);
  }

  bool Started() const { return started_; }
  // The arguments of every Inhibit call, joined by '|'.
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> g(mu_);
    return calls_;
  }
  // True while the lock handed out last is still held by its taker.
  bool Held() {
    std::lock_guard<std::mutex> g(mu_);
    struct pollfd p {
      held_, 0, 0
    };
    return held_ >= 0 && ::poll(&p, 1, 0) == 0;
  }

 private:
  static int OnInhibit(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* me = static_cast<StandInLogind*>(self);
    const char *what = "", *who = "", *why = "", *mode = "";
    sd_bus_message_read(m, "ssss", &what, &who, &why, &mode);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -errno;
    {
      std::lock_guard<std::mutex> g(me->mu_);
      me->calls_.push_back(std::string(what) + "|" + who + "|" + why + "|" + mode);
      if (me->held_ >= 0) ::close(me->held_);
      me->held_ = fds[0];
    }
    const int r = sd_bus_reply_method_return(m, "h", fds[1]);
    ::close(fds[1]);
    return r;
  }
  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Inhibit", "ssss", "h", OnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END};

  sd_bus* bus_ = nullptr;
  bool started_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mu_;
  std::vector<std::string> calls_;
  int held_ = -1;
};

class SleepLockTest : public LinkTest {
 protected:
  SleepLockTest() {
    Set("COMPORT", "1");
    Set("START_DIRECT", "1");
    run = std::make_unique<CRunControl>(*doc, ui);
    run->sleeper = Recorder();
  }
  ~SleepLockTest() override { run.reset(); }

  // A three-frame run; `atSecondFrame` runs while it is going.
  void Run(const std::function<void()>& atSecondFrame) {
    ScriptedInstrument inst(PortsDir(), 1);
    inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("LOAD", 1, 1.0, "1.290"),
                 FrameText("STOP", 200, 1.0, "1.000")});
    inst.atFrame[1] = atSecondFrame;
    run->frameHook = inst.FrameHook();
    ASSERT_EQ(run->StartCommand(), StartOutcome::kStarted);
    run->Join();
    EXPECT_EQ(run->LastRunResult(), kFrameStop);
    EXPECT_EQ(doc->Current().Points().size(), 3u);
  }

  FakeUi ui;
  std::unique_ptr<CRunControl> run;
};

TEST_F(SleepLockTest, LogindLockIsTakenAtTheStartAndReleasedAtTheEnd) {
  ASSERT_EQ(::access("/usr/bin/dbus-daemon", X_OK), 0) << "dbus-daemon is not installed";
  PrivateBus bus(dir.path());
  StandInLogind logind(bus.Address());
  ASSERT_TRUE(logind.Started());
  bool heldDuringRun = false;
  Run([&] { heldDuringRun = logind.Held(); });
  EXPECT_TRUE(heldDuringRun);
  EXPECT_FALSE(logind.Held());
  ASSERT_EQ(logind.Calls().size(), 1u);
  EXPECT_EQ(logind.Calls()[0], "sleep:idle|Quorvex|放電と計測の実行中|block");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SleepLockTest, ARunWithoutASystemBusGoesOnSilently) {
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1);
  EXPECT_FALSE(MakeLogindInhibitor()->Acquire());
  Run([] {});
  ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace qv::test
