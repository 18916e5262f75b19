#include "app/dialogs/file_info_dialog.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "data/file_info.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

QLineEdit* ReadOnlyField(const QString& text, QWidget* parent) {
  auto* f = new QLineEdit(text, parent);
  f->setReadOnly(true);
  f->setCursorPosition(0);
  return f;
}

}  // namespace

CFileInfoDialog::CFileInfoDialog(const CAppState& app, QWidget* parent) : QDialog(parent) {
  setWindowTitle(U8("編集中のファイル情報"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  const FileInfoTexts info = GetFileInfo(app);
  // Name and path are file system bytes; the version is plain ASCII.
  name_ = ReadOnlyField(QFile::decodeName(QByteArray::fromStdString(info.name)), this);
  path_ = ReadOnlyField(QFile::decodeName(QByteArray::fromStdString(info.path)), this);
  version_ = ReadOnlyField(QString::fromLatin1(info.version), this);
  path_->setMinimumWidth(360);
  created_ = new QLabel(ToQt(info.created), this);
  modified_ = new QLabel(ToQt(info.modified), this);
  for (QLabel* l : {created_, modified_})
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* grid = new QGridLayout;
  const struct {
    const char* label;
    QWidget* field;
  } rows[] = {
      {"ファイル名", name_},     {"ファイルパス", path_},    {"ファイルバージョン", version_},
      {"作成日時 ：", created_}, {"更新日時 ：", modified_},
  };
  int row = 0;
  for (const auto& r : rows) {
    auto* label = new QLabel(U8(r.label), this);
    label->setBuddy(r.field);
    grid->addWidget(label, row, 0);
    grid->addWidget(r.field, row, 1);
    ++row;
  }
  grid->setColumnStretch(1, 1);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  ok_->setFocus();
}

}  // namespace qv::ui
