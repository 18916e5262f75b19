#include "app/dialogs/pack_match_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/dialogs/id_fields.h"
#include "app/dialogs/length_limit.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"

namespace qv::ui {

namespace {

// "[ ] － [ ] － [ ]" followed by `tail`.
void AddIdRow(QHBoxLayout* row, std::array<QLineEdit*, 3>& fields, const QString& tail,
              QWidget* parent) {
  AddIdFields(row, fields, parent);
  row->addSpacing(4);
  row->addWidget(new QLabel(tail, parent));
}

QString Joined(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& l : lines)
    out << ToQt(l);
  return out.join(QLatin1Char('\n'));
}

}  // namespace

CPackMatchDialog::CPackMatchDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), doc_(doc), ui_(ui) {
  const PackMatchDialogTexts t = GetPackMatchDialogTexts();
  setWindowTitle(ToQt(t.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  // Made in the order of the keyboard focus.
  auto* description = new QLabel(ToQt(t.description), this);
  description->setWordWrap(true);
  QLayout* counts = BuildCounts(t);
  auto* parallelNote = new QLabel(ToQt(t.parallelNote), this);
  parallelNote->setWordWrap(true);
  QWidget* criteria = BuildCriteria(t);
  QLayout* idRange = BuildIdRange(t);

  compute_ = new QPushButton(ToQt(t.compute), this);
  compute_->setDefault(true);
  auto* computeRow = new QHBoxLayout;
  computeRow->addStretch(1);
  computeRow->addWidget(compute_);

  headline_ = new QLabel(this);
  headline_->setWordWrap(true);
  BuildList();
  notes_ = new QLabel(this);
  notes_->setWordWrap(true);
  auto* overlayNote = new QLabel(ToQt(t.overlayNote), this);
  overlayNote->setWordWrap(true);

  save_ = new QPushButton(ToQt(t.save), this);
  save_->setAutoDefault(false);
  close_ = new QPushButton(ToQt(t.close), this);
  close_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save_);
  buttons->addStretch(1);
  buttons->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(description);
  layout->addSpacing(4);
  layout->addLayout(counts);
  layout->addWidget(parallelNote);
  layout->addWidget(criteria);
  layout->addLayout(idRange);
  layout->addLayout(computeRow);
  layout->addWidget(headline_);
  layout->addWidget(list_, 1);
  layout->addWidget(notes_);
  layout->addWidget(overlayNote);
  layout->addLayout(buttons);
  resize(760, 640);

  connect(compute_, &QPushButton::clicked, this, &CPackMatchDialog::OnCompute);
  connect(save_, &QPushButton::clicked, this, &CPackMatchDialog::OnSave);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);

  model_.Open();
  ShowFields();
  list_->Refresh(false);
  series_->setFocus();
}

QLayout* CPackMatchDialog::BuildCounts(const PackMatchDialogTexts& t) {
  auto* row = new QHBoxLayout;
  auto* seriesLabel = new QLabel(ToQt(t.seriesLabel), this);
  series_ = new QSpinBox(this);
  series_->setRange(1, kMatchMaxCount);
  series_->setAlignment(Qt::AlignRight);
  seriesLabel->setBuddy(series_);
  auto* parallelLabel = new QLabel(ToQt(t.parallelLabel), this);
  parallel_ = new QSpinBox(this);
  parallel_->setRange(1, kMatchMaxCount);
  parallel_->setAlignment(Qt::AlignRight);
  parallelLabel->setBuddy(parallel_);
  row->addWidget(seriesLabel);
  row->addWidget(series_);
  row->addSpacing(16);
  row->addWidget(parallelLabel);
  row->addWidget(parallel_);
  row->addStretch(1);
  connect(parallel_, &QSpinBox::valueChanged, this, [this] { UpdateEnabled(); });
  return row;
}

// Two columns of "[x] title  重み [ ]".
QWidget* CPackMatchDialog::BuildCriteria(const PackMatchDialogTexts& t) {
  auto* group = new QGroupBox(ToQt(t.criteriaGroup), this);
  criteria_ = group;
  auto* grid = new QGridLayout(group);
  const auto& all = AllMatchCriteria();
  const int rows = (kMatchCriterionCount + 1) / 2;
  for (size_t i = 0; i < all.size(); ++i) {
    const int r = static_cast<int>(i) % rows, c = static_cast<int>(i) / rows * 3;
    use_[i] = new QCheckBox(ToQt(MatchCriterionTitle(all[i])), group);
    auto* weightLabel = new QLabel(ToQt(t.weightLabel), group);
    weights_[i] = new QLineEdit(group);
    LimitTyping(weights_[i], 8);
    weights_[i]->setAlignment(Qt::AlignRight);
    weights_[i]->setFixedWidth(
        weights_[i]->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    weightLabel->setBuddy(weights_[i]);
    grid->addWidget(use_[i], r, c);
    grid->addWidget(weightLabel, r, c + 1, Qt::AlignRight);
    grid->addWidget(weights_[i], r, c + 2);
    connect(use_[i], &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
  }
  grid->setColumnMinimumWidth(3, 140);
  grid->setColumnStretch(6, 1);
  return group;
}

QLayout* CPackMatchDialog::BuildIdRange(const PackMatchDialogTexts& t) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(ToQt(t.idLabel), this));
  row->addSpacing(6);
  AddIdRow(row, from_, ToQt(t.from), this);
  row->addSpacing(10);
  AddIdRow(row, to_, ToQt(t.to), this);
  row->addStretch(1);
  return row;
}

// The list of packs: one row per pack, filled by FillRows; selecting a row
// overlays the pack's curves.
void CPackMatchDialog::BuildList() {
  list_ = new CReportCtrl(this);
  list_->SetRowNumbers(false);
  list_->SetSortingEnabled(false);
  list_->SetMultiSelect(false);
  list_->setMinimumHeight(200);
  ReportHooks hooks;
  hooks.buildColumns = [this] { BuildColumns(); };
  hooks.fillRows = [this] { FillRows(); };
  list_->SetHooks(std::move(hooks));
  connect(list_->Table()->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) OnRowSelected(list_->RowKeyAt(current.row()));
          });
}

void CPackMatchDialog::ReadFields() {
  model_.series = series_->value();
  model_.parallel = parallel_->value();
  for (size_t i = 0; i < use_.size(); ++i) {
    model_.use[i] = use_[i]->isChecked();
    model_.weights[i] = FromQt(weights_[i]->text());
  }
  for (size_t i = 0; i < 3; ++i) {
    model_.from[i] = FromQt(from_[i]->text());
    model_.to[i] = FromQt(to_[i]->text());
  }
}

void CPackMatchDialog::ShowFields() {
  series_->setValue(model_.series);
  parallel_->setValue(model_.parallel);
  for (size_t i = 0; i < use_.size(); ++i) {
    use_[i]->setChecked(model_.use[i]);
    weights_[i]->setText(ToQt(model_.weights[i]));
  }
  for (size_t i = 0; i < 3; ++i) {
    from_[i]->setText(ToQt(model_.from[i]));
    to_[i]->setText(ToQt(model_.to[i]));
  }
  UpdateEnabled();
}

void CPackMatchDialog::UpdateEnabled() {
  // The criteria belong to series packs; a series-parallel pack goes by capacity.
  criteria_->setEnabled(parallel_->value() <= 1);
  for (size_t i = 0; i < use_.size(); ++i)
    weights_[i]->setEnabled(use_[i]->isChecked());
  save_->setEnabled(model_.HasResult());
}

void CPackMatchDialog::OnCompute() {
  ReadFields();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool ok = model_.Compute(ui_, doc_);
  QApplication::restoreOverrideCursor();
  if (ok) {
    std::vector<std::string> head = {MatchHeadline(model_.Result())};
    headline_->setText(Joined(head));
    notes_->setText(Joined(model_.Table().notes));
  } else {
    headline_->clear();
    notes_->clear();
  }
  list_->Refresh(false);
  UpdateEnabled();
}

void CPackMatchDialog::OnRowSelected(int rowKey) {
  // The window stays open beside a run, whose overlays do not change.
  if (rowKey < 0 || doc_.App().runActive) return;
  model_.OverlayRow(doc_, static_cast<size_t>(rowKey));
}

void CPackMatchDialog::OnSave() {
  model_.SaveCsv(ui_, doc_.App().settings.Directory());
}

void CPackMatchDialog::BuildColumns() {
  const PackMatchDialogTexts t = GetPackMatchDialogTexts();
  const std::vector<std::string>& titles = model_.Table().titles;
  const int widths[] = {70, 120, 110};
  for (size_t c = 0; c < titles.size(); ++c) {
    const int col =
        list_->AddColumn(titles[c], c < 3 ? widths[c] : 100, Qt::AlignRight | Qt::AlignVCenter);
    list_->SetColumnNumeric(col);
  }
  list_->AddColumn(t.idColumn, 480);
}

void CPackMatchDialog::FillRows() {
  if (!model_.HasResult()) return;
  for (const MatchTableRow& row : model_.Table().rows) {
    const int key = list_->InsertRow();
    int c = 0;
    for (const std::string& f : row.fields)
      list_->SetCellText(key, c++, f);
    list_->SetCellText(key, c, MatchIdsText(row.ids));
  }
}

}  // namespace qv::ui
