#include "app/dialogs/start_options_dialog.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
#include "core/settings_keys.h"
namespace qv::ui {

CStartOptionsDlg::CStartOptionsDlg(CSettingsStore& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle(QString::fromUtf8("計測開始時の設定"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  clearOverlays_ = new QCheckBox(QString::fromUtf8("グラフ重ね合わせを解除する"), this);
  defaultGraph_ = new QCheckBox(QString::fromUtf8("グラフ表示範囲を既定値にする"), this);
  clearOverlays_->setChecked(settings_.Value(keys::kStartClearOverlays));
  defaultGraph_->setChecked(settings_.Value(keys::kStartDefaultGraph));

  const DialogButtons buttons =
      MakeDialogButtons(this, QStringLiteral("OK"), QString::fromUtf8("キャンセル"));
  ok_ = buttons.accept;
  cancel_ = buttons.cancel;
  connect(ok_, &QPushButton::clicked, this, &CStartOptionsDlg::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(clearOverlays_);
  layout->addWidget(defaultGraph_);
  layout->addSpacing(8);
  layout->addLayout(buttons.row);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CStartOptionsDlg::OnOk() {
  settings_.SetValue(keys::kStartClearOverlays, clearOverlays_->isChecked());
  settings_.SetValue(keys::kStartDefaultGraph, defaultGraph_->isChecked());
  accept();
}

}  // namespace qv::ui
