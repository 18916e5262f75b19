// The main window: panes and their geometry, menus, toolbar, status bar,
// enable rules, accelerators, closing and the about box.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <algorithm>
#include <set>

#include "app/about_dialog.h"
#include "data/codec.h"
#include "shell_test_support.h"
#include "views/data_view.h"
#include "views/graph_view.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

// One menu as "caption: entry|entry|-|entry" with the entries' ids.
std::string MenuLine(QMenu* menu) {
  std::string s = menu->title().toStdString() + ":";
  for (QAction* a : menu->actions()) {
    if (a->isSeparator())
      s += " -";
    else
      s += " " + std::to_string(a->data().toInt());
  }
  return s;
}

TEST(MainFrame, MenusHoldTheirCommandsInOrder) {
  StartedApp a;
  const QList<QAction*> menus = a.Frame().menuBar()->actions();
  ASSERT_EQ(menus.size(), 6);
  std::vector<std::string> lines;
  for (QAction* m : menus)
    lines.push_back(MenuLine(m->menu()));
  EXPECT_EQ(lines[0], "ﾌｧｲﾙ(&F): 32785 32786 - 57607 - 32800 32791 32799 - 57665");
  EXPECT_EQ(lines[1], "操作(&A): 32771 32772 - 32815 32816");
  EXPECT_EQ(lines[2], "編集(&E): 32773 32774 - 32778 32792 - 32806");
  EXPECT_EQ(lines[3], "表示(&V): 32808 32807 32804 - 32776 32801 - 32830 32831 - 32802");
  EXPECT_EQ(lines[4], "ｵﾌﾟｼｮﾝ(&O): 32777 32796 32797 - 32790");
  EXPECT_EQ(lines[5], "ﾍﾙﾌﾟ(&H): 57664");
}

// Every command of the menus and the toolbar: an action showing the
// command's caption, prompt and tooltip, a handler, a mnemonic of its own
// within its menu, and an image exactly when it stands on the toolbar.
TEST(MainFrame, EveryCommandHasACaptionAHandlerAndItsImage) {
  StartedApp a;
  const std::vector<int>& bar = ToolbarLayout();
  std::set<int> seen;
  auto check = [&](int id) {
    const CommandText* t = FindCommandText(id);
    ASSERT_NE(t, nullptr) << id;
    QAction* act = a.Frame().Action(id);
    ASSERT_NE(act, nullptr) << id;
    EXPECT_EQ(act->text().toStdString(), t->caption) << id;
    EXPECT_EQ(act->statusTip().toStdString(), t->prompt) << id;
    EXPECT_EQ(act->toolTip().toStdString(), t->tooltip) << id;
    EXPECT_FALSE(act->statusTip().isEmpty() || act->toolTip().isEmpty()) << id;
    EXPECT_TRUE(a.Frame().HasCommand(id)) << id << " has no handler";
    const bool onBar = std::find(bar.begin(), bar.end(), id) != bar.end();
    EXPECT_EQ(!act->icon().isNull(), onBar) << id;
    seen.insert(id);
  };
  for (const MenuText& m : MenuLayout()) {
    std::set<char> mnemonics;
    for (int id : m.entries) {
      if (id == 0) continue;
      check(id);
      const std::string caption = FindCommandText(id)->caption;
      const size_t amp = caption.find("(&");
      ASSERT_NE(amp, std::string::npos) << caption;
      EXPECT_TRUE(mnemonics.insert(caption[amp + 2]).second) << m.caption << ": " << caption;
    }
  }
  for (int id : bar) {
    if (id == 0) continue;
    EXPECT_TRUE(seen.count(id)) << id << " is on the toolbar but in no menu";
  }
  EXPECT_EQ(seen.size(), CommandTexts().size());  // no caption without a place
  // A few texts as they stand.
  EXPECT_EQ(a.Frame().Action(kCmdOpen)->text().toStdString(), "ﾃﾞｰﾀﾌｧｲﾙを開く(&O)");
  EXPECT_EQ(a.Frame().Action(kCmdAbout)->text().toStdString(), "製品情報(&A)...");
  EXPECT_EQ(a.Frame().Action(kCmdStart)->statusTip().toStdString(), "放電と計測を開始");
  EXPECT_EQ(a.Frame().Action(kCmdStart)->toolTip().toStdString(), "放電開始");
}

TEST(MainFrame, ToolbarButtonsInOrderWithImagesAndTips) {
  StartedApp a;
  QToolBar* bar = a.Frame().ToolBar();
  std::vector<int> ids;
  for (QAction* act : bar->actions()) {
    if (act->isSeparator()) {
      ids.push_back(0);
      continue;
    }
    ids.push_back(act->data().toInt());
    EXPECT_FALSE(act->icon().isNull()) << act->data().toInt();
    EXPECT_FALSE(act->toolTip().isEmpty());
  }
  const std::vector<int> expected = {32785, 32786, 57607, 0,     32771, 32772, 0,    32773,
                                     32774, 32778, 0,     32777, 32796, 0,     57664};
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(bar->iconSize(), QSize(16, 15));
}

TEST(MainFrame, StatusBarPanes) {
  StartedApp a;
  EXPECT_EQ(a.Frame().RunStatusPane()->width(), 80);
  EXPECT_EQ(a.Frame().RunStatusPane()->text(), "");
  EXPECT_EQ(a.Frame().CaptionPane()->width(), 100);
  EXPECT_EQ(a.Frame().CaptionPane()->text(), "ORVANTIS");
  a.Frame().SetRunStatus(QString::fromUtf8("放電計測中"));
  EXPECT_EQ(a.Frame().RunStatusPane()->text().toStdString(), "放電計測中");
}

TEST(MainFrame, UpperRowKeepsItsHeightAndTheInnerBarMoves) {
  StartedApp a;
  CMainFrame& f = a.Frame();
  f.resize(900, 700);
  QApplication::processEvents();
  EXPECT_EQ(f.UpperRow()->height(), 339);
  EXPECT_EQ(f.ResultView()->width(), 200);
  f.resize(900, 900);
  QApplication::processEvents();
  EXPECT_EQ(f.UpperRow()->height(), 339);
  EXPECT_GT(f.DataView()->height(), 400);
  // The bar under the upper row does not move; the one beside the graph does.
  EXPECT_FALSE(f.OuterSplitter()->handle(1)->isEnabled());
  EXPECT_TRUE(f.InnerSplitter()->handle(1)->isEnabled());
  f.InnerSplitter()->setSizes({300, 500});
  EXPECT_EQ(f.ResultView()->width(), 300);
}

TEST(MainFrame, CannotBeMadeSmallerThanTheMinimum) {
  StartedApp a;
  a.Frame().resize(300, 200);
  QApplication::processEvents();
  EXPECT_EQ(a.Frame().width(), 500);
  EXPECT_EQ(a.Frame().height(), 453);
  // Even then the upper row keeps its height and the data view, below it,
  // still shows its header.
  CMainFrame& f = a.Frame();
  EXPECT_EQ(f.UpperRow()->height(), 339);
  const QRect upper(f.UpperRow()->mapTo(&f, QPoint(0, 0)), f.UpperRow()->size());
  const QRect data(f.DataView()->mapTo(&f, QPoint(0, 0)), f.DataView()->size());
  EXPECT_GE(data.top(), upper.bottom()) << data.top() << " " << upper.bottom();
  QHeaderView* header = f.DataView()->List()->Table()->horizontalHeader();
  EXPECT_TRUE(header->isVisible());
  EXPECT_GE(f.DataView()->height(), header->height());
}

// --- Enable rules ---------------------------------------------------------------

struct FrameWithRecords : ::testing::Test {
  void SetUp() override {
    const std::string path = files.File("four.qd1");
    WriteSampleFile(path, 4);
    app = std::make_unique<StartedApp>(path);
    CMainFrame& f = app->Frame();
    f.activateWindow();
    QApplication::setActiveWindow(&f);
    Pump([&] { return QApplication::activeWindow() == &f; }, 1000);
  }
  CMainFrame& Frame() { return app->Frame(); }
  QTableView* DataTable() { return Frame().DataView()->List()->Table(); }
  void SelectRows(std::initializer_list<int> positions) {
    CReportCtrl* list = Frame().DataView()->List();
    bool add = false;
    for (int pos : positions) {
      list->SelectRow(list->RowKeyAt(pos), add);
      add = true;
    }
  }
  // Opens a menu as the user does: its enable rules are evaluated first.
  void OpenMenu(int index) { emit Frame().menuBar()->actions()[index]->menu()->aboutToShow(); }

  TempDir files;
  std::unique_ptr<StartedApp> app;
};

TEST_F(FrameWithRecords, ResultPanelShowsAllNineteenRowsInTheUpperRow) {
  // Two overlays make the panel wider than its column: a horizontal scroll
  // bar appears, and still every row is in sight without scrolling.
  CReportCtrl* data = Frame().DataView()->List();
  Frame().DataView()->ToggleOverlay(data->RowKeyAt(0));
  Frame().DataView()->ToggleOverlay(data->RowKeyAt(1));
  QApplication::processEvents();
  QTableView* table = Frame().ResultView()->List()->Table();
  ASSERT_EQ(table->model()->rowCount(), 19);
  EXPECT_EQ(Frame().UpperRow()->height(), 339);
  EXPECT_TRUE(table->horizontalScrollBar()->isVisible());
  EXPECT_EQ(table->verticalScrollBar()->maximum(), 0);
  const QRect last = table->visualRect(table->model()->index(18, 0));
  EXPECT_LE(last.bottom(), table->viewport()->height() - 1);
}

TEST_F(FrameWithRecords, DeleteAndChangeIdFollowSelectionAndFocus) {
  DataTable()->setFocus();
  ASSERT_TRUE(Pump([&] { return Frame().DataView()->ListHasFocus(); }, 1000));
  OpenMenu(2);
  EXPECT_FALSE(app->Enabled(kCmdDelete));
  EXPECT_FALSE(app->Enabled(kCmdChangeId));

  SelectRows({1});
  OpenMenu(2);
  EXPECT_TRUE(app->Enabled(kCmdDelete));
  EXPECT_TRUE(app->Enabled(kCmdChangeId));

  SelectRows({0, 2});
  OpenMenu(2);
  EXPECT_TRUE(app->Enabled(kCmdDelete));
  EXPECT_FALSE(app->Enabled(kCmdChangeId));

  // Focus elsewhere: both greyed although rows stay selected.
  SelectRows({3});
  Frame().GraphView()->setFocus();
  ASSERT_TRUE(Pump([&] { return !Frame().DataView()->ListHasFocus(); }, 1000));
  OpenMenu(2);
  EXPECT_FALSE(app->Enabled(kCmdDelete));
  EXPECT_FALSE(app->Enabled(kCmdChangeId));

  // The idle timer updates them without a menu being opened.
  DataTable()->setFocus();
  EXPECT_TRUE(Pump([&] { return app->Enabled(kCmdDelete) && app->Enabled(kCmdChangeId); }, 2000));
}

TEST_F(FrameWithRecords, KeyboardMenuNavigationKeepsTheListsFocusForTheRules) {
  DataTable()->setFocus();
  SelectRows({0});
  ASSERT_TRUE(Pump([&] { return Frame().DataView()->ListHasFocus(); }, 1000));
  // The menu bar takes the focus while the user walks the menus by keyboard.
  Frame().menuBar()->setFocus(Qt::MenuBarFocusReason);
  OpenMenu(2);
  EXPECT_TRUE(app->Enabled(kCmdDelete));
}

TEST_F(FrameWithRecords, DeleteRunsOnTheSelectedRecord) {
  DataTable()->setFocus();
  SelectRows({1});
  ASSERT_TRUE(Pump([&] { return Frame().DataView()->ListHasFocus(); }, 1000));
  app->ui.Answer(MsgResult::kOk);
  OpenMenu(2);
  Frame().Action(kCmdDelete)->trigger();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.messages[0].caption, Sj("登録データの削除"));
  ASSERT_EQ(app->Doc().Registered().size(), 3u);
  EXPECT_EQ(app->Doc().Registered()[1]->GetIdText(), "001-001-003");
  EXPECT_EQ(Frame().DataView()->List()->RowCount(), 3);
  EXPECT_TRUE(app->State().modified);
}

TEST_F(FrameWithRecords, RegisterFollowsTheMeasurementsPoints) {
  // The file's current measurement has points.
  OpenMenu(2);
  EXPECT_TRUE(app->Enabled(kCmdRegister));
  app->ui.Answer(MsgResult::kOk);
  Frame().Action(kCmdClearPanel)->trigger();
  EXPECT_TRUE(app->Doc().Current().IsEmpty());
  OpenMenu(2);
  EXPECT_FALSE(app->Enabled(kCmdRegister));
}

TEST_F(FrameWithRecords, RemoveOverlaysNeedsAnOverlay) {
  OpenMenu(3);
  EXPECT_FALSE(app->Enabled(kCmdRemoveOverlays));
  Frame().DataView()->ToggleOverlay(Frame().DataView()->List()->RowKeyAt(0));
  OpenMenu(3);
  EXPECT_TRUE(app->Enabled(kCmdRemoveOverlays));
  Frame().Action(kCmdRemoveOverlays)->trigger();
  EXPECT_EQ(app->Doc().DisplayList().size(), 1u);
  EXPECT_EQ(Frame().ResultView()->List()->ColumnCount(), 2);
}

TEST_F(FrameWithRecords, DuringARunOnlyTheRunSafeCommandsStayEnabled) {
  DataTable()->setFocus();
  SelectRows({0});
  app->State().runActive = true;
  Frame().UpdateCommandStates();
  std::set<int> enabled;
  for (const CommandText& t : CommandTexts()) {
    if (Frame().Action(t.id)->isEnabled()) enabled.insert(t.id);
  }
  const std::set<int> allowed = {kCmdStop,  kCmdGraphSettings, kCmdFileInfo,  kCmdRestoreWidths,
                                 kCmdAbout, kCmdExit,          kCmdVoltStrip, kCmdFitTime};
  for (int id : enabled)
    EXPECT_TRUE(allowed.count(id)) << id;
  for (int id : {kCmdExit, kCmdRestoreWidths, kCmdAbout, kCmdVoltStrip, kCmdFitTime})
    EXPECT_TRUE(enabled.count(id)) << id;
  // Accelerators of commands that change the document are off too.
  EXPECT_FALSE(Frame().Action(kCmdFileOpen)->isEnabled());
  EXPECT_FALSE(Frame().Action(kCmdFileSave)->isEnabled());
  app->State().runActive = false;
}

TEST_F(FrameWithRecords, CommandsNotYetAvailableAreShownGreyed) {
  OpenMenu(0);
  for (int id : {kCmdPrint, kCmdMerge, kCmdExportCsv, kCmdExportBitmap}) {
    if (Frame().HasCommand(id)) continue;  // wired by its own part of the program
    EXPECT_TRUE(Frame().Action(id)->isVisible()) << id;
    EXPECT_FALSE(Frame().Action(id)->isEnabled()) << id;
  }
  EXPECT_TRUE(app->Enabled(kCmdOpen));
  EXPECT_TRUE(app->Enabled(kCmdSave));
  EXPECT_TRUE(app->Enabled(kCmdExit));
}

TEST_F(FrameWithRecords, RestoreWidthsWritesMinusOne) {
  CReportCtrl* list = Frame().DataView()->List();
  list->ColumnResizedByUser(2, 240);
  CSettingsStore& s = app->State().settings;
  EXPECT_EQ(s.Get("CLM_DATAVIEW_" + Sj("備考")), "240");
  Frame().Action(kCmdRestoreWidths)->trigger();
  EXPECT_EQ(s.Get("CLM_DATAVIEW_" + Sj("備考")), "-1");
  EXPECT_EQ(list->ColumnWidth(2), 180);
}

TEST_F(FrameWithRecords, F6MovesThroughThePanes) {
  Frame().ResultView()->List()->Table()->setFocus();
  ASSERT_TRUE(Pump([&] { return Frame().ResultView()->List()->HasListFocus(); }, 1000));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
  EXPECT_TRUE(Frame().GraphView()->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
  EXPECT_TRUE(Frame().DataView()->ListHasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
  EXPECT_TRUE(Frame().GraphView()->hasFocus());
}

TEST_F(FrameWithRecords, CtrlOOpensThroughTheOpenCommand) {
  const std::string other = files.File("two.qd1");
  WriteSampleFile(other, 2);
  app->ui.ChooseFile(other);
  QTest::keyClick(&Frame(), Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(app->ui.fileRequests.size(), 1u);
  EXPECT_EQ(app->ui.fileRequests[0].defaultExtension, ".qd1");
  EXPECT_EQ(app->Doc().Registered().size(), 2u);
  EXPECT_EQ(Frame().DataView()->List()->RowCount(), 2);
  EXPECT_EQ(app->State().fileName, "two.qd1");
}

TEST_F(FrameWithRecords, SaveThenOpenGivesTheSameRows) {
  const std::string copy = files.File("copy.qd1");
  app->ui.ChooseFile(copy);
  Frame().Action(kCmdSave)->trigger();
  ASSERT_TRUE(FileExists(copy));
  EXPECT_TRUE(app->ui.fileRequests.back().confirmOverwrite);
  app->ui.ChooseFile(copy);
  Frame().Action(kCmdOpen)->trigger();
  EXPECT_EQ(Frame().DataView()->List()->RowCount(), 4);
  EXPECT_FALSE(app->State().modified);
}

// --- Closing ------------------------------------------------------------------------

TEST(Closing, WithoutChangesClosesAtOnce) {
  StartedApp a;
  EXPECT_TRUE(a.Frame().close());
  EXPECT_TRUE(a.ui.messages.empty());
}

TEST(Closing, WithChangesAsksAndCancelIsTheDefault) {
  StartedApp a;
  a.State().modified = true;
  // Unscripted, the fake answers with the default button.
  EXPECT_FALSE(a.Frame().close());
  ASSERT_EQ(a.ui.messages.size(), 1u);
  const Message& m = a.ui.messages[0];
  EXPECT_EQ(m.text, Sj("変更のあるデータを保存せず終了しますか？"));
  EXPECT_EQ(m.caption, Sj("ｱﾌﾟﾘｹｰｼｮﾝの終了"));
  EXPECT_EQ(m.icon, MsgIcon::kQuestion);
  EXPECT_EQ(m.buttons, MsgButtons::kOkCancel);
  EXPECT_EQ(m.defaultButton, MsgResult::kCancel);
  EXPECT_TRUE(a.Frame().isVisible());

  a.ui.Answer(MsgResult::kOk);
  a.Frame().Action(kCmdExit)->trigger();
  EXPECT_FALSE(a.Frame().isVisible());
}

TEST(Closing, DuringARunIsRefusedSilently) {
  StartedApp a;
  a.State().modified = true;
  a.State().runActive = true;
  EXPECT_FALSE(a.Frame().close());
  EXPECT_TRUE(a.ui.messages.empty());
  a.State().runActive = false;
}

TEST(Closing, RealQuestionBoxHasCancelAsDefault) {
  TempDir work;
  ui::CBrenlowApp app({work.path(), false, nullptr});
  app.Start(std::nullopt);
  app.State().modified = true;
  QString title, defaultText, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* parent = nullptr;
  ModalAnswer answer([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    parent = box->parentWidget();
    defaultText = box->defaultButton() ? box->defaultButton()->text() : QString();
    // Enter chooses the default button.
    QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_FALSE(app.Frame()->close());
  EXPECT_TRUE(answer.Answered());
  EXPECT_EQ(title.toStdString(), "ｱﾌﾟﾘｹｰｼｮﾝの終了");
  EXPECT_EQ(text.toStdString(), "変更のあるデータを保存せず終了しますか？");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(defaultText.toStdString(), "キャンセル");
  EXPECT_EQ(parent, app.Frame());
  EXPECT_TRUE(app.Frame()->isVisible());
  app.State().modified = false;
}

TEST(AboutBox, ShowsNameVersionAndLink) {
  StartedApp a;
  QString name, version, link;
  bool external = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CAboutDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    name = dlg->NameLabel()->text();
    version = dlg->VersionLabel()->text();
    link = dlg->LinkLabel()->text();
    external = dlg->LinkLabel()->openExternalLinks();
    EXPECT_EQ(dlg->windowTitle().toStdString(), "製品情報");
    EXPECT_EQ(dlg->LinkLabel()->cursor().shape(), Qt::PointingHandCursor);
    dlg->accept();
  });
  a.Frame().Action(kCmdAbout)->trigger();
  EXPECT_TRUE(answer.Answered());
  EXPECT_EQ(name, "Quorvex");
  EXPECT_EQ(version.toStdString(), std::string("Version ") + QV_VERSION_TEXT);
  EXPECT_TRUE(link.contains(QStringLiteral("href=\"%1\"").arg(QLatin1String(kMakerUrl))));
  EXPECT_TRUE(external);
}

}  // namespace
}  // namespace qv::test::shell
