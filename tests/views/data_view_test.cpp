#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QTableView>
#include <QTest>

#include "data/codec.h"
#include "views/data_view.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"
#include "views_test_util.h"

namespace qv::ui {
namespace {

using test::DocFixture;
using test::MakeRecord;

struct DataViewFixture : DocFixture {
  DataViewFixture() : view(doc) {
    doc.SetRefreshHandler([this](int flags) { refreshes.push_back(flags); });
    view.resize(900, 300);
  }
  void Show() { test::ShowActive(view); }
  QPoint CellCentre(int rowKey, int column) {
    QTableView* t = view.List()->Table();
    const QModelIndex i = t->model()->index(view.List()->PositionOf(rowKey), column);
    return t->visualRect(i).center();
  }
  void DoubleClick(int rowKey) {
    test::DoubleClickAt(view.List()->Table()->viewport(), CellCentre(rowKey, 0));
  }
  CMeasureData* Record(int i) { return doc.Registered()[static_cast<size_t>(i)].get(); }

  std::vector<int> refreshes;
  CDataView view;
};

TEST(DataView, ShowsElevenColumnsAndOneRowPerRecord) {
  DataViewFixture f;
  auto r = MakeRecord(1, 2, 3, 300, 7.2, 1234.9);
  r->remark = Sj("備考テキスト");
  r->avgVoltage1 = 7.3456;
  r->internalResistance = 45.25;
  r->pir = 1.06;
  f.doc.InsertRegistered(std::move(r));
  auto empty = std::make_unique<CMeasureData>();
  empty->id1 = empty->id2 = empty->id3 = 5;
  f.doc.InsertRegistered(std::move(empty));
  f.view.Refresh();
  CReportCtrl* list = f.view.List();
  ASSERT_EQ(list->ColumnCount(), 11);
  ASSERT_EQ(list->RowCount(), 2);
  const char* titles[] = {"登録ID",        "計測日時",      "備考",         "放電時間[秒]",
                          "放電容量[mAh]", "放電電力[mWh]", "平均電圧1[V]", "平均電圧2[V]",
                          "平均電圧3[V]",  "内部抵抗[mΩ]",  "ＰＩＲ"};
  const int widths[] = {78, 117, 180, 80, 92, 92, 82, 82, 82, 90, 80};
  for (int c = 0; c < 11; ++c) {
    EXPECT_EQ(list->ColumnTitle(c), Sj(titles[c])) << c;
    EXPECT_EQ(list->ColumnWidth(c), widths[c]) << c;
  }
  // No "No." column.
  EXPECT_EQ(list->Table()->model()->columnCount(), 11);
  const CMeasureData* rec = f.Record(0);
  EXPECT_EQ(f.doc.RowKeyOf(*rec), 0);
  EXPECT_EQ(list->CellText(0, 0), "001-002-003");
  EXPECT_EQ(list->CellText(0, 1), "2015/06/30 12:34:03");
  EXPECT_EQ(list->CellText(0, 2), Sj("備考テキスト"));
  EXPECT_EQ(list->CellText(0, 3), "300");
  EXPECT_EQ(list->CellText(0, 4), "1234");  // truncated, not rounded
  EXPECT_EQ(list->CellText(0, 5), "8891");  // 1234.9 * 7.2 = 8891.28
  EXPECT_EQ(list->CellText(0, 6), "7.346");
  EXPECT_EQ(list->CellText(0, 7), "7.200");
  EXPECT_EQ(list->CellText(0, 9), "45.2");
  EXPECT_EQ(list->CellText(0, 10), "1.1");
  // A record without points.
  EXPECT_EQ(list->CellText(1, 3), "0");
  EXPECT_EQ(list->CellText(1, 4), "0");
  EXPECT_EQ(list->CellText(1, 5), "0");
  EXPECT_EQ(list->CellText(1, 7), "0.000");
  // Shown on screen as Japanese text.
  EXPECT_EQ(list->Table()->model()->headerData(2, Qt::Horizontal).toString(),
            QString::fromUtf8("備考"));
}

TEST(DataView, EmptyListShowsTheHeaderOnly) {
  DataViewFixture f;
  f.view.Refresh();
  EXPECT_EQ(f.view.List()->ColumnCount(), 11);
  EXPECT_EQ(f.view.List()->RowCount(), 0);
  EXPECT_TRUE(f.view.SelectedRowKeys().empty());
}

TEST(DataView, DoubleClicksOverlaySlotsTwoToSevenAndTheSeventhIsIgnored) {
  DataViewFixture f;
  for (int i = 1; i <= 8; ++i)
    f.doc.InsertRegistered(MakeRecord(1, 1, i, 10, 6.0, 100.0));
  f.view.Refresh();
  f.Show();
  for (int key = 0; key < 6; ++key) {
    f.DoubleClick(key);
    EXPECT_EQ(f.doc.SlotOf(*f.Record(key)), key + 2);
    // The row takes its slot's colour: slot k -> palette entry k + 9.
    EXPECT_EQ(f.view.List()->CellColor(key, 0), key + 11);
    EXPECT_EQ(f.view.List()->CellColor(key, 10), key + 11);
  }
  EXPECT_EQ(f.doc.DisplayList().size(), 7u);
  ASSERT_EQ(f.refreshes.size(), 12u);  // result panel, then graph, per toggle
  EXPECT_EQ(f.refreshes[0], kRefreshResult);
  EXPECT_EQ(f.refreshes[1], kRefreshGraph);
  // The seventh overlay does nothing, silently.
  f.DoubleClick(6);
  EXPECT_EQ(f.doc.SlotOf(*f.Record(6)), -1);
  EXPECT_EQ(f.view.List()->CellColor(6, 0), -1);
  EXPECT_EQ(f.refreshes.size(), 12u);
  // Freeing slot 4 lets the next record take it.
  f.DoubleClick(2);
  EXPECT_EQ(f.doc.SlotOf(*f.Record(2)), -1);
  EXPECT_EQ(f.view.List()->CellColor(2, 0), -1);
  f.DoubleClick(7);
  EXPECT_EQ(f.doc.SlotOf(*f.Record(7)), 4);
  EXPECT_EQ(f.view.List()->CellColor(7, 0), 13);
}

TEST(DataView, PaletteGivesTheSlotColoursWithGreyForSlotOne) {
  DataViewFixture f;
  CReportCtrl* list = f.view.List();
  EXPECT_EQ(list->PaletteColor(10), QColor(230, 230, 230));
  EXPECT_EQ(list->PaletteColor(11), QColor(255, 0, 255));
  EXPECT_EQ(list->PaletteColor(12), QColor(255, 255, 0));
  EXPECT_EQ(list->PaletteColor(13), QColor(255, 0, 0));
  EXPECT_EQ(list->PaletteColor(14), QColor(0, 255, 0));
  EXPECT_EQ(list->PaletteColor(15), QColor(255, 153, 51));
  EXPECT_EQ(list->PaletteColor(16), QColor(153, 153, 255));
}

TEST(DataView, DoubleClickDuringAMeasurementDoesNothing) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 10, 6.0, 100.0));
  f.view.Refresh();
  f.Show();
  f.app.runActive = true;
  f.DoubleClick(0);
  EXPECT_EQ(f.doc.SlotOf(*f.Record(0)), -1);
  EXPECT_TRUE(f.refreshes.empty());
}

TEST(DataView, DoubleClickAgainTakesTheOverlayOff) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 10, 6.0, 100.0));
  f.view.Refresh();
  f.view.ToggleOverlay(0);
  EXPECT_EQ(f.doc.SlotOf(*f.Record(0)), 2);
  f.view.ToggleOverlay(0);
  EXPECT_EQ(f.doc.SlotOf(*f.Record(0)), -1);
  EXPECT_EQ(f.doc.DisplayList().size(), 1u);
  f.view.ToggleOverlay(5);  // no such row: nothing
  EXPECT_EQ(f.refreshes.size(), 4u);
}

TEST(DataView, HeaderClicksSortDischargeTimeNumerically) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 100.0));
  f.doc.InsertRegistered(MakeRecord(1, 1, 2, 99, 6.0, 100.0));
  f.doc.InsertRegistered(MakeRecord(1, 1, 3, 1000, 6.0, 100.0));
  f.view.Refresh();
  f.Show();
  QHeaderView* header = f.view.List()->Table()->horizontalHeader();
  auto click = [&](int section) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(section) + 10, header->height() / 2));
  };
  auto column3 = [&] {
    std::vector<std::string> out;
    for (int pos = 0; pos < 3; ++pos)
      out.push_back(f.view.List()->CellText(f.view.List()->RowKeyAt(pos), 3));
    return out;
  };
  click(3);
  EXPECT_EQ(column3(), (std::vector<std::string>{"99", "100", "1000"}));
  click(3);
  EXPECT_EQ(column3(), (std::vector<std::string>{"1000", "100", "99"}));
  click(3);
  EXPECT_EQ(column3(), (std::vector<std::string>{"100", "99", "1000"}));
}

TEST(DataView, RemarkEditAfterSortingChangesTheRecordShownInThatRow) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 900.0));
  f.doc.InsertRegistered(MakeRecord(1, 1, 2, 100, 6.0, 300.0));
  f.doc.InsertRegistered(MakeRecord(1, 1, 3, 100, 6.0, 600.0));
  f.view.Refresh();
  f.Show();
  f.view.List()->ClickHeader(4);  // capacity ascending: 300, 600, 900
  ASSERT_EQ(f.view.List()->RowKeyAt(0), 1);
  f.doc.SetModified(false);
  // Focus the remark cell, type and press Enter.
  QTableView* t = f.view.List()->Table();
  const QModelIndex cell = t->model()->index(0, 2);
  t->setFocus();
  t->setCurrentIndex(cell);
  QTest::keyClick(t, Qt::Key_N);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "ew");
  EXPECT_TRUE(f.doc.IsModified());  // set when the edit begins
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // Enter ends the edit through a queued call
  EXPECT_FALSE(f.view.List()->IsEditing());
  EXPECT_EQ(f.Record(1)->remark, "new");
  EXPECT_EQ(f.Record(0)->remark, "");
  EXPECT_EQ(f.Record(2)->remark, "");
  EXPECT_EQ(f.view.List()->CellText(1, 2), "new");
}

TEST(DataView, EditingBeginsOnlyWithASecondClickOnTheFocusedCell) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 900.0));
  f.view.Refresh();
  f.Show();
  f.doc.SetModified(false);
  QTableView* t = f.view.List()->Table();
  auto click = [&](int column) {
    QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, f.CellCentre(0, column));
    // Long enough to be no double-click, and for a delayed edit to begin.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
  };
  click(0);  // the ID: the row is selected, its ID cell focused
  click(2);  // the remark of the selected row: only the focus moves
  EXPECT_FALSE(f.view.List()->IsEditing());
  EXPECT_FALSE(f.doc.IsModified());
  click(2);  // again on the focused cell
  EXPECT_TRUE(f.view.List()->IsEditing());
  EXPECT_TRUE(f.doc.IsModified());
  f.view.List()->EndEdit();
  // A double-click on the focused cell toggles the overlay and edits nothing.
  f.doc.SetModified(false);
  test::DoubleClickAt(t->viewport(), f.CellCentre(0, 2));
  QTest::qWait(QApplication::doubleClickInterval() + 100);
  EXPECT_FALSE(f.view.List()->IsEditing());
  EXPECT_EQ(f.doc.SlotOf(*f.Record(0)), 2);
}

TEST(DataView, ASortMarkLeavesTheColumnTitleWhole) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 900.0));
  f.doc.InsertRegistered(MakeRecord(1, 1, 2, 99, 6.0, 900.0));
  f.view.Refresh();
  f.Show();
  QHeaderView* h = f.view.List()->Table()->horizontalHeader();
  const QRect section(h->sectionViewportPosition(3), 0, h->sectionSize(3), h->height());
  // "放電時間[秒]" fits its 80 pixels.
  const int margin = h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
  ASSERT_LE(h->fontMetrics().horizontalAdvance(U8("放電時間[秒]")), section.width() - 2 * margin);
  const QImage unsorted = h->viewport()->grab(section).toImage();
  for (int click = 0; click < 2; ++click) {  // ascending, then descending
    f.view.List()->ClickHeader(3);
    const QImage sorted = h->viewport()->grab(section).toImage();
    ASSERT_EQ(sorted.size(), unsorted.size());
    // The mark changes only the band above the title; the title is as it was.
    int inBand = 0, elsewhere = 0;
    for (int y = 0; y < sorted.height(); ++y)
      for (int x = 0; x < sorted.width(); ++x)
        if (sorted.pixel(x, y) != unsorted.pixel(x, y)) ++(y <= 5 ? inBand : elsewhere);
    EXPECT_GT(inBand, 4) << click;
    EXPECT_EQ(elsewhere, 0) << click;
  }
}

TEST(DataView, JapaneseRemarksAreStoredAsShiftJis) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 900.0));
  f.view.Refresh();
  f.Show();
  ASSERT_TRUE(f.view.List()->BeginEdit(0, 2));
  qobject_cast<QLineEdit*>(QApplication::focusWidget())->setText(QString::fromUtf8("電池Ａ"));
  f.view.List()->EndEdit();
  EXPECT_EQ(f.Record(0)->remark, Sj("電池Ａ"));
}

TEST(DataView, OnlyTheRemarkIsEditableAndNotDuringAMeasurement) {
  DataViewFixture f;
  f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 900.0));
  f.view.Refresh();
  f.Show();
  f.doc.SetModified(false);
  EXPECT_FALSE(f.view.List()->BeginEdit(0, 0));
  EXPECT_FALSE(f.view.List()->BeginEdit(0, 3));
  EXPECT_FALSE(f.doc.IsModified());
  f.app.runActive = true;
  EXPECT_FALSE(f.view.List()->BeginEdit(0, 2));
  EXPECT_FALSE(f.doc.IsModified());
}

TEST(DataView, SelectionAndFocusForTheCommands) {
  DataViewFixture f;
  for (int i = 1; i <= 3; ++i)
    f.doc.InsertRegistered(MakeRecord(1, 1, i, 10 * i, 6.0, 100.0));
  f.view.Refresh();
  f.Show();
  f.view.activateWindow();
  QApplication::setActiveWindow(&f.view);
  f.view.List()->ClickHeader(3);
  f.view.List()->ClickHeader(3);  // descending: keys 2, 1, 0
  QTableView* t = f.view.List()->Table();
  QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, f.CellCentre(2, 0));
  QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::ControlModifier, f.CellCentre(0, 0));
  EXPECT_EQ(f.view.SelectedRowKeys(), (std::vector<int>{2, 0}));
  ASSERT_EQ(f.view.SelectedRecords().size(), 2u);
  EXPECT_EQ(f.view.SelectedRecords()[0], f.Record(2));
  EXPECT_TRUE(f.view.ListHasFocus());
  t->clearFocus();
  EXPECT_FALSE(f.view.ListHasFocus());
}

TEST(DataView, ColumnWidthsPersistAsDataviewSettingsAndRestore) {
  DataViewFixture f;
  f.view.Refresh();
  EXPECT_FALSE(test::FileExists(f.app.settings.Path()));  // nothing written
  f.view.List()->Table()->horizontalHeader()->resizeSection(2, 250);
  EXPECT_EQ(f.app.settings.Get(Sj("CLM_DATAVIEW_備考")), "250");
  // The next start shows it.
  CDataView again(f.doc);
  again.Refresh();
  EXPECT_EQ(again.List()->ColumnWidth(2), 250);
  EXPECT_EQ(again.List()->ColumnWidth(1), 117);
  // Restore: "-1" stored, default width shown.
  again.RestoreColumnWidths();
  EXPECT_EQ(f.app.settings.Get(Sj("CLM_DATAVIEW_備考")), "-1");
  EXPECT_EQ(again.List()->ColumnWidth(2), 180);
  CDataView third(f.doc);
  third.Refresh();
  EXPECT_EQ(third.List()->ColumnWidth(2), 180);
  EXPECT_EQ(f.app.settings.Get(Sj("CLM_DATAVIEW_備考")), "-1");
}

TEST(DataView, ColumnsMoveOnlyWhenTheSettingAllowsIt) {
  DataViewFixture f;
  f.view.Refresh();
  EXPECT_FALSE(f.view.List()->Table()->horizontalHeader()->sectionsMovable());
  f.app.viewMoveColumn = true;
  f.view.Refresh();
  EXPECT_TRUE(f.view.List()->Table()->horizontalHeader()->sectionsMovable());
}

}  // namespace
}  // namespace qv::ui
