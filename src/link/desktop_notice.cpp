#include "link/desktop_notice.h"

#include <systemd/sd-bus.h>

#include <cmath>
#include <cstdio>

#include "link/run_control.h"

namespace qv {
namespace {

constexpr uint64_t kAnswerTimeoutUs = 1000 * 1000;

// "容量 3985 mAh、放電時間 11分02秒"
std::string Figures(const CMeasureData& record) {
  const int t = record.GetDischargeTime();
  char text[160];
  std::snprintf(text, sizeof text, "容量 %.0f mAh、放電時間 %d分%02d秒",
                std::floor(record.GetCapacity(-1) + 0.5), t / 60, t % 60);
  return text;
}

// Notify(app_name, replaces_id, app_icon, summary, body, actions, hints,
// expire_timeout) on `bus`.
int CallNotify(sd_bus* bus, const DesktopNotice& notice) {
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.Notifications",
                                         "/org/freedesktop/Notifications",
                                         "org.freedesktop.Notifications", "Notify");
  if (r >= 0)
    r = sd_bus_message_append(call, "susss", "Quorvex", 0u, "quorvex", notice.summary.c_str(),
                              notice.body.c_str());
  if (r >= 0) r = sd_bus_message_append(call, "as", 0);
  if (r >= 0)
    r = sd_bus_message_append(call, "a{sv}", 2, "desktop-entry", "s", "quorvex", "category", "s",
                              "transfer.complete");
  if (r >= 0) r = sd_bus_message_append(call, "i", -1);
  if (r >= 0) {
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* reply = nullptr;
    r = sd_bus_call(bus, call, kAnswerTimeoutUs, &error, &reply);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
  }
  sd_bus_message_unref(call);
  return r;
}

}  // namespace

DesktopNotice RunEndNotice(RunResult result, const CMeasureData& record) {
  const char* how = nullptr;
  switch (result) {
    case RunResult::kNoRun:
      return {};
    case RunResult::kCommFailure:
      how = "通信エラーのため計測を中断しました。";
      break;
    case RunResult::kPassLimit:
      how = "計測を終了しました。";
      break;
    case RunResult::kInstrumentStopped:
      if (!CRunControl::EmergencyCause(record).empty())
        how = "緊急停止されました。";
      else if (!record.IsEmpty() && record.GetVoltage(-1) <= record.endVoltage)
        how = "終止電圧に達しました。";
      else
        how = "終止電圧の前に停止しました。";
      break;
  }
  return {"Quorvex：放電と計測の終了", std::string(how) + Figures(record)};
}

bool SendDesktopNotice(const DesktopNotice& notice) {
  if (notice.summary.empty()) return false;
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return false;
  const int r = CallNotify(bus, notice);
  sd_bus_flush_close_unref(bus);
  return r >= 0;
}

}  // namespace qv
