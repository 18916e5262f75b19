#include "app/dialogs/print_settings_dialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/dialogs/length_limit.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

constexpr int kPictureWidth = 256;
constexpr int kPictureHeight = 156;

const char* PictureFile(PrintLayoutPicture picture) {
  return picture == PrintLayoutPicture::kLabelSheet ? ":/quorvex/images/print_layout_label.png"
                                                    : ":/quorvex/images/print_layout_graph.png";
}

}  // namespace

// The dialog is laid out here from top to bottom as it shows; the layout
// reads best in one piece.
CPrintSettingsDialog::CPrintSettingsDialog(CSettingsStore& settings, IUserInterface& ui,
                                           QWidget* parent)
    : QDialog(parent), settings_(settings), ui_(ui) {
  setWindowTitle(U8("各種データの印刷"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* data = new QGroupBox(U8("印刷データの設定"), this);

  // Print form.
  auto* formBox = new QGroupBox(U8("印刷形式"), data);
  auto* formLayout = new QVBoxLayout(formBox);
  auto* formGroup = new QButtonGroup(this);
  const char* formTexts[] = {"ラベル", "グラフ", "一覧表"};
  for (int i = 0; i < 3; ++i) {
    forms_[static_cast<size_t>(i)] = new QRadioButton(U8(formTexts[i]), formBox);
    formGroup->addButton(forms_[static_cast<size_t>(i)], i);
    formLayout->addWidget(forms_[static_cast<size_t>(i)]);
  }
  formLayout->addStretch(1);

  // Print position: the picture with the margin and label fields on it.
  auto* posBox = new QGroupBox(U8("印刷位置"), data);
  auto* sheet = new QWidget(posBox);
  sheet->setFixedSize(kPictureWidth, kPictureHeight);
  picture_ = new QLabel(sheet);
  picture_->setGeometry(0, 0, kPictureWidth, kPictureHeight);
  topY_ = Field(sheet, 3);
  topY_->move(64, 26);
  topX_ = Field(sheet, 3);
  topX_->move(22, 54);
  labelW_ = Field(sheet, 2, 28);
  labelW_->move(81, 90);
  labelH_ = Field(sheet, 2, 28);
  labelH_->move(162, 76);
  labelGX_ = Field(sheet, 2, 28);
  labelGX_->move(121, 92);
  labelGY_ = Field(sheet, 2, 28);
  labelGY_->move(130, 118);
  labelOnly_ = {labelW_, labelH_, labelGX_, labelGY_};

  auto* cxCaption = new QLabel(U8("ラベル列数"), posBox);
  labelCX_ = Field(posBox, 2);
  auto* cyCaption = new QLabel(U8("ラベル行数"), posBox);
  labelCY_ = Field(posBox, 2);
  labelOnly_.insert(labelOnly_.end(), {cxCaption, labelCX_, cyCaption, labelCY_});
  auto* wsCaption = new QLabel(U8("グラフ表示幅"), posBox);
  graphWS_ = Field(posBox, 4, 44);
  auto* wsUnit = new QLabel(U8("秒"), posBox);
  graphOnly_ = {wsCaption, graphWS_, wsUnit};

  auto* counts = new QHBoxLayout;
  counts->addWidget(cxCaption);
  counts->addWidget(labelCX_);
  counts->addSpacing(12);
  counts->addWidget(cyCaption);
  counts->addWidget(labelCY_);
  counts->addStretch(1);
  auto* width = new QHBoxLayout;
  width->addWidget(wsCaption);
  width->addWidget(graphWS_);
  width->addWidget(wsUnit);
  width->addStretch(1);
  auto* posLayout = new QVBoxLayout(posBox);
  posLayout->addWidget(sheet);
  posLayout->addLayout(counts);
  posLayout->addLayout(width);

  // Registered data to print.
  auto* recBox = new QGroupBox(U8("印刷する登録データ"), data);
  auto* recLayout = new QVBoxLayout(recBox);
  auto* choiceGroup = new QButtonGroup(this);
  const char* choiceTexts[] = {"全ての登録データを印刷", "指定した範囲の登録データを印刷",
                               "データビュー上で選択状態の登録データを印刷"};
  for (int i = 0; i < 3; ++i) {
    choices_[static_cast<size_t>(i)] = new QRadioButton(U8(choiceTexts[i]), recBox);
    choiceGroup->addButton(choices_[static_cast<size_t>(i)], i);
    recLayout->addWidget(choices_[static_cast<size_t>(i)]);
  }
  auto* idRow = new QHBoxLayout;
  auto caption = [&](const char* text) {
    auto* l = new QLabel(U8(text), recBox);
    idRow->addWidget(l);
    idRow_.push_back(l);
  };
  auto idField = [&](QLineEdit*& f) {
    f = Field(recBox, 3);
    idRow->addWidget(f);
    idRow_.push_back(f);
  };
  caption("登録ID");
  idField(idStart_[0]);
  caption("－");
  idField(idStart_[1]);
  caption("－");
  idField(idStart_[2]);
  caption("から");
  idField(idEnd_[0]);
  caption("－");
  idField(idEnd_[1]);
  caption("－");
  idField(idEnd_[2]);
  caption("を印刷");
  idRow->addStretch(1);
  recLayout->addLayout(idRow);

  auto* dataLayout = new QGridLayout(data);
  dataLayout->addWidget(formBox, 0, 0);
  dataLayout->addWidget(posBox, 0, 1);
  dataLayout->addWidget(recBox, 1, 0, 1, 2);

  // Buttons.
  print_ = new QPushButton(U8("印刷"), this);
  print_->setDefault(true);
  preview_ = new QPushButton(U8("印刷プレビュー"), this);
  setup_ = new QPushButton(U8("プリンタの設定"), this);
  defaults_ = new QPushButton(U8("既定値に戻す"), this);
  apply_ = new QPushButton(U8("印刷データ適用"), this);
  close_ = new QPushButton(U8("閉じる"), this);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {print_, preview_, setup_})
    buttons->addWidget(b);
  buttons->addSpacing(16);
  for (QPushButton* b : {defaults_, apply_})
    buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(close_);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(data, 1);
  layout->addLayout(buttons);

  connect(print_, &QPushButton::clicked, this, [this] { OnClose(PrintDlgResult::kPrint); });
  connect(preview_, &QPushButton::clicked, this, [this] { OnClose(PrintDlgResult::kPreview); });
  connect(setup_, &QPushButton::clicked, this, [this] { OnClose(PrintDlgResult::kPrinterSetup); });
  connect(defaults_, &QPushButton::clicked, this, &CPrintSettingsDialog::OnRestoreDefaults);
  connect(apply_, &QPushButton::clicked, this, &CPrintSettingsDialog::OnApply);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(formGroup, &QButtonGroup::idClicked, this, [this](int id) {
    model_.form = id;
    UpdateState();
  });
  connect(choiceGroup, &QButtonGroup::idClicked, this, [this](int id) {
    model_.choice = id;
    UpdateState();
  });

  model_.Open(settings_);
  ShowModel();
}

QLineEdit* CPrintSettingsDialog::Field(QWidget* parent, int maxChars, int width) {
  auto* f = new QLineEdit(parent);
  LimitTyping(f, maxChars);
  f->setFixedWidth(width);
  f->setAlignment(Qt::AlignRight);
  return f;
}

void CPrintSettingsDialog::ShowModel() {
  const std::pair<QLineEdit*, const std::string*> fields[] = {
      {topX_, &model_.topX},       {topY_, &model_.topY},       {labelW_, &model_.labelW},
      {labelH_, &model_.labelH},   {labelGX_, &model_.labelGX}, {labelGY_, &model_.labelGY},
      {graphWS_, &model_.graphWS}, {labelCX_, &model_.labelCX}, {labelCY_, &model_.labelCY}};
  for (const auto& [edit, text] : fields)
    edit->setText(ToQt(*text));
  for (size_t i = 0; i < 3; ++i) {
    idStart_[i]->setText(ToQt(model_.idStart[i]));
    idEnd_[i]->setText(ToQt(model_.idEnd[i]));
  }
  // A stored value outside 0..2 checks no button of its group.
  for (auto* group : {&forms_, &choices_}) {
    QButtonGroup* g = (*group)[0]->group();
    g->setExclusive(false);
    for (QRadioButton* b : *group)
      b->setChecked(false);
    g->setExclusive(true);
  }
  if (model_.form >= 0 && model_.form < 3)
    forms_[static_cast<size_t>(model_.form)]->setChecked(true);
  if (model_.choice >= 0 && model_.choice < 3)
    choices_[static_cast<size_t>(model_.choice)]->setChecked(true);
  UpdateState();
}

void CPrintSettingsDialog::TakeFields() {
  const std::pair<QLineEdit*, std::string*> fields[] = {
      {topX_, &model_.topX},       {topY_, &model_.topY},       {labelW_, &model_.labelW},
      {labelH_, &model_.labelH},   {labelGX_, &model_.labelGX}, {labelGY_, &model_.labelGY},
      {graphWS_, &model_.graphWS}, {labelCX_, &model_.labelCX}, {labelCY_, &model_.labelCY}};
  for (const auto& [edit, text] : fields)
    *text = FromQt(edit->text());
  for (size_t i = 0; i < 3; ++i) {
    model_.idStart[i] = FromQt(idStart_[i]->text());
    model_.idEnd[i] = FromQt(idEnd_[i]->text());
  }
}

void CPrintSettingsDialog::UpdateState() {
  for (QWidget* w : labelOnly_)
    w->setVisible(model_.LabelFieldsVisible());
  for (QWidget* w : graphOnly_)
    w->setVisible(model_.GraphWidthVisible());
  for (QWidget* w : idRow_)
    w->setEnabled(model_.IdRangeEnabled());
  picture_->setPixmap(QPixmap(QString::fromLatin1(PictureFile(model_.Picture()))));
}

void CPrintSettingsDialog::OnRestoreDefaults() {
  TakeFields();
  model_.RestoreDefaults();
  ShowModel();
}

void CPrintSettingsDialog::OnApply() {
  TakeFields();
  model_.Apply(ui_, settings_);
}

void CPrintSettingsDialog::OnClose(PrintDlgResult result) {
  TakeFields();
  if (const auto closed = model_.Close(ui_, settings_, result)) {
    result_ = *closed;
    accept();
  }
}

}  // namespace qv::ui
