#include "app/dialogs/graph_settings_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/dialogs/length_limit.h"
#include "app/dialogs/preset_list_window.h"
#include "presets/preset_texts.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"

namespace qv::ui {

// --- Preset list ----------------------------------------------------------------

CGraTblListDlg::CGraTblListDlg(CAppState& app, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), ui_(ui), list_(CGraphPresetList::Open(app)) {
  const auto t = GetGraphPresetDialogTexts();
  PresetListActions actions;
  actions.buildColumns = [this] { BuildColumns(); };
  actions.fillRows = [this] { FillRows(); };
  actions.canEdit = [](int column) { return CGraphPresetList::CanEditColumn(column); };
  actions.setComment = [this](size_t entry, const std::string& text) {
    list_.SetComment(entry, text);
  };
  actions.onAction = [this] { OnUse(); };
  actions.onDelete = [this] { OnDelete(); };
  const PresetListWindow w = BuildPresetListWindow(*this, t.caption, t.useAsSettings, t.remove,
                                                   t.close, 492, std::move(actions));
  table_ = w.table;
  use_ = w.action;
  delete_ = w.remove;
  close_ = w.close;
  table_->Refresh(false);
}

void CGraTblListDlg::BuildColumns() {
  const std::vector<PresetColumn> columns = CGraphPresetList::Columns();
  for (size_t i = 0; i < columns.size(); ++i) {
    const int c = static_cast<int>(i);
    Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter;
    if (c == CGraphPresetList::kCommentColumn) align = Qt::AlignLeft | Qt::AlignVCenter;
    if (c == 3) align = Qt::AlignCenter;  // grid "あり" / "なし"
    table_->AddColumn(columns[i].title, columns[i].width, align);
  }
}

void CGraTblListDlg::FillRows() {
  FillPresetRows(*table_, list_.Entries().size(), [this](size_t i) {
    const auto cells = list_.RowCells(i);
    return std::vector<std::string>(cells.begin(), cells.end());
  });
}

std::optional<size_t> CGraTblListDlg::SelectedEntry() const {
  return SelectedPresetEntry(*table_);
}

void CGraTblListDlg::OnUse() {
  table_->EndEdit();
  chosen_ = ChooseGraphPreset(ui_, list_, SelectedEntry());
  if (chosen_) accept();
}

void CGraTblListDlg::OnDelete() {
  table_->EndEdit();
  if (DeleteGraphPreset(ui_, list_, SelectedEntry())) table_->Refresh();
}

// --- Settings -------------------------------------------------------------------

CGraphSettingsDlg::CGraphSettingsDlg(CAppState& app, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), app_(app), ui_(ui) {
  const GraphSettingsDialogTexts t = GetGraphSettingsDialogTexts();
  setWindowTitle(ToQt(t.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto makeField = [](QWidget* box) {
    auto* f = new QLineEdit(box);
    LimitTyping(f, kGraphFieldMaxChars);
    f->setAlignment(Qt::AlignRight);
    f->setFixedWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    return f;
  };

  auto* voltage = new QGroupBox(ToQt(t.voltageGroup), this);
  maxV_ = makeField(voltage);
  minV_ = makeField(voltage);
  step_ = makeField(voltage);
  grid_ = new QCheckBox(ToQt(t.showGrid), voltage);
  auto* vgrid = new QGridLayout(voltage);
  vgrid->addWidget(new QLabel(ToQt(t.maximum), voltage), 0, 0);
  vgrid->addWidget(maxV_, 0, 1, Qt::AlignLeft);
  vgrid->addWidget(new QLabel(ToQt(t.minimum), voltage), 1, 0);
  vgrid->addWidget(minV_, 1, 1, Qt::AlignLeft);
  vgrid->addWidget(new QLabel(ToQt(t.step), voltage), 2, 0);
  vgrid->addWidget(step_, 2, 1, Qt::AlignLeft);
  vgrid->addWidget(grid_, 3, 0, 1, 2);
  vgrid->setColumnStretch(2, 1);

  auto* time = new QGroupBox(ToQt(t.timeGroup), this);
  track_ = new QSlider(Qt::Horizontal, time);
  track_->setRange(0, kTrackPositionMax);
  track_->setPageStep(1);
  track_->setTickPosition(QSlider::TicksBelow);
  track_->setTickInterval(1);
  track_->setMinimumWidth(120);
  auto* trow = new QHBoxLayout;
  trow->addWidget(new QLabel(ToQt(t.trackMinimum), time));
  trow->addWidget(track_, 1);
  trow->addWidget(new QLabel(ToQt(t.trackMaximum), time));
  auto* tlayout = new QVBoxLayout(time);
  tlayout->addWidget(new QLabel(ToQt(t.timeStep), time));
  tlayout->addLayout(trow);

  const PresetSettingsButtons b =
      LayOutPresetSettings(*this, {voltage, time}, t.ok, t.cancel, t.addToList, t.chooseFromList);
  ok_ = b.ok;
  cancel_ = b.cancel;
  add_ = b.add;
  choose_ = b.choose;

  connect(ok_, &QPushButton::clicked, this, &CGraphSettingsDlg::OnOk);
  connect(add_, &QPushButton::clicked, this, &CGraphSettingsDlg::OnAdd);
  connect(choose_, &QPushButton::clicked, this, &CGraphSettingsDlg::OnChoose);

  ShowFields(GraphSettingsOpen(app_.settings));
  maxV_->setFocus();
}

bool CGraphSettingsDlg::Run() {
  return exec() == QDialog::Accepted;
}

GraphSettingsFields CGraphSettingsDlg::ReadFields() const {
  GraphSettingsFields f;
  f.maxV = FromQt(maxV_->text());
  f.minV = FromQt(minV_->text());
  f.step = FromQt(step_->text());
  f.grid = grid_->isChecked();
  f.trackPosition = track_->value();
  return f;
}

void CGraphSettingsDlg::ShowFields(const GraphSettingsFields& f) {
  maxV_->setText(ToQt(f.maxV));
  minV_->setText(ToQt(f.minV));
  step_->setText(ToQt(f.step));
  grid_->setChecked(f.grid);
  track_->setValue(f.trackPosition);
}

void CGraphSettingsDlg::OnOk() {
  if (!AcceptGraphSettings(app_, ui_, ReadFields())) return;  // a message was shown
  accept();
}

void CGraphSettingsDlg::OnAdd() {
  AddGraphFieldsToList(app_, ui_, ReadFields());
}

void CGraphSettingsDlg::OnChoose() {
  CGraTblListDlg list(app_, ui_, this);
  if (list.exec() != QDialog::Accepted || !list.Chosen()) return;
  ShowFields(GraphFieldsFrom(list.Chosen()->values));
  OnOk();
}

}  // namespace qv::ui
