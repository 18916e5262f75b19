// The discharge run in the window: the start, stop, start options and port
// setting commands, and the hand-over of the measurement worker's refreshes
// and messages to the user-interface thread.
//
// The worker (CRunControl's thread) never touches a widget. Every refresh,
// status text and message it produces is posted to this object, which lives
// on the user-interface thread; posted calls run in the order they were
// posted, so the result panel and the graph follow the points in order and
// the end-of-run messages come after the last refresh. The worker does not
// wait for them, so a window that is busy cannot hold the run up.
#pragma once

#include <QLabel>
#include <QObject>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/user_interface.h"
#include "data/document.h"
#include "link/run_control.h"

namespace qv::ui {

class CMainFrame;
class CStartConfirmDlg;
class CStartOptionsDlg;
class CPortSettingDlg;
class CPortDetectDlg;

// Figures of the hand-over since the last start, for tests and the
// benchmark. Read on the user-interface thread.
struct RunFollowStats {
  int pointsShown = 0;      // point refreshes run
  int outOfOrder = 0;       // refreshes whose point was not the next one
  int64_t maxWaitNs = 0;    // longest time a refresh waited in the queue
  int64_t totalWaitNs = 0;  // sum of the waits
  bool finalShown = false;  // the end-of-run refresh has run
};

class CRunController : public QObject {
  Q_OBJECT
 public:
  CRunController(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);
  // Asks a running worker to stop and waits for it; nothing it still posts
  // is run.
  ~CRunController() override;

  // The controller the frame was wired with, or null.
  static CRunController* Of(const CMainFrame& frame);

  // The commands.
  void Start();
  void Stop();
  void StartOptions();
  void PortSetting();
  bool IsActive() const { return control_.IsActive(); }

  // The status bar's pane of the run's notices (made on first use): a
  // notice stays there until the next start. When a run has ended it says
  // how, with the run's time and capacity (RunEndNotice), until the next
  // command, unless a notice of the run stands there.
  QLabel* NoticePane();
  static constexpr char kNoticePaneName[] = "runNoticePane";

  // The run control underneath (waits, last result).
  CRunControl& Control() { return control_; }
  const RunFollowStats& Stats() const { return stats_; }

  // How the dialogs run modally; tests replace them to drive the dialogs.
  // Each returns the dialog's result code. Default: exec().
  std::function<int(CStartConfirmDlg&)> runConfirm;
  std::function<int(CStartOptionsDlg&)> runStartOptions;
  std::function<int(CPortSettingDlg&)> runPortSetting;
  std::function<int(CPortDetectDlg&)> runDetect;

 signals:
  // After the refresh of a point has run (its index from 1 and its time).
  void PointShown(int index, int time);
  // After the worker's last hand-over has run: the run is over and its
  // messages have been shown.
  void RunFinished(qv::RunResult result);

 private:
  class WorkerUi;
  using Clock = std::chrono::steady_clock;

  void InstallHooks();
  // Runs `work` on this object's thread: at once when called there,
  // otherwise posted behind everything posted before.
  void Post(std::function<void()> work);
  bool OnUiThread() const;
  void ShowPoint(int index, int time, Clock::time_point posted);
  void ShowFinal(Clock::time_point posted);
  void SetStatus(const std::string& text);
  void ShowNotice(const Message& message);
  void ShowRunEnd(RunResult result);
  void WaitCursor(bool on);
  int DetectPort();
  void NoteWait(Clock::time_point posted);

  CMainFrame& frame_;
  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  std::unique_ptr<WorkerUi> workerUi_;
  CRunControl control_;
  std::shared_ptr<std::atomic<bool>> alive_;
  RunFollowStats stats_;
  int lastIndex_ = 0;
  bool cursorSet_ = false;
  bool endShown_ = false;  // the notice pane holds the run's end
};

// Puts the start, stop, start options and port setting commands into the
// frame's command table and makes the frame the controller's parent.
CRunController* WireRunCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

}  // namespace qv::ui
