// The CSV export dialog ("CSV形式でデータ出力"): the output folder with its
// browse button and the registration-ID range. It shows the fields of its
// model; every check, message, setting and file is the model's.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "app/dialogs/export_dialog.h"
#include "core/user_interface.h"
#include "data/document.h"
#include "output/csv_export.h"

namespace qv::ui {

// Run gives the writer's result when the dialog ended through "ファイル出力",
// nothing when closed.
class CCsvExportDialog : public CExportDialog<CCsvExportDlg, CsvExportResult> {
  Q_OBJECT
 public:
  static constexpr int kFolderChars = 8192;

  CCsvExportDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent);

  QLineEdit* FolderField() const { return folder_; }
  QLineEdit* FromField(int i) const { return from_[static_cast<size_t>(i)]; }
  QLineEdit* ToField(int i) const { return to_[static_cast<size_t>(i)]; }
  QLabel* NoteLabel() const { return note_; }
  QPushButton* CloseButton() const { return close_; }

 private:
  void OnBrowse() override;
  void OnExport() override;
  void ReadFields() override;
  void ShowFields() override;

  QLineEdit* folder_ = nullptr;
  std::array<QLineEdit*, 3> from_{};
  std::array<QLineEdit*, 3> to_{};
  QLabel* note_ = nullptr;
};

}  // namespace qv::ui
