// Watching a run in the window: the live column of the result panel in
// view, the end of the run in the status bar, and the graph's display
// toggles (the fixed voltage strip, the time axis fitted to the window).
// Pictures for a person to look at when QV_SCREENSHOT_DIR is set.
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <mutex>

#include "link/desktop_notice.h"
#include "shell_test_support.h"
#include "test_run_support.h"
#include "views/graph_view.h"
#include "views/qt_color.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"

namespace qv::test {
namespace {

using ui::CRunController;

void SaveShot(const QImage& image, const char* name) {
  const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
  if (!dir.isEmpty()) image.save(dir + QLatin1Char('/') + QLatin1String(name));
}

class RunViewTest : public RunWindowTest {
 protected:
  void AdjustSettings(CSettingsStore& store) override { store.SetInt("COM_TIMEOUT_MS", 500); }

  // Whether the result panel shows the current measurement's column: its
  // right edge in view and no more of it under the label column than the
  // table's frame.
  bool LiveColumnInView() {
    QTableView* table = frame_->ResultView()->List()->Table();
    const int column = static_cast<int>(app_->Doc().DisplayList().size());
    const int x = table->columnViewportPosition(column);
    return x + table->columnWidth(column) <= table->viewport()->width() &&
           x >= table->columnWidth(0) - 2 * table->frameWidth();
  }
};

TEST_F(RunViewTest, TheLiveColumnIsInViewWithTwoOverlaysAndTheLabelsStayInPlace) {
  CBrenlowDoc& doc = app_->Doc();
  for (int i : {1, 2})
    doc.ToggleOverlay(doc.InsertRegistered(shell::MakeRecord(1, 1, i, 300 + 100 * i)));
  doc.RefreshViews(kRefreshAll);
  ui::CReportCtrl* list = frame_->ResultView()->List();
  QTableView* table = list->Table();
  ASSERT_EQ(list->ColumnCount(), 4);
  EXPECT_FALSE(LiveColumnInView());  // the panel shows one record column

  SimProcess sim(dir_.path(), kCom, {"--speed", "100", "--capacity", "3000"});
  ASSERT_TRUE(sim.WaitReady());
  int shown = 0;
  QObject::connect(runs_, &CRunController::PointShown, [&](int, int) { ++shown; });
  frame_->OnCommand(ui::kCmdStart);
  ASSERT_TRUE(runs_->IsActive());
  ASSERT_TRUE(PumpUntil([&] { return shown >= 3; }));
  EXPECT_TRUE(LiveColumnInView());
  PumpUntil([] { return false; }, 50);
  const QImage live = frame_->ResultView()->grab().toImage();
  SaveShot(frame_->grab().toImage(), "run_live_column.png");

  // Scrolled back by hand the panel stays; a rebuild during the run shows
  // the live column again.
  table->horizontalScrollBar()->setValue(0);
  EXPECT_FALSE(LiveColumnInView());
  PumpUntil([] { return false; }, 50);
  const QImage first = frame_->ResultView()->grab().toImage();
  frame_->ResultView()->Refresh();
  EXPECT_TRUE(LiveColumnInView());

  // The label column lies in place over the scrolled table.
  auto* frozen = table->findChild<QTableView*>(QStringLiteral("frozenColumn"));
  ASSERT_NE(frozen, nullptr);
  EXPECT_TRUE(frozen->isVisible());
  EXPECT_EQ(frozen->x(), table->frameWidth());
  EXPECT_EQ(frozen->width(), table->columnWidth(0));
  const QRect labels(frozen->mapTo(frame_->ResultView(), QPoint(0, 0)), frozen->size());
  SaveShot(live, "panel_live.png");
  SaveShot(first, "panel_first.png");
  EXPECT_EQ(live.copy(labels), first.copy(labels));
  EXPECT_NE(live, first);

  frame_->OnCommand(ui::kCmdStop);
  ASSERT_TRUE(PumpUntil([&] { return !finished_.empty(); }));
}

TEST_F(RunViewTest, TheEndOfARunStaysInTheStatusBarUntilTheNextCommand) {
  SimProcess sim(dir_.path(), kCom, {"--speed", "0", "--gap-ms", "1", "--capacity", "60"});
  ASSERT_TRUE(sim.WaitReady());
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(finished_.size(), 1u);
  DesktopNotice notice;
  {
    std::lock_guard<std::mutex> g(app_->Doc().Lock());
    notice = RunEndNotice(finished_[0], app_->Doc().Current());
  }
  const std::string text = runs_->NoticePane()->text().toStdString();
  EXPECT_EQ(text, notice.body);
  EXPECT_EQ(text.rfind("終止電圧に達しました。容量 ", 0), 0u) << text;
  EXPECT_NE(text.find(" mAh、放電時間 "), std::string::npos) << text;
  EXPECT_TRUE(runs_->NoticePane()->isVisible());
  PumpUntil([] { return false; }, 300);  // the idle updates leave it
  EXPECT_EQ(runs_->NoticePane()->text().toStdString(), notice.body);
  frame_->OnCommand(ui::kCmdRestoreWidths);
  EXPECT_TRUE(runs_->NoticePane()->text().isEmpty());
}

TEST_F(RunViewTest, ALongRunFitsTheWindowAt1080And1600Pixels) {
  {
    std::lock_guard<std::mutex> g(app_->Doc().Lock());
    shell::FillCurrent(app_->Doc().Current(), 1341);
  }
  app_->Doc().RefreshViews(kRefreshAll);
  ui::CGraphView* graph = frame_->GraphView();
  EXPECT_GT(graph->horizontalScrollBar()->maximum(), 0);  // whole pixels a second scroll
  frame_->OnCommand(ui::kCmdFitTime);
  EXPECT_TRUE(frame_->Action(ui::kCmdFitTime)->isChecked());
  const QRgb current = ui::SlotQColor(1).rgb();  // the current measurement's slot
  for (int width : {1080, 1600}) {
    frame_->resize(width, 720);
    PumpUntil([] { return false; }, 100);
    const int right = graph->viewport()->width() - ui::CGraphView::kLeft;
    EXPECT_GT(right, width - 300) << width;  // the graph grew with the window
    EXPECT_EQ(graph->horizontalScrollBar()->maximum(), 0) << width;
    EXPECT_EQ(graph->GetScale().XOf(1341), right) << width;
    const QImage shot = graph->viewport()->grab().toImage();
    SaveShot(frame_->grab().toImage(), width == 1080 ? "fit_1080.png" : "fit_1600.png");
    // The curve ends at the right margin, with nothing of it beyond.
    int lastX = -1;
    for (int x = 0; x < shot.width(); ++x)
      for (int y = 0; y < 300; ++y)
        if (shot.pixel(x, y) == current) lastX = x;
    EXPECT_GE(lastX, right - 1) << width;
    EXPECT_LE(lastX, right) << width;
  }
  frame_->OnCommand(ui::kCmdFitTime);
  EXPECT_FALSE(frame_->Action(ui::kCmdFitTime)->isChecked());
  EXPECT_GT(graph->horizontalScrollBar()->maximum(), 0);
}

TEST_F(RunViewTest, TheFixedStripIsKeptInTheSettingsFile) {
  CSettingsStore& settings = app_->State().settings;
  EXPECT_EQ(settings.Get("GRAPH_FIXED_VSCALE"), "");
  EXPECT_FALSE(frame_->GraphView()->VoltStrip());
  frame_->OnCommand(ui::kCmdVoltStrip);
  EXPECT_EQ(settings.Get("GRAPH_FIXED_VSCALE"), "1");
  EXPECT_TRUE(frame_->Action(ui::kCmdVoltStrip)->isChecked());
  frame_->LoadSettings();  // as the next start does
  EXPECT_TRUE(frame_->GraphView()->VoltStrip());
  frame_->OnCommand(ui::kCmdVoltStrip);
  EXPECT_EQ(settings.Get("GRAPH_FIXED_VSCALE"), "0");
  EXPECT_FALSE(frame_->GraphView()->VoltStrip());
  EXPECT_FALSE(frame_->Action(ui::kCmdVoltStrip)->isChecked());
}

}  // namespace
}  // namespace qv::test
