// Discharge runs in the window against the simulated analyzer: start,
// follow, stop, the end-of-run messages and the start options.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <mutex>
#include <set>

#include "app/dialogs/port_setting_dialog.h"
#include "app/dialogs/start_options_dialog.h"
#include "data/codec.h"
#include "data/doc_commands.h"
#include "test_run_support.h"
#include "views/graph_view.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"
#include "views/view_text.h"

namespace qv::test {
namespace {

using ui::CRunController;
using ui::CStartConfirmDlg;

// A small pack (about 200 frames at 1 A) served as fast as it is read.
std::vector<std::string> FastSmallRun() {
  return {"--speed", "0", "--gap-ms", "1", "--capacity", "60"};
}

std::unique_ptr<CMeasureData> CopyCurrent(CBrenlowDoc& doc) {
  std::lock_guard<std::mutex> g(doc.Lock());
  return std::make_unique<CMeasureData>(doc.Current());
}

// Frames come 250 ms after the start command: the read time-out must cover
// that.
class RunTest : public RunWindowTest {
 protected:
  void AdjustSettings(CSettingsStore& store) override { store.SetInt("COM_TIMEOUT_MS", 500); }
};

TEST_F(RunTest, StartAndStopButtonsFollowTheRunAtOnce) {
  SimProcess sim(dir_.path(), kCom, FastSmallRun());
  ASSERT_TRUE(sim.WaitReady());
  QAction* start = frame_->Action(ui::kCmdStart);
  QAction* stop = frame_->Action(ui::kCmdStop);
  QAction* reg = frame_->Action(ui::kCmdRegister);
  std::vector<bool> atEnd;
  QObject::connect(runs_, &CRunController::RunFinished, [&](RunResult) {
    atEnd = {start->isEnabled(), stop->isEnabled(), reg->isEnabled()};
  });
  frame_->OnCommand(ui::kCmdStart);
  EXPECT_FALSE(start->isEnabled());
  EXPECT_TRUE(stop->isEnabled());
  ASSERT_TRUE(PumpUntil([&] { return !finished_.empty(); }));
  // When the run has ended, without waiting for the idle update.
  EXPECT_EQ(atEnd, (std::vector<bool>{true, false, true}));
}

TEST_F(RunTest, WholeDischargeFollowsEveryPointThenRegistersSavesAndReopens) {
  SimProcess sim(dir_.path(), kCom, FastSmallRun());
  ASSERT_TRUE(sim.WaitReady());
  std::vector<int> shownIndexes;
  int graphBehind = 0;
  int statusMissing = 0;
  const ui::CGraphView* graph = frame_->GraphView();
  QObject::connect(runs_, &CRunController::PointShown, [&](int index, int time) {
    shownIndexes.push_back(index);
    // The graph has followed at least this very point when its refresh is
    // over (its repaint reads the record, which may already hold more).
    if (graph->ContentWidth() < time * graph->GetScale().timeScale + 2 * ui::CGraphView::kLeft)
      ++graphBehind;
    if (frame_->RunStatusPane()->text() != QString::fromUtf8("放電計測中")) ++statusMissing;
  });

  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(confirmations_, 1);
  ASSERT_EQ(finished_, std::vector<RunResult>{RunResult::kInstrumentStopped});
  EXPECT_TRUE(ui_.messages.empty()) << ::testing::PrintToString(Texts());

  CBrenlowDoc& doc = app_->Doc();
  const std::unique_ptr<CMeasureData> copy = CopyCurrent(doc);
  const CMeasureData& measured = *copy;
  const int n = static_cast<int>(measured.Points().size());
  ASSERT_GT(n, 50);
  EXPECT_TRUE(measured.IsMeasured());

  // Every point was refreshed once, in order, and the end refresh came last.
  const ui::RunFollowStats& stats = runs_->Stats();
  EXPECT_EQ(stats.pointsShown, n);
  EXPECT_EQ(stats.outOfOrder, 0);
  EXPECT_TRUE(stats.finalShown);
  ASSERT_EQ(static_cast<int>(shownIndexes.size()), n);
  for (int i = 0; i < n; ++i)
    ASSERT_EQ(shownIndexes[static_cast<size_t>(i)], i + 1);

  // The panel's column holds the final values, current and voltage "0.0".
  ui::CReportCtrl* list = frame_->ResultView()->List();
  const int column = static_cast<int>(doc.DisplayList().size());
  for (int row = 1; row <= 11; ++row) {
    if (row == 4 || row == 5) {
      EXPECT_EQ(list->CellText(row, column), "0.0") << row;
    } else {
      EXPECT_EQ(list->CellText(row, column), ui::ResultCellText(row, measured, true, false)) << row;
    }
  }
  EXPECT_EQ(graphBehind, 0);
  EXPECT_EQ(statusMissing, 0);
  // The graph followed to the last point.
  EXPECT_EQ(graph->ContentWidth(),
            measured.GetDischargeTime() * graph->GetScale().timeScale + 2 * ui::CGraphView::kLeft);

  // The run is over: state cleared, the backup written, the window free.
  EXPECT_FALSE(app_->State().runActive.load());
  EXPECT_FALSE(app_->State().measuring.load());
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(FileExists(dir_.File("tmpdata.bak")));
  EXPECT_TRUE(frame_->RunStatusPane()->text().isEmpty());
  EXPECT_TRUE(frame_->IsCommandEnabled(ui::kCmdStart));
  EXPECT_FALSE(frame_->IsCommandEnabled(ui::kCmdStop));

  // Register, save, reopen and compare.
  ASSERT_NE(RegisterAccepted(doc, RegistrationId{12, 34, 56}), nullptr);
  const std::string path = dir_.File("run.qd1");
  ASSERT_TRUE(SaveDataFile(doc, ui_, path));
  CAppState state2;
  state2.settings.SetDirectory(dir_.path());
  CBrenlowDoc doc2(state2);
  FakeUi ui2;
  ASSERT_TRUE(OpenDataFile(doc2, ui2, path));
  ASSERT_EQ(doc2.Registered().size(), 1u);
  const CMeasureData& back = *doc2.Registered().front();
  EXPECT_EQ(back.Id().Text(), "012-034-056");
  EXPECT_EQ(back.GetDateTimeText(), measured.GetDateTimeText());
  EXPECT_EQ(back.Points(), measured.Points());
  EXPECT_EQ(back.cells, measured.cells);
}

TEST_F(RunTest, StopShowsItsMessageAtOnceAndNothingAtTheEnd) {
  SimProcess sim(dir_.path(), kCom, {"--speed", "100", "--capacity", "3000"});
  ASSERT_TRUE(sim.WaitReady());
  int shown = 0;
  QObject::connect(runs_, &CRunController::PointShown, [&](int, int) { ++shown; });
  frame_->OnCommand(ui::kCmdStart);
  ASSERT_TRUE(runs_->IsActive());
  ASSERT_TRUE(PumpUntil([&] { return shown >= 5; }));

  // During the run only the commands that leave the document alone work,
  // and the window does not close.
  const std::set<int> allowed = {ui::kCmdStop,          ui::kCmdGraphSettings, ui::kCmdFileInfo,
                                 ui::kCmdRestoreWidths, ui::kCmdAbout,         ui::kCmdExit,
                                 ui::kCmdVoltStrip,     ui::kCmdFitTime};
  frame_->UpdateCommandStates();
  for (QAction* menu : frame_->Menus()->actions()) {
    if (!menu->menu()) continue;
    for (QAction* a : menu->menu()->actions()) {
      if (a->isSeparator()) continue;
      const int id = a->data().toInt();
      if (a->isEnabled()) {
        EXPECT_TRUE(allowed.count(id)) << id;
      }
    }
  }
  EXPECT_TRUE(frame_->Action(ui::kCmdStop)->isEnabled());
  EXPECT_FALSE(frame_->Action(ui::kCmdStart)->isEnabled());
  EXPECT_FALSE(frame_->Action(ui::kCmdStartOptions)->isEnabled());
  EXPECT_FALSE(frame_->Action(ui::kCmdPortSettings)->isEnabled());
  EXPECT_FALSE(frame_->close());
  EXPECT_TRUE(frame_->isVisible());
  EXPECT_TRUE(ui_.messages.empty());

  frame_->OnCommand(ui::kCmdStop);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, GetRunControlTexts().stopped);
  EXPECT_EQ(ui_.messages[0].caption, GetRunControlTexts().captionStop);
  EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kInformation);
  EXPECT_TRUE(runs_->IsActive());  // the worker ends the run itself

  ASSERT_TRUE(PumpUntil([&] { return !finished_.empty(); }));
  EXPECT_EQ(finished_[0], RunResult::kInstrumentStopped);
  EXPECT_EQ(ui_.messages.size(), 1u) << ::testing::PrintToString(Texts());
  EXPECT_GE(app_->Doc().Current().Points().size(), 5u);
  EXPECT_TRUE(runs_->Stats().finalShown);
}

TEST_F(RunTest, InstantStopReportsTheBatteryConnection) {
  SimProcess sim(dir_.path(), kCom, {"--speed", "0", "--fault", "instant-stop"});
  ASSERT_TRUE(sim.WaitReady());
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(ui_.messages.size(), 1u) << ::testing::PrintToString(Texts());
  EXPECT_EQ(ui_.messages[0].text, EmergencyStopText(GetRunControlTexts().causeConnection));
  EXPECT_EQ(Cp932ToUtf8(ui_.messages[0].text),
            "緊急停止されました。\n\n（※ORVANTIS本体と電池の接続を確認してください。）");
  EXPECT_EQ(ui_.messages[0].caption, Sj("放電と計測"));
  EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kWarning);
  // The message came after the run's last refresh.
  EXPECT_TRUE(runs_->Stats().finalShown);
  // The first "STOP" and the one read while polling.
  EXPECT_EQ(CopyCurrent(app_->Doc())->Points().size(), 2u);
  EXPECT_EQ(finished_[0], RunResult::kInstrumentStopped);
}

TEST_F(RunTest, OverRangeReportsTheCellCount) {
  SimProcess sim(dir_.path(), kCom, {"--speed", "0", "--gap-ms", "1", "--fault", "over-range"});
  ASSERT_TRUE(sim.WaitReady());
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(ui_.messages.size(), 1u) << ::testing::PrintToString(Texts());
  EXPECT_EQ(
      Cp932ToUtf8(ui_.messages[0].text),
      "緊急停止されました。\n\n（※セル数設定の誤り等によるレンジオーバーの可能性があります。）");
  EXPECT_EQ(ui_.messages[0].caption, Sj("放電と計測"));
}

TEST_F(RunTest, UnpluggedInstrumentEndsTheRunWithTheCommunicationMessage) {
  SimProcess sim(dir_.path(), kCom,
                 {"--speed", "0", "--gap-ms", "1", "--fault", "unplug", "--unplug-at", "20"});
  ASSERT_TRUE(sim.WaitReady());
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(finished_[0], RunResult::kCommFailure);
  ASSERT_EQ(ui_.messages.size(), 1u) << ::testing::PrintToString(Texts());
  EXPECT_EQ(Cp932ToUtf8(ui_.messages[0].text),
            "通信エラーが生じました。\n\nORVANTIS本体との通信障害のため、計測を中断します。");
  EXPECT_EQ(ui_.messages[0].caption, Sj("放電と計測"));
  EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kWarning);
  // The points received before the cable was pulled stay.
  const std::unique_ptr<CMeasureData> kept = CopyCurrent(app_->Doc());
  EXPECT_GE(kept->Points().size(), 10u);
  EXPECT_EQ(runs_->Stats().pointsShown, static_cast<int>(kept->Points().size()));
  EXPECT_TRUE(FileExists(dir_.File("tmpdata.bak")));
}

TEST_F(RunTest, ConfirmationCancelledStartsNoRun) {
  SimProcess sim(dir_.path(), kCom, FastSmallRun());
  ASSERT_TRUE(sim.WaitReady());
  confirmAnswer_ = false;
  frame_->OnCommand(ui::kCmdStart);
  EXPECT_EQ(confirmations_, 1);
  EXPECT_FALSE(runs_->IsActive());
  EXPECT_FALSE(app_->State().measuring.load());
  EXPECT_TRUE(app_->Doc().Current().IsEmpty());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(RunTest, SendingShowsTheStatusAndWaitCursorThenFailsWithTheHintOnlyOnce) {
  // An instrument that answers nothing.
  SimProcess sim(dir_.path(), kCom, {"--fault", "silent"});
  ASSERT_TRUE(sim.WaitReady());
  QString statusWhileSending;
  bool waitCursorWhileSending = false;
  runs_->Control().sleeper = [&](int ms) {
    if (statusWhileSending.isEmpty()) {
      statusWhileSending = frame_->RunStatusPane()->text();
      const QCursor* c = QApplication::overrideCursor();
      waitCursorWhileSending = c && c->shape() == Qt::WaitCursor;
    }
    ShortSleep(ms);
  };
  ui_.Answer(MsgResult::kOk);
  ui_.Answer(MsgResult::kNo);
  frame_->OnCommand(ui::kCmdStart);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(
      Cp932ToUtf8(ui_.messages[0].text),
      "入力値が送信できません。\n通信エラーが生じました。\n\n（※ORVANTIS本体との接続や通信設定を"
      "確認してください。\nまた、ORVANTIS側の画面が\"計測画面\"であるか確認してください。）");
  EXPECT_EQ(ui_.messages[0].caption, Sj("放電と計測を開始"));
  EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(ui_.messages[1].text, GetRunControlTexts().detectHint);
  EXPECT_EQ(ui_.messages[1].caption, Sj("通信ポートの自動設定"));
  EXPECT_EQ(ui_.messages[1].icon, MsgIcon::kQuestion);
  EXPECT_EQ(ui_.messages[1].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(confirmations_, 0);
  EXPECT_FALSE(runs_->IsActive());
  EXPECT_EQ(app_->State().commErrorCount, 1);
  EXPECT_EQ(statusWhileSending, QString::fromUtf8("入力値送信中"));
  EXPECT_TRUE(waitCursorWhileSending);
  EXPECT_TRUE(frame_->RunStatusPane()->text().isEmpty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // The second failure shows the warning alone.
  frame_->OnCommand(ui::kCmdStart);
  ASSERT_EQ(ui_.messages.size(), 3u);
  EXPECT_EQ(ui_.messages[2].text, GetRunControlTexts().sendFailed);
  EXPECT_EQ(app_->State().commErrorCount, 2);
  EXPECT_EQ(app_->State().settings.GetInt("COMPORT"), kCom);
}

// A registered record overlaid on the graph, and a graph range of the user.
class StartOptionsTest : public RunWindowTest {
 protected:
  void Overlay() {
    CBrenlowDoc& doc = app_->Doc();
    {
      std::lock_guard<std::mutex> g(doc.Lock());
      CMeasureData& cur = doc.Current();
      for (int t = 1; t <= 3; ++t)
        cur.MutablePoints().push_back(CMeasurePoint{t, 1.0, 1.2, 0.3 * t, 1.2});
      cur.dateTime = COleDateTime::FromParts(DateParts{2024, 5, 6, 7, 8, 9});
    }
    ASSERT_NE(RegisterAccepted(doc, RegistrationId{1, 1, 1}), nullptr);
    ASSERT_EQ(doc.DisplayList().size(), 2u);
    app_->State().graph = GraphSettings{9.0, 3.0, true, 4, 0.5};
    frame_->GraphView()->ApplySettings(app_->State().graph);
  }
  void StartWithoutInstrument() {
    ui_.Answer(MsgResult::kOk);
    ui_.Answer(MsgResult::kNo);
    frame_->OnCommand(ui::kCmdStart);
  }
};

TEST_F(StartOptionsTest, DupClrRemovesOverlaysAndDefGraResetsTheRangeWithoutWriting) {
  Overlay();
  CSettingsStore& s = app_->State().settings;
  s.Set("START_DUPCLR", "1");
  s.Set("START_DEFGRA", "1");
  const std::string maxBefore = s.Get("GRAPH_MAXV");
  StartWithoutInstrument();
  EXPECT_EQ(app_->Doc().DisplayList().size(), 1u);
  const ui::CGraphView::Scale& sc = frame_->GraphView()->GetScale();
  EXPECT_EQ(sc.maxV, 12.0);
  EXPECT_EQ(sc.minV, 0.0);
  EXPECT_FALSE(sc.grid);
  EXPECT_EQ(sc.stepV, 1.0);
  EXPECT_EQ(sc.timeScale, 1);
  EXPECT_EQ(s.Get("GRAPH_MAXV"), maxBefore);
  // The result panel lost the overlay's column.
  EXPECT_EQ(frame_->ResultView()->List()->ColumnCount(), 2);
}

TEST_F(StartOptionsTest, WithoutTheOptionsOverlaysAndRangeStay) {
  Overlay();
  CSettingsStore& s = app_->State().settings;
  s.Set("START_DUPCLR", "0");
  s.Set("START_DEFGRA", "0");
  StartWithoutInstrument();
  EXPECT_EQ(app_->Doc().DisplayList().size(), 2u);
  EXPECT_EQ(frame_->GraphView()->GetScale().maxV, 9.0);
  EXPECT_EQ(frame_->GraphView()->GetScale().timeScale, 4);
}

TEST_F(StartOptionsTest, DialogShowsAndWritesTheTwoFlags) {
  CSettingsStore& s = app_->State().settings;
  s.Set("START_DUPCLR", "2");
  s.Set("START_DEFGRA", "0");
  bool seen = false;
  runs_->runStartOptions = [&](ui::CStartOptionsDlg& dlg) {
    seen = true;
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("計測開始時の設定"));
    EXPECT_EQ(dlg.ClearOverlaysBox()->text(), QString::fromUtf8("グラフ重ね合わせを解除する"));
    EXPECT_EQ(dlg.DefaultGraphBox()->text(), QString::fromUtf8("グラフ表示範囲を既定値にする"));
    EXPECT_TRUE(dlg.ClearOverlaysBox()->isChecked());
    EXPECT_FALSE(dlg.DefaultGraphBox()->isChecked());
    dlg.ClearOverlaysBox()->setChecked(false);
    dlg.DefaultGraphBox()->setChecked(true);
    dlg.OkButton()->click();
    return dlg.result();
  };
  frame_->OnCommand(ui::kCmdStartOptions);
  EXPECT_TRUE(seen);
  EXPECT_EQ(s.Get("START_DUPCLR"), "0");
  EXPECT_EQ(s.Get("START_DEFGRA"), "1");

  // キャンセル writes nothing.
  runs_->runStartOptions = [&](ui::CStartOptionsDlg& dlg) {
    dlg.ClearOverlaysBox()->setChecked(true);
    dlg.CancelButton()->click();
    return dlg.result();
  };
  frame_->OnCommand(ui::kCmdStartOptions);
  EXPECT_EQ(s.Get("START_DUPCLR"), "0");
}

TEST(StartConfirmDialog, TextsAndDefaultButton) {
  ui::CStartConfirmDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("放電と計測を開始"));
  EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("leadText"))->text(),
            QString::fromUtf8("放電と計測を開始します。"));
  EXPECT_EQ(dlg.findChild<QLabel*>(QStringLiteral("note1"))->text(),
            QString::fromUtf8(
                "※１　計測の前に、スクリーンセーバーや他のアプリケーションを停止させてください。"));
  EXPECT_EQ(
      dlg.findChild<QLabel*>(QStringLiteral("note2"))->text(),
      QString::fromUtf8(
          "※２　このダイアログが出現している状態で、ORVANTIS側の設定を変更しないでください。"));
  EXPECT_EQ(dlg.StartButton()->text(), QString::fromUtf8("開始"));
  EXPECT_TRUE(dlg.StartButton()->isDefault());
  EXPECT_EQ(dlg.CancelButton()->text(), QString::fromUtf8("キャンセル"));
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// Pictures for a person to look at; skipped unless QV_SCREENSHOT_DIR names
// the folder to write them into.
class RunScreens : public RunWindowTest {
 protected:
  void AdjustSettings(CSettingsStore& store) override { store.SetInt("COM_TIMEOUT_MS", 500); }
  static QString Dir() { return qEnvironmentVariable("QV_SCREENSHOT_DIR"); }
  static void Save(QWidget& w, const char* name) {
    w.adjustSize();
    w.grab().save(Dir() + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
  }
};

TEST_F(RunScreens, RunAndItsDialogs) {
  if (Dir().isEmpty()) GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
  SimProcess sim(dir_.path(), kCom, {"--speed", "200", "--capacity", "3000"});
  ASSERT_TRUE(sim.WaitReady());
  runs_->runConfirm = [](ui::CStartConfirmDlg& dlg) {
    Save(dlg, "run_confirm");
    dlg.StartButton()->click();
    return dlg.result();
  };
  int shown = 0;
  QObject::connect(runs_, &CRunController::PointShown, [&](int, int) { ++shown; });
  frame_->OnCommand(ui::kCmdStart);
  ASSERT_TRUE(PumpUntil([&] { return shown >= 400; }, 60000));
  frame_->grab().save(Dir() + QStringLiteral("/run_main.png"));
  frame_->OnCommand(ui::kCmdStop);
  ASSERT_TRUE(PumpUntil([&] { return !finished_.empty(); }));
  frame_->grab().save(Dir() + QStringLiteral("/run_ended.png"));

  runs_->runStartOptions = [](ui::CStartOptionsDlg& dlg) {
    Save(dlg, "run_start_options");
    return 0;
  };
  frame_->OnCommand(ui::kCmdStartOptions);
  runs_->runDetect = [](ui::CPortDetectDlg& dlg) {
    Save(dlg, "run_port_detect");
    return 0;
  };
  runs_->runPortSetting = [](ui::CPortSettingDlg& dlg) {
    Save(dlg, "run_port_setting");
    dlg.DetectButton()->click();
    return 0;
  };
  frame_->OnCommand(ui::kCmdPortSettings);
}

}  // namespace
}  // namespace qv::test
