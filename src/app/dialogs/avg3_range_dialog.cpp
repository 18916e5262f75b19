#include "app/dialogs/avg3_range_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "analysis/dialog_texts.h"
#include "app/dialogs/dialog_buttons.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

QLineEdit* MakeTimeField(QWidget* parent) {
  auto* f = new QLineEdit(parent);
  f->setAlignment(Qt::AlignRight);
  f->setFixedWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
  return f;
}

}  // namespace

CAvg3RangeDialog::CAvg3RangeDialog(CAppState& app, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), app_(app), ui_(ui) {
  const Avg3RangeDialogTexts t = GetAvg3RangeDialogTexts();
  setWindowTitle(ToQt(t.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* description = new QLabel(ToQt(t.description), this);
  description->setWordWrap(true);
  description->setMinimumWidth(340);
  auto* group = new QGroupBox(ToQt(t.group), this);
  start_ = MakeTimeField(group);
  end_ = MakeTimeField(group);
  auto* row = new QHBoxLayout(group);
  row->addWidget(new QLabel(ToQt(t.dischargeTime), group));
  row->addSpacing(6);
  row->addWidget(start_);
  row->addWidget(new QLabel(ToQt(t.secondsFrom), group));
  row->addSpacing(6);
  row->addWidget(end_);
  row->addWidget(new QLabel(ToQt(t.seconds), group));
  row->addStretch(1);
  const DialogButtons buttons = MakeDialogButtons(this, ToQt(t.ok), ToQt(t.cancel));
  ok_ = buttons.accept;
  cancel_ = buttons.cancel;

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(description);
  layout->addSpacing(6);
  layout->addWidget(group);
  layout->addSpacing(6);
  layout->addLayout(buttons.row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ok_, &QPushButton::clicked, this, &CAvg3RangeDialog::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  const Avg3RangeFields fields = Avg3RangeOpen(app_.avg3);
  start_->setText(ToQt(fields.start));
  end_->setText(ToQt(fields.end));
  start_->setFocus();
}

Avg3RangeOutcome CAvg3RangeDialog::Run() {
  outcome_ = Avg3RangeOutcome::kStayOpen;
  if (exec() != QDialog::Accepted) return Avg3RangeOutcome::kStayOpen;
  return outcome_;
}

void CAvg3RangeDialog::OnOk() {
  const Avg3RangeOutcome outcome =
      AcceptAvg3Range(app_, ui_, {FromQt(start_->text()), FromQt(end_->text())});
  if (outcome == Avg3RangeOutcome::kStayOpen) return;  // refused: fields stay as typed
  outcome_ = outcome;
  accept();
}

}  // namespace qv::ui
