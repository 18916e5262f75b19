#include "app/dialogs/start_confirm_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
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

  const DialogButtons buttons =
      MakeDialogButtons(this, QString::fromUtf8("開始"), QString::fromUtf8("キャンセル"));
  start_ = buttons.accept;
  cancel_ = buttons.cancel;
  connect(start_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lead);
  layout->addWidget(caution);
  layout->addLayout(buttons.row);
  setMinimumWidth(420);
}

}  // namespace qv::ui
