#include <gtest/gtest.h>

#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>

#include "data/codec.h"
#include "views/point_detail_dialog.h"
#include "views/report_ctrl.h"
#include "views_test_util.h"

namespace qv::ui {
namespace {

using test::DocFixture;
using test::MakeRecord;

TEST(PointDetail, ListsTheCurrentMeasurementFirstThenDrawnRecords) {
  DocFixture f;
  auto* a = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 400, 7.2, 1234.9 * 400 / 300));
  auto* b = f.doc.InsertRegistered(MakeRecord(1, 1, 2, 400, 6.0, 100.0));
  f.doc.InsertRegistered(MakeRecord(1, 1, 3, 400, 6.0, 100.0));  // not drawn
  f.doc.ToggleOverlay(b);
  f.doc.ToggleOverlay(a);
  for (int t = 0; t <= 300; ++t) {
    CMeasurePoint p;
    p.time = t;
    p.voltage = 3.5;
    f.doc.Current().AppendPoint(p);
  }
  f.doc.Current().cells = 1;
  CPointDetailDialog dlg(f.doc, 300);
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("詳細情報"));
  CReportCtrl* l = dlg.List();
  ASSERT_EQ(l->ColumnCount(), 6);
  EXPECT_EQ(l->ColumnTitle(0), Sj("登録ID"));
  EXPECT_EQ(l->ColumnWidth(3), 92);
  ASSERT_EQ(l->RowCount(), 3);
  EXPECT_EQ(l->CellText(0, 0), " -----");
  EXPECT_EQ(l->CellText(0, 2), "3.500");
  EXPECT_EQ(l->CellColor(0, 0), 10);
  EXPECT_EQ(l->CellText(1, 0), "001-001-001");
  EXPECT_EQ(l->CellText(1, 3), "1234");
  EXPECT_EQ(l->CellText(1, 4), "8891");
  EXPECT_EQ(l->CellText(1, 2), "7.20");
  EXPECT_EQ(l->CellColor(1, 5), 12);  // slot 3
  EXPECT_EQ(l->CellText(2, 0), "001-001-002");
  EXPECT_EQ(l->PaletteColor(10), QColor(0, 255, 255));
  EXPECT_EQ(l->geometry(), QRect(QPoint(10, 40), QPoint(511, 161)));
  // Stepping the spin control follows with the table.
  EXPECT_EQ(dlg.Spin()->value(), 300);
  dlg.Spin()->stepBy(1);
  EXPECT_EQ(dlg.ElapsedTime(), 301);
  EXPECT_EQ(l->RowCount(), 2);
}

TEST(PointDetail, SpinRangeAndReadOnlyField) {
  DocFixture f;
  CPointDetailDialog dlg(f.doc, 0);
  EXPECT_EQ(dlg.Spin()->minimum(), 0);
  EXPECT_EQ(dlg.Spin()->maximum(), 9999);
  dlg.Spin()->stepBy(-1);
  EXPECT_EQ(dlg.ElapsedTime(), 0);
  EXPECT_EQ(dlg.List()->RowCount(), 0);
  bool hasClose = false;
  for (auto* b : dlg.findChildren<QPushButton*>())
    hasClose |= b->text() == QString::fromUtf8("閉じる");
  EXPECT_TRUE(hasClose);
}

TEST(PointDetail, AllSixColumnsFitWithoutAScrollBar) {
  DocFixture f;
  CPointDetailDialog dlg(f.doc, 0);
  test::ShowActive(dlg);
  QTableView* table = dlg.List()->Table();
  EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
  EXPECT_FALSE(table->horizontalScrollBar()->isVisible());
  int sum = 0;
  for (int c = 0; c < 6; ++c)
    sum += dlg.List()->ColumnWidth(c);
  EXPECT_EQ(sum, 502);
  EXPECT_LE(sum, table->viewport()->width());
}

}  // namespace
}  // namespace qv::ui
