// The notice at the end of a run, as a stand-in notification service on a
// private session bus receives it.
#include "link/desktop_notice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "private_bus.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

// Owns org.freedesktop.Notifications and records every Notify as
// "app|replaces|icon|summary|body|actions|desktop-entry|timeout".
class StandInNotifications {
 public:
  explicit StandInNotifications(const std::string& address)
      : service_(address, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                 "org.freedesktop.Notifications", kVtable, this) {}
  bool Started() const { return service_.Started(); }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> g(mu_);
    return calls_;
  }

 private:
  static int OnNotify(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* me = static_cast<StandInNotifications*>(self);
    const char *app = "", *icon = "", *summary = "", *body = "";
    uint32_t replaces = 99;
    sd_bus_message_read(m, "susss", &app, &replaces, &icon, &summary, &body);
    std::string actions;
    sd_bus_message_enter_container(m, 'a', "s");
    const char* a = nullptr;
    while (sd_bus_message_read(m, "s", &a) > 0)
      actions += a;
    sd_bus_message_exit_container(m);
    std::string entry;
    sd_bus_message_enter_container(m, 'a', "{sv}");
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
      const char* key = "";
      sd_bus_message_read(m, "s", &key);
      if (std::string(key) == "desktop-entry") {
        const char* v = "";
        sd_bus_message_read(m, "v", "s", &v);
        entry = v;
      } else {
        sd_bus_message_skip(m, "v");
      }
      sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    int32_t timeout = 0;
    sd_bus_message_read(m, "i", &timeout);
    {
      std::lock_guard<std::mutex> g(me->mu_);
      me->calls_.push_back(std::string(app) + "|" + std::to_string(replaces) + "|" + icon + "|" +
                           summary + "|" + body + "|" + actions + "|" + entry + "|" +
                           std::to_string(timeout));
    }
    return sd_bus_reply_method_return(m, "u", 7u);
  }
  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", OnNotify, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END};

  std::mutex mu_;
  std::vector<std::string> calls_;
  BusService service_;
};

// A measured record of `seconds` points falling from 8.0 V to `lastVolts`
// at 1 A, with the end voltage 6.0 V.
void Measured(CMeasureData& r, int seconds, double lastVolts) {
  r.cells = 6;
  r.endVoltage = 6.0;
  for (int t = 0; t <= seconds; ++t) {
    const double v = 8.0 - (8.0 - lastVolts) * t / seconds;
    r.AppendPoint({t, 20.0, v, 20000.0 * t / 3600.0, v});
  }
}

TEST(RunEndNotice, SaysHowTheRunEndedWithCapacityAndTime) {
  CMeasureData atEnd, early, none;
  Measured(atEnd, 662, 5.99);
  Measured(early, 125, 7.2);
  const struct {
    RunResult result;
    const CMeasureData& record;
    std::string body;
  } cases[] = {
      {RunResult::kInstrumentStopped, atEnd,
       "終止電圧に達しました。容量 3678 mAh、放電時間 11分02秒"},
      {RunResult::kInstrumentStopped, early,
       "終止電圧の前に停止しました。容量 694 mAh、放電時間 2分05秒"},
      {RunResult::kCommFailure, early,
       "通信エラーのため計測を中断しました。容量 694 mAh、放電時間 2分05秒"},
      {RunResult::kInstrumentStopped, none, "緊急停止されました。容量 0 mAh、放電時間 0分00秒"},
  };
  for (const auto& c : cases) {
    const DesktopNotice n = RunEndNotice(c.result, c.record);
    EXPECT_EQ(n.summary, "Quorvex：放電と計測の終了");
    EXPECT_EQ(n.body, c.body);
  }
  EXPECT_TRUE(RunEndNotice(RunResult::kNoRun, atEnd).summary.empty());
}

TEST(DesktopNotice, GoesToTheNotificationServiceOfTheSessionBus) {
  ASSERT_EQ(::access("/usr/bin/dbus-daemon", X_OK), 0) << "dbus-daemon is not installed";
  TempDir dir;
  PrivateBus bus(dir.path(), "session");
  {
    // A bus without the service: nothing is shown, and it says so.
    EXPECT_FALSE(SendDesktopNotice({"Quorvex：放電と計測の終了", "本文"}));
  }
  StandInNotifications service(bus.Address());
  ASSERT_TRUE(service.Started());
  EXPECT_TRUE(SendDesktopNotice({"Quorvex：放電と計測の終了", "終止電圧に達しました。"}));
  EXPECT_FALSE(SendDesktopNotice({}));
  EXPECT_THAT(service.Calls(),
              ElementsAre("Quorvex|0|quorvex|Quorvex：放電と計測の終了|終止電圧に達しました。||"
                          "quorvex|-1"));
}

TEST(DesktopNotice, WithoutASessionBusNothingHappens) {
  TempDir dir;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1);
  EXPECT_FALSE(SendDesktopNotice({"Quorvex：放電と計測の終了", "本文"}));
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace qv::test
