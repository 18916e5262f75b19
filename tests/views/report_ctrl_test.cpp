#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "core/settings_store.h"
#include "data/codec.h"
#include "views/report_ctrl.h"
#include "views_test_util.h"

namespace qv::ui {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// A control with one text and one numeric column over a list of values.
struct Fixture {
  explicit Fixture(std::vector<std::pair<std::string, std::string>> rows) : data(std::move(rows)) {
    ReportHooks h;
    h.buildColumns = [this] {
      ctrl.AddColumn("Text", 60);
      const int c = ctrl.AddColumn("Number", 70);
      ctrl.SetColumnNumeric(c);
    };
    h.fillRows = [this] {
      for (const auto& [text, number] : data) {
        const int key = ctrl.InsertRow();
        ctrl.SetCellText(key, 0, text);
        ctrl.SetCellText(key, 1, number, 5);
      }
    };
    h.canBeginEdit = [this](int, int column) { return column == 0 ? editKind : EditKind::kRefuse; };
    h.commitEdit = [this](int row, int column, const std::string& text) {
      commits.push_back({row, column, text});
      return acceptEdits;
    };
    ctrl.SetHooks(std::move(h));
    ctrl.resize(300, 200);
  }

  std::vector<std::string> Column(int column) const {
    std::vector<std::string> out;
    for (int pos = 0; pos < ctrl.RowCount(); ++pos)
      out.push_back(ctrl.CellText(ctrl.RowKeyAt(pos), column));
    return out;
  }

  struct Commit {
    int row;
    int column;
    std::string text;
  };
  std::vector<std::pair<std::string, std::string>> data;
  std::vector<Commit> commits;
  EditKind editKind = EditKind::kBox;
  bool acceptEdits = true;
  CReportCtrl ctrl;
};

using Strings = std::vector<std::string>;

TEST(ReportCtrl, RowNumberColumnComesFirstAndIsNotCounted) {
  Fixture f(Rows{{"a", "1"}, {"b", "2"}});
  f.ctrl.Refresh();
  EXPECT_EQ(f.ctrl.ColumnCount(), 2);
  EXPECT_EQ(f.ctrl.Table()->model()->columnCount(), 3);
  EXPECT_EQ(f.ctrl.Table()->model()->headerData(0, Qt::Horizontal).toString(), "No.");
  EXPECT_EQ(f.ctrl.Table()->model()->index(1, 0).data().toString(), "  2");
  EXPECT_EQ(f.ctrl.Table()->horizontalHeader()->sectionSize(0), 40);
  EXPECT_EQ(f.ctrl.Table()->model()->headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(),
            "Sort by: Number");
}

TEST(ReportCtrl, WithoutRowNumbersColumnsStartAtZero) {
  Fixture f(Rows{{"a", "1"}});
  f.ctrl.SetRowNumbers(false);
  f.ctrl.Refresh();
  EXPECT_EQ(f.ctrl.Table()->model()->columnCount(), 2);
  EXPECT_EQ(f.ctrl.Table()->horizontalHeader()->sectionSize(0), 60);
  EXPECT_EQ(f.ctrl.ColumnWidth(1), 70);
}

TEST(ReportCtrl, NumericColumnsSortAsNumbersOthersByBytes) {
  Fixture f(Rows{{"10", "10"}, {"9", "9"}, {"100", "100"}, {"", ""}});
  f.ctrl.Refresh();
  f.ctrl.ClickHeader(1);
  EXPECT_EQ(f.Column(1), (Strings{"", "9", "10", "100"}));
  f.ctrl.ClickHeader(0);
  EXPECT_EQ(f.Column(0), (Strings{"", "10", "100", "9"}));
}

TEST(ReportCtrl, ShiftJisTextsSortByteForByte) {
  // Unsigned bytes: 'A' 0x41 < 亜 0x88 0x9F < ｱ 0xB1 (signed chars would put
  // both Japanese texts before 'A').
  Fixture f(Rows{{Sj("ｱ"), "1"}, {Sj("亜"), "2"}, {"A", "3"}});
  f.ctrl.Refresh();
  f.ctrl.ClickHeader(0);
  EXPECT_EQ(f.Column(1), (Strings{"3", "2", "1"}));
}

TEST(ReportCtrl, HeaderClicksCycleAscendingDescendingInsertionOrder) {
  Fixture f(Rows{{"b", "2"}, {"c", "3"}, {"a", "1"}});
  f.ctrl.Refresh();
  test::ShowActive(f.ctrl);
  QHeaderView* header = f.ctrl.Table()->horizontalHeader();
  auto click = [&](int section) {
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
  };
  click(1);  // "Text" (after "No.")
  EXPECT_EQ(f.Column(0), (Strings{"a", "b", "c"}));
  EXPECT_EQ(f.ctrl.GetSortState(), CReportCtrl::SortState::kAscending);
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  click(1);
  EXPECT_EQ(f.Column(0), (Strings{"c", "b", "a"}));
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  click(1);
  EXPECT_EQ(f.Column(0), (Strings{"b", "c", "a"}));
  EXPECT_EQ(f.ctrl.GetSortState(), CReportCtrl::SortState::kNone);
  EXPECT_FALSE(header->isSortIndicatorShown());
  click(1);
  EXPECT_EQ(f.Column(0), (Strings{"a", "b", "c"}));
  // Another column starts ascending.
  click(2);
  EXPECT_EQ(f.ctrl.SortColumn(), 1);
  EXPECT_EQ(f.Column(1), (Strings{"1", "2", "3"}));
  // The row numbers follow the display order.
  EXPECT_EQ(f.ctrl.Table()->model()->index(0, 0).data().toString(), "  1");
}

TEST(ReportCtrl, SortingOffIgnoresHeaderClicks) {
  Fixture f(Rows{{"b", "2"}, {"a", "1"}});
  f.ctrl.SetSortingEnabled(false);
  f.ctrl.Refresh();
  f.ctrl.ClickHeader(0);
  EXPECT_EQ(f.Column(0), (Strings{"b", "a"}));
}

TEST(ReportCtrl, SelectionReportsKeysInDisplayOrder) {
  Fixture f(Rows{{"b", "2"}, {"c", "3"}, {"a", "1"}});
  f.ctrl.SetMultiSelect(true);
  f.ctrl.Refresh();
  EXPECT_EQ(f.ctrl.GetFirstSelectedRow(), -1);
  f.ctrl.ClickHeader(0);
  f.ctrl.SelectRow(0);
  f.ctrl.SelectRow(2, true);
  EXPECT_EQ(f.ctrl.GetSelectedCount(), 2);
  EXPECT_EQ(f.ctrl.GetSelectedRows(), (std::vector<int>{2, 0}));  // "a" then "b"
  EXPECT_EQ(f.ctrl.GetFirstSelectedRow(), 2);
}

TEST(ReportCtrl, CellsCarryTheirPaletteColour) {
  Fixture f(Rows{{"a", "1"}});
  f.ctrl.Refresh();
  const QModelIndex i = f.ctrl.Table()->model()->index(0, 2);
  EXPECT_EQ(i.data(Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 255));  // entry 5
  EXPECT_FALSE(f.ctrl.Table()->model()->index(0, 1).data(Qt::BackgroundRole).isValid());
  EXPECT_EQ(f.ctrl.PaletteColor(0), QColor(200, 255, 200));
  EXPECT_EQ(f.ctrl.PaletteColor(9), QColor(255, 150, 150));
  f.ctrl.SetPaletteColor(5, QColor(1, 2, 3));
  EXPECT_EQ(i.data(Qt::BackgroundRole).value<QColor>(), QColor(1, 2, 3));
}

TEST(ReportCtrl, TypingACharacterOpensTheEditorWithThatCharacter) {
  Fixture f(Rows{{"old", "1"}});
  f.ctrl.Refresh();
  test::ShowActive(f.ctrl);
  QTableView* t = f.ctrl.Table();
  t->setFocus();
  t->setCurrentIndex(t->model()->index(0, 1));
  QTest::keyClick(t, Qt::Key_X);
  ASSERT_TRUE(f.ctrl.IsEditing());
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "yz");
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents();  // Enter ends the edit through a queued call
  EXPECT_FALSE(f.ctrl.IsEditing());
  ASSERT_EQ(f.commits.size(), 1u);
  EXPECT_EQ(f.commits[0].text, "xyz");
  EXPECT_EQ(f.ctrl.CellText(0, 0), "xyz");
}

TEST(ReportCtrl, SpaceEscapeArrowsAndControlKeysOpenNoEditor) {
  Fixture f(Rows{{"old", "1"}, {"two", "2"}});
  f.ctrl.Refresh();
  test::ShowActive(f.ctrl);
  QTableView* t = f.ctrl.Table();
  t->setFocus();
  t->setCurrentIndex(t->model()->index(0, 1));
  for (Qt::Key key :
       {Qt::Key_Space, Qt::Key_Escape, Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Shift}) {
    QTest::keyClick(t, key);
    EXPECT_FALSE(f.ctrl.IsEditing()) << key;
  }
  QTest::keyClick(t, Qt::Key_C, Qt::ControlModifier);
  EXPECT_FALSE(f.ctrl.IsEditing());
  EXPECT_TRUE(f.commits.empty());
}

TEST(ReportCtrl, RefusedColumnsOpenNoEditorAndRefusedTextsKeepTheCell) {
  Fixture f(Rows{{"old", "1"}});
  f.ctrl.Refresh();
  test::ShowActive(f.ctrl);
  EXPECT_FALSE(f.ctrl.BeginEdit(0, 1));
  f.acceptEdits = false;
  ASSERT_TRUE(f.ctrl.BeginEdit(0, 0));
  qobject_cast<QLineEdit*>(QApplication::focusWidget())->setText("new");
  f.ctrl.EndEdit();
  EXPECT_EQ(f.ctrl.CellText(0, 0), "old");
  ASSERT_EQ(f.commits.size(), 1u);
}

TEST(ReportCtrl, RefreshEndsAnOpenEditFirst) {
  Fixture f(Rows{{"old", "1"}});
  f.ctrl.Refresh();
  test::ShowActive(f.ctrl);
  ASSERT_TRUE(f.ctrl.BeginEdit(0, 0));
  qobject_cast<QLineEdit*>(QApplication::focusWidget())->setText("typed");
  f.data[0].first = "rebuilt";
  f.ctrl.Refresh();
  EXPECT_FALSE(f.ctrl.IsEditing());
  ASSERT_EQ(f.commits.size(), 1u);
  EXPECT_EQ(f.commits[0].text, "typed");
  EXPECT_EQ(f.ctrl.CellText(0, 0), "rebuilt");
}

TEST(ReportCtrl, RefreshKeepsScrollPositionAndFocusedRow) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (int i = 0; i < 100; ++i)
    rows.push_back({std::to_string(i), std::to_string(i)});
  Fixture f(rows);
  f.ctrl.Refresh();
  test::ShowActive(f.ctrl);
  QApplication::processEvents();
  f.ctrl.Table()->verticalScrollBar()->setValue(40);
  f.ctrl.SelectRow(45);
  f.ctrl.Table()->verticalScrollBar()->setValue(40);
  f.ctrl.Refresh();
  EXPECT_EQ(f.ctrl.Table()->verticalScrollBar()->value(), 40);
  EXPECT_EQ(f.ctrl.GetSelectedRows(), (std::vector<int>{45}));
  // With fewer rows the focused row is clamped to the last one.
  f.data.resize(10);
  f.ctrl.Refresh();
  EXPECT_EQ(f.ctrl.GetSelectedRows(), (std::vector<int>{9}));
  // Without keep-focus nothing is selected again.
  f.ctrl.SetKeepFocus(false);
  f.ctrl.Refresh();
  EXPECT_EQ(f.ctrl.GetSelectedCount(), 0);
}

// --- Column widths ----------------------------------------------------------

struct WidthFixture {
  WidthFixture() : store(dir.path(), "Dis.ini") {}
  std::unique_ptr<Fixture> Make() {
    auto f =
        std::make_unique<Fixture>(std::vector<std::pair<std::string, std::string>>{{"a", "1"}});
    f->ctrl.SetRowNumbers(false);
    f->ctrl.SetProfile("PROF", &store);
    f->ctrl.Refresh();
    return f;
  }
  test::TempDir dir;
  CSettingsStore store;
};

TEST(ReportWidths, DefaultsWriteNothing) {
  WidthFixture w;
  auto f = w.Make();
  EXPECT_EQ(f->ctrl.ColumnWidth(0), 60);
  EXPECT_FALSE(test::FileExists(w.store.Path()));
}

TEST(ReportWidths, AResizeIsStoredAndComesBack) {
  WidthFixture w;
  auto f = w.Make();
  // A resize with no mouse button held counts as finished.
  f->ctrl.Table()->horizontalHeader()->resizeSection(1, 123);
  EXPECT_EQ(w.store.Get("CLM_PROF_Number"), "123");
  EXPECT_EQ(w.store.Get("CLM_PROF_Text"), "");
  auto g = w.Make();
  EXPECT_EQ(g->ctrl.ColumnWidth(1), 123);
  EXPECT_EQ(g->ctrl.ColumnWidth(0), 60);
}

TEST(ReportWidths, DraggingStoresOnlyWhenTheButtonIsReleased) {
  WidthFixture w;
  auto f = w.Make();
  test::ShowActive(f->ctrl);
  QHeaderView* header = f->ctrl.Table()->horizontalHeader();
  const int edge = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
  QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, 5));
  QMouseEvent move(QEvent::MouseMove, QPointF(edge + 30, 5),
                   header->viewport()->mapToGlobal(QPointF(edge + 30, 5)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(header->viewport(), &move);
  EXPECT_EQ(w.store.Get("CLM_PROF_Text"), "");
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 30, 5));
  EXPECT_EQ(w.store.Get("CLM_PROF_Text"), std::to_string(header->sectionSize(0)));
  EXPECT_NE(header->sectionSize(0), 60);
}

TEST(ReportWidths, RestoreWritesMinusOneAndReturnsToDefaults) {
  WidthFixture w;
  auto f = w.Make();
  f->ctrl.ColumnResizedByUser(0, 90);
  f->ctrl.ColumnResizedByUser(1, 95);
  f->ctrl.RestoreDefaultWidths();
  EXPECT_EQ(w.store.Get("CLM_PROF_Text"), "-1");
  EXPECT_EQ(w.store.Get("CLM_PROF_Number"), "-1");
  EXPECT_EQ(f->ctrl.ColumnWidth(0), 60);
  EXPECT_EQ(f->ctrl.ColumnWidth(1), 70);
  // Rebuilding does not rewrite them; the next start shows the defaults.
  f->ctrl.Refresh();
  EXPECT_EQ(w.store.Get("CLM_PROF_Text"), "-1");
  auto g = w.Make();
  EXPECT_EQ(g->ctrl.ColumnWidth(0), 60);
}

TEST(ReportWidths, UseDefaultWidthsFlagWins) {
  WidthFixture w;
  w.store.Set("CLM_PROF_Text", "150");
  Fixture f(Rows{{"a", "1"}});
  f.ctrl.SetRowNumbers(false);
  f.ctrl.SetProfile("PROF", &w.store);
  f.ctrl.SetUseDefaultWidths(true);
  f.ctrl.Refresh();
  EXPECT_EQ(f.ctrl.ColumnWidth(0), 60);
  EXPECT_EQ(w.store.Get("CLM_PROF_Text"), "60");
}

TEST(ReportWidths, WithoutProfileNothingIsStored) {
  WidthFixture w;
  Fixture f(Rows{{"a", "1"}});
  f.ctrl.Refresh();
  f.ctrl.ColumnResizedByUser(0, 99);
  EXPECT_EQ(f.ctrl.ColumnWidth(0), 99);
  EXPECT_FALSE(test::FileExists(w.store.Path()));
}

}  // namespace
}  // namespace qv::ui
