// Saves pictures of the panes for a person to look at:
//   QV_VIEWS_SHOTS=/some/folder test_gui_views --gtest_filter='ViewsScreenshot.*'
// Skipped unless the variable names a folder.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "data/codec.h"
#include "views/data_view.h"
#include "views/graph_view.h"
#include "views/point_detail_dialog.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"
#include "views_test_util.h"

namespace qv::ui {
namespace {

TEST(ViewsScreenshot, SavesPanesWhenAsked) {
  const QString folder = qEnvironmentVariable("QV_VIEWS_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "set QV_VIEWS_SHOTS to a folder to save the pictures";
  test::DocFixture f;
  f.app.graph = {12.0, 0.0, true, 1, 1.0};
  const double starts[] = {8.4, 8.2, 7.9, 7.6};
  for (int i = 0; i < 4; ++i) {
    auto r = test::MakeRecord(1, 2, i + 1, 0, 0.0, 0.0);
    r->MutablePoints().clear();
    for (int t = 0; t <= 600 + 80 * i; ++t) {
      CMeasurePoint p;
      p.time = t;
      p.current = 1.0;
      p.voltage = starts[i] - t * 0.004 - (t > 500 ? (t - 500) * 0.02 : 0.0);
      p.capacity = t * 0.28;
      p.avgVoltage = starts[i] - t * 0.002;
      r->AppendPoint(p);
    }
    r->remark = Sj("単３形ニッケル水素 ") + std::to_string(i + 1);
    r->internalResistance = 40.0 + i;
    r->pir = 1.5 + i * 0.1;
    CMeasureData* rec = f.doc.InsertRegistered(std::move(r));
    if (i < 3) f.doc.ToggleOverlay(rec);
  }
  CResultView result(f.doc);
  result.resize(420, 339);
  result.Refresh();
  CGraphView graph(f.doc);
  graph.ApplySettings(f.app.graph);
  graph.resize(800, 339);
  CDataView data(f.doc);
  data.resize(1200, 160);
  data.Refresh();
  test::ShowActive(result);
  test::ShowActive(graph);
  test::ShowActive(data);
  graph.CursorUpdate(340);
  graph.Refresh();
  EXPECT_TRUE(result.grab().save(folder + "/result_view.png"));
  EXPECT_TRUE(graph.grab().save(folder + "/graph_view.png"));
  EXPECT_TRUE(data.grab().save(folder + "/data_view.png"));
  CPointDetailDialog detail(f.doc, 300);
  test::ShowActive(detail);
  EXPECT_TRUE(detail.grab().save(folder + "/point_detail.png"));
  QImage exported(900, 330, QImage::Format_RGB32);
  QPainter p(&exported);
  graph.Draw(p, exported.rect(), true, true);
  p.end();
  EXPECT_TRUE(exported.save(folder + "/graph_export_white.png"));

  // The in-place editors of the input cells: the cell-count list and an
  // edit box, as the user sees them open.
  const int current = static_cast<int>(f.doc.DisplayList().size());
  result.List()->BeginEdit(16, current);
  QApplication::processEvents();
  EXPECT_TRUE(result.grab().save(folder + "/result_edit_cells.png"));
  result.List()->EndEdit();
  result.List()->BeginEdit(13, current);
  QApplication::processEvents();
  EXPECT_TRUE(result.grab().save(folder + "/result_edit_current.png"));
  result.List()->EndEdit();
}

}  // namespace
}  // namespace qv::ui
