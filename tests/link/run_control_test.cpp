// The start command, the measurement worker's end-of-run checks, the stop
// command and the input validation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "data/codec.h"
#include "link/input_check.h"
#include "link/run_control.h"
#include "link_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

// ------------------------------------------------------------ validation

TEST(InputCheck, RoundedCurrentsAndRanges) {
  CMeasureData r;
  std::string msg;
  EXPECT_TRUE(ValidateInputCell(kRowCurrentA, "35.04", r, msg));
  EXPECT_DOUBLE_EQ(r.currentA, 35.0);
  EXPECT_FALSE(ValidateInputCell(kRowCurrentA, "35.06", r, msg));
  EXPECT_EQ(Cp932ToUtf8(msg), "放電電流Ａは、0.0 ～ 35.0 の範囲で値を設定してください。");
  EXPECT_DOUBLE_EQ(r.currentA, 35.0);
  EXPECT_FALSE(ValidateInputCell(kRowCurrentC, "-1", r, msg));
  EXPECT_EQ(Cp932ToUtf8(msg), "放電電流Ｃは、0.0 ～ 35.0 の範囲で値を設定してください。");
  EXPECT_FALSE(ValidateInputCell(kRowEndVoltage, "8.06", r, msg));
  EXPECT_EQ(Cp932ToUtf8(msg), "終了電圧は、0.0 ～ 8.0 の範囲で値を設定してください。");
}

TEST(InputCheck, V1PointTruncatedToHundreds) {
  CMeasureData r;
  std::string msg;
  EXPECT_TRUE(ValidateInputCell(kRowV1Point, "250", r, msg));
  EXPECT_EQ(r.v1Point, 200);
  EXPECT_TRUE(ValidateInputCell(kRowV1Point, "3650", r, msg));
  EXPECT_EQ(r.v1Point, 3600);
  EXPECT_FALSE(ValidateInputCell(kRowV1Point, "99", r, msg));
  EXPECT_EQ(Cp932ToUtf8(msg), "V1測定点は、100 ～ 3600 の範囲で値を設定してください。");
  EXPECT_EQ(r.v1Point, 3600);
}

TEST(InputCheck, CellCountSetsEndVoltageAndRow17Wins) {
  CMeasureData r;
  std::string msg;
  EXPECT_TRUE(ValidateInputCell(kRowCells, "6", r, msg));
  EXPECT_EQ(r.cells, 6);
  EXPECT_DOUBLE_EQ(r.endVoltage, 6.0);
  EXPECT_EQ(ValidateInputs({"1.0", "0.5", "0.1", "4", "3.6", "300"}, r), "");
  EXPECT_EQ(r.cells, 4);
  EXPECT_DOUBLE_EQ(r.endVoltage, 3.6);
  EXPECT_EQ(r.v1Point, 300);
}

TEST(InputCheck, MessagesInRowOrderEachWithALineBreak) {
  CMeasureData r;
  const std::string out = ValidateInputs({"36", "0.5", "40", "1", "9", "50"}, r);
  EXPECT_EQ(Cp932ToUtf8(out),
            "放電電流Ａは、0.0 ～ 35.0 の範囲で値を設定してください。\n"
            "放電電流Ｃは、0.0 ～ 35.0 の範囲で値を設定してください。\n"
            "終了電圧は、0.0 ～ 8.0 の範囲で値を設定してください。\n"
            "V1測定点は、100 ～ 3600 の範囲で値を設定してください。\n");
  // The valid ones were stored.
  EXPECT_DOUBLE_EQ(r.currentB, 0.5);
}

// ---------------------------------------------------------- end-of-run check

TEST(EmergencyCause, Rules) {
  CMeasureData r;
  const std::string conn = CRunControl::CauseConnection();
  const std::string range = CRunControl::CauseRange();
  EXPECT_EQ(CRunControl::EmergencyCause(r), conn);  // no points: time 0
  r.AppendPoint({1, 1.0, 0.0, 0, 0});
  EXPECT_EQ(CRunControl::EmergencyCause(r), conn);
  r.MutablePoints().back() = {2, 1.0, 0.0, 0, 0};
  EXPECT_EQ(CRunControl::EmergencyCause(r), "");
  r.cells = 1;
  r.MutablePoints().back() = {300, 1.0, 1.85, 0, 0};
  EXPECT_EQ(CRunControl::EmergencyCause(r), range);
  r.cells = 4;
  r.MutablePoints().back() = {300, 1.0, 5.0, 0, 0};
  EXPECT_EQ(CRunControl::EmergencyCause(r), "");
  r.MutablePoints().back() = {0, 1.0, 12.0, 0, 0};
  EXPECT_EQ(CRunControl::EmergencyCause(r), range);  // replaces the first cause
  EXPECT_EQ(
      Cp932ToUtf8(CRunControl::EmergencyText(range)),
      "緊急停止されました。\n\n（※セル数設定の誤り等によるレンジオーバーの可能性があります。）");
}

// ------------------------------------------------------------- start/stop

class RunControlTest : public LinkTest {
 protected:
  RunControlTest() {
    Set("COMPORT", "1");
    run = std::make_unique<CRunControl>(*doc, ui);
    run->sleeper = Recorder();
    run->hooks.setStatus = [this](const std::string& s) {
      std::lock_guard<std::mutex> g(waitsMu);
      status.push_back(Cp932ToUtf8(s));
    };
    doc->SetRefreshHandler([this](int flags) { refreshes.push_back(flags); });
  }
  ~RunControlTest() override { run.reset(); }

  void UseInstrument(ScriptedInstrument& inst) { run->frameHook = inst.FrameHook(); }
  std::vector<std::string> Texts() const { return ui.TextsUtf8(); }

  FakeUi ui;
  std::unique_ptr<CRunControl> run;
  std::vector<std::string> status;
  std::vector<int> refreshes;
};

TEST_F(RunControlTest, KeepingThePanelDataCancels) {
  ScriptedInstrument inst(PortsDir(), 1);
  doc->Current().AppendPoint({5, 1, 1, 1, 1});
  ui.Answer(MsgResult::kCancel);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kCancelled);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Texts()[0],
            "計測データ欄にデータが残っています。\n\n計測データ欄をクリアしてよろしいですか？\n"
            "（クリアしたデータは元に戻せません）");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測を開始");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kQuestion);
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::kOkCancel);
  EXPECT_EQ(doc->Current().Points().size(), 1u);
  EXPECT_EQ(inst.Received(), "");
}

TEST_F(RunControlTest, ClearingThePanelResetsTheMeasurementFirst) {
  // No instrument: the sending fails after the panel was cleared.
  doc->Current().AppendPoint({5, 1, 1, 1, 1});
  doc->Current().currentA = 7.0;  // the reset takes the input defaults again
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kNo);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kSendFailed);
  EXPECT_TRUE(doc->Current().IsEmpty());
  EXPECT_DOUBLE_EQ(doc->Current().currentA, 1.0);
  EXPECT_EQ(doc->Current().displaySlot, 1);
  EXPECT_TRUE(app.modified);
  EXPECT_THAT(refreshes, ElementsAre(kRefreshResult | kRefreshGraph));
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(Cp932ToUtf8(ui.messages[1].caption), "放電と計測を開始");
}

TEST_F(RunControlTest, InvalidCurrentShowsMessageAndOpensNoPort) {
  ScriptedInstrument inst(PortsDir(), 1);
  doc->Current().currentA = 36.0;
  EXPECT_EQ(run->StartCommand(), StartOutcome::kInvalidInput);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Texts()[0],
            "放電電流Ａは、0.0 ～ 35.0 の範囲で値を設定してください。\n\n"
            "入力値を設定しなおしてください。");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測を開始");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(inst.Received(), "");
  EXPECT_FALSE(app.measuring);
}

TEST_F(RunControlTest, PanelTextsAreValidatedAndStored) {
  ScriptedInstrument inst(PortsDir(), 1);
  run->hooks.inputTexts = [] { return InputCellTexts{"2.0", "1.0", "0.2", "4", "4.4", "300"}; };
  run->hooks.confirmStart = [] { return false; };
  EXPECT_EQ(run->StartCommand(), StartOutcome::kCancelled);
  EXPECT_EQ(inst.Received(), CurrentsCommand(2.0, 1.0, 0.2) + ConditionsCommand(4, 4.4, 300));
  EXPECT_EQ(doc->Current().cells, 4);
  EXPECT_DOUBLE_EQ(doc->Current().endVoltage, 4.4);
  EXPECT_FALSE(app.runActive);
  // Sending status, then cleared; the 1000 ms pause after sending.
  EXPECT_THAT(status, ElementsAre("入力値送信中", ""));
  EXPECT_THAT(waits, ElementsAre(100, 100, 1000));
}

TEST_F(RunControlTest, DupClearWithOnlyTheCurrentMeasurementRefreshesNothing) {
  Set("START_DUPCLR", "1");
  Set("START_DIRECT", "1");
  run->hooks.confirmStart = [] { return false; };
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Default('D', "x");
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kNo);
  run->StartCommand();
  EXPECT_TRUE(refreshes.empty());
}

TEST_F(RunControlTest, StartOptionsRemoveOverlaysAndResetGraph) {
  Set("START_DUPCLR", "1");
  Set("START_DEFGRA", "1");
  auto rec = std::make_unique<CMeasureData>();
  rec->id1 = rec->id2 = rec->id3 = 1;
  CMeasureData* reg = doc->InsertRegistered(std::move(rec));
  ASSERT_TRUE(doc->ToggleOverlay(reg));
  app.graph = GraphSettings{5.0, 1.0, true, 3, 0.5};
  bool graphHook = false;
  run->hooks.applyDefaultGraph = [&] { graphHook = true; };
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kNo);
  run->StartCommand();  // no instrument: sending fails afterwards
  EXPECT_EQ(doc->DisplayList().size(), 1u);
  EXPECT_EQ(reg->displaySlot, -1);
  EXPECT_TRUE(graphHook);
  EXPECT_EQ(app.graph, (GraphSettings{12.0, 0.0, false, 1, 1.0}));
  EXPECT_THAT(refreshes, ElementsAre(7));
  // The settings file is not written.
  EXPECT_EQ(app.settings.Get("GRAPH_MAXV"), "");
}

TEST_F(RunControlTest, FirstFailureOffersDetectionOnlyOnce) {
  // No device on COM1.
  int detectCalls = 0;
  run->hooks.detectPort = [&] {
    ++detectCalls;
    return 7;
  };
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kYes);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kSendFailed);
  EXPECT_EQ(app.commErrorCount, 1);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(Texts()[0],
            "入力値が送信できません。\n通信エラーが生じました。\n\n（※ORVANTIS本体との接続や"
            "通信設定を確認してください。\nまた、ORVANTIS側の画面が\"計測画面\"であるか確認して"
            "ください。）");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(Texts()[1],
            "（※このメッセージは、\nアプリケーション起動後の１回目の通信エラー時に表示されます）"
            "\n\n本アプリケーションには、通信設定を自動的に行う機能があります。\n自動設定を行い"
            "ますか？");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[1].caption), "通信ポートの自動設定");
  EXPECT_EQ(ui.messages[1].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(detectCalls, 1);
  EXPECT_EQ(app.settings.Get("COMPORT"), "7");

  ui.messages.clear();
  EXPECT_EQ(run->StartCommand(), StartOutcome::kSendFailed);
  EXPECT_EQ(app.commErrorCount, 2);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(detectCalls, 1);
}

TEST_F(RunControlTest, HintAnsweredYesRunsTheCoreDetection) {
  Set("COMPORT", "2");  // nothing there
  ScriptedInstrument inst(PortsDir(), 5);
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kYes);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kSendFailed);
  EXPECT_EQ(app.settings.Get("COMPORT"), "5");
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(Texts()[2],
            "通信設定を完了しました。ORVANTISとの通信が可能になります。\n\n（通信ポートが「COM "
            "5」に設定されました。）");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[2].caption), "自動設定完了");
  EXPECT_EQ(inst.Received(), ProbeCommand() + "\r\r\r\r\r\r");
}

TEST_F(RunControlTest, WholeRunWithoutMessagesWritesBackup) {
  Set("START_DIRECT", "1");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("LOAD", 1, 1.0, "1.290"),
               FrameText("STOP", 2, 1.0, "1.000")});
  UseInstrument(inst);
  std::vector<int> points;
  int finals = 0;
  run->hooks.pointRefresh = [&](int t) { points.push_back(t); };
  run->hooks.finalRefresh = [&] { ++finals; };
  EXPECT_EQ(run->StartCommand(), StartOutcome::kStarted);
  EXPECT_TRUE(app.modified);
  run->Join();
  EXPECT_EQ(run->LastRunResult(), kFrameStop);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_THAT(points, ElementsAre(0, 1, 2));
  EXPECT_EQ(finals, 1);
  EXPECT_FALSE(app.measuring);
  EXPECT_FALSE(app.runActive);
  EXPECT_TRUE(FileExists(dir.File("tmpdata.bak")));
  EXPECT_THAT(status, ElementsAre("入力値送信中", "", ""));
  EXPECT_EQ(inst.Received(), CurrentsCommand(1.0, 0.5, 0.1) + ConditionsCommand(1, 1.0, 100) +
                                 "S\rG\rG\rG\r\r\r\r\r\r\r");
}

TEST_F(RunControlTest, ConfirmationDeclinedStartsNothing) {
  ScriptedInstrument inst(PortsDir(), 1);
  run->hooks.confirmStart = [] { return false; };
  EXPECT_EQ(run->StartCommand(), StartOutcome::kCancelled);
  EXPECT_FALSE(app.runActive);
  EXPECT_FALSE(app.modified);
}

TEST_F(RunControlTest, BatteryConnectionCause) {
  Set("START_DIRECT", "1");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "0.000"), FrameText("STOP", 1, 1.0, "0.000")});
  UseInstrument(inst);
  run->StartCommand();
  run->Join();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Texts()[0],
            "緊急停止されました。\n\n（※ORVANTIS本体と電池の接続を確認してください。）");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測");
}

TEST_F(RunControlTest, FourCellsAtFiveVoltsIsNoEmergency) {
  Set("START_DIRECT", "1");
  doc->Current().cells = 4;
  doc->Current().endVoltage = 4.0;
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "5.000"), FrameText("STOP", 200, 1.0, "5.000")});
  UseInstrument(inst);
  run->StartCommand();
  run->Join();
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RunControlTest, CommunicationLostDuringRun) {
  Set("START_DIRECT", "1");
  Set("COM_RETRY_C3", "2");
  Set("COM_TIMEOUT_MS", "20");
  // Silence after a first frame, also after one that already says "STOP".
  for (const char* status : {"LOAD", "STOP"}) {
    ui.messages.clear();
    doc->Current().Reset(app.inputs);  // no question about the panel's data
    ScriptedInstrument inst(PortsDir(), 1);
    inst.Frames({FrameText(status, 0, 1.0, "1.300")});
    UseInstrument(inst);
    run->StartCommand();
    run->Join();
    EXPECT_EQ(run->LastRunResult(), kFrameFail) << status;
    ASSERT_EQ(ui.messages.size(), 1u) << status;
    EXPECT_EQ(Texts()[0],
              "通信エラーが生じました。\n\nORVANTIS本体との通信障害のため、計測を中断します。");
    EXPECT_EQ(doc->Current().Points().size(), 1u);
  }
}

TEST_F(RunControlTest, UserStopShowsOnlyTheStopMessage) {
  Set("START_DIRECT", "1");
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "0.000"), FrameText("LOAD", 1, 1.0, "0.000"),
               FrameText("STOP", 1, 1.0, "0.000")});
  inst.atFrame[1] = [this] { run->StopCommand(); };
  UseInstrument(inst);
  run->StartCommand();
  run->Join();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Texts()[0],
            "放電と計測の処理を停止しました。\n\n（ORVANTIS本体側の停止も確認してください。）");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測を停止");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  const std::string got = inst.Received();
  EXPECT_EQ(got.substr(got.find('S')), "S\rE\rG\rG\rG\r\r\r\r\r\r\r");
}

TEST_F(RunControlTest, WorkerCannotOpenThePort) {
  ScriptedInstrument inst(PortsDir(), 1);
  run->hooks.confirmStart = [&] {
    inst.Unpublish();
    return true;
  };
  EXPECT_EQ(run->StartCommand(), StartOutcome::kStarted);
  run->Join();
  EXPECT_EQ(run->LastRunResult(), -1);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Texts()[0],
            "開始できません。\n通信エラーが生じました。\n\n（※ORVANTIS本体との接続や通信設定を"
            "確認してください。\nまた、ORVANTIS側の画面が\"計測画面\"であるか確認してください。"
            "）");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測を開始");
  EXPECT_TRUE(FileExists(dir.File("tmpdata.bak")));
  EXPECT_FALSE(app.runActive);
}

TEST_F(RunControlTest, NoBackupWhenFlagBackupIsTwo) {
  Set("START_DIRECT", "1");
  app.backupMode = 2;
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("STOP", 300, 1.0, "1.000")});
  UseInstrument(inst);
  run->StartCommand();
  run->Join();
  EXPECT_FALSE(FileExists(dir.File("tmpdata.bak")));
}

TEST_F(RunControlTest, StartWhileActiveDoesNothing) {
  app.runActive = true;
  EXPECT_EQ(run->StartCommand(), StartOutcome::kBusy);
  EXPECT_TRUE(ui.messages.empty());
  app.runActive = false;
}

}  // namespace
}  // namespace qv::test
