#include "app/dialogs/input_defaults_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "app/dialogs/length_limit.h"
#include "app/dialogs/preset_list_window.h"
#include "presets/preset_texts.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"

namespace qv::ui {

namespace {

QLineEdit* MakeValueField(QWidget* parent, int maxChars) {
  auto* f = new QLineEdit(parent);
  LimitTyping(f, maxChars);
  f->setAlignment(Qt::AlignRight);
  f->setFixedWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
  return f;
}

}  // namespace

// --- Preset list ----------------------------------------------------------------

CDefInpListDlg::CDefInpListDlg(CAppState& app, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), app_(app), ui_(ui), list_(CInputPresetList::Open(app)) {
  const auto t = GetInputPresetDialogTexts();
  PresetListActions actions;
  actions.buildColumns = [this] { BuildColumns(); };
  actions.fillRows = [this] { FillRows(); };
  actions.canEdit = [](int column) { return CInputPresetList::CanEditColumn(column); };
  actions.setComment = [this](size_t entry, const std::string& text) {
    list_.SetComment(entry, text);
  };
  actions.onAction = [this] { OnSet(); };
  actions.onDelete = [this] { OnDelete(); };
  const PresetListWindow w = BuildPresetListWindow(*this, t.caption, t.setAsDefaults, t.remove,
                                                   t.close, 570, std::move(actions));
  table_ = w.table;
  set_ = w.action;
  delete_ = w.remove;
  close_ = w.close;
  table_->Refresh(false);
}

void CDefInpListDlg::BuildColumns() {
  const std::vector<PresetColumn> columns = CInputPresetList::Columns();
  for (size_t i = 0; i < columns.size(); ++i) {
    const bool comment = static_cast<int>(i) == CInputPresetList::kCommentColumn;
    table_->AddColumn(
        columns[i].title, columns[i].width,
        comment ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
  }
}

void CDefInpListDlg::FillRows() {
  FillPresetRows(*table_, list_.Entries().size(), [this](size_t i) {
    const auto cells = list_.RowCells(i);
    return std::vector<std::string>(cells.begin(), cells.end());
  });
}

std::optional<size_t> CDefInpListDlg::SelectedEntry() const {
  return SelectedPresetEntry(*table_);
}

void CDefInpListDlg::OnSet() {
  table_->EndEdit();
  if (SetInputPresetAsDefaults(app_, ui_, list_, SelectedEntry())) accept();
}

void CDefInpListDlg::OnDelete() {
  table_->EndEdit();
  if (DeleteInputPreset(ui_, list_, SelectedEntry())) table_->Refresh();
}

// --- Defaults -------------------------------------------------------------------

CInputDefaultsDlg::CInputDefaultsDlg(CAppState& app, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), app_(app), ui_(ui), atOpening_(app.inputs) {
  const InputDefaultsDialogTexts t = GetInputDefaultsDialogTexts();
  setWindowTitle(ToQt(t.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* description = new QLabel(ToQt(t.description), this);
  auto* group = new QGroupBox(ToQt(t.group), this);
  currentA_ = MakeValueField(group, kInputFieldMaxChars);
  currentB_ = MakeValueField(group, kInputFieldMaxChars);
  currentC_ = MakeValueField(group, kInputFieldMaxChars);
  cells_ = new QComboBox(group);
  for (const std::string& item : t.cellItems)
    cells_->addItem(ToQt(item));
  endVoltage_ = MakeValueField(group, kInputFieldMaxChars);
  v1Point_ = MakeValueField(group, kInputFieldMaxChars);

  auto* grid = new QGridLayout(group);
  const std::pair<const std::string*, QWidget*> rows[] = {
      {&t.currentA, currentA_}, {&t.currentB, currentB_},     {&t.currentC, currentC_},
      {&t.cells, cells_},       {&t.endVoltage, endVoltage_}, {&t.v1Point, v1Point_}};
  int r = 0;
  for (const auto& [label, field] : rows) {
    grid->addWidget(new QLabel(ToQt(*label), group), r, 0);
    grid->addWidget(field, r, 1, Qt::AlignLeft);
    ++r;
  }
  grid->setColumnStretch(2, 1);

  const PresetSettingsButtons b = LayOutPresetSettings(*this, {description, group}, t.ok, t.cancel,
                                                       t.addToList, t.chooseFromList);
  ok_ = b.ok;
  cancel_ = b.cancel;
  add_ = b.add;
  choose_ = b.choose;

  connect(cells_, &QComboBox::activated, this, &CInputDefaultsDlg::OnCellChosen);
  connect(ok_, &QPushButton::clicked, this, &CInputDefaultsDlg::OnOk);
  connect(add_, &QPushButton::clicked, this, &CInputDefaultsDlg::OnAdd);
  connect(choose_, &QPushButton::clicked, this, &CInputDefaultsDlg::OnChoose);

  ShowFields(InputDefaultsOpen(atOpening_));
  currentA_->setFocus();
}

InputDefaultsOutcome CInputDefaultsDlg::Run() {
  outcome_ = InputDefaultsOutcome::kStayOpen;
  if (exec() != QDialog::Accepted) return InputDefaultsOutcome::kStayOpen;
  return outcome_;
}

InputDefaultsFields CInputDefaultsDlg::ReadFields() const {
  InputDefaultsFields f;
  f.currentA = FromQt(currentA_->text());
  f.currentB = FromQt(currentB_->text());
  f.currentC = FromQt(currentC_->text());
  f.cells = cells_->currentIndex() >= 0 ? FromQt(cells_->currentText()) : std::string();
  f.endVoltage = FromQt(endVoltage_->text());
  f.v1Point = FromQt(v1Point_->text());
  return f;
}

void CInputDefaultsDlg::ShowFields(const InputDefaultsFields& f) {
  currentA_->setText(ToQt(f.currentA));
  currentB_->setText(ToQt(f.currentB));
  currentC_->setText(ToQt(f.currentC));
  cells_->setCurrentIndex(f.cells.empty() ? -1 : cells_->findText(ToQt(f.cells)));
  endVoltage_->setText(ToQt(f.endVoltage));
  v1Point_->setText(ToQt(f.v1Point));
}

void CInputDefaultsDlg::OnCellChosen(int index) {
  if (index < 0) return;
  endVoltage_->setText(ToQt(EndVoltageForCells(FromQt(cells_->itemText(index)))));
}

void CInputDefaultsDlg::OnOk() {
  const InputDefaultsOutcome outcome = AcceptInputDefaults(app_, ui_, ReadFields(), atOpening_);
  if (outcome == InputDefaultsOutcome::kStayOpen) return;  // a message was shown
  outcome_ = outcome;
  accept();
}

void CInputDefaultsDlg::reject() {
  // A preset taken from the list replaces the defaults in memory before OK
  // checks it; cancelling keeps the defaults the dialog opened with.
  app_.inputs = atOpening_;
  QDialog::reject();
}

void CInputDefaultsDlg::OnAdd() {
  AddInputFieldsToList(app_, ui_, ReadFields());
}

void CInputDefaultsDlg::OnChoose() {
  CDefInpListDlg list(app_, ui_, this);
  if (list.exec() != QDialog::Accepted) return;
  ShowFields(InputDefaultsOpen(app_.inputs));
  OnOk();
}

}  // namespace qv::ui
