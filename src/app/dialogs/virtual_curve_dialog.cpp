#include "app/dialogs/virtual_curve_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "analysis/dialog_texts.h"
#include "analysis/virtual_curve.h"
#include "app/dialogs/dialog_buttons.h"
#include "views/qt_text.h"

namespace qv::ui {

CVirtualCurrentDialog::CVirtualCurrentDialog(IUserInterface& ui, double sourceCurrent,
                                             QWidget* parent)
    : QDialog(parent), ui_(ui), sourceCurrent_(sourceCurrent) {
  const VirtualCurrentDialogTexts t = GetVirtualCurrentDialogTexts();
  setWindowTitle(ToQt(t.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* description = new QLabel(ToQt(t.description), this);
  description->setWordWrap(true);
  description->setMinimumWidth(360);
  auto* label = new QLabel(ToQt(t.label), this);
  field_ = new QLineEdit(this);
  field_->setAlignment(Qt::AlignRight);
  field_->setFixedWidth(field_->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
  label->setBuddy(field_);
  auto* note = new QLabel(ToQt(t.note), this);
  note->setWordWrap(true);
  note->setMinimumWidth(360);
  const DialogButtons buttons = MakeDialogButtons(this, ToQt(t.ok), ToQt(t.cancel));
  ok_ = buttons.accept;
  cancel_ = buttons.cancel;

  auto* fieldRow = new QHBoxLayout;
  fieldRow->addWidget(label);
  fieldRow->addSpacing(8);
  fieldRow->addWidget(field_);
  fieldRow->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(description);
  layout->addSpacing(6);
  layout->addLayout(fieldRow);
  layout->addSpacing(6);
  layout->addWidget(note);
  layout->addSpacing(6);
  layout->addLayout(buttons.row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ok_, &QPushButton::clicked, this, &CVirtualCurrentDialog::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  field_->setText(ToQt(VirtualCurrentInitialText(sourceCurrent_)));
  field_->selectAll();
  field_->setFocus();
}

std::optional<double> CVirtualCurrentDialog::Run() {
  accepted_.reset();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return accepted_;
}

void CVirtualCurrentDialog::OnOk() {
  std::optional<double> ia = AcceptVirtualCurrent(ui_, FromQt(field_->text()), sourceCurrent_);
  if (!ia) return;  // refused: the dialog stays open with what was typed
  accepted_ = ia;
  accept();
}

}  // namespace qv::ui
