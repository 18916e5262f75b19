// The start command, the measurement worker's end-of-run checks, the stop
// command, the input validation, and the run journal and the sleep lock
// around a run.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "core/numtext.h"
#include "data/codec.h"
#include "data/run_journal.h"
#include "data/run_lock.h"
#include "data/run_recovery.h"
#include "link/input_check.h"
#include "link/run_control.h"
#include "link/sleep_inhibitor.h"
#include "link_fixture.h"
#include "private_bus.h"

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
  const std::string conn = GetRunControlTexts().causeConnection;
  const std::string range = GetRunControlTexts().causeRange;
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
      Cp932ToUtf8(EmergencyStopText(range)),
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
  EXPECT_EQ(doc->SlotOf(doc->Current()), 1);
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
  GraphSettings hookGraph;
  run->hooks.applyDefaultGraph = [&](const GraphSettings& g) {
    graphHook = true;
    hookGraph = g;
  };
  ui.Answer(MsgResult::kOk);
  ui.Answer(MsgResult::kNo);
  run->StartCommand();  // no instrument: sending fails afterwards
  EXPECT_EQ(doc->DisplayList().size(), 1u);
  EXPECT_EQ(doc->SlotOf(*reg), -1);
  EXPECT_TRUE(graphHook);
  EXPECT_EQ(app.graph, (GraphSettings{12.0, 0.0, false, 1, 1.0}));
  EXPECT_EQ(hookGraph, app.graph);
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
  // A further sink sees every point once it is in the record.
  std::vector<std::string> events;
  SinkNotes extra(*doc, events);
  run->frameSinks = {&extra};
  EXPECT_EQ(run->StartCommand(), StartOutcome::kStarted);
  EXPECT_TRUE(app.modified);
  run->Join();
  EXPECT_EQ(run->LastRunResult(), RunResult::kInstrumentStopped);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_THAT(points, ElementsAre(0, 1, 2));
  EXPECT_EQ(finals, 1);
  EXPECT_THAT(events, ElementsAre("p0/1", "p1/2", "p2/3", "end"));
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
    EXPECT_EQ(run->LastRunResult(), RunResult::kCommFailure) << status;
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
  EXPECT_EQ(run->LastRunResult(), RunResult::kNoRun);
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

TEST_F(RunControlTest, ARunAfterAnUnrecoveredOneWritesItOutFirstAndLeavesNoJournal) {
  Set("START_DIRECT", "1");
  const std::string journal = dir.File("runjournal.qvj");
  JournalHeader old;
  old.startMs = WallClockMs() - 3600 * 1000;
  std::string bytes = EncodeJournalHeader(old);
  for (uint32_t i = 0; i < 3; ++i)
    bytes += EncodeJournalEntry(i, {old.startMs + 1000 * i, {static_cast<int>(i), 1, 1.2, 0, 0}});
  WriteFile(journal, bytes);
  // Named after the old run's end, its last point's arrival.
  const std::string recovered =
      DefaultRecoveredPath(journal, LocalDateTimeOfMs(old.startMs + 2000));

  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("LOAD", 1, 1.0, "1.290"),
               FrameText("STOP", 2, 1.0, "1.000")});
  // This run keeps a journal of its own while it goes.
  JournalContents during;
  bool journaled = false;
  inst.atFrame[2] = [&] {
    for (int i = 0; i < 2000 && !journaled; ++i) {
      journaled = ParseJournal(ReadFile(journal), during) && during.entries.size() == 2;
      if (!journaled) usleep(1000);
    }
  };
  UseInstrument(inst);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kStarted);
  run->Join();

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, RecoveredBeforeRunText(3, recovered));
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測を開始");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  ASSERT_TRUE(journaled);
  EXPECT_DOUBLE_EQ(during.entries[1].point.voltage, 1.29);
  EXPECT_TRUE(FileExists(recovered));
  // The run ended normally: its backup is written and no journal is left.
  EXPECT_TRUE(FileExists(dir.File("tmpdata.bak")));
  EXPECT_FALSE(FileExists(journal));
}

TEST_F(RunControlTest, AJournalThatCannotBeWrittenIsToldAtOnceAndAgainAfterTheRun) {
  Set("START_DIRECT", "1");
  run->safeguard.Journal().SetFaultForTesting(0, ENOSPC, {});
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("LOAD", 1, 1.0, "1.290"),
               FrameText("LOAD", 2, 1.0, "1.280"), FrameText("STOP", 200, 1.0, "1.000")});
  // The writer fails on the first point; the point after it brings the
  // notice while the run goes on.
  inst.atFrame[1] = [this] {
    for (int i = 0; i < 2000 && run->safeguard.Journal().FailedSoFar() == 0; ++i)
      usleep(1000);
  };
  size_t noticesDuringRun = 0, messagesDuringRun = 0;
  inst.atFrame[3] = [&] {
    noticesDuringRun = ui.notices.size();
    messagesDuringRun = ui.messages.size();
  };
  UseInstrument(inst);
  run->StartCommand();
  run->Join();
  EXPECT_EQ(noticesDuringRun, 1u);
  EXPECT_EQ(messagesDuringRun, 0u);
  ASSERT_EQ(ui.notices.size(), 1u);
  EXPECT_EQ(Cp932ToUtf8(ui.notices[0].text),
            "計測中の記録ファイル " + dir.File("runjournal.qvj") +
                " に書き込めません（空き容量がありません）。計測は続けますが、このままプログラムが"
                "中断すると計測データは失われます。");
  EXPECT_EQ(Cp932ToUtf8(ui.notices[0].caption), "放電と計測");
  EXPECT_EQ(ui.notices[0].icon, MsgIcon::kWarning);
  // The run took every frame all the same, and says it again at its end.
  EXPECT_EQ(run->LastRunResult(), RunResult::kInstrumentStopped);
  EXPECT_EQ(doc->Current().Points().size(), 4u);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, CRunSafeguard::JournalFailedText());
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_FALSE(FileExists(dir.File("runjournal.qvj")));
}

TEST_F(RunControlTest, ASecondRunInTheFolderIsRefusedBeforeAnythingIsSent) {
  Set("START_DIRECT", "1");
  ScriptedInstrument inst(PortsDir(), 1), other(PortsDir(), 2);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("LOAD", 1, 1.0, "1.290"),
               FrameText("STOP", 2, 1.0, "1.000")});
  // A second program in the same folder: a document and run control of its own.
  CAppState app2;
  app2.settings.SetDirectory(dir.path());
  app2.LoadSettings();
  CBrenlowDoc doc2(app2);
  FakeUi ui2;
  CRunControl second(doc2, ui2);
  second.portOverride = 2;
  second.sleeper = Recorder();
  const std::string journal = dir.File("runjournal.qvj");
  JournalContents during;
  std::string before, after;
  StartOutcome refused = StartOutcome::kStarted;
  bool backupMeanwhile = true;
  inst.atFrame[2] = [&] {
    for (int i = 0;
         i < 2000 && !(ParseJournal(ReadFile(journal), during) && during.entries.size() == 2); ++i)
      usleep(1000);
    before = ReadFile(journal);
    refused = second.StartCommand();
    after = ReadFile(journal);
    backupMeanwhile = FileExists(dir.File("tmpdata.bak"));
  };
  UseInstrument(inst);
  ASSERT_EQ(run->StartCommand(), StartOutcome::kStarted);
  run->Join();

  EXPECT_EQ(refused, StartOutcome::kFolderBusy);
  EXPECT_EQ(other.Received(), "");
  EXPECT_FALSE(backupMeanwhile);
  ASSERT_EQ(during.entries.size(), 2u);
  EXPECT_EQ(after, before);
  std::string comm = ReadFile("/proc/self/comm");
  comm.pop_back();
  ASSERT_EQ(ui2.messages.size(), 1u);
  EXPECT_EQ(
      ui2.TextsUtf8()[0],
      "この作業フォルダーでは、ほかの放電と計測が実行中です。\n計測を開始できません。\n\n"
      "作業フォルダー：" +
          dir.path() + "\n実行中の計測：" + comm + "（プロセス番号 " + std::to_string(::getpid()) +
          "）\n開始日時：" + Cp932ToUtf8(LocalDateTimeOfMs(during.header.startMs).Text()) +
          "\n入力値：放電電流Ａ 1.0 A、放電電流Ｂ 0.5 A、放電電流Ｃ 0.1 A、セル数 1、終了電圧 "
          "1.0 V、V1測定点 100 秒\n\n（※実行中の計測が終わってから開始してください。同じ作業"
          "フォルダーで二つの計測を同時に行うと、計測中の記録が残せません。）");
  EXPECT_EQ(Cp932ToUtf8(ui2.messages[0].caption), "放電と計測を開始");
  EXPECT_EQ(ui2.messages[0].icon, MsgIcon::kWarning);
  EXPECT_TRUE(ui2.notices.empty());
  // The first run went on to its normal end.
  EXPECT_EQ(run->LastRunResult(), RunResult::kInstrumentStopped);
  EXPECT_EQ(doc->Current().Points().size(), 3u);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(FileExists(journal));
  // Its end let the folder go: the second program may run now.
  other.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("STOP", 1, 1.0, "1.000")});
  second.frameHook = other.FrameHook();
  EXPECT_EQ(second.StartCommand(), StartOutcome::kStarted);
  second.Join();
  EXPECT_EQ(second.LastRunResult(), RunResult::kInstrumentStopped);
}

TEST_F(RunControlTest, AFifoInTheJournalsPlaceIsRefusedAtTheStart) {
  ScriptedInstrument inst(PortsDir(), 1);
  const std::string journal = dir.File("runjournal.qvj");
  ASSERT_EQ(::mkfifo(journal.c_str(), 0644), 0);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kFolderBusy);
  EXPECT_EQ(inst.Received(), "");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(Texts()[0], "計測の記録ファイルの名前 " + journal +
                            " が、通常のファイルではないもの（FIFO やフォルダーなど）に使われている"
                            "ため、記録ファイルを読み書きできません。\n\n（※このファイルを削除する"
                            "か名前を変えてください。）");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "放電と計測を開始");
  struct stat st {};
  ASSERT_EQ(::lstat(journal.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  // The folder was let go again.
  CRunFolderLock lock;
  EXPECT_EQ(lock.Acquire(dir.path()), CRunFolderLock::Claim::kTaken);
}

struct UnsafeEndCase {
  const char* name;
  const char* backupMode;
  bool clearPanelBeforeSave;  // the saved file does not hold the run
  bool journalAfterSave;
};

TEST_F(RunControlTest, WithoutABackupTheJournalStaysUntilTheRunIsSaved) {
  Set("START_DIRECT", "1");
  const UnsafeEndCase cases[] = {
      {"unwritable backup, saved", "0", false, false},
      {"unwritable backup, panel cleared, saved", "0", true, true},
      {"backup mode that keeps no measurement, saved", "5", false, false},
  };
  for (const UnsafeEndCase& c : cases) {
    TempDir work;
    WriteFile(work.File("Dis.ini"), ReadFile(dir.File("Dis.ini")));
    ASSERT_EQ(::symlink(PortsDir().c_str(), work.File("ports").c_str()), 0);
    app.settings.SetDirectory(work.path());
    app.backupMode = AtoI(c.backupMode);
    const bool backupFails = app.backupMode == 0;
    if (backupFails) ::mkdir(work.File("tmpdata.bak").c_str(), 0755);
    const std::string kept = work.File("runjournal.qvj");
    ui.messages.clear();
    doc->Current().Reset(app.inputs);
    ScriptedInstrument inst(PortsDir(), 1);
    inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("STOP", 200, 1.0, "1.000")});
    UseInstrument(inst);
    ASSERT_EQ(run->StartCommand(), StartOutcome::kStarted) << c.name;
    run->Join();
    ASSERT_TRUE(FileExists(kept)) << c.name;
    if (backupFails) {
      ASSERT_EQ(ui.messages.size(), 1u) << c.name;
      EXPECT_EQ(Texts()[0], "計測データを自動バックアップファイル " + work.File("tmpdata.bak") +
                                " に保存できませんでした。\n\n（※作業フォルダーの空き容量と書き込み"
                                "の権限を確認してください。計測中の記録ファイルは、計測データがデー"
                                "タファイルに保存されるまで残してあります。）")
          << c.name;
    } else {
      EXPECT_TRUE(ui.messages.empty()) << c.name;
    }
    // The window wires the document's saves to the safeguard so.
    doc->SetSavedHandler([this] { run->DocumentSaved(); });
    if (c.clearPanelBeforeSave) doc->ResetCurrent();
    ASSERT_TRUE(doc->Save(work.File("run.qd1")).ok) << c.name;
    EXPECT_EQ(FileExists(kept), c.journalAfterSave) << c.name;
    doc->SetSavedHandler({});
  }
  app.settings.SetDirectory(dir.path());
}

// ------------------------------------------------------------- sleep lock

// Owns org.freedesktop.login1 and answers Inhibit as logind does: with the
// write end of a pipe whose closing ends the lock.
class StandInLogind {
 public:
  explicit StandInLogind(const std::string& address)
      : service_(address, "org.freedesktop.login1", "/org/freedesktop/login1",
                 "org.freedesktop.login1.Manager", kVtable, this) {}
  ~StandInLogind() {
    if (held_ >= 0) ::close(held_);
  }

  bool Started() const { return service_.Started(); }
  // The arguments of every Inhibit call, joined by '|'.
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> g(mu_);
    return calls_;
  }
  // True while the lock handed out last is still held by its taker.
  bool Held() {
    std::lock_guard<std::mutex> g(mu_);
    struct pollfd p {
      held_, 0, 0
    };
    return held_ >= 0 && ::poll(&p, 1, 0) == 0;
  }

 private:
  static int OnInhibit(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* me = static_cast<StandInLogind*>(self);
    const char *what = "", *who = "", *why = "", *mode = "";
    sd_bus_message_read(m, "ssss", &what, &who, &why, &mode);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -errno;
    {
      std::lock_guard<std::mutex> g(me->mu_);
      me->calls_.push_back(std::string(what) + "|" + who + "|" + why + "|" + mode);
      if (me->held_ >= 0) ::close(me->held_);
      me->held_ = fds[0];
    }
    const int r = sd_bus_reply_method_return(m, "h", fds[1]);
    ::close(fds[1]);
    return r;
  }
  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Inhibit", "ssss", "h", OnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END};

  std::mutex mu_;
  std::vector<std::string> calls_;
  int held_ = -1;
  BusService service_;
};

TEST_F(RunControlTest, LogindLockIsTakenAtTheStartAndReleasedAtTheEnd) {
  Set("START_DIRECT", "1");
  ASSERT_EQ(::access("/usr/bin/dbus-daemon", X_OK), 0) << "dbus-daemon is not installed";
  PrivateBus bus(dir.path(), "system");
  StandInLogind logind(bus.Address());
  ASSERT_TRUE(logind.Started());
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("STOP", 200, 1.0, "1.000")});
  bool heldDuringRun = false;
  inst.atFrame[1] = [&] { heldDuringRun = logind.Held(); };
  UseInstrument(inst);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kStarted);
  run->Join();
  EXPECT_TRUE(heldDuringRun);
  EXPECT_FALSE(logind.Held());
  EXPECT_THAT(logind.Calls(), ElementsAre("sleep:idle|Quorvex|放電と計測の実行中|block"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RunControlTest, ARunWithoutASystemBusGoesOnSilently) {
  Set("START_DIRECT", "1");
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1);
  EXPECT_FALSE(MakeLogindInhibitor()->Acquire());
  ScriptedInstrument inst(PortsDir(), 1);
  inst.Frames({FrameText("LOAD", 0, 1.0, "1.300"), FrameText("STOP", 200, 1.0, "1.000")});
  UseInstrument(inst);
  EXPECT_EQ(run->StartCommand(), StartOutcome::kStarted);
  run->Join();
  ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  EXPECT_EQ(run->LastRunResult(), RunResult::kInstrumentStopped);
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace qv::test
