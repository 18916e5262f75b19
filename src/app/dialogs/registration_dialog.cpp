#include "app/dialogs/registration_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/id_fields.h"
#include "data/document.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

// "[ ] － [ ] － [ ]"
QHBoxLayout* IdRow(std::array<QLineEdit*, 3>& fields, QWidget* parent) {
  auto* row = new QHBoxLayout;
  AddIdFields(row, fields, parent);
  return row;
}

}  // namespace

// --- Registration -------------------------------------------------------------

CRegistrationDialog::CRegistrationDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), model_(doc, doc.App().settings) {
  setWindowTitle(U8("計測データの登録"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* prompt = new QLabel(U8("計測データを登録します。登録ＩＤを入力してください。"), this);
  auto* idLabel = new QLabel(U8("登録ＩＤ"), this);
  QHBoxLayout* ids = IdRow(fields_, this);
  // Created in the order of the controls: the box before the auto-assign
  // button, which is the order the Tab key follows.
  proposeNext_ = new QCheckBox(U8("常に前回登録の次のＩＤを自動割付"), this);
  autoAssign_ = new QPushButton(U8("自動割付"), this);
  const DialogButtons buttons = MakeDialogButtons(this, U8("登録"), U8("ｷｬﾝｾﾙ"));
  register_ = buttons.accept;
  cancel_ = buttons.cancel;

  auto* idRow = new QHBoxLayout;
  idRow->addWidget(idLabel);
  idRow->addSpacing(8);
  idRow->addLayout(ids);
  idRow->addStretch(1);

  auto* boxRow = new QHBoxLayout;
  boxRow->addWidget(proposeNext_);
  boxRow->addSpacing(8);
  boxRow->addWidget(autoAssign_);
  boxRow->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addSpacing(6);
  layout->addLayout(idRow);
  layout->addLayout(boxRow);
  layout->addSpacing(6);
  layout->addLayout(buttons.row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(autoAssign_, &QPushButton::clicked, this, &CRegistrationDialog::OnAutoAssign);
  connect(register_, &QPushButton::clicked, this, &CRegistrationDialog::OnRegister);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  model_.Open();
  autoAssign_->setVisible(model_.showAutoAssign);
  ShowFields();
  fields_[0]->setFocus();
}

std::optional<RegistrationId> CRegistrationDialog::Run() {
  accepted_.reset();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return accepted_;
}

void CRegistrationDialog::ReadFields() {
  for (int i = 0; i < 3; ++i)
    model_.SetField(i, FromQt(fields_[static_cast<size_t>(i)]->text()));
  model_.proposeNext = proposeNext_->isChecked();
}

void CRegistrationDialog::ShowFields() {
  for (size_t i = 0; i < 3; ++i)
    fields_[i]->setText(ToQt(model_.fields[i]));
  proposeNext_->setChecked(model_.proposeNext);
}

void CRegistrationDialog::OnAutoAssign() {
  ReadFields();
  model_.AutoAssign(ui_);
  ShowFields();
}

void CRegistrationDialog::OnRegister() {
  ReadFields();
  std::optional<RegistrationId> id = model_.Register(ui_);
  if (!id) return;  // refused: the dialog stays open as it is
  accepted_ = id;
  accept();
}

// --- ID change ----------------------------------------------------------------

CIdChangeDialog::CIdChangeDialog(CBrenlowDoc& doc, CMeasureData& record, IUserInterface& ui,
                                 QWidget* parent)
    : QDialog(parent), ui_(ui), model_(doc, record) {
  setWindowTitle(U8("登録IDの変更"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(U8("選択中の登録ID："), this), 0, 0);
  currentId_ = new QLabel(ToQt(model_.CurrentIdText()), this);
  grid->addWidget(currentId_, 0, 1);
  auto* arrow = new QLabel(U8("↓"), this);
  arrow->setAlignment(Qt::AlignCenter);
  grid->addWidget(arrow, 1, 1, Qt::AlignLeft);
  grid->addWidget(new QLabel(U8("変更後の登録ID："), this), 2, 0);
  QHBoxLayout* ids = IdRow(fields_, this);
  ids->addStretch(1);
  grid->addLayout(ids, 2, 1);

  const DialogButtons buttons = MakeDialogButtons(this, QStringLiteral("OK"), U8("ｷｬﾝｾﾙ"));
  ok_ = buttons.accept;
  cancel_ = buttons.cancel;

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(6);
  layout->addLayout(buttons.row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(ok_, &QPushButton::clicked, this, &CIdChangeDialog::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  fields_[0]->setFocus();
}

std::optional<RegistrationId> CIdChangeDialog::Run() {
  accepted_.reset();
  if (exec() != QDialog::Accepted) return std::nullopt;
  return accepted_;
}

void CIdChangeDialog::OnOk() {
  for (int i = 0; i < 3; ++i)
    model_.SetField(i, FromQt(fields_[static_cast<size_t>(i)]->text()));
  std::optional<RegistrationId> id = model_.Ok(ui_);
  if (!id) return;
  accepted_ = id;
  accept();
}

}  // namespace qv::ui
