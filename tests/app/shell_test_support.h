// Shared by the application-shell widget tests: the Qt application, sample
// data files, a started application in its own working folder, and a helper
// that answers the next modal dialog.
#pragma once

#include <gtest/gtest.h>

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/application.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "data/data_file.h"
#include "data/document.h"
#include "support/test_support.h"
#include "views/qt_app_env.h"

namespace qv::test::shell {

// Runs the event loop until `done` holds or `ms` have passed.
inline bool Pump(const std::function<bool()>& done, int ms = 5000) {
  return PumpUntil(done, ms);
}

// A measured record: `seconds` points from 8.0 V falling, ID and date set.
std::unique_ptr<CMeasureData> MakeRecord(int id1, int id2, int id3, int seconds, int day = 4);
// Fills the current measurement with points (an unregistered measurement).
void FillCurrent(CMeasureData& current, int seconds);
// Writes a data file with a measured current record and `records`.
void WriteSampleFile(const std::string& path, int records);

// Valid print settings with the default layout, an ID range 1-1-1 to
// 999-999-999, and the form and record choice given.
void StoreValidSettings(CSettingsStore& s, int form, int choice);

// Calls `answer` with the next modal widget that opens (a dialog or message
// box), once. Set it up before the command that opens the dialog.
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(QWidget*)> answer);
  ~ModalAnswer();
  bool Answered() const { return answered_; }

 private:
  std::function<void(QWidget*)> answer_;
  QTimer timer_;
  bool answered_ = false;
};

// The application started in a fresh working folder with a scripted user
// interface and without the splash.
struct StartedApp {
  explicit StartedApp(const std::optional<std::string>& file = std::nullopt,
                      std::string workDir = {});
  ~StartedApp();

  ui::CMainFrame& Frame() { return *app->Frame(); }
  CBrenlowDoc& Doc() { return app->Doc(); }
  CAppState& State() { return app->State(); }
  bool Enabled(int id) { return Frame().Action(id)->isEnabled(); }

  TempDir dir;
  FakeUi ui;
  // The desktop notices the application sent (none reach the desktop).
  std::vector<DesktopNotice> desktopNotices;
  std::unique_ptr<ui::CBrenlowApp> app;
};

}  // namespace qv::test::shell
