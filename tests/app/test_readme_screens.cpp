// The README's pictures (scripts/screenshot.sh --readme): the main window
// after a whole run of the demo pack against the simulator with two
// registered records overlaid, a printed graph sheet of the same file, and
// a long run of a bigger pack watched with the voltage scale fixed and the
// time axis fitted to the window.
// Skipped unless QV_README_SHOTS names the folder to write them into.
#include <QImage>
#include <QPainter>
#include <QSplitter>

#include "data/doc_commands.h"
#include "output/print_settings.h"
#include "shell_test_support.h"
#include "test_run_support.h"
#include "views/data_view.h"
#include "views/draw_list_painter.h"
#include "views/graph_view.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"

namespace qv::test {
namespace {

class ReadmeScreens : public RunWindowTest {
 protected:
  // The demo folder of ./run.sh: a six-cell racing pack.
  void AdjustSettings(CSettingsStore& store) override {
    store.SetMany({{"DATA_DEF_DISA", "20.0"},
                   {"DATA_DEF_DISB", "5.0"},
                   {"DATA_DEF_DISC", "10.0"},
                   {"DATA_DEF_CELL", "6"},
                   {"DATA_DEF_CUTV", "6.0"},
                   {"DATA_DEF_APO1", "300"},
                   {"GRAPH_MAXV", "9.0"},
                   {"GRAPH_MINV", "5.0"},
                   {"GRAPH_GAPY", "0.5"},
                   {"GRAPH_GAPX", "1"},
                   {"GRAPH_GRID", "1"},
                   {"COM_TIMEOUT_MS", "1500"}});
  }
  static QString Dir() { return qEnvironmentVariable("QV_README_SHOTS"); }
};

TEST_F(ReadmeScreens, FinishedRunWithTwoOverlaysAndAGraphSheet) {
  if (Dir().isEmpty()) GTEST_SKIP() << "QV_README_SHOTS not set";
  const std::string sample = qEnvironmentVariable("QV_SCREENSHOT_FILE").toStdString();
  ASSERT_FALSE(sample.empty());
  ASSERT_TRUE(OpenDataFile(app_->Doc(), ui_, sample));
  SimProcess sim(dir_.path(), kCom,
                 {"--speed", "0", "--gap-ms", "1", "--capacity", "4000", "--resistance", "4"});
  ASSERT_TRUE(sim.WaitReady());
  frame_->resize(1200, 700);
  ASSERT_TRUE(RunToEnd(120000));
  ui::CReportCtrl* list = frame_->DataView()->List();
  for (int pos : {1, 3})
    if (pos < list->RowCount()) frame_->DataView()->ToggleOverlay(list->RowKeyAt(pos));
  frame_->GraphView()->CursorUpdate(420);
  // The result panel wide enough for the run's column and both overlays.
  for (auto* split : frame_->findChildren<QSplitter*>())
    if (split->orientation() == Qt::Horizontal && split->indexOf(frame_->ResultView()) >= 0)
      split->setSizes({430, 770});
  PumpUntil([] { return false; }, 200);
  EXPECT_TRUE(frame_->grab().save(Dir() + QStringLiteral("/main_window.png")));

  // A graph sheet of the registered records, as the preview shows page 1.
  CSettingsStore& settings = app_->State().settings;
  shell::StoreValidSettings(settings, kPrintGraphs, kPrintAll);
  settings.Set("PRINT_GRAPH_WS", "800");
  constexpr int kDpi = 100;
  const PrinterDevice a4{0, 0, 827, 1169, kDpi, kDpi, 96};
  CPrintEngine engine;
  engine.BeginPrinting(settings, a4, app_->Doc().Registered(), {}, app_->State().graph);
  QImage page(a4.paperWidth, a4.paperHeight, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  ui::PaintDrawList(painter, engine.PrintPage(1),
                    ui::PaperMapper(engine.Layout().metrics, kDpi, kDpi));
  painter.end();
  EXPECT_TRUE(page.save(Dir() + QStringLiteral("/graph_sheet.png")));
}

TEST_F(ReadmeScreens, ALongRunWithTheScaleFixedAndTheTimeAxisFitted) {
  if (Dir().isEmpty()) GTEST_SKIP() << "QV_README_SHOTS not set";
  const std::string sample = qEnvironmentVariable("QV_SCREENSHOT_FILE").toStdString();
  ASSERT_FALSE(sample.empty());
  ASSERT_TRUE(OpenDataFile(app_->Doc(), ui_, sample));
  // Twice the demo pack's capacity: some 22 minutes at 20 A.
  SimProcess sim(dir_.path(), kCom,
                 {"--speed", "0", "--gap-ms", "1", "--capacity", "8000", "--resistance", "4"});
  ASSERT_TRUE(sim.WaitReady());
  frame_->resize(1200, 700);
  ui::CReportCtrl* list = frame_->DataView()->List();
  for (int pos : {1, 3})
    if (pos < list->RowCount()) frame_->DataView()->ToggleOverlay(list->RowKeyAt(pos));
  frame_->OnCommand(ui::kCmdVoltStrip);
  frame_->OnCommand(ui::kCmdFitTime);
  // Taken while the run goes on, at 20 minutes.
  bool taken = false;
  QObject::connect(runs_, &ui::CRunController::PointShown, [&](int, int time) {
    if (taken || time < 1200) return;
    taken = true;
    EXPECT_TRUE(frame_->grab().save(Dir() + QStringLiteral("/long_run.png")));
    frame_->OnCommand(ui::kCmdStop);
  });
  ASSERT_TRUE(RunToEnd(120000));
  EXPECT_TRUE(taken);
}

}  // namespace
}  // namespace qv::test
