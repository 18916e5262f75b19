#include "link/run_control.h"

#include <cerrno>
#include <mutex>

#include "core/settings_keys.h"
#include "data/codec.h"
#include "link/port_list.h"
#include "link/port_scan.h"

namespace qv {
namespace {

// The window's (or the tool's) refresh hooks as a sink of the run.
class RefreshSink : public IFrameSink {
 public:
  explicit RefreshSink(const RunHooks& hooks) : hooks_(hooks) {}
  void OnFrame(const FrameValues& v) override {
    if (hooks_.pointRefresh) hooks_.pointRefresh(v.point.time);
  }
  void OnRunEnd() override {
    if (hooks_.finalRefresh) hooks_.finalRefresh();
  }

 private:
  const RunHooks& hooks_;
};

}  // namespace

std::string CRunControl::EmergencyCause(const CMeasureData& record) {
  const int t = record.GetDischargeTime();
  const double v = record.GetVoltage(-1);
  std::string cause;
  if (t == 0 || (t <= 1 && v == 0.0)) cause = GetRunControlTexts().causeConnection;
  if ((record.cells == 1 && v >= 1.8) || v >= 12.0) cause = GetRunControlTexts().causeRange;
  return cause;
}

CRunControl::CRunControl(CBrenlowDoc& doc, IUserInterface& ui)
    : safeguard(ui), doc_(doc), app_(doc.App()), ui_(ui), recorder_(doc.Current(), doc.Lock()) {}

CRunControl::~CRunControl() {
  StopAndJoin();
}

bool CRunControl::IsActive() const {
  return app_.runActive.load();
}

void CRunControl::Join() {
  if (worker_.joinable()) worker_.join();
}

void CRunControl::StopAndJoin() {
  if (IsActive()) app_.measuring.store(false);
  Join();
}

int CRunControl::ComPort() const {
  return portOverride ? *portOverride : app_.settings.Value(keys::kComPort);
}

void CRunControl::ShowStatus(const std::string& text) {
  if (hooks.setStatus) hooks.setStatus(text);
}

StartOutcome CRunControl::StartCommand() {
  if (IsActive()) return StartOutcome::kBusy;
  Join();  // the thread of the previous run has finished its work
  if (hooks.focusMainWindow) hooks.focusMainWindow();
  // Before anything else: a second run in the folder would keep no journal.
  if (!safeguard.ClaimFolder(app_.settings.Directory())) return StartOutcome::kFolderBusy;
  const StartOutcome outcome = StartInClaimedFolder();
  // A started run's worker lets the folder go at its end.
  if (outcome != StartOutcome::kStarted) safeguard.ReleaseFolder();
  return outcome;
}

StartOutcome CRunControl::StartInClaimedFolder() {
  if (!ClearPanelIfConfirmed()) return StartOutcome::kCancelled;
  if (!InputsAreValid()) return StartOutcome::kInvalidInput;
  ApplyStartOptions();
  const SendAttempt attempt = SendInputValues();
  if (!attempt.sent) {
    ReportSendFailure(attempt);
    return StartOutcome::kSendFailed;
  }
  if (!app_.settings.Value(keys::kStartDirect) && hooks.confirmStart && !hooks.confirmStart())
    return StartOutcome::kCancelled;
  StartWorker();
  return StartOutcome::kStarted;
}

bool CRunControl::ClearPanelIfConfirmed() {
  bool hasPoints;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    hasPoints = !doc_.Current().IsEmpty();
  }
  if (!hasPoints) return true;
  const RunControlTexts& t = GetRunControlTexts();
  const MsgResult r = ui_.ShowMessage(
      {t.clearQuestion, t.captionStart, MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt});
  if (r != MsgResult::kOk) return false;
  doc_.ResetCurrent();
  doc_.RefreshViews(kRefreshResult | kRefreshGraph);
  doc_.SetModified();
  return true;
}

bool CRunControl::InputsAreValid() {
  InputCellTexts texts;
  if (hooks.inputTexts) {
    texts = hooks.inputTexts();
  } else {
    std::lock_guard<std::mutex> g(doc_.Lock());
    texts = InputTextsOf(doc_.Current());
  }
  std::string messages;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    messages = ValidateInputs(texts, doc_.Current());
  }
  if (messages.empty()) return true;
  const RunControlTexts& t = GetRunControlTexts();
  ui_.Tell(messages + t.validationTail, t.captionStart, MsgIcon::kWarning);
  return false;
}

void CRunControl::ApplyStartOptions() {
  int flags = 0;
  if (app_.settings.Value(keys::kStartClearOverlays) && doc_.DisplayList().size() > 1) {
    doc_.ResetDisplayList();
    flags = kRefreshAll;
  }
  if (app_.settings.Value(keys::kStartDefaultGraph)) {
    app_.graph = kDefaultGraph;
    if (hooks.applyDefaultGraph) hooks.applyDefaultGraph(app_.graph);
    flags |= kRefreshGraph;
  }
  if (flags != 0) doc_.RefreshViews(flags);
}

CRunControl::SendAttempt CRunControl::SendInputValues() {
  ShowStatus(GetRunControlTexts().sendingStatus);
  if (hooks.waitCursor) hooks.waitCursor(true);
  SendAttempt attempt;
  InputConditions inputs;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    inputs = doc_.Current().Inputs();
  }
  CAnalyzerLink link(LinkSettingsOf(app_));
  link.SetSleeper(sleeper);
  const bool opened = link.OpenLink(ComPort());
  if (!opened) attempt.openError = link.Serial().LastOpenError();
  attempt.sent = opened && link.SendInputValues(inputs);
  if (attempt.sent) {
    link.CloseLink();
    if (sleeper) sleeper(1000);
  }
  if (hooks.waitCursor) hooks.waitCursor(false);
  ShowStatus(std::string());
  if (!attempt.sent) {
    link.CloseLink();
    attempt.denied = DeniedDevices(link.Serial());
  }
  return attempt;
}

void CRunControl::ReportSendFailure(const SendAttempt& attempt) {
  const RunControlTexts& t = GetRunControlTexts();
  ++app_.commErrorCount;
  // A device the user may not open needs a different remedy than a silent
  // instrument: say so.
  ui_.Tell(attempt.openError == EACCES ? WithPermissionHint(t.noPermission, attempt.denied)
                                       : WithPermissionHint(t.sendFailed, attempt.denied),
           t.captionStart, MsgIcon::kWarning);
  if (app_.commErrorCount != 1) return;
  const MsgResult r = ui_.ShowMessage(
      {t.detectHint, t.detectHintCaption, MsgIcon::kQuestion, MsgButtons::kYesNo, std::nullopt});
  if (r != MsgResult::kYes) return;
  const int found = hooks.detectPort ? hooks.detectPort()
                                     : RunPortDetection(LinkSettingsOf(app_), ui_, {}, sleeper);
  if (found >= 1) app_.settings.SetValue(keys::kComPort, found);
}

void CRunControl::StartWorker() {
  InputConditions inputs;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    inputs = doc_.Current().Inputs();
  }
  safeguard.BeginRun(inputs);
  // The worker's link reads no settings: it is given them as they are now.
  WorkerSetup setup{ComPort(), LinkSettingsOf(app_), inputs.cells};
  app_.measuring.store(true);
  app_.runActive.store(true);
  doc_.SetModified();
  lastResult_ = RunResult::kNoRun;
  worker_ = std::thread([this, setup = std::move(setup)] { MeasureWorker(setup); });
}

void CRunControl::MeasureWorker(const WorkerSetup& setup) {
  const RunResult result = FollowRun(setup);
  lastResult_ = result;
  FinishRun(result);
}

RunResult CRunControl::FollowRun(const WorkerSetup& setup) {
  CAnalyzerLink link(setup.link);
  link.SetSleeper(sleeper);
  link.SetFrameHook(frameHook);
  const RunControlTexts& t = GetRunControlTexts();
  if (!link.OpenLink(setup.port)) {
    ui_.Tell(WithPermissionHint(t.cannotStart, DeniedDevices(link.Serial())), t.captionStart,
             MsgIcon::kWarning);
    link.CloseLink();
    return RunResult::kNoRun;
  }
  RefreshSink refresh(hooks);
  FrameSinks sinks{&recorder_, &safeguard, &refresh};
  sinks.insert(sinks.end(), frameSinks.begin(), frameSinks.end());
  const RunResult result = link.RunMeasurement(setup.cells, app_.measuring, sinks);
  link.CloseLink();
  ReportRunEnd(result);
  return result;
}

void CRunControl::ReportRunEnd(RunResult result) {
  // After a stop by the user nothing more is said.
  if (!app_.measuring.load()) return;
  const RunControlTexts& t = GetRunControlTexts();
  if (result == RunResult::kCommFailure) {
    ui_.Tell(t.commLost, t.captionRun, MsgIcon::kWarning);
    return;
  }
  std::string cause;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    cause = EmergencyCause(doc_.Current());
  }
  if (!cause.empty()) ui_.Tell(EmergencyStopText(cause), t.captionRun, MsgIcon::kWarning);
}

void CRunControl::FinishRun(RunResult result) {
  const int mode = app_.backupMode;
  // Mode 2 keeps no backup: the run is as safe as it will be. Only modes 0
  // and 1 put the current measurement into the backup.
  const bool backupWritten = mode == 2 || doc_.WriteAutoBackup();
  CRunSafeguard::RunMark run;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    run = CRunSafeguard::MarkOf(doc_.Current());
  }
  const bool journalStays =
      safeguard.EndRun(mode == 2 || (backupWritten && mode >= 0 && mode <= 1), run);
  if (!backupWritten) {
    ui_.Tell(BackupFailedText(doc_.BackupPath(), journalStays), GetRunControlTexts().captionRun,
             MsgIcon::kWarning);
  }
  app_.runActive.store(false);
  app_.measuring.store(false);
  ShowStatus(std::string());
  if (hooks.runEnded) hooks.runEnded(result);
}

void CRunControl::StopCommand() {
  app_.measuring.store(false);
  const RunControlTexts& t = GetRunControlTexts();
  ui_.Tell(t.stopped, t.captionStop, MsgIcon::kInformation);
}

}  // namespace qv
