#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTableView>

#include "data/codec.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"
#include "views_test_util.h"

namespace qv::ui {
namespace {

using test::DocFixture;
using test::MakeRecord;

struct ResultFixture : DocFixture {
  ResultFixture() : view(doc) {
    view.SetUserInterface(&ui);
    view.resize(420, 339);
  }
  void Show() { test::ShowActive(view); }
  CReportCtrl* List() { return view.List(); }
  int CurrentColumn() { return static_cast<int>(doc.DisplayList().size()); }
  // Edits an input cell of the current measurement's column.
  bool Edit(int row, const QString& text) {
    if (!List()->BeginEdit(row, CurrentColumn())) return false;
    QWidget* editor = QApplication::focusWidget();
    if (auto* e = qobject_cast<QLineEdit*>(editor)) {
      e->setText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(editor)) {
      c->setCurrentIndex(c->findText(text));
    }
    List()->EndEdit();
    QApplication::processEvents();  // a refusal is shown after the editor closed
    return true;
  }
  test::FakeUi ui;
  CResultView view;
};

TEST(ResultView, NineteenRowsWithTheirLabels) {
  ResultFixture f;
  f.view.Refresh();
  ASSERT_EQ(f.List()->RowCount(), 19);
  ASSERT_EQ(f.List()->ColumnCount(), 2);
  const char* labels[] = {"出力値",        "登録ID",        "計測日時",      "放電時間[秒]",
                          "放電電流[A]",   "電池電圧[V]",   "放電容量[mAh]", "放電電力[mWh]",
                          "平均電圧１[V]", "平均電圧２[V]", "内部抵抗[mΩ]",  "ＰＩＲ",
                          "入力値",        "放電電流Ａ[A]", "放電電流Ｂ[A]", "放電電流Ｃ[A]",
                          "セル数",        "終了電圧[V]",   "V1測定点[秒]"};
  for (int row = 0; row < 19; ++row)
    EXPECT_EQ(f.List()->CellText(row, 0), Sj(labels[row])) << row;
  EXPECT_EQ(f.List()->ColumnWidth(0), 95);
  EXPECT_EQ(f.List()->ColumnWidth(1), 105);
  EXPECT_EQ(f.List()->ColumnTitle(1), "Profile1");
  // No row numbers, no sorting.
  EXPECT_EQ(f.List()->Table()->model()->columnCount(), 2);
  f.List()->ClickHeader(0);
  EXPECT_EQ(f.List()->RowKeyAt(0), 0);
}

TEST(ResultView, OverlaysComeFirstNewestFirstAndTheCurrentMeasurementLast) {
  ResultFixture f;
  auto* a = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 100.0));
  auto* b = f.doc.InsertRegistered(MakeRecord(1, 1, 2, 100, 6.0, 100.0));
  f.doc.ToggleOverlay(b);  // slot 2
  f.doc.ToggleOverlay(a);  // slot 3, added last
  f.view.Refresh();
  ASSERT_EQ(f.List()->ColumnCount(), 4);
  EXPECT_EQ(f.List()->ColumnTitle(1), "Profile3");
  EXPECT_EQ(f.List()->ColumnTitle(2), "Profile2");
  EXPECT_EQ(f.List()->ColumnTitle(3), "Profile1");
  EXPECT_EQ(f.List()->CellText(1, 1), "001-001-001");
  EXPECT_EQ(f.List()->CellText(1, 2), "001-001-002");
  EXPECT_EQ(f.List()->CellText(0, 1), Sj("登録データ"));
  EXPECT_EQ(f.List()->CellText(0, 3), Sj("計測データ"));
  EXPECT_EQ(f.List()->CellText(1, 3), " -----");
  EXPECT_EQ(f.List()->CellText(2, 3), " -----");
  EXPECT_EQ(f.List()->CellText(2, 1), "15/06/30 12:34:01");
}

TEST(ResultView, RecordCellsAndLiveValues) {
  ResultFixture f;
  auto r = MakeRecord(1, 2, 3, 300, 7.25, 1234.9, 6);
  r->avgVoltage1 = 7.1234;
  r->internalResistance = 45.26;
  r->pir = 2.04;
  r->currentA = 2.0;
  r->v1Point = 600;
  auto* one = f.doc.InsertRegistered(MakeRecord(2, 2, 2, 100, 1.2345, 100.0, 1));
  auto* rec = f.doc.InsertRegistered(std::move(r));
  f.doc.ToggleOverlay(rec);
  f.doc.ToggleOverlay(one);
  f.view.Refresh();
  // Columns: one (slot 3), rec (slot 2), current.
  EXPECT_EQ(f.List()->CellText(3, 2), "300");
  EXPECT_EQ(f.List()->CellText(4, 2), "0.0");  // no run: no live values
  EXPECT_EQ(f.List()->CellText(5, 2), "0.0");
  EXPECT_EQ(f.List()->CellText(6, 2), "1234");
  EXPECT_EQ(f.List()->CellText(7, 2), "8953");  // 1234.9 * 7.25 = 8953.025
  EXPECT_EQ(f.List()->CellText(8, 2), "7.123");
  EXPECT_EQ(f.List()->CellText(9, 2), "7.250");
  EXPECT_EQ(f.List()->CellText(10, 2), "45.3");
  EXPECT_EQ(f.List()->CellText(11, 2), "2.0");
  EXPECT_EQ(f.List()->CellText(12, 2), "");
  EXPECT_EQ(f.List()->CellText(13, 2), "2.0");
  EXPECT_EQ(f.List()->CellText(16, 2), "6");
  EXPECT_EQ(f.List()->CellText(18, 2), "600");
  // During a run the last point's current and voltage show, with three
  // decimals for one cell and two otherwise.
  f.app.runActive = true;
  f.view.Refresh();
  EXPECT_EQ(f.List()->CellText(4, 2), "1.0");
  EXPECT_EQ(f.List()->CellText(5, 2), "7.25");
  EXPECT_EQ(f.List()->CellText(5, 1), "1.234");
  // PIR of a run of 120 s or less reads 0.0; the longer record keeps its PIR.
  EXPECT_EQ(f.List()->CellText(11, 1), "0.0");
  EXPECT_EQ(f.List()->CellText(11, 2), "2.0");
}

TEST(ResultView, ColoursBySectionLabelAndSlot) {
  ResultFixture f;
  auto* a = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 100.0));
  f.doc.ToggleOverlay(a);
  f.view.Refresh();
  CReportCtrl* l = f.List();
  for (int c = 0; c <= 2; ++c) {
    EXPECT_EQ(l->CellColor(0, c), 18);
    EXPECT_EQ(l->CellColor(12, c), 18);
  }
  EXPECT_EQ(l->CellColor(1, 0), 17);
  EXPECT_EQ(l->CellColor(2, 0), 17);
  EXPECT_EQ(l->CellColor(3, 0), -1);
  for (int row = 1; row <= 11; ++row) {
    EXPECT_EQ(l->CellColor(row, 1), 11) << row;  // slot 2
    EXPECT_EQ(l->CellColor(row, 2), 10) << row;  // slot 1
  }
  EXPECT_EQ(l->CellColor(13, 2), -1);
  EXPECT_EQ(l->PaletteColor(10), QColor(0, 255, 255));
  EXPECT_EQ(l->PaletteColor(16), QColor(153, 153, 255));
  EXPECT_EQ(l->PaletteColor(17), QColor(255, 255, 255));
}

TEST(ResultView, InputCurrentIsRoundedAndRangeChecked) {
  ResultFixture f;
  f.view.Refresh();
  f.Show();
  ASSERT_TRUE(f.Edit(13, "35.04"));
  EXPECT_DOUBLE_EQ(f.doc.Current().currentA, 35.0);
  EXPECT_EQ(f.List()->CellText(13, 1), "35.0");
  EXPECT_TRUE(f.ui.messages.empty());
  EXPECT_TRUE(f.doc.IsModified());
  ASSERT_TRUE(f.Edit(14, "35.06"));
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_EQ(f.ui.messages[0].text, Sj("放電電流Ｂは、0.0 ～ 35.0 の範囲で値を設定してください。"));
  EXPECT_EQ(f.ui.messages[0].caption, Sj("設定値入力範囲"));
  EXPECT_EQ(f.ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(f.List()->CellText(14, 1), "0.5");  // the former value stays
  EXPECT_DOUBLE_EQ(f.doc.Current().currentB, 0.5);
}

TEST(ResultView, V1PointTruncatesToHundredsAndCellCountSetsTheEndVoltage) {
  ResultFixture f;
  f.view.Refresh();
  f.Show();
  f.Edit(18, "250");
  EXPECT_EQ(f.doc.Current().v1Point, 200);
  EXPECT_EQ(f.List()->CellText(18, 1), "200");
  f.Edit(18, "3650");
  EXPECT_EQ(f.doc.Current().v1Point, 3600);
  f.Edit(18, "99");
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_EQ(f.ui.TextsUtf8()[0], "V1測定点は、100 ～ 3600 の範囲で値を設定してください。");
  EXPECT_EQ(f.doc.Current().v1Point, 3600);
  // The cell count is picked from a list of 1, 4, 6, 8.
  ASSERT_TRUE(f.List()->BeginEdit(16, 1));
  auto* combo = qobject_cast<QComboBox*>(QApplication::focusWidget());
  ASSERT_NE(combo, nullptr);
  EXPECT_FALSE(combo->isEditable());
  ASSERT_EQ(combo->count(), 4);
  EXPECT_EQ(combo->itemText(2), "6");
  combo->setCurrentIndex(2);
  f.List()->EndEdit();
  EXPECT_EQ(f.doc.Current().cells, 6);
  EXPECT_DOUBLE_EQ(f.doc.Current().endVoltage, 6.0);
  EXPECT_EQ(f.List()->CellText(17, 1), "6.0");
  f.Edit(17, "8.1");
  EXPECT_EQ(f.ui.TextsUtf8().back(), "終了電圧は、0.0 ～ 8.0 の範囲で値を設定してください。");
}

TEST(ResultView, InputsAreEditableOnlyInTheUnmeasuredCurrentColumn) {
  ResultFixture f;
  auto* a = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 100.0));
  f.doc.ToggleOverlay(a);
  f.view.Refresh();
  f.Show();
  f.doc.SetModified(false);
  EXPECT_FALSE(f.List()->BeginEdit(13, 1));  // a registered record
  EXPECT_FALSE(f.List()->BeginEdit(3, 2));   // an output row
  EXPECT_FALSE(f.List()->BeginEdit(13, 0));  // the labels
  EXPECT_FALSE(f.doc.IsModified());
  f.app.runActive = true;
  EXPECT_FALSE(f.List()->BeginEdit(13, 2));
  f.app.runActive = false;
  f.doc.Current().dateTime = COleDateTime::FromParts({2020, 1, 1, 0, 0, 0});
  EXPECT_FALSE(f.List()->BeginEdit(13, 2));
  EXPECT_FALSE(f.doc.IsModified());
  f.doc.Current().dateTime = COleDateTime();
  EXPECT_TRUE(f.List()->BeginEdit(13, 2));
  EXPECT_TRUE(f.doc.IsModified());
  f.List()->EndEdit();
}

TEST(ResultView, ARefusedValueIsReportedOnceWhenTheEditorHasClosed) {
  ResultFixture f;
  f.view.Refresh();
  f.Show();
  ASSERT_TRUE(f.List()->BeginEdit(13, 1));
  qobject_cast<QLineEdit*>(QApplication::focusWidget())->setText("99");
  f.List()->EndEdit();
  EXPECT_TRUE(f.ui.messages.empty());
  EXPECT_FALSE(f.List()->IsEditing());
  QApplication::processEvents();
  ASSERT_EQ(f.ui.messages.size(), 1u);
  EXPECT_EQ(f.List()->CellText(13, 1), "1.0");
}

TEST(ResultView, ResizedColumnsKeepTheirWidthAcrossRebuilds) {
  ResultFixture f;
  f.view.Refresh();
  f.List()->ColumnResizedByUser(1, 140);
  f.view.Refresh();
  EXPECT_EQ(f.List()->ColumnWidth(1), 140);
  EXPECT_FALSE(test::FileExists(f.app.settings.Path()));  // not persisted
}

TEST(ResultView, RefreshCurrentColumnFollowsARun) {
  ResultFixture f;
  f.view.Refresh();
  f.app.runActive = true;
  CMeasurePoint p;
  p.time = 130;
  p.current = 2.5;
  p.voltage = 1.2345;
  p.capacity = 90.7;
  p.avgVoltage = 1.25;
  f.doc.Current().AppendPoint(p);
  f.doc.Current().pir = 3.3;
  f.view.RefreshCurrentColumn();
  EXPECT_EQ(f.List()->CellText(3, 1), "130");
  EXPECT_EQ(f.List()->CellText(4, 1), "2.5");
  EXPECT_EQ(f.List()->CellText(5, 1), "1.234");
  EXPECT_EQ(f.List()->CellText(6, 1), "90");
  EXPECT_EQ(f.List()->CellText(11, 1), "3.3");
  f.view.ClearLiveValues();
  EXPECT_EQ(f.List()->CellText(4, 1), "0.0");
  EXPECT_EQ(f.List()->CellText(5, 1), "0.0");
}

TEST(ResultView, ValidateInputsChecksTheShownCells) {
  ResultFixture f;
  f.view.Refresh();
  EXPECT_EQ(f.view.ValidateInputs(), "");
  // A cell that somehow holds an invalid text is reported with a line end.
  f.List()->SetCellText(15, 1, "40");
  EXPECT_EQ(f.view.ValidateInputs(),
            Sj("放電電流Ｃは、0.0 ～ 35.0 の範囲で値を設定してください。\n"));
}

}  // namespace
}  // namespace qv::ui
