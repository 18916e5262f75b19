// The port setting and port detection dialogs against the simulated
// analyzer published in the working folder's ports/ links.
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "app/dialogs/length_limit.h"
#include "app/dialogs/port_detect_dialog.h"
#include "app/dialogs/port_setting_dialog.h"
#include "data/codec.h"
#include "link/port_scan.h"
#include "test_run_support.h"

namespace qv::test {
namespace {

using ui::CPortDetectDlg;
using ui::CPortSettingDlg;

class PortTest : public RunWindowTest {
 protected:
  void ScanOnOpen() {
    runs_->runDetect = [this](CPortDetectDlg& dlg) {
      detectOpened_ = true;
      EXPECT_EQ(dlg.Progress()->minimum(), 0);
      EXPECT_EQ(dlg.Progress()->maximum(), 256);
      dlg.StartButton()->click();
      tried_ = dlg.TriedPorts();
      barAfter_ = dlg.Progress()->value();
      textAfter_ = dlg.ProgressText()->text();
      return dlg.result();
    };
  }
  void CloseOnOpen() {
    runs_->runDetect = [this](CPortDetectDlg& dlg) {
      detectOpened_ = true;
      dlg.CloseButton()->click();
      return dlg.result();
    };
  }
  int ComPort() const { return app_->State().settings.GetInt("COMPORT"); }

  bool detectOpened_ = false;
  std::vector<int> tried_;
  int barAfter_ = -1;
  QString textAfter_;
};

TEST_F(PortTest, DetectionFindsTheSimulatorOnItsNumberAndStopsThere) {
  // COM1 has no device, COM2 a silent one; COM4 would answer but must not
  // be reached.
  SimProcess silent(dir_.path(), 2, {"--fault", "silent"});
  ASSERT_TRUE(silent.WaitReady());
  SimProcess sim(dir_.path(), 3, {"--speed", "0"});
  ASSERT_TRUE(sim.WaitReady());
  SimProcess later(dir_.path(), 4, {"--speed", "0"});
  ASSERT_TRUE(later.WaitReady());
  ScanOnOpen();
  int settingResult = -1;
  runs_->runPortSetting = [&](CPortSettingDlg& dlg) {
    dlg.DetectButton()->click();
    settingResult = dlg.result();
    return settingResult;
  };
  frame_->OnCommand(ui::kCmdPortSettings);
  EXPECT_TRUE(detectOpened_);
  EXPECT_EQ(tried_, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(barAfter_, 0);
  EXPECT_TRUE(textAfter_.isEmpty());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(
      Cp932ToUtf8(ui_.messages[0].text),
      "通信設定を完了しました。ORVANTISとの通信が可能になります。\n\n（通信ポートが「COM 3」に"
      "設定されました。）");
  EXPECT_EQ(ui_.messages[0].caption, Sj("自動設定完了"));
  EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kInformation);
  EXPECT_EQ(ComPort(), 3);
  // The setting dialog closed as if cancelled.
  EXPECT_EQ(settingResult, QDialog::Rejected);
}

TEST_F(PortTest, ClosingTheDetectionWithoutAScanLeavesComportInTheSettingDialog) {
  CloseOnOpen();
  bool stillOpen = false;
  runs_->runPortSetting = [&](CPortSettingDlg& dlg) {
    dlg.show();
    dlg.DetectButton()->click();
    stillOpen = dlg.isVisible();
    dlg.CancelButton()->click();
    return dlg.result();
  };
  frame_->OnCommand(ui::kCmdPortSettings);
  EXPECT_TRUE(detectOpened_);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(ComPort(), kCom);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(PortTest, ClosingTheDetectionFromTheFirstFailureHintLeavesComport) {
  CloseOnOpen();
  ui_.Answer(MsgResult::kOk);   // the sending failure
  ui_.Answer(MsgResult::kYes);  // the hint: open the detection
  frame_->OnCommand(ui::kCmdStart);
  EXPECT_TRUE(detectOpened_);
  EXPECT_EQ(ComPort(), kCom);
  EXPECT_EQ(ui_.messages.size(), 2u);
}

TEST_F(PortTest, TheFirstFailureHintDetectsAndWritesThePort) {
  SimProcess sim(dir_.path(), 7, {"--speed", "0"});
  ASSERT_TRUE(sim.WaitReady());
  ScanOnOpen();
  ui_.Answer(MsgResult::kOk);
  ui_.Answer(MsgResult::kYes);
  frame_->OnCommand(ui::kCmdStart);
  EXPECT_EQ(tried_.back(), 7);
  EXPECT_EQ(ComPort(), 7);
  EXPECT_FALSE(runs_->IsActive());  // no run is started by the hint
}

TEST_F(PortTest, ANothingFoundScanRetriesFromComOneThenGivesUp) {
  ScanOnOpen();
  ui_.Answer(MsgResult::kYes);  // retry once
  ui_.Answer(MsgResult::kNo);
  runs_->runPortSetting = [&](CPortSettingDlg& dlg) {
    dlg.DetectButton()->click();
    dlg.CancelButton()->click();
    return dlg.result();
  };
  frame_->OnCommand(ui::kCmdPortSettings);
  ASSERT_EQ(tried_.size(), 512u);
  EXPECT_EQ(tried_[0], 1);
  EXPECT_EQ(tried_[255], 256);
  EXPECT_EQ(tried_[256], 1);
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(Cp932ToUtf8(ui_.messages[0].text),
            "通信設定ができませんでした。\n\n（通信ポート(COM1～256)をチェックしましたが、ORVANTIS"
            "との通信ができませんでした。）\n\n再試行しますか？");
  EXPECT_EQ(ui_.messages[0].caption, Sj("接続機器の反応がありません"));
  EXPECT_EQ(ui_.messages[0].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(barAfter_, 0);
  EXPECT_EQ(ComPort(), kCom);
}

TEST_F(PortTest, ProgressTextNamesThePortBeingChecked) {
  CPortDetectDlg dlg(app_->Doc(), ui_, frame_);
  dlg.SetSleeper(ShortSleep);
  std::vector<QString> texts;
  QObject::connect(dlg.Progress(), &QProgressBar::valueChanged, [&](int v) {
    if (v == 2) texts.push_back(dlg.ProgressText()->text());
  });
  ui_.Answer(MsgResult::kNo);
  dlg.Scan();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0], QString::fromUtf8("COM2 を検査中..."));
  EXPECT_EQ(dlg.FoundPort(), -1);
}

TEST_F(PortTest, DetectionDialogTexts) {
  CPortDetectDlg dlg(app_->Doc(), ui_, frame_);
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("通信ポートの自動設定"));
  EXPECT_EQ(
      dlg.findChild<QLabel*>(QStringLiteral("introText"))->text(),
      QString::fromUtf8("この画面では、ORVANTISが接続されている通信ポートを検出し、通信の設定を"
                        "自動的に行うことができます。\n\n※自動設定を行わない場合は、この画面を"
                        "閉じてください。"));
  EXPECT_EQ(
      dlg.findChild<QLabel*>(QStringLiteral("procedureText"))->text(),
      QString::fromUtf8("はじめに、ORVANTISとパソコンを通信ケーブルで接続し、ORVANTISの画面が"
                        "\"計測画面\"になっていることを確認してください。\n\n次に、「設定開始」"
                        "ボタンを押すと検出を開始します。\n（処理が終了するまで数分かかる場合が"
                        "あります）"));
  EXPECT_EQ(
      dlg.findChild<QLabel*>(QStringLiteral("cautionText"))->text(),
      QString::fromUtf8("誤動作を避けるため、ORVANTIS以外の他の機器はシリアルポート（RS232C）から"
                        "全て外してください。"));
  EXPECT_EQ(dlg.StartButton()->text(), QString::fromUtf8("設定開始"));
  EXPECT_EQ(dlg.CloseButton()->text(), QString::fromUtf8("閉じる"));
  EXPECT_TRUE(dlg.ProgressText()->text().isEmpty());
  EXPECT_EQ(dlg.Progress()->value(), 0);
  EXPECT_EQ(dlg.FoundPort(), -1);
}

TEST_F(PortTest, SettingDialogTakesOnlyNumbersOneTo256) {
  int closes = 0;
  auto typeAndOk = [&](const char* text) {
    runs_->runPortSetting = [&, text](CPortSettingDlg& dlg) {
      EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("通信ポート設定"));
      EXPECT_EQ(ui::TypingLimit(dlg.PortEdit()), 3);
      EXPECT_EQ(dlg.PortEdit()->text().toInt(), ComPort());
      dlg.show();
      dlg.PortEdit()->setText(QString::fromLatin1(text));
      dlg.OkButton()->click();
      if (!dlg.isVisible()) ++closes;
      return dlg.result();
    };
    frame_->OnCommand(ui::kCmdPortSettings);
  };
  for (const char* bad : {"0", "257", "ab", ""}) {
    typeAndOk(bad);
    EXPECT_EQ(ComPort(), kCom) << bad;
  }
  EXPECT_EQ(closes, 0);
  typeAndOk("12");
  EXPECT_EQ(ComPort(), 12);
  typeAndOk("007");
  EXPECT_EQ(ComPort(), 7);
  EXPECT_EQ(app_->State().settings.Get("COMPORT"), "7");
  EXPECT_EQ(closes, 2);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(PortTest, TheSettingDialogShowsTheDeviceOfTheTypedNumber) {
  SimProcess sim(dir_.path(), 3, {"--speed", "0"});
  ASSERT_TRUE(sim.WaitReady());
  const std::string pty = std::filesystem::read_symlink(dir_.File("ports/COM3")).string();
  WriteFile(devRoot_ + "/ttyS0", "");
  const std::string ttyS0 = std::filesystem::canonical(devRoot_ + "/ttyS0").string();
  CPortSettingDlg dlg(app_->Doc(), ui_);
  // It opens on COMPORT, a number with no device.
  EXPECT_EQ(dlg.DeviceLabel()->text(), QString::fromUtf8("なし"));
  const struct {
    const char* typed;
    std::string shown;
  } cases[] = {{"3", "ports/COM3 → " + pty},
               {"1", ttyS0},
               {"01", ttyS0},
               {"2", "なし"},
               {"", "なし"},
               {"x", "なし"}};
  for (const auto& c : cases) {
    dlg.PortEdit()->clear();
    QTest::keyClicks(dlg.PortEdit(), QString::fromLatin1(c.typed));
    EXPECT_EQ(dlg.DeviceLabel()->text().toStdString(), c.shown) << c.typed;
  }
  if (const QString shots = qEnvironmentVariable("QV_SCREENSHOT_DIR"); !shots.isEmpty()) {
    dlg.PortEdit()->setText(QStringLiteral("3"));
    dlg.adjustSize();
    dlg.grab().save(shots + QStringLiteral("/port_setting_device.png"));
  }
  // Typing shows; only OK writes.
  EXPECT_EQ(ComPort(), kCom);
}

TEST_F(PortTest, DetectionShowsTheDeviceOfTheNumberItProbes) {
  SimProcess silent(dir_.path(), 2, {"--fault", "silent"});
  ASSERT_TRUE(silent.WaitReady());
  SimProcess sim(dir_.path(), 3, {"--speed", "0"});
  ASSERT_TRUE(sim.WaitReady());
  const std::string pty = std::filesystem::read_symlink(dir_.File("ports/COM2")).string();
  const std::string answering = std::filesystem::read_symlink(dir_.File("ports/COM3")).string();
  CPortDetectDlg dlg(app_->Doc(), ui_);
  std::vector<std::string> shown;
  // The probes wait between tries: look at the dialog then.
  dlg.SetSleeper([&](int ms) {
    shown.push_back(dlg.DeviceText()->text().toStdString());
    if (shown.size() == 1 && !qEnvironmentVariable("QV_SCREENSHOT_DIR").isEmpty())
      dlg.grab().save(qEnvironmentVariable("QV_SCREENSHOT_DIR") +
                      QStringLiteral("/port_detect_device.png"));
    ShortSleep(ms);
  });
  dlg.StartButton()->click();
  EXPECT_EQ(dlg.FoundPort(), 3);
  // In probing order, each number's device while it was probed.
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  EXPECT_EQ(shown, (std::vector<std::string>{"ports/COM2 → " + pty, "ports/COM3 → " + answering}));
  EXPECT_TRUE(dlg.DeviceText()->text().isEmpty());
}

}  // namespace
}  // namespace qv::test
