#include "app/dialogs/csv_export_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/dialogs/dialog_buttons.h"
#include "app/dialogs/id_fields.h"
#include "app/dialogs/length_limit.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

// "[ ] － [ ] － [ ]" followed by `tail`.
QHBoxLayout* IdRow(std::array<QLineEdit*, 3>& fields, const QString& tail, QWidget* parent) {
  auto* row = new QHBoxLayout;
  AddIdFields(row, fields, parent);
  row->addSpacing(4);
  row->addWidget(new QLabel(tail, parent));
  row->addStretch(1);
  return row;
}

}  // namespace

CCsvExportDialog::CCsvExportDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent)
    : CExportDialog(doc, ui, parent) {
  setWindowTitle(U8("CSV形式でデータ出力"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  // Created in the order of the controls, which is the order Tab follows.
  auto* folderLabel = new QLabel(U8("出力先フォルダ"), this);
  folder_ = new QLineEdit(this);
  LimitTyping(folder_, kFolderChars);
  folder_->setMinimumWidth(300);
  browse_ = new QPushButton(U8("参照"), this);
  browse_->setAutoDefault(false);
  auto* idLabel = new QLabel(U8("登録ID"), this);
  QHBoxLayout* fromRow = IdRow(from_, U8("から"), this);
  QHBoxLayout* toRow = IdRow(to_, U8("をファイル出力"), this);
  note_ = new QLabel(U8("※指定のフォルダ内に登録IDをもとにしたファイル名\n"
                        "　で出力されます。　（例：\"qd1_001001001.csv\"）\n"
                        "　上書き確認は行われませんのでご注意ください。"),
                     this);
  const DialogButtons buttons = MakeDialogButtons(this, U8("ファイル出力"), U8("閉じる"));
  export_ = buttons.accept;
  close_ = buttons.cancel;

  auto* grid = new QGridLayout;
  grid->addWidget(folderLabel, 0, 0);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folder_, 1);
  folderRow->addWidget(browse_);
  grid->addLayout(folderRow, 0, 1);
  grid->addWidget(idLabel, 1, 0);
  grid->addLayout(fromRow, 1, 1);
  grid->addLayout(toRow, 2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(6);
  layout->addWidget(note_);
  layout->addSpacing(6);
  layout->addLayout(buttons.row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Wire();
  from_[0]->setFocus();
}

void CCsvExportDialog::ReadFields() {
  // The folder is a path: the file system's bytes, not CP932 text.
  model_.folder = folder_->text().toStdString();
  for (size_t i = 0; i < 3; ++i) {
    model_.from[i] = FromQt(from_[i]->text());
    model_.to[i] = FromQt(to_[i]->text());
  }
}

void CCsvExportDialog::ShowFields() {
  folder_->setText(QString::fromStdString(model_.folder));
  for (size_t i = 0; i < 3; ++i) {
    from_[i]->setText(ToQt(model_.from[i]));
    to_[i]->setText(ToQt(model_.to[i]));
  }
}

void CCsvExportDialog::OnBrowse() {
  ReadFields();
  model_.Browse(ui_);
  folder_->setText(QString::fromStdString(model_.folder));
}

void CCsvExportDialog::OnExport() {
  ReadFields();
  if (!model_.Export(ui_, doc_.App().settings, doc_.Registered())) return;  // stays open
  accepted_ = model_.result;
  accept();
}

}  // namespace qv::ui
