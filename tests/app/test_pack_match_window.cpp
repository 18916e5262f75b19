// The pack matching window: opened from the Operation menu, it lists what its
// model computed, overlays a selected pack on the graph and saves the CSV
// file. A picture of it for a person to look at when QV_SCREENSHOT_DIR is set.
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTest>

#include "analysis/pack_match_report.h"
#include "app/dialogs/pack_match_dialog.h"
#include "app/match_commands.h"
#include "data/codec.h"
#include "shell_test_support.h"
#include "views/data_view.h"
#include "views/graph_view.h"
#include "views/report_ctrl.h"

namespace qv::test::shell {
namespace {

// Fourteen six-cell batteries discharged at 20 A, capacities around 2200 mAh.
void WriteCells(const std::string& path) {
  CMeasureData current;
  RecordList list;
  for (int i = 0; i < 14; ++i) {
    auto r = std::make_unique<CMeasureData>(InputConditions{6, 6.0, 20.0, 20.0, 20.0, 100});
    r->id1 = 1;
    r->id2 = 2;
    r->id3 = i + 1;
    r->dateTime = COleDateTime::FromParts({2021, 6, 1 + i / 5, 10, 2 * i, 0});
    const double mah = 2150.0 + (i * 37 % 11) * 9.5;
    const double seconds = mah / 20.0 * 3.6;
    const double sag = 0.02 * (i % 4);
    for (int t = 0; t <= static_cast<int>(seconds); t += 2) {
      const double x = t / seconds;
      const double v = 8.1 - sag - 0.9 * x - 0.9 * std::pow(x, 8);
      r->AppendPoint({t, 20.0, v, 20.0 * t / 3.6, 7.6 - 0.4 * x});
    }
    r->internalResistance = 9.0 + i % 5 * 0.4;
    r->avgVoltage1 = 7.4 - sag;
    r->pir = 10.0;
    list.push_back(std::move(r));
  }
  WriteFile(path, DataFileBytes(current, list, DataFileForm::kFull));
}

class PackMatchWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteCells(files.File("cells.qd1"));
    app = std::make_unique<StartedApp>(files.File("cells.qd1"));
  }
  ui::CMainFrame& Frame() { return app->Frame(); }

  TempDir files;
  std::unique_ptr<StartedApp> app;
};

TEST_F(PackMatchWindow, TheOperationMenuOpensItOverTheDataViewWithoutBlockingTheWindow) {
  QMenu* operation = Frame().menuBar()->actions()[1]->menu();
  emit operation->aboutToShow();
  ASSERT_TRUE(app->Enabled(ui::kCmdPackMatch));
  Frame().Action(ui::kCmdPackMatch)->trigger();
  auto* dlg = Frame().findChild<ui::CPackMatchDialog*>();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_FALSE(dlg->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // Its top-left corner is the data view's: the graph beside stays in view.
  const QWidget* data = Frame().DataView();
  EXPECT_EQ(dlg->geometry().topLeft(), data->mapToGlobal(QPoint(0, 0)));
  const QWidget* graph = Frame().GraphView();
  const QRect graphArea(graph->mapToGlobal(QPoint(0, 0)), graph->size());
  EXPECT_FALSE(dlg->geometry().intersects(graphArea));
  // The command brings the one window back rather than opening another.
  Frame().Action(ui::kCmdPackMatch)->trigger();
  EXPECT_EQ(Frame().findChildren<ui::CPackMatchDialog*>().size(), 1);
  dlg->CloseButton()->click();
  Pump([&] { return Frame().findChildren<ui::CPackMatchDialog*>().isEmpty(); }, 2000);
  EXPECT_TRUE(Frame().findChildren<ui::CPackMatchDialog*>().isEmpty());
}

TEST(PackMatchPlace, TheWindowOpensAtTheDataViewCutToItButNotBelowItsMinimum) {
  const QRect data(10, 400, 1000, 300);
  EXPECT_EQ(ui::MatchWindowPlace(data, {600, 500}, {300, 200}), QRect(10, 400, 600, 300));
  EXPECT_EQ(ui::MatchWindowPlace(data, {1200, 250}, {300, 200}), QRect(10, 400, 1000, 250));
  EXPECT_EQ(ui::MatchWindowPlace(QRect(0, 0, 100, 100), {600, 500}, {300, 200}),
            QRect(0, 0, 300, 200));
}

TEST_F(PackMatchWindow, ListsThePacksOverlaysASelectedOneAndSavesThem) {
  ui::CPackMatchDialog dlg(app->Doc(), app->ui, &Frame());
  EXPECT_FALSE(dlg.SaveButton()->isEnabled());
  dlg.SeriesField()->setValue(4);
  dlg.CriterionBox(MatchCriterion::kIr)->setChecked(true);
  dlg.WeightField(MatchCriterion::kIr)->setText("0.5");
  dlg.ComputeButton()->click();
  ASSERT_TRUE(dlg.Model().HasResult());
  EXPECT_TRUE(app->ui.messages.empty());
  const MatchTable& table = dlg.Model().Table();
  ui::CReportCtrl* list = dlg.List();
  ASSERT_EQ(list->RowCount(), static_cast<int>(table.rows.size()));
  EXPECT_EQ(list->RowCount(), 4);  // three packs and the left-over row
  EXPECT_EQ(list->ColumnTitle(2), Sj("ばらつき"));
  EXPECT_EQ(list->CellText(0, 1), table.rows[0].fields[1]);
  EXPECT_EQ(list->CellText(0, 3), table.rows[0].ids[0] + " " + table.rows[0].ids[1] + " " +
                                      table.rows[0].ids[2] + " " + table.rows[0].ids[3]);
  EXPECT_EQ(dlg.HeadlineLabel()->text().toStdString(),
            Cp932ToUtf8(MatchHeadline(dlg.Model().Result())));
  EXPECT_TRUE(dlg.SaveButton()->isEnabled());

  // Selecting the second pack (by keyboard) overlays its four cells.
  list->Table()->setFocus();
  list->Table()->setCurrentIndex(list->Table()->model()->index(1, 0));
  const auto& drawn = app->Doc().DisplayList();
  ASSERT_EQ(drawn.size(), 5u);
  for (size_t k = 1; k < drawn.size(); ++k)
    EXPECT_EQ(drawn[k]->GetIdText(), table.rows[1].ids[k - 1]);
  // The data view follows: the rows of the pack carry the slot colours.
  ui::CReportCtrl* data = Frame().DataView()->List();
  EXPECT_EQ(data->CellColor(app->Doc().RowKeyOf(*drawn[1]), 0), 11);

  app->ui.ChooseFile(files.File("packs.csv"));
  dlg.SaveButton()->click();
  EXPECT_EQ(ReadFile(files.File("packs.csv")), MatchCsvBytes(dlg.Model().Result(), table));

  // A series-parallel pack goes by capacity: the criteria are greyed.
  dlg.ParallelField()->setValue(2);
  EXPECT_FALSE(dlg.findChild<QGroupBox*>()->isEnabled());
}

TEST_F(PackMatchWindow, ARefusalLeavesAnEmptyList) {
  ui::CPackMatchDialog dlg(app->Doc(), app->ui, &Frame());
  dlg.SeriesField()->setValue(15);
  dlg.ComputeButton()->click();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0].rfind("セルが足りません。", 0), 0u);
  EXPECT_EQ(dlg.List()->RowCount(), 0);
  EXPECT_FALSE(dlg.SaveButton()->isEnabled());
}

TEST(Screens, PackMatchWindow) {
  const QString shots = qEnvironmentVariable("QV_SCREENSHOT_DIR");
  if (shots.isEmpty()) GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
  TempDir files;
  WriteCells(files.File("cells.qd1"));
  StartedApp a(files.File("cells.qd1"));
  a.Frame().resize(1000, 720);
  ui::CPackMatchDialog dlg(a.Doc(), a.ui, &a.Frame());
  dlg.SeriesField()->setValue(4);
  dlg.show();
  dlg.ComputeButton()->click();
  dlg.List()->Table()->setCurrentIndex(dlg.List()->Table()->model()->index(0, 0));
  QApplication::processEvents();
  EXPECT_TRUE(dlg.grab().save(shots + "/pack_match.png"));
  EXPECT_TRUE(a.Frame().grab().save(shots + "/pack_match_main.png"));
  dlg.ParallelField()->setValue(3);
  dlg.ComputeButton()->click();
  QApplication::processEvents();
  EXPECT_TRUE(dlg.grab().save(shots + "/pack_match_parallel.png"));
}

}  // namespace
}  // namespace qv::test::shell
