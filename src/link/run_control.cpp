#include "link/run_control.h"

#include <cerrno>
#include <mutex>

#include "core/settings_keys.h"
#include "data/codec.h"
#include "link/port_list.h"
#include "link/port_scan.h"

namespace qv {

std::string CRunControl::EmergencyCause(const CMeasureData& record) {
  const int t = record.GetDischargeTime();
  const double v = record.GetVoltage(-1);
  std::string cause;
  if (t == 0 || (t <= 1 && v == 0.0)) cause = GetRunControlTexts().causeConnection;
  if ((record.cells == 1 && v >= 1.8) || v >= 12.0) cause = GetRunControlTexts().causeRange;
  return cause;
}

CRunControl::CRunControl(CBrenlowDoc& doc, IUserInterface& ui)
    : safeguard(doc, ui), doc_(doc), ui_(ui) {}

CRunControl::~CRunControl() {
  if (IsActive()) doc_.App().measuring.store(false);
  Join();
}

bool CRunControl::IsActive() const {
  return doc_.App().runActive.load();
}

void CRunControl::Join() {
  if (worker_.joinable()) worker_.join();
}

int CRunControl::ComPort() const {
  return portOverride ? *portOverride : doc_.App().settings.GetInt(keys::kComPort);
}

void CRunControl::ShowStatus(const std::string& text) {
  if (hooks.setStatus) hooks.setStatus(text);
}

StartOutcome CRunControl::StartCommand() {
  if (IsActive()) return StartOutcome::kBusy;
  Join();  // the thread of the previous run has finished its work
  if (hooks.focusMainWindow) hooks.focusMainWindow();
  // Before anything else: a second run in the folder would keep no journal.
  if (!safeguard.ClaimFolder()) return StartOutcome::kFolderBusy;
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
  if (doc_.App().settings.GetInt(keys::kStartDirect) == 0 && hooks.confirmStart &&
      !hooks.confirmStart())
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
  CAppState& app = doc_.App();
  int flags = 0;
  if (app.settings.GetInt(keys::kStartClearOverlays) > 0 && doc_.DisplayList().size() > 1) {
    doc_.ResetDisplayList();
    flags = kRefreshAll;
  }
  if (app.settings.GetInt(keys::kStartDefaultGraph) > 0) {
    app.graph = kDefaultGraph;
    if (hooks.applyDefaultGraph) hooks.applyDefaultGraph();
    flags |= kRefreshGraph;
  }
  if (flags != 0) doc_.RefreshViews(flags);
}

CRunControl::SendAttempt CRunControl::SendInputValues() {
  ShowStatus(GetRunControlTexts().sendingStatus);
  if (hooks.waitCursor) hooks.waitCursor(true);
  SendAttempt attempt;
  CAnalyzerLink link(doc_);
  link.SetSleeper(sleeper);
  const bool opened = link.OpenLink(ComPort());
  if (!opened) attempt.openError = link.LastOpenError();
  attempt.sent = opened && link.SendInputValues();
  if (attempt.sent) {
    link.CloseLink();
    if (sleeper) sleeper(1000);
  }
  if (hooks.waitCursor) hooks.waitCursor(false);
  ShowStatus(std::string());
  if (!attempt.sent) {
    link.CloseLink();
    attempt.denied = DeniedDevices(link);
  }
  return attempt;
}

void CRunControl::ReportSendFailure(const SendAttempt& attempt) {
  CAppState& app = doc_.App();
  const RunControlTexts& t = GetRunControlTexts();
  ++app.commErrorCount;
  // A device the user may not open needs a different remedy than a silent
  // instrument: say so.
  ui_.Tell(attempt.openError == EACCES ? WithPermissionHint(t.noPermission, attempt.denied)
                                       : WithPermissionHint(t.sendFailed, attempt.denied),
           t.captionStart, MsgIcon::kWarning);
  if (app.commErrorCount != 1) return;
  const MsgResult r = ui_.ShowMessage(
      {t.detectHint, t.detectHintCaption, MsgIcon::kQuestion, MsgButtons::kYesNo, std::nullopt});
  if (r != MsgResult::kYes) return;
  const int found =
      hooks.detectPort ? hooks.detectPort() : RunPortDetection(doc_, ui_, {}, sleeper);
  if (found >= 1) app.settings.SetInt(keys::kComPort, found);
}

void CRunControl::StartWorker() {
  CAppState& app = doc_.App();
  safeguard.BeginRun();
  app.measuring.store(true);
  app.runActive.store(true);
  doc_.SetModified();
  lastResult_ = RunResult::kNoRun;
  worker_ = std::thread([this] { MeasureWorker(); });
}

void CRunControl::MeasureWorker() {
  const RunResult result = FollowRun();
  lastResult_ = result;
  FinishRun(result);
}

RunResult CRunControl::FollowRun() {
  CAnalyzerLink link(doc_);
  link.SetSleeper(sleeper);
  link.SetFrameHook(frameHook);
  link.SetCallbacks(hooks.pointRefresh, hooks.finalRefresh);
  link.SetPointSink([this](const FrameValues& v) { safeguard.OnPoint(v); });
  const RunControlTexts& t = GetRunControlTexts();
  if (!link.OpenLink(ComPort())) {
    ui_.Tell(WithPermissionHint(t.cannotStart, DeniedDevices(link)), t.captionStart,
             MsgIcon::kWarning);
    link.CloseLink();
    return RunResult::kNoRun;
  }
  const RunResult result = link.RunMeasurement();
  link.CloseLink();
  ReportRunEnd(result);
  return result;
}

void CRunControl::ReportRunEnd(RunResult result) {
  // After a stop by the user nothing more is said.
  if (!doc_.App().measuring.load()) return;
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
  CAppState& app = doc_.App();
  const int mode = app.backupMode;
  // Mode 2 keeps no backup: the run is as safe as it will be. Only modes 0
  // and 1 put the current measurement into the backup.
  const bool backupWritten = mode == 2 || doc_.WriteAutoBackup();
  const bool journalStays =
      safeguard.EndRun(mode == 2 || (backupWritten && mode >= 0 && mode <= 1));
  if (!backupWritten) {
    ui_.Tell(BackupFailedText(doc_.BackupPath(), journalStays), GetRunControlTexts().captionRun,
             MsgIcon::kWarning);
  }
  app.runActive.store(false);
  app.measuring.store(false);
  ShowStatus(std::string());
  if (hooks.runEnded) hooks.runEnded(result);
}

void CRunControl::StopCommand() {
  doc_.App().measuring.store(false);
  const RunControlTexts& t = GetRunControlTexts();
  ui_.Tell(t.stopped, t.captionStop, MsgIcon::kInformation);
}

}  // namespace qv
