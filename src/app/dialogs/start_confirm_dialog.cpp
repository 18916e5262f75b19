#include "app/dialogs/start_confirm_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace qv::ui {

CStartConfirmDlg::CStartConfirmDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("放電と計測を開始"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* lead = new QLabel(QString::fromUtf8("放電と計測を開始します。"), this);
  lead->setObjectName(QStringLiteral("leadText"));

  auto* caution = new QGroupBox(QString::fromUtf8("注意"), this);
  auto* note1 = new QLabel(
      QString::fromUtf8(
          "※１　計測の前に、スクリーンセーバーや他のアプリケーションを停止させてください。"),
      caution);
  auto* note2 = new QLabel(
      QString::fromUtf8(
          "※２　このダイアログが出現している状態で、ORVANTIS側の設定を変更しないでください。"),
      caution);
  note1->setObjectName(QStringLiteral("note1"));
  note2->setObjectName(QStringLiteral("note2"));
  note1->setWordWrap(true);
  note2->setWordWrap(true);
  auto* notes = new QVBoxLayout(caution);
  notes->addWidget(note1);
  notes->addWidget(note2);

  start_ = new QPushButton(QString::fromUtf8("開始"), this);
  start_->setDefault(true);
  start_->setAutoDefault(true);
  cancel_ = new QPushButton(QString::fromUtf8("キャンセル"), this);
  cancel_->setAutoDefault(false);
  connect(start_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lead);
  layout->addWidget(caution);
  layout->addLayout(buttons);
  setMinimumWidth(420);
}

}  // namespace qv::ui
