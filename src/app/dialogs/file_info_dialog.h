// The file information dialog ("編集中のファイル情報"): the name, path and
// format version of the document's data file and the file's creation and
// last-write times. It only shows them.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/app_state.h"

namespace qv::ui {

class CFileInfoDialog : public QDialog {
  Q_OBJECT
 public:
  // Reads the texts once, from the document state and the file system.
  CFileInfoDialog(const CAppState& app, QWidget* parent);

  QLineEdit* NameField() const { return name_; }
  QLineEdit* PathField() const { return path_; }
  QLineEdit* VersionField() const { return version_; }
  QLabel* CreatedText() const { return created_; }
  QLabel* ModifiedText() const { return modified_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  QLineEdit* name_ = nullptr;
  QLineEdit* path_ = nullptr;
  QLineEdit* version_ = nullptr;
  QLabel* created_ = nullptr;
  QLabel* modified_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace qv::ui
