// The application object: the state, the document, the user interface and the
// main window, and the start-up sequence after the window system exists.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/qt_user_interface.h"
#include "core/app_state.h"
#include "data/document.h"
#include "link/desktop_notice.h"

namespace qv::ui {

class CMainFrame;
class CSplashWindow;

struct StartOptions {
  // The settings folder and working folder ("Dis.ini", "tmpdata.bak").
  std::string workDir;
  bool splash = true;
  // Messages and choosers go here instead of real dialogs (tests).
  IUserInterface* ui = nullptr;
  // Shows the desktop notice of a run that ended while the window was not
  // the active one; empty: the desktop's notification service
  // (SendDesktopNotice).
  std::function<bool(const DesktopNotice&)> sendNotice = nullptr;
};

// Process-wide settings made once the QApplication exists: numbers in the C
// library's format (Qt switches it to the user's locale; the core formats and
// reads numbers with it), the application's name, and Qt's Japanese texts and
// locale (sizes and dates of its dialogs).
void SetUpApplication();

// The Japanese gothic face as the window font. It loads the font database,
// so start-up sets it once the main window is mapped (CBrenlowApp::Start).
void SetApplicationFont();

// The program's icon in every size for its windows and the task bar. It
// decodes the pictures, so start-up sets it once the main window is up.
void SetApplicationIcon();

// The data file named on the command line: the first argument after the
// program's name other than --desktop, or nothing.
std::optional<std::string> CommandLineFile(const QStringList& arguments);

class CBrenlowApp {
 public:
  explicit CBrenlowApp(StartOptions options);
  ~CBrenlowApp();
  CBrenlowApp(const CBrenlowApp&) = delete;
  CBrenlowApp& operator=(const CBrenlowApp&) = delete;

  // Sets the window font, builds and shows the main window (with the splash:
  // the bare window first, its contents from the event loop), shows the
  // splash, then opens the data file named on the command line, runs the
  // settings write probe and recovers an interrupted run from its journal
  // (after the splash has gone, so their messages are not hidden behind it).
  void Start(const std::optional<std::string>& file);

  CAppState& State() { return state_; }
  CBrenlowDoc& Doc() { return doc_; }
  IUserInterface& Ui() { return *ui_; }
  CMainFrame* Frame() const { return frame_.get(); }
  bool StartupDone() const { return startupDone_; }

 private:
  void FinishStartup(const std::optional<std::string>& file);
  // A run that ends while the window is not in front gets a desktop notice.
  void NoticeRunEndsWhileAway();

  StartOptions options_;
  CAppState state_;
  CBrenlowDoc doc_{state_};
  QtUserInterface qtUi_;
  IUserInterface* ui_ = nullptr;
  std::unique_ptr<CMainFrame> frame_;
  bool startupDone_ = false;
};

}  // namespace qv::ui
