#include "app/dialogs/merge_dialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

// Paths are the file system's bytes in the model.
QString PathToQt(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathFromQt(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace

CMergeDialog::CMergeDialog(CMergeModel& model, IUserInterface& ui, QWidget* parent)
    : QDialog(parent), model_(model), ui_(ui) {
  setWindowTitle(U8("データファイルを合成"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  // Created in the order of the controls, which is the order Tab follows.
  explanation_ =
      new QLabel(U8("編集中のデータに対して、別のデータファイルの内容を合成します。"), this);
  // Both choices share this parent, so they exclude each other.
  fileChoice_ = new QRadioButton(U8("指定のデータファイルと合成"), this);
  fileLabel_ = new QLabel(U8("合成するデータファイル："), this);
  path_ = new QLineEdit(this);
  path_->setMinimumWidth(320);
  fileLabel_->setBuddy(path_);
  browse_ = new QPushButton(U8("参照"), this);
  backupChoice_ = new QRadioButton(U8("バックアップファイルと合成"), this);
  note_ = new QLabel(U8("※　重複するデータ（登録IDと計測日時が同一のもの）がある場合は、"
                        "合成ファイル側のデータで上書きされます。"
                        "また計測データ欄の内容も同様に上書きされます。"),
                     this);
  note_->setWordWrap(true);
  const DialogButtons buttons = MakeDialogButtons(this, U8("合成"), U8("ｷｬﾝｾﾙ"));
  merge_ = buttons.accept;
  cancel_ = buttons.cancel;

  auto* pathRow = new QHBoxLayout;
  pathRow->addWidget(path_, 1);
  pathRow->addWidget(browse_);

  auto* fileBlock = new QVBoxLayout;
  fileBlock->setContentsMargins(20, 0, 0, 0);
  fileBlock->addWidget(fileLabel_);
  fileBlock->addLayout(pathRow);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(explanation_);
  layout->addSpacing(6);
  layout->addWidget(fileChoice_);
  layout->addLayout(fileBlock);
  layout->addSpacing(6);
  layout->addWidget(backupChoice_);
  layout->addSpacing(6);
  layout->addWidget(note_);
  layout->addSpacing(6);
  layout->addLayout(buttons.row);
  setMinimumWidth(460);

  connect(fileChoice_, &QRadioButton::toggled, this, [this] {
    ReadFields();
    ShowMode();
  });
  connect(browse_, &QPushButton::clicked, this, &CMergeDialog::OnBrowse);
  connect(merge_, &QPushButton::clicked, this, &CMergeDialog::OnMerge);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  path_->setText(PathToQt(model_.filePath));
  ShowMode();
}

bool CMergeDialog::Run() {
  return exec() == QDialog::Accepted;
}

void CMergeDialog::ShowMode() {
  const QSignalBlocker block(fileChoice_);
  fileChoice_->setChecked(!model_.backupMode);
  backupChoice_->setChecked(model_.backupMode);
  const bool on = model_.FileControlsEnabled();
  fileLabel_->setEnabled(on);
  path_->setEnabled(on);
  browse_->setEnabled(on);
}

void CMergeDialog::ReadFields() {
  model_.backupMode = backupChoice_->isChecked();
  model_.filePath = PathFromQt(path_->text());
}

void CMergeDialog::OnBrowse() {
  ReadFields();
  model_.Browse(ui_);
  path_->setText(PathToQt(model_.filePath));
}

void CMergeDialog::OnMerge() {
  ReadFields();
  if (model_.Merge(ui_)) accept();
}

}  // namespace qv::ui
