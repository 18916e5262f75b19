// Desktop notifications: a short notice that a run has ended, shown by the
// desktop's notification service while the window is not in front.
#pragma once

#include <string>

#include "data/measure_data.h"
#include "link/analyzer_link.h"

namespace qv {

struct DesktopNotice {
  std::string summary, body;  // UTF-8; an empty summary is no notice
};

// The notice of a finished run: how it ended (the end voltage reached, an
// emergency stop, stopped before the end voltage, a communication failure)
// with the measurement's capacity and discharge time. No notice for
// kNoRun, when no run took place.
DesktopNotice RunEndNotice(RunResult result, const CMeasureData& record);

// Shows `notice` through the freedesktop notification service on the
// session bus (org.freedesktop.Notifications.Notify, application "Quorvex",
// icon and desktop entry "quorvex"). The bus is the one
// DBUS_SESSION_BUS_ADDRESS names, otherwise the user's bus. Waits at most
// one second for the answer. False, with nothing shown, when there is no
// session bus or no notification service, or the notice is empty.
bool SendDesktopNotice(const DesktopNotice& notice);

}  // namespace qv
