// The CSV export dialog ("CSV形式でデータ出力"): the output folder with its
// browse button and the registration-ID range. It shows the fields of its
// model; every check, message, setting and file is the model's.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <optional>

#include "core/user_interface.h"
#include "data/document.h"
#include "output/csv_export.h"

namespace qv::ui {

class CCsvExportDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kFolderChars = 8192;

  CCsvExportDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent);

  // Runs the dialog modally; the writer's result when it ended through
  // "ファイル出力", nothing when closed.
  std::optional<CsvExportResult> Run();

  QLineEdit* FolderField() const { return folder_; }
  QLineEdit* FromField(int i) const { return from_[static_cast<size_t>(i)]; }
  QLineEdit* ToField(int i) const { return to_[static_cast<size_t>(i)]; }
  QLabel* NoteLabel() const { return note_; }
  QPushButton* BrowseButton() const { return browse_; }
  QPushButton* ExportButton() const { return export_; }
  QPushButton* CloseButton() const { return close_; }
  const std::optional<CsvExportResult>& Accepted() const { return accepted_; }

 private:
  void OnBrowse();
  void OnExport();
  void ReadFields();
  void ShowFields();

  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  CCsvExportDlg model_;
  QLineEdit* folder_ = nullptr;
  std::array<QLineEdit*, 3> from_{};
  std::array<QLineEdit*, 3> to_{};
  QLabel* note_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* close_ = nullptr;
  std::optional<CsvExportResult> accepted_;
};

}  // namespace qv::ui
