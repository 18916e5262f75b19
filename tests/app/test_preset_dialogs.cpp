// The input defaults and graph settings dialogs with their preset lists,
// driven through the Options menu commands and their buttons.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include "app/dialogs/graph_settings_dialog.h"
#include "app/dialogs/input_defaults_dialog.h"
#include "app/dialogs/length_limit.h"
#include "data/codec.h"
#include "shell_test_support.h"
#include "views/graph_view.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

void Type(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

std::string U(const QString& s) {
  return s.toStdString();
}

// The texts of every label and group box of a dialog, UTF-8.
std::vector<std::string> LabelTexts(QWidget& w) {
  std::vector<std::string> texts;
  for (auto* l : w.findChildren<QLabel*>())
    texts.push_back(U(l->text()));
  for (auto* g : w.findChildren<QGroupBox*>())
    texts.push_back(U(g->title()));
  return texts;
}

bool Has(const std::vector<std::string>& texts, const std::string& t) {
  return std::find(texts.begin(), texts.end(), t) != texts.end();
}

struct Presets : ::testing::Test {
  void SetUp() override { app = std::make_unique<StartedApp>(); }
  CAppState& State() { return app->State(); }
  std::unique_ptr<StartedApp> app;
};

// --- Input defaults ---------------------------------------------------------------

TEST_F(Presets, InputDefaultsDialogShowsTheDefaults) {
  State().inputs = {6, 6.0, 2.5, 1.0, 0.2, 300};
  CInputDefaultsDlg dlg(State(), app->ui, &app->Frame());
  EXPECT_EQ(U(dlg.windowTitle()), "入力初期値の定義");
  const auto labels = LabelTexts(dlg);
  for (const char* t :
       {"計測データ欄が初期化された際、\n入力値欄へ下記の数値を初期代入します。", "入力初期値",
        "放電電流Ａ[A]", "放電電流Ｂ[A]", "放電電流Ｃ[A]", "セル数", "終了電圧[V]", "V1測定点[秒]"})
    EXPECT_TRUE(Has(labels, t)) << t;
  EXPECT_EQ(U(dlg.CurrentA()->text()), "2.5");
  EXPECT_EQ(U(dlg.CurrentC()->text()), "0.2");
  EXPECT_EQ(U(dlg.EndVoltage()->text()), "6.0");
  EXPECT_EQ(U(dlg.V1Point()->text()), "300");
  EXPECT_EQ(U(dlg.Cells()->currentText()), "6");
  EXPECT_EQ(dlg.Cells()->count(), 4);
  EXPECT_EQ(TypingLimit(dlg.CurrentA()), 4);
  EXPECT_EQ(TypingLimit(dlg.V1Point()), 4);
  EXPECT_TRUE(dlg.OkButton()->isDefault());
  EXPECT_EQ(U(dlg.CancelButton()->text()), "ｷｬﾝｾﾙ");
  EXPECT_EQ(U(dlg.AddButton()->text()), "一覧に登録");
  EXPECT_EQ(U(dlg.ChooseButton()->text()), "一覧から選択");
}

TEST_F(Presets, ALengthLimitOnlyLimitsTyping) {
  State().inputs.v1Point = 10000;  // from a hand-edited settings file
  CInputDefaultsDlg dlg(State(), app->ui, &app->Frame());
  QLineEdit* v1 = dlg.V1Point();
  EXPECT_EQ(U(v1->text()), "10000");  // shown whole, not cut to 1000
  dlg.OkButton()->click();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0], "V1測定点は、100 ～ 3600 の範囲で値を設定してください。");
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  // Typing cannot lengthen it; deleting can, and then typing stops at four.
  QTest::keyClick(v1, Qt::Key_End);
  QTest::keyClicks(v1, "0");
  EXPECT_EQ(U(v1->text()), "10000");
  QTest::keyClick(v1, Qt::Key_Backspace);
  QTest::keyClick(v1, Qt::Key_Backspace);
  QTest::keyClicks(v1, "55");
  EXPECT_EQ(U(v1->text()), "1005");
  Type(dlg.CurrentA(), "12.34");
  EXPECT_EQ(U(dlg.CurrentA()->text()), "12.3");
}

TEST_F(Presets, ChoosingEightCellsPutsTheEndVoltage) {
  CInputDefaultsDlg dlg(State(), app->ui, &app->Frame());
  dlg.show();
  dlg.Cells()->setFocus();
  QTest::keyClick(dlg.Cells(), Qt::Key_End);  // a user's choice of the last item, "8"
  EXPECT_EQ(U(dlg.Cells()->currentText()), "8");
  EXPECT_EQ(U(dlg.EndVoltage()->text()), "8.0");
}

TEST_F(Presets, OutOfRangeCurrentKeepsTheDialogOpen) {
  const InputConditions before = State().inputs;
  CInputDefaultsDlg dlg(State(), app->ui, &app->Frame());
  Type(dlg.CurrentB(), "35.1");
  dlg.OkButton()->click();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0], "放電電流は、0.0 ～ 35.0 の範囲で値を設定してください。");
  EXPECT_EQ(Cp932ToUtf8(app->ui.messages[0].caption), "設定値入力範囲");
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_NE(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(U(dlg.CurrentB()->text()), "35.1");
  EXPECT_EQ(State().inputs, before);
}

TEST_F(Presets, CommandStoresChangedDefaultsAndOffersToClearThePanel) {
  ASSERT_TRUE(app->Enabled(kCmdInputDefaults));
  app->ui.Answer(MsgResult::kYes);
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CInputDefaultsDlg*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->CurrentA(), "12.3");
    Type(dlg->V1Point(), "3650");
    dlg->OkButton()->click();
  });
  app->Frame().OnCommand(kCmdInputDefaults);
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(State().settings.Get("DATA_DEF_DISA"), "12.3");
  EXPECT_EQ(State().settings.Get("DATA_DEF_APO1"), "3600");
  EXPECT_DOUBLE_EQ(State().inputs.currentA, 12.3);
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0],
            "入力初期値が更新されました。\n\n今、計測データ欄を初期化しますか？");
  // Yes cleared the panel with the new defaults.
  EXPECT_DOUBLE_EQ(app->Doc().Current().Inputs().currentA, 12.3);
  EXPECT_TRUE(app->Doc().IsModified());
}

TEST_F(Presets, UnchangedDefaultsAskNothing) {
  ModalAnswer answer([&](QWidget* w) { qobject_cast<CInputDefaultsDlg*>(w)->OkButton()->click(); });
  app->Frame().OnCommand(kCmdInputDefaults);
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(app->ui.messages.empty());
  EXPECT_FALSE(State().settings.Get("DATA_DEF_CELL").empty());
}

TEST_F(Presets, AddedInputPresetIsChosenBackFromTheList) {
  {
    CInputDefaultsDlg dlg(State(), app->ui, &app->Frame());
    Type(dlg.CurrentA(), "7.5");
    dlg.AddButton()->click();
    ASSERT_EQ(app->ui.messages.size(), 1u);
    EXPECT_EQ(app->ui.TextsUtf8()[0], "現在の各入力項目の値を、入力初期値一覧に登録しました。");
    EXPECT_NE(ReadFile(app->dir.File("Inpset.ini")).find("INP1_DISA=7.500000"), std::string::npos);
    EXPECT_NE(State().inputs.currentA, 7.5);  // the defaults stay as they were
  }
  CInputDefaultsDlg dlg(State(), app->ui, &app->Frame());
  std::string listTitle, firstCell;
  int columns = 0;
  ModalAnswer answer([&](QWidget* w) {
    auto* list = qobject_cast<CDefInpListDlg*>(w);
    ASSERT_NE(list, nullptr);
    listTitle = U(list->windowTitle());
    columns = list->Table()->ColumnCount();
    firstCell = list->Table()->CellText(0, 0);
    EXPECT_EQ(list->Table()->ColumnTitle(6), Sj("コメント"));
    EXPECT_EQ(U(list->SetButton()->text()), "入力初期値に設定");
    list->Table()->SelectRow(0);
    list->SetButton()->click();
  });
  dlg.ChooseButton()->click();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(listTitle, "入力初期値の一覧");
  EXPECT_EQ(columns, 7);
  EXPECT_EQ(firstCell, "7.5");
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(U(dlg.CurrentA()->text()), "7.5");
  EXPECT_EQ(State().settings.Get("DATA_DEF_DISA"), "7.5");
}

TEST_F(Presets, InputListAsksForARowAndDeletes) {
  WriteFile(
      app->dir.File("Inpset.ini"),
      "[QUORVEX]\r\nCOUNT=2\r\nINP1_DISA=1.0\r\nINP1_CELL=4\r\nINP2_DISA=2.0\r\nINP2_CELL=6\r\n");
  CDefInpListDlg list(State(), app->ui, &app->Frame());
  ASSERT_EQ(list.Table()->RowCount(), 2);
  list.SetButton()->click();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0], "入力初期値に設定するデータを選択してください。");
  EXPECT_NE(list.result(), QDialog::Accepted);
  // Only the comment can be edited in place.
  EXPECT_FALSE(list.Table()->BeginEdit(0, 0));
  list.Table()->SelectRow(0);
  app->ui.Answer(MsgResult::kOk);
  list.DeleteButton()->click();
  EXPECT_EQ(app->ui.TextsUtf8().back(),
            "選択したデータを削除してよろしいですか？\n\n（削除したデータは元に戻せません。）");
  ASSERT_EQ(list.Table()->RowCount(), 1);
  EXPECT_EQ(list.Table()->CellText(0, 0), "2.0");
  EXPECT_NE(ReadFile(app->dir.File("Inpset.ini")).find("COUNT=1"), std::string::npos);
}

TEST_F(Presets, CancelAfterARefusedPresetKeepsTheDefaults) {
  // A damaged entry (V1 point 0) replaces the defaults in memory, then OK refuses it.
  WriteFile(app->dir.File("Inpset.ini"), "[QUORVEX]\r\nCOUNT=1\r\nINP1_DISA=3.0\r\n");
  const InputConditions before = State().inputs;
  CInputDefaultsDlg dlg(State(), app->ui, &app->Frame());
  ModalAnswer answer([&](QWidget* w) {
    auto* list = qobject_cast<CDefInpListDlg*>(w);
    list->Table()->SelectRow(0);
    list->SetButton()->click();
  });
  dlg.ChooseButton()->click();
  ASSERT_TRUE(answer.Answered());
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0], "V1測定点は、100 ～ 3600 の範囲で値を設定してください。");
  dlg.CancelButton()->click();
  EXPECT_EQ(State().inputs, before);
}

TEST_F(Presets, InputDefaultsDisabledDuringARunGraphSettingsNot) {
  State().runActive = true;
  app->Frame().UpdateCommandStates();
  EXPECT_FALSE(app->Enabled(kCmdInputDefaults));
  EXPECT_TRUE(app->Enabled(kCmdGraphSettings));
  State().runActive = false;
  app->Frame().UpdateCommandStates();
  EXPECT_TRUE(app->Enabled(kCmdInputDefaults));
}

// --- Graph settings ---------------------------------------------------------------

TEST_F(Presets, GraphDialogShowsTheStoredSettings) {
  State().settings.Set("GRAPH_MAXV", "9.5");
  State().settings.Set("GRAPH_MINV", "4");
  State().settings.Set("GRAPH_GAPY", "0.25");
  State().settings.Set("GRAPH_GRID", "1");
  State().settings.Set("GRAPH_GAPX", "4");
  CGraphSettingsDlg dlg(State(), app->ui, &app->Frame());
  EXPECT_EQ(U(dlg.windowTitle()), "グラフ表示設定");
  const auto labels = LabelTexts(dlg);
  for (const char* t : {"縦軸（電圧）の設定", "最大値(V)", "最小値(V)", "目盛り間隔(V)",
                        "横軸（時間）の設定", "目盛り間隔", "最小", "最大"})
    EXPECT_TRUE(Has(labels, t)) << t;
  EXPECT_EQ(U(dlg.Grid()->text()), "グリッドを表示");
  EXPECT_EQ(U(dlg.MaxV()->text()), "9.50");
  EXPECT_EQ(U(dlg.MinV()->text()), "4.00");
  EXPECT_EQ(U(dlg.Step()->text()), "0.25");
  EXPECT_TRUE(dlg.Grid()->isChecked());
  EXPECT_EQ(dlg.Track()->value(), 1);
  EXPECT_EQ(dlg.Track()->maximum(), 4);
  EXPECT_EQ(TypingLimit(dlg.MaxV()), 5);
}

TEST_F(Presets, GraphCommandDuringARunReachesTheGraphView) {
  State().runActive = true;
  app->Frame().UpdateCommandStates();
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CGraphSettingsDlg*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->MaxV(), "9.004");
    Type(dlg->MinV(), "5");
    dlg->Track()->setValue(4);
    dlg->OkButton()->click();
  });
  app->Frame().OnCommand(kCmdGraphSettings);
  State().runActive = false;
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(app->ui.messages.empty());
  EXPECT_EQ(State().settings.Get("GRAPH_MAXV"), "9.00");
  EXPECT_EQ(State().settings.Get("GRAPH_MINV"), "5.00");
  EXPECT_EQ(State().settings.Get("GRAPH_GAPX"), "9");
  const auto& scale = app->Frame().GraphView()->GetScale();
  EXPECT_DOUBLE_EQ(scale.maxV, 9.0);
  EXPECT_DOUBLE_EQ(scale.minV, 5.0);
  EXPECT_EQ(scale.timeScale, 9);
}

TEST_F(Presets, GraphRefusalKeepsTheViewAsItWas) {
  const double maxBefore = app->Frame().GraphView()->GetScale().maxV;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CGraphSettingsDlg*>(w);
    Type(dlg->MaxV(), "5.00");
    Type(dlg->MinV(), "5.00");
    dlg->OkButton()->click();
    EXPECT_TRUE(dlg->isVisible());
    dlg->CancelButton()->click();
  });
  app->Frame().OnCommand(kCmdGraphSettings);
  ASSERT_TRUE(answer.Answered());
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0], "最大、最小の入力値が不正です。");
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_DOUBLE_EQ(app->Frame().GraphView()->GetScale().maxV, maxBefore);
}

TEST_F(Presets, GraphPresetAddedEditedAndChosen) {
  {
    CGraphSettingsDlg dlg(State(), app->ui, &app->Frame());
    Type(dlg.MaxV(), "9");
    Type(dlg.MinV(), "5");
    Type(dlg.Step(), "0.5");
    dlg.Grid()->setChecked(true);
    dlg.Track()->setValue(1);
    dlg.AddButton()->click();
    ASSERT_EQ(app->ui.messages.size(), 1u);
    EXPECT_EQ(app->ui.TextsUtf8()[0], "各入力項目の値を、グラフ表示設定一覧に登録しました。");
    EXPECT_EQ(Cp932ToUtf8(app->ui.messages[0].caption), "一覧に登録");
  }
  const std::string file = ReadFile(app->dir.File("Graset.ini"));
  EXPECT_NE(file.find("GRA1_MAXV=9.000000"), std::string::npos);
  EXPECT_NE(file.find("GRA1_GAPX=3"), std::string::npos);

  CGraphSettingsDlg dlg(State(), app->ui, &app->Frame());
  std::vector<std::string> row;
  ModalAnswer answer([&](QWidget* w) {
    auto* list = qobject_cast<CGraTblListDlg*>(w);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(U(list->windowTitle()), "グラフ表示設定の一覧");
    EXPECT_EQ(U(list->UseButton()->text()), "表示設定にする");
    for (int c = 0; c < list->Table()->ColumnCount(); ++c)
      row.push_back(Cp932ToUtf8(list->Table()->CellText(0, c)));
    // The comment is edited in place and written at once.
    ASSERT_TRUE(list->Table()->BeginEdit(0, CGraphPresetList::kCommentColumn));
    auto* editor = list->Table()->Table()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(U8("夜間"));
    list->Table()->EndEdit();
    list->Table()->SelectRow(0);
    list->UseButton()->click();
  });
  dlg.ChooseButton()->click();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(row, (std::vector<std::string>{"9.00", "5.00", "0.50", "あり", "2", ""}));
  EXPECT_NE(ReadFile(app->dir.File("Graset.ini")).find("GRA1_MEMO=" + Sj("夜間")),
            std::string::npos);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(State().settings.Get("GRAPH_GAPY"), "0.50");
  EXPECT_EQ(State().settings.Get("GRAPH_GRID"), "1");
  EXPECT_EQ(State().settings.Get("GRAPH_GAPX"), "3");
}

TEST_F(Presets, GraphListAsksForARowBeforeUse) {
  WriteFile(app->dir.File("Graset.ini"), "[QUORVEX]\r\nCOUNT=25\r\n");
  CGraTblListDlg list(State(), app->ui, &app->Frame());
  EXPECT_EQ(list.Table()->RowCount(), 20);
  list.UseButton()->click();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(Cp932ToUtf8(app->ui.messages[0].caption), "データ選択");
  EXPECT_FALSE(list.Chosen().has_value());
  EXPECT_NE(list.result(), QDialog::Accepted);
}

TEST_F(Presets, BothListsHaveANarrowNumberColumnAndNoHorizontalScrollBar) {
  WriteFile(app->dir.File("Inpset.ini"), "[QUORVEX]\r\nCOUNT=2\r\n");
  WriteFile(app->dir.File("Graset.ini"), "[QUORVEX]\r\nCOUNT=2\r\n");
  CDefInpListDlg inList(State(), app->ui, &app->Frame());
  CGraTblListDlg grList(State(), app->ui, &app->Frame());
  for (auto [dialog, table] : {std::pair<QDialog*, CReportCtrl*>{&inList, inList.Table()},
                               std::pair<QDialog*, CReportCtrl*>{&grList, grList.Table()}}) {
    dialog->show();
    QApplication::processEvents();
    EXPECT_EQ(table->Table()->horizontalHeader()->sectionSize(0), 28);
    EXPECT_FALSE(table->Table()->horizontalScrollBar()->isVisible());
    dialog->hide();
  }
}

// Pictures of the four windows, for a look as the user sees them.
TEST_F(Presets, Screens) {
  WriteFile(app->dir.File("Inpset.ini"),
            "[QUORVEX]\r\nCOUNT=1\r\nINP1_DISA=1.0\r\nINP1_DISB=0.5\r\nINP1_DISC=0.1\r\n"
            "INP1_CELL=6\r\nINP1_CUTV=6.0\r\nINP1_APO1=300\r\nINP1_MEMO=" +
                Sj("標準") + "\r\n");
  WriteFile(app->dir.File("Graset.ini"),
            "[QUORVEX]\r\nCOUNT=1\r\nGRA1_MAXV=9\r\nGRA1_MINV=5\r\nGRA1_GRID=1\r\nGRA1_GAPX=3\r\n"
            "GRA1_GAPY=0.5\r\n");
  const QString dir = QDir::tempPath() + QStringLiteral("/quorvex-preset-shots");
  QDir().mkpath(dir);
  CInputDefaultsDlg in(State(), app->ui, &app->Frame());
  CDefInpListDlg inList(State(), app->ui, &app->Frame());
  CGraphSettingsDlg gr(State(), app->ui, &app->Frame());
  CGraTblListDlg grList(State(), app->ui, &app->Frame());
  EXPECT_TRUE(in.grab().save(dir + QStringLiteral("/input_defaults.png")));
  EXPECT_TRUE(inList.grab().save(dir + QStringLiteral("/input_list.png")));
  EXPECT_TRUE(gr.grab().save(dir + QStringLiteral("/graph_settings.png")));
  EXPECT_TRUE(grList.grab().save(dir + QStringLiteral("/graph_list.png")));
}

}  // namespace
}  // namespace qv::test::shell
