// The analysis windows driven through their menu commands: the virtual
// current dialog, the average-voltage-3 range dialog, the simulator and the
// EMF comparison.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <algorithm>

#include "app/dialogs/avg3_range_dialog.h"
#include "app/dialogs/emf_dialog.h"
#include "app/dialogs/simulator_dialog.h"
#include "app/dialogs/virtual_curve_dialog.h"
#include "data/codec.h"
#include "shell_test_support.h"
#include "views/data_view.h"
#include "views/report_ctrl.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

void Type(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

// Every label text of a window, UTF-8.
std::vector<std::string> LabelTexts(QWidget* w) {
  std::vector<std::string> out;
  for (QLabel* l : w->findChildren<QLabel*>())
    out.push_back(l->text().toStdString());
  return out;
}

bool HasLabel(QWidget* w, const std::string& text) {
  for (const std::string& t : LabelTexts(w))
    if (t == text) return true;
  return false;
}

std::string Utf8(const std::string& cp932) {
  return Cp932ToUtf8(cp932);
}

// Saves what the user sees of a window (looked at once while writing it).
void Grab(QWidget* w, const char* name) {
  const QString dir = qEnvironmentVariable("QV_SHOT_DIR");
  if (!dir.isEmpty()) w->grab().save(dir + "/" + name + ".png");
}

// A constant-current record (20 A) with internal resistance and PIR: 600
// points from 7.2 V falling, 10 mOhm.
std::unique_ptr<CMeasureData> ConstantRecord(int id3, double amperes, int day = 4) {
  auto r = MakeRecord(1, 1, id3, 600, day);
  r->currentA = r->currentB = r->currentC = amperes;
  r->internalResistance = 10.0;
  r->pir = 5.0;
  r->cells = 5;
  r->endVoltage = 6.0;
  double capacity = 0.0;
  for (CMeasurePoint& p : r->MutablePoints()) {
    capacity += amperes / 3.6;
    p.current = amperes;
    p.voltage = 7.2 - 1.0 * p.time / 600.0;
    p.capacity = capacity;
  }
  return r;
}

struct Analysis : ::testing::Test {
  void SetUp() override {
    app = std::make_unique<StartedApp>();
    app->Doc().Current().MutablePoints().clear();
    app->Doc().InsertRegistered(ConstantRecord(1, 20.0));
    app->Doc().InsertRegistered(ConstantRecord(2, 15.5, 5));
    app->Doc().RefreshViews(kRefreshAll);
    QApplication::setActiveWindow(&app->Frame());
  }
  CReportCtrl* List() { return app->Frame().DataView()->List(); }
  void SelectFirstRow() {
    List()->Table()->setFocus();
    List()->SelectRow(List()->RowKeyAt(0));
    ASSERT_TRUE(Pump([&] { return app->Frame().DataView()->ListHasFocus(); }, 1000));
  }
  void DrawAll() {
    for (auto& r : app->Doc().Registered())
      app->Doc().ToggleOverlay(r.get());
    app->Doc().RefreshViews(kRefreshAll);
    app->Frame().UpdateCommandStates();
  }
  std::unique_ptr<StartedApp> app;
};

// --- Virtual curve ------------------------------------------------------------

TEST_F(Analysis, VirtualCurveWithoutSelectionAsksForOneRecord) {
  app->Frame().UpdateCommandStates();
  ASSERT_TRUE(app->Enabled(kCmdVirtualCurve));
  app->Frame().Action(kCmdVirtualCurve)->trigger();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(app->ui.messages[0].caption), "バーチャルカーブの生成");
  EXPECT_EQ(app->ui.TextsUtf8()[0],
            "バーチャルカーブの生成元となるデータを、データビューから１つ選択してください。");
  EXPECT_TRUE(app->Doc().Current().Points().empty());
}

TEST_F(Analysis, VirtualCurrentDialogRefusesThenGenerates) {
  SelectFirstRow();
  QString title, initial;
  std::vector<std::string> labels;
  bool stayedOpen = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CVirtualCurrentDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Grab(dlg, "virtual_current");
    title = dlg->windowTitle();
    initial = dlg->Field()->text();
    labels = LabelTexts(dlg);
    EXPECT_EQ(dlg->OkButton()->text().toStdString(), "OK");
    EXPECT_EQ(dlg->CancelButton()->text().toStdString(), "ｷｬﾝｾﾙ");
    Type(dlg->Field(), "1000.01");
    QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
    stayedOpen = dlg->isVisible();
    Type(dlg->Field(), "30.04");
    QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
  });
  app->Frame().Action(kCmdVirtualCurve)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(title.toStdString(), "バーチャルカーブの生成");
  EXPECT_EQ(initial.toStdString(), "20.0");
  EXPECT_TRUE(stayedOpen);
  EXPECT_NE(std::find(labels.begin(), labels.end(), "仮想放電電流[A]"), labels.end());
  EXPECT_NE(std::find(labels.begin(), labels.end(),
                      "選択したデータを元に、放電電流を増加させた場合の仮想放電データを計算により"
                      "生成します。"),
            labels.end());

  ASSERT_EQ(app->ui.messages.size(), 2u);
  EXPECT_EQ(Utf8(app->ui.messages[0].caption), "仮想放電電流値");
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(app->ui.TextsUtf8()[0], "放電電流は、1000.0以下の値を入力してください。");
  EXPECT_EQ(app->ui.TextsUtf8()[1], "仮想放電電流 30.0 A のバーチャルカーブを生成しました。");

  const CMeasureData& cur = app->Doc().Current();
  EXPECT_EQ(cur.currentA, 30.0);
  EXPECT_EQ(cur.currentC, 30.0);
  EXPECT_EQ(cur.pir, -1.0);
  EXPECT_EQ(app->Doc().SlotOf(cur), 1);
  EXPECT_FALSE(cur.Points().empty());
  EXPECT_EQ(Utf8(cur.remark).rfind("(30.0Aﾊﾞｰﾁｬﾙｶｰﾌﾞ/001-001-001_2015/03/04 10:11:12_20.0A)", 0),
            0u);
  EXPECT_TRUE(app->State().modified);
}

TEST_F(Analysis, CancellingTheVirtualCurrentDialogChangesNothing) {
  SelectFirstRow();
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CVirtualCurrentDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
  });
  app->Frame().Action(kCmdVirtualCurve)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(app->ui.messages.empty());
  EXPECT_TRUE(app->Doc().Current().Points().empty());
}

// --- Average-voltage-3 range --------------------------------------------------

TEST_F(Analysis, Avg3RangeRefusesOutOfRangeThenStoresSwappedRange) {
  app->State().avg3 = {0, 50};
  app->Frame().UpdateCommandStates();
  ASSERT_TRUE(app->Enabled(kCmdAvg3Range));
  std::vector<std::string> labels;
  QString start, end, title;
  bool stayedOpen = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CAvg3RangeDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Grab(dlg, "avg3_range");
    title = dlg->windowTitle();
    labels = LabelTexts(dlg);
    start = dlg->StartField()->text();
    end = dlg->EndField()->text();
    Type(dlg->StartField(), "10000");
    QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
    stayedOpen = dlg->isVisible();
    Type(dlg->StartField(), "300");
    Type(dlg->EndField(), "100");
    QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
  });
  app->Frame().Action(kCmdAvg3Range)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(title.toStdString(), "平均電圧3の範囲");
  EXPECT_EQ(start.toStdString(), "0");
  EXPECT_EQ(end.toStdString(), "50");
  EXPECT_TRUE(stayedOpen);
  for (const char* text : {"放電時間", "秒 から", "秒"})
    EXPECT_NE(std::find(labels.begin(), labels.end(), text), labels.end()) << text;

  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.TextsUtf8()[0], "時間は、0 ～ 9999 の範囲で値を設定してください。");
  EXPECT_EQ(Utf8(app->ui.messages[0].caption), "設定値入力範囲");
  EXPECT_EQ(app->State().avg3.start, 100);
  EXPECT_EQ(app->State().avg3.end, 300);
  EXPECT_EQ(app->State().settings.Get("DATA_DEF_APO3ST"), "100");
  EXPECT_EQ(app->State().settings.Get("DATA_DEF_APO3ED"), "300");
  // Every registered record is recomputed over the new range: 195 points
  // (100..119 and 126..300), the voltage falling linearly.
  const CMeasureData& r = *app->Doc().Registered().front();
  double sum = 0.0;
  int n = 0;
  for (const CMeasurePoint& p : r.Points())
    if (p.time >= 100 && p.time <= 300 && (p.time < 120 || p.time > 125)) sum += p.voltage, ++n;
  EXPECT_EQ(n, 195);
  EXPECT_DOUBLE_EQ(r.avgVoltage3, sum / n);
}

TEST_F(Analysis, Avg3RangeCancelKeepsTheRange) {
  app->State().avg3 = {0, 50};
  for (auto& r : app->Doc().Registered())
    r->avgVoltage3 = 1.5;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CAvg3RangeDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->StartField(), "200");
    QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
  });
  app->Frame().Action(kCmdAvg3Range)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(app->State().avg3.start, 0);
  EXPECT_EQ(app->State().avg3.end, 50);
  EXPECT_EQ(app->Doc().Registered().front()->avgVoltage3, 1.5);
}

// --- Simulator and EMF comparison ---------------------------------------------

TEST_F(Analysis, SimulatorAndEmfNeedADrawnSuitableRecord) {
  app->Frame().UpdateCommandStates();
  EXPECT_FALSE(app->Enabled(kCmdSimulator));
  EXPECT_FALSE(app->Enabled(kCmdEmfCompare));
  DrawAll();
  EXPECT_TRUE(app->Enabled(kCmdSimulator));
  EXPECT_TRUE(app->Enabled(kCmdEmfCompare));
}

TEST_F(Analysis, SimulatorStepsTheCurrentFromTheStartCurrent) {
  app->State().graph.grid = true;
  DrawAll();
  QString title;
  int minimum = 0, maximum = 0, shown = 0, afterUp = 0, afterDown = 0;
  size_t curves = 0;
  bool labelsShown = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CSimulatorDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    title = dlg->windowTitle();
    labelsShown =
        HasLabel(dlg, "参照中のそれぞれのデータに関して、仮想放電曲線をシミュレート表示します。") &&
        HasLabel(dlg, "仮想放電電流[A]");
    QSpinBox* spin = dlg->CurrentField();
    minimum = spin->minimum();
    maximum = spin->maximum();
    shown = spin->value();
    curves = dlg->Model().Curves().size();
    spin->stepUp();
    afterUp = dlg->Model().Current();
    spin->stepDown();
    spin->stepDown();  // cannot go below the start current
    afterDown = dlg->Model().Current();
    Grab(dlg, "simulator");
    EXPECT_EQ(dlg->CloseButton()->text().toStdString(), "閉じる");
    QTest::mouseClick(dlg->CloseButton(), Qt::LeftButton);
  });
  app->Frame().Action(kCmdSimulator)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(title.toStdString(), "バーチャルカーブ シミュレーター");
  EXPECT_TRUE(labelsShown);
  // 20.0 A and 15.5 A drawn: the start current is 20.
  EXPECT_EQ(minimum, 20);
  EXPECT_EQ(maximum, 1000);
  EXPECT_EQ(shown, 20);
  EXPECT_EQ(curves, 2u);
  EXPECT_EQ(afterUp, 21);
  EXPECT_EQ(afterDown, 20);
  // Nothing is stored.
  EXPECT_TRUE(app->Doc().Current().Points().empty());
  EXPECT_EQ(app->Doc().Registered().front()->currentA, 20.0);
}

TEST_F(Analysis, EmfComparisonPaintsOneBarPerRecord) {
  DrawAll();
  QString title;
  std::vector<std::string> bars;
  QImage image;
  EmfBar first;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CEmfDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    title = dlg->windowTitle();
    for (const EmfBar& b : dlg->Model().Bars())
      bars.push_back(b.text);
    if (!dlg->Model().Bars().empty()) first = dlg->Model().Bars().front();
    image = dlg->grab().toImage();
    Grab(dlg, "emf");
    QTest::mouseClick(dlg->CloseButton(), Qt::LeftButton);
  });
  app->Frame().Action(kCmdEmfCompare)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(title.toStdString(), "起電圧比較");
  ASSERT_EQ(bars.size(), 2u);
  // The bar is painted in its slot's colour where the model places it.
  const double dpr = image.devicePixelRatio();
  const QPoint inside(static_cast<int>((first.rect.left + 2) * dpr),
                      static_cast<int>((first.rect.bottom - 2) * dpr));
  EXPECT_EQ(image.pixelColor(inside).rgb() & 0xFFFFFF, first.color);
  const QPoint outside(static_cast<int>((CEmfComparison::kBarArea.left + 2) * dpr),
                       static_cast<int>((CEmfComparison::kBarArea.bottom - 2) * dpr));
  EXPECT_EQ(image.pixelColor(outside).rgb() & 0xFFFFFF, 0u);
}

}  // namespace
}  // namespace qv::test::shell
