// What the CSV and bitmap export dialogs share: the document, the user
// interface and the export's model; a browse button, the export button (the
// default) and the closing one; the result of an export that ended the
// dialog. The dialogs build their own fields and buttons, then call Wire.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <optional>

#include "core/user_interface.h"
#include "data/document.h"

namespace qv::ui {

// `Model` opens from the settings (Open(CSettingsStore&)); `Result` is what
// Run gives for an export that ended the dialog.
template <class Model, class Result>
class CExportDialog : public QDialog {
 public:
  // Runs the dialog modally; the export's result when it ended through the
  // export button, nothing when it was closed.
  std::optional<Result> Run() {
    accepted_.reset();
    if (exec() != QDialog::Accepted) return std::nullopt;
    return accepted_;
  }

  QPushButton* BrowseButton() const { return browse_; }
  QPushButton* ExportButton() const { return export_; }
  const std::optional<Result>& Accepted() const { return accepted_; }

 protected:
  CExportDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent)
      : QDialog(parent), doc_(doc), ui_(ui) {}

  // Connects the three buttons, opens the model from the settings and shows
  // its fields.
  void Wire() {
    connect(browse_, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(export_, &QPushButton::clicked, this, [this] { OnExport(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    model_.Open(doc_.App().settings);
    ShowFields();
  }

  // The fields into the model and back.
  virtual void ReadFields() = 0;
  virtual void ShowFields() = 0;
  virtual void OnBrowse() = 0;
  // Exports through the model; on success sets accepted_ and accepts.
  virtual void OnExport() = 0;

  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  Model model_;
  QPushButton* browse_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* close_ = nullptr;  // cancels or closes
  std::optional<Result> accepted_;
};

}  // namespace qv::ui
