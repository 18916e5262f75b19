#include "app/run_controller.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QThread>
#include <mutex>
#include <optional>

#include "app/command_ids.h"
#include "app/dialogs/port_detect_dialog.h"
#include "app/dialogs/port_setting_dialog.h"
#include "app/dialogs/start_confirm_dialog.h"
#include "app/dialogs/start_options_dialog.h"
#include "app/main_frame.h"
#include "link/desktop_notice.h"
#include "link/input_check.h"
#include "views/graph_view.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"

namespace qv::ui {

namespace {

constexpr char kObjectName[] = "runController";

template <typename Dialog>
int RunModal(Dialog& dlg, const std::function<int(Dialog&)>& runner) {
  return runner ? runner(dlg) : dlg.exec();
}

}  // namespace

// The user interface the run control talks to. Called on the
// user-interface thread it is the window's own; called on the worker it
// posts the message behind the refreshes and returns at once (every message
// of the worker has only an OK button).
class CRunController::WorkerUi : public IUserInterface {
 public:
  WorkerUi(CRunController& owner, IUserInterface& ui) : owner_(owner), ui_(ui) {}

  MsgResult ShowMessage(const Message& message) override {
    if (owner_.OnUiThread()) return ui_.ShowMessage(message);
    owner_.Post([this, message] { ui_.ShowMessage(message); });
    return MsgResult::kOk;
  }
  // In the status bar and a non-modal box, in order with the refreshes.
  void Notify(const Message& message) override {
    owner_.Post([this, message] { owner_.ShowNotice(message); });
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override {
    return ui_.ChooseOpenFile(request);
  }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override {
    return ui_.ChooseSaveFile(request);
  }
  std::optional<std::string> ChooseFolder(const FolderDialogRequest& request) override {
    return ui_.ChooseFolder(request);
  }

 private:
  CRunController& owner_;
  IUserInterface& ui_;
};

CRunController::CRunController(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui)
    : QObject(&frame),
      frame_(frame),
      doc_(doc),
      ui_(ui),
      workerUi_(std::make_unique<WorkerUi>(*this, ui)),
      control_(doc, *workerUi_),
      alive_(std::make_shared<std::atomic<bool>>(true)) {
  setObjectName(QString::fromLatin1(kObjectName));
  InstallHooks();
  // The end of a run stays in the status bar until the next command.
  connect(&frame_, &CMainFrame::CommandStarting, this, [this] {
    if (!endShown_) return;
    endShown_ = false;
    NoticePane()->clear();
  });
  // A run whose journal stayed for want of a backup is safe once saved.
  doc_.SetSavedHandler([this] { control_.DocumentSaved(); });
}

CRunController::~CRunController() {
  doc_.SetSavedHandler({});
  alive_->store(false);
  control_.StopAndJoin();
  if (cursorSet_) QApplication::restoreOverrideCursor();
}

CRunController* CRunController::Of(const CMainFrame& frame) {
  return frame.findChild<CRunController*>(QString::fromLatin1(kObjectName),
                                          Qt::FindDirectChildrenOnly);
}

bool CRunController::OnUiThread() const {
  return QThread::currentThread() == thread();
}

void CRunController::Post(std::function<void()> work) {
  if (OnUiThread()) {
    work();
    return;
  }
  std::shared_ptr<std::atomic<bool>> alive = alive_;
  QMetaObject::invokeMethod(
      this,
      [alive, work = std::move(work)] {
        if (alive->load()) work();
      },
      Qt::QueuedConnection);
}

void CRunController::InstallHooks() {
  RunHooks& h = control_.hooks;
  h.focusMainWindow = [this] {
    // An open in-place edit is committed before the inputs are read.
    if (CResultView* result = frame_.ResultView()) {
      if (result->List()->IsEditing()) result->List()->EndEdit();
    }
    frame_.activateWindow();
    frame_.setFocus(Qt::OtherFocusReason);
  };
  h.inputTexts = [this] {
    CResultView* result = frame_.ResultView();
    if (std::optional<InputCellTexts> cells = result ? result->InputCells() : std::nullopt)
      return *cells;
    return InputTextsOf(doc_.Current());
  };
  h.setStatus = [this](const std::string& text) { Post([this, text] { SetStatus(text); }); };
  h.runEnded = [this](RunResult result) {
    Post([this, result] {
      // The toolbar and menus show the idle state as soon as the run is over.
      frame_.UpdateCommandStates();
      ShowRunEnd(result);
      emit RunFinished(result);
    });
  };
  h.waitCursor = [this](bool on) { WaitCursor(on); };
  h.applyDefaultGraph = [this](const GraphSettings& settings) {
    if (CGraphView* graph = frame_.GraphView()) graph->ApplySettings(settings);
  };
  h.confirmStart = [this] {
    CStartConfirmDlg dlg(&frame_);
    return RunModal(dlg, runConfirm) == QDialog::Accepted;
  };
  h.detectPort = [this] { return DetectPort(); };
  h.pointRefresh = [this](int time) {
    int index;
    {
      std::lock_guard<std::mutex> g(doc_.Lock());
      index = static_cast<int>(doc_.Current().Points().size());
    }
    const Clock::time_point posted = Clock::now();
    Post([this, index, time, posted] { ShowPoint(index, time, posted); });
  };
  h.finalRefresh = [this] {
    const Clock::time_point posted = Clock::now();
    Post([this, posted] { ShowFinal(posted); });
  };
}

void CRunController::NoteWait(Clock::time_point posted) {
  const int64_t waited =
      std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - posted).count();
  stats_.totalWaitNs += waited;
  if (waited > stats_.maxWaitNs) stats_.maxWaitNs = waited;
}

void CRunController::ShowPoint(int index, int time, Clock::time_point posted) {
  NoteWait(posted);
  if (index != lastIndex_ + 1) ++stats_.outOfOrder;
  lastIndex_ = index;
  ++stats_.pointsShown;
  if (CResultView* result = frame_.ResultView()) result->RefreshCurrentColumn();
  if (CGraphView* graph = frame_.GraphView()) graph->Follow(time);
  emit PointShown(index, time);
}

void CRunController::ShowFinal(Clock::time_point posted) {
  NoteWait(posted);
  if (CResultView* result = frame_.ResultView()) {
    // The column changes in one step: its new values with current and
    // voltage at "0.0".
    const bool updates = result->updatesEnabled();
    result->setUpdatesEnabled(false);
    result->RefreshCurrentColumn();
    result->ClearLiveValues();
    result->setUpdatesEnabled(updates);
  }
  if (CGraphView* graph = frame_.GraphView()) graph->Refresh();
  stats_.finalShown = true;
}

void CRunController::SetStatus(const std::string& text) {
  frame_.SetRunStatus(ToQt(text));
  // The sending blocks this thread: paint the pane now.
  if (QLabel* pane = frame_.RunStatusPane()) pane->repaint();
}

QLabel* CRunController::NoticePane() {
  QStatusBar* bar = frame_.statusBar();
  auto* pane = bar->findChild<QLabel*>(QString::fromLatin1(kNoticePaneName));
  if (!pane) {
    pane = new QLabel(bar);
    pane->setObjectName(QString::fromLatin1(kNoticePaneName));
    bar->addWidget(pane, 1);
  }
  return pane;
}

void CRunController::ShowNotice(const Message& message) {
  endShown_ = false;
  NoticePane()->setText(ToQt(message.text));
  ui_.Notify(message);
}

void CRunController::ShowRunEnd(RunResult result) {
  DesktopNotice notice;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    notice = RunEndNotice(result, doc_.Current());
  }
  // A notice of the run (a journal that could not be written) is the more
  // urgent text: it stays until the next start.
  if (notice.summary.empty() || !NoticePane()->text().isEmpty()) return;
  NoticePane()->setText(QString::fromStdString(notice.body));
  endShown_ = true;
}

void CRunController::WaitCursor(bool on) {
  if (on && !cursorSet_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorSet_ = true;
  } else if (!on && cursorSet_) {
    QApplication::restoreOverrideCursor();
    cursorSet_ = false;
  }
}

int CRunController::DetectPort() {
  CPortDetectDlg dlg(doc_, ui_, &frame_);
  dlg.SetSleeper(control_.sleeper);
  RunModal(dlg, runDetect);
  return dlg.FoundPort();
}

void CRunController::Start() {
  if (control_.IsActive()) return;
  stats_ = RunFollowStats{};
  lastIndex_ = 0;
  NoticePane()->clear();
  endShown_ = false;
  control_.StartCommand();
  frame_.UpdateCommandStates();
  if (control_.IsActive()) {
    if (CResultView* result = frame_.ResultView()) result->ShowCurrentColumn();
  }
}

void CRunController::Stop() {
  if (!control_.IsActive()) return;
  control_.StopCommand();
}

void CRunController::StartOptions() {
  CStartOptionsDlg dlg(doc_.App().settings, &frame_);
  RunModal(dlg, runStartOptions);
}

void CRunController::PortSetting() {
  CPortSettingDlg dlg(doc_, ui_, &frame_);
  dlg.sleeper = control_.sleeper;
  dlg.runDetect = runDetect;
  RunModal(dlg, runPortSetting);
}

CRunController* WireRunCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  auto* runs = new CRunController(frame, doc, ui);
  using R = CMainFrame::RunRule;
  frame.SetCommand(
      kCmdStart, [runs] { runs->Start(); }, {}, R::kNoRun);
  frame.SetCommand(
      kCmdStop, [runs] { runs->Stop(); }, {}, R::kOnlyDuring);
  frame.SetCommand(
      kCmdStartOptions, [runs] { runs->StartOptions(); }, {}, R::kNoRun);
  frame.SetCommand(
      kCmdPortSettings, [runs] { runs->PortSetting(); }, {}, R::kNoRun);
  return runs;
}

}  // namespace qv::ui
