#include "app/dialogs/port_setting_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/length_limit.h"
#include "views/qt_text.h"

namespace qv::ui {

CPortSettingDlg::CPortSettingDlg(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), doc_(doc), ui_(ui), model_(doc.App()) {
  setWindowTitle(U8("通信ポート設定"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* intro = new QLabel(U8("ORVANTISと通信を行うには、通信ポートの設定が必要です。"), this);

  auto* automatic = new QGroupBox(U8("自動設定する場合"), this);
  auto* autoText =
      new QLabel(U8("設定を自動的に行う場合は、次のボタンを押してください。"), automatic);
  autoText->setWordWrap(true);
  detect_ = new QPushButton(U8("自動設定画面"), automatic);
  auto* autoLayout = new QVBoxLayout(automatic);
  autoLayout->addWidget(autoText);
  autoLayout->addWidget(detect_, 0, Qt::AlignLeft);

  auto* manual = new QGroupBox(U8("手動設定する場合"), this);
  auto* manualText = new QLabel(
      U8("通信ケーブルを接続しているシリアルポートの「COM」番号を設定してください。"), manual);
  manualText->setWordWrap(true);
  auto* label = new QLabel(U8("COM 番号"), manual);
  edit_ = new QLineEdit(manual);
  LimitTyping(edit_, CPortSettingModel::kMaxChars);
  edit_->setText(ToQt(model_.InitialText()));
  edit_->setFixedWidth(48);
  label->setBuddy(edit_);
  // Under the number: the device it opens, following every keystroke.
  auto* deviceLabel = new QLabel(U8("デバイス"), manual);
  device_ = new QLabel(manual);
  device_->setObjectName(QStringLiteral("deviceText"));
  device_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  const auto showDevice = [this] {
    device_->setText(ToQt(model_.DeviceText(FromQt(edit_->text()))));
  };
  connect(edit_, &QLineEdit::textChanged, this, showDevice);
  showDevice();
  auto* field = new QGridLayout;
  field->addWidget(label, 0, 0);
  field->addWidget(edit_, 0, 1, Qt::AlignLeft);
  field->addWidget(deviceLabel, 1, 0);
  field->addWidget(device_, 1, 1);
  field->setColumnStretch(1, 1);
  auto* manualLayout = new QVBoxLayout(manual);
  manualLayout->addWidget(manualText);
  manualLayout->addLayout(field);

  const DialogButtons buttons = MakeDialogButtons(this, QStringLiteral("OK"), U8("キャンセル"));
  ok_ = buttons.accept;
  cancel_ = buttons.cancel;
  connect(ok_, &QPushButton::clicked, this, &CPortSettingDlg::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(detect_, &QPushButton::clicked, this, &CPortSettingDlg::OnDetect);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addWidget(automatic);
  layout->addWidget(manual);
  layout->addLayout(buttons.row);
  setMinimumWidth(400);
}

void CPortSettingDlg::OnOk() {
  // A number outside 1..256 leaves the dialog open without a word.
  if (model_.Accept(FromQt(edit_->text()))) accept();
}

void CPortSettingDlg::OnDetect() {
  CPortDetectDlg dlg(doc_, ui_, this);
  dlg.SetSleeper(sleeper);
  if (runDetect)
    runDetect(dlg);
  else
    dlg.exec();
  if (model_.TakeDetected(dlg.FoundPort())) reject();
}

}  // namespace qv::ui
