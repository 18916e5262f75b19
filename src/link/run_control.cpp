#include "link/run_control.h"

#include <cerrno>
#include <mutex>

#include "data/codec.h"
#include "link/port_list.h"
#include "link/port_scan.h"

namespace qv {
namespace {

// The closing part shared by the communication-error messages.
std::string CheckScreenTail() {
  return Sj(
      "（※ORVANTIS本体との接続や通信設定を確認してください。\nまた、ORVANTIS側の画面が\""
      "計測画面\"であるか確認してください。）");
}

}  // namespace

std::string CRunControl::CaptionStart() {
  return Sj("放電と計測を開始");
}
std::string CRunControl::CaptionRun() {
  return Sj("放電と計測");
}
std::string CRunControl::CaptionStop() {
  return Sj("放電と計測を停止");
}
std::string CRunControl::ClearQuestionText() {
  return Sj(
      "計測データ欄にデータが残っています。\n\n計測データ欄をクリアしてよろしいですか？\n"
      "（クリアしたデータは元に戻せません）");
}
std::string CRunControl::ValidationTail() {
  return Sj("\n入力値を設定しなおしてください。");
}
std::string CRunControl::SendFailedText() {
  return Sj("入力値が送信できません。\n通信エラーが生じました。\n\n") + CheckScreenTail();
}
std::string CRunControl::NoPermissionText() {
  return Sj(
      "通信ができません。\n\nパソコンの「COMポート」設定値が正しくないようです。\n"
      "ヘルプを参照して、設定を確認してください。");
}
std::string CRunControl::DetectHintText() {
  return Sj(
      "（※このメッセージは、\nアプリケーション起動後の１回目の通信エラー時に表示されます）\n\n"
      "本アプリケーションには、通信設定を自動的に行う機能があります。\n自動設定を行いますか？");
}
std::string CRunControl::DetectHintCaption() {
  return Sj("通信ポートの自動設定");
}
std::string CRunControl::CannotStartText() {
  return Sj("開始できません。\n通信エラーが生じました。\n\n") + CheckScreenTail();
}
std::string CRunControl::CommLostText() {
  return Sj("通信エラーが生じました。\n\nORVANTIS本体との通信障害のため、計測を中断します。");
}
std::string CRunControl::EmergencyText(const std::string& cause) {
  return Sj("緊急停止されました。\n\n（※") + cause + Sj("）");
}
std::string CRunControl::CauseConnection() {
  return Sj("ORVANTIS本体と電池の接続を確認してください。");
}
std::string CRunControl::CauseRange() {
  return Sj("セル数設定の誤り等によるレンジオーバーの可能性があります。");
}
std::string CRunControl::StoppedText() {
  return Sj("放電と計測の処理を停止しました。\n\n（ORVANTIS本体側の停止も確認してください。）");
}
std::string CRunControl::SendingStatus() {
  return Sj("入力値送信中");
}

std::string CRunControl::EmergencyCause(const CMeasureData& record) {
  const int t = record.GetDischargeTime();
  const double v = record.GetVoltage(-1);
  std::string cause;
  if (t == 0 || (t <= 1 && v == 0.0)) cause = CauseConnection();
  if ((record.cells == 1 && v >= 1.8) || v >= 12.0) cause = CauseRange();
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
  return portOverride ? *portOverride : doc_.App().settings.GetInt("COMPORT");
}

void CRunControl::ShowStatus(const std::string& text) {
  if (hooks.setStatus) hooks.setStatus(text);
}

StartOutcome CRunControl::StartCommand() {
  CAppState& app = doc_.App();
  if (IsActive()) return StartOutcome::kBusy;
  Join();  // the thread of the previous run has finished its work
  if (hooks.focusMainWindow) hooks.focusMainWindow();

  bool hasPoints;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    hasPoints = !doc_.Current().IsEmpty();
  }
  if (hasPoints) {
    const MsgResult r = ui_.ShowMessage({ClearQuestionText(), CaptionStart(), MsgIcon::kQuestion,
                                         MsgButtons::kOkCancel, std::nullopt});
    if (r != MsgResult::kOk) return StartOutcome::kCancelled;
    doc_.ResetCurrent();
    doc_.RefreshViews(kRefreshResult | kRefreshGraph);
    doc_.SetModified();
  }

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
  if (!messages.empty()) {
    ui_.Tell(messages + ValidationTail(), CaptionStart(), MsgIcon::kWarning);
    return StartOutcome::kInvalidInput;
  }

  // Start options.
  int flags = 0;
  if (app.settings.GetInt("START_DUPCLR") > 0 && doc_.DisplayList().size() > 1) {
    doc_.ResetDisplayList();
    flags = kRefreshAll;
  }
  if (app.settings.GetInt("START_DEFGRA") > 0) {
    app.graph = GraphSettings{12.0, 0.0, false, 1, 1.0};
    if (hooks.applyDefaultGraph) hooks.applyDefaultGraph();
    flags |= kRefreshGraph;
  }
  if (flags != 0) doc_.RefreshViews(flags);

  // Sending the input values.
  ShowStatus(SendingStatus());
  if (hooks.waitCursor) hooks.waitCursor(true);
  CAnalyzerLink link(doc_);
  link.SetSleeper(sleeper);
  const bool opened = link.OpenLink(ComPort());
  const int openError = opened ? 0 : link.LastOpenError();
  const bool sent = opened && link.SendInputValues();
  if (sent) {
    link.CloseLink();
    if (sleeper) sleeper(1000);
  }
  if (hooks.waitCursor) hooks.waitCursor(false);
  ShowStatus(std::string());

  if (sent) {
    if (app.settings.GetInt("START_DIRECT") == 0 && hooks.confirmStart && !hooks.confirmStart()) {
      return StartOutcome::kCancelled;
    }
    safeguard.BeginRun();
    app.measuring.store(true);
    app.runActive.store(true);
    doc_.SetModified();
    lastResult_ = -1;
    worker_ = std::thread([this] { MeasureWorker(); });
    return StartOutcome::kStarted;
  }

  ++app.commErrorCount;
  link.CloseLink();
  // A device the user may not open needs a different remedy than a silent
  // instrument: say so.
  ui_.Tell(openError == EACCES ? WithPermissionHint(NoPermissionText(), DeniedDevices(link))
                               : SendFailedText(),
           CaptionStart(), MsgIcon::kWarning);
  if (app.commErrorCount == 1) {
    const MsgResult r = ui_.ShowMessage({DetectHintText(), DetectHintCaption(), MsgIcon::kQuestion,
                                         MsgButtons::kYesNo, std::nullopt});
    if (r == MsgResult::kYes) {
      const int found =
          hooks.detectPort ? hooks.detectPort() : RunPortDetection(doc_, ui_, {}, sleeper);
      if (found >= 1) app.settings.SetInt("COMPORT", found);
    }
  }
  return StartOutcome::kSendFailed;
}

void CRunControl::MeasureWorker() {
  CAppState& app = doc_.App();
  const int port = ComPort();
  int result = -1;
  {
    CAnalyzerLink link(doc_);
    link.SetSleeper(sleeper);
    link.SetFrameHook(frameHook);
    link.SetCallbacks(hooks.pointRefresh, hooks.finalRefresh);
    link.SetPointSink([this](const FrameValues& v) { safeguard.OnPoint(v); });
    if (!link.OpenLink(port)) {
      ui_.Tell(WithPermissionHint(CannotStartText(), DeniedDevices(link)), CaptionStart(),
               MsgIcon::kWarning);
      link.CloseLink();
    } else {
      result = link.RunMeasurement();
      link.CloseLink();
      // After a stop by the user nothing more is said.
      if (app.measuring.load()) {
        if (result == kFrameFail) {
          ui_.Tell(CommLostText(), CaptionRun(), MsgIcon::kWarning);
        } else {
          std::string cause;
          {
            std::lock_guard<std::mutex> g(doc_.Lock());
            cause = EmergencyCause(doc_.Current());
          }
          if (!cause.empty()) ui_.Tell(EmergencyText(cause), CaptionRun(), MsgIcon::kWarning);
        }
      }
    }
  }
  lastResult_ = result;
  const bool backedUp = app.backupMode != 2 && doc_.WriteAutoBackup();
  safeguard.EndRun(backedUp || app.backupMode == 2);
  app.runActive.store(false);
  app.measuring.store(false);
  ShowStatus(std::string());
}

void CRunControl::StopCommand() {
  doc_.App().measuring.store(false);
  ui_.Tell(StoppedText(), CaptionStop(), MsgIcon::kInformation);
}

}  // namespace qv
