#include "app/dialogs/port_detect_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "link/port_list.h"
#include "link/port_scan.h"
#include "views/qt_text.h"

namespace qv::ui {

CPortDetectDlg::CPortDetectDlg(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), doc_(doc), ui_(ui) {
  setWindowTitle(U8("通信ポートの自動設定"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* intro = new QLabel(
      U8("この画面では、ORVANTISが接続されている通信ポートを検出し、通信の設定を自動的に行うことが"
         "できます。\n\n※自動設定を行わない場合は、この画面を閉じてください。"),
      this);
  intro->setObjectName(QStringLiteral("introText"));
  intro->setWordWrap(true);
  close_ = new QPushButton(U8("閉じる"), this);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);

  auto* steps = new QGroupBox(U8("自動設定の手順"), this);
  auto* procedure = new QLabel(
      U8("はじめに、ORVANTISとパソコンを通信ケーブルで接続し、ORVANTISの画面が\"計測画面\"に"
         "なっていることを確認してください。\n\n次に、「設定開始」ボタンを押すと検出を開始します。"
         "\n（処理が終了するまで数分かかる場合があります）"),
      steps);
  procedure->setObjectName(QStringLiteral("procedureText"));
  procedure->setWordWrap(true);
  auto* icon = new QLabel(steps);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  auto* cautionTitle = new QLabel(U8("ご注意"), steps);
  auto* caution = new QLabel(U8("誤動作を避けるため、ORVANTIS以外の他の機器はシリアルポート（RS232C"
                                "）から全て外してください"
                                "。"),
                             steps);
  caution->setObjectName(QStringLiteral("cautionText"));
  caution->setWordWrap(true);
  start_ = new QPushButton(U8("設定開始"), steps);
  start_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, &CPortDetectDlg::Scan);
  progressText_ = new QLabel(steps);
  progressText_->setObjectName(QStringLiteral("progressText"));
  device_ = new QLabel(steps);
  device_->setObjectName(QStringLiteral("deviceText"));
  progress_ = new QProgressBar(steps);
  progress_->setRange(0, kProgressMax);
  progress_->setValue(0);
  progress_->setTextVisible(false);

  auto* cautionText = new QVBoxLayout;
  cautionText->addWidget(cautionTitle);
  cautionText->addWidget(caution);
  auto* cautionRow = new QHBoxLayout;
  cautionRow->addWidget(icon, 0, Qt::AlignTop);
  cautionRow->addLayout(cautionText, 1);
  auto* startRow = new QHBoxLayout;
  startRow->addWidget(start_);
  startRow->addWidget(progressText_, 1);
  auto* stepsLayout = new QVBoxLayout(steps);
  stepsLayout->addWidget(procedure);
  stepsLayout->addLayout(cautionRow);
  stepsLayout->addLayout(startRow);
  stepsLayout->addWidget(device_);
  stepsLayout->addWidget(progress_);

  auto* top = new QHBoxLayout;
  top->addWidget(intro, 1);
  top->addWidget(close_, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(steps);
  setMinimumWidth(460);
}

void CPortDetectDlg::OnProgress(const CPortNames& names, int port, const std::string& text) {
  if (text.empty()) return;  // the end of a pass is handled by Scan
  tried_.push_back(port);
  progressText_->setText(ToQt(text));
  device_->setText(ToQt(PortDeviceText(names, port)));
  progress_->setValue(port);
  // The scan holds this thread: let the window paint between ports so that
  // the bar moves. User input waits until the scan is over.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CPortDetectDlg::Scan() {
  if (scanning_) return;
  scanning_ = true;
  start_->setEnabled(false);
  close_->setEnabled(false);
  progress_->setRange(0, kProgressMax);
  for (;;) {
    progress_->setValue(0);
    found_ = -1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<std::string> denied;
    // Every pass takes the settings as they are then.
    const LinkSettings settings = LinkSettingsOf(doc_.App());
    found_ = ScanPorts(
        settings,
        [this, &settings](int port, const std::string& text) {
          OnProgress(settings.ports, port, text);
        },
        sleeper_, &denied);
    QApplication::restoreOverrideCursor();
    progressText_->clear();
    device_->clear();
    progress_->setValue(kProgressMax);
    if (found_ >= 1) {
      ui_.Tell(ScanDoneText(found_), ScanDoneCaption(), MsgIcon::kInformation);
      break;
    }
    const MsgResult r = ui_.ShowMessage({ScanRetryText(denied), ScanRetryCaption(),
                                         MsgIcon::kWarning, MsgButtons::kYesNo, std::nullopt});
    if (r != MsgResult::kYes) break;
  }
  progress_->setValue(0);
  scanning_ = false;
  start_->setEnabled(true);
  close_->setEnabled(true);
  if (found_ >= 1) accept();
}

void CPortDetectDlg::reject() {
  // The scan runs to its end once started.
  if (scanning_) return;
  QDialog::reject();
}

void CPortDetectDlg::closeEvent(QCloseEvent* event) {
  if (scanning_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace qv::ui
