// The virtual current dialog ("バーチャルカーブの生成"): one edit field for the
// virtual discharge current. The check and the rounding are the model's.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "core/user_interface.h"

namespace qv::ui {

class CVirtualCurrentDialog : public QDialog {
  Q_OBJECT
 public:
  CVirtualCurrentDialog(IUserInterface& ui, double sourceCurrent, QWidget* parent);

  // Runs the dialog modally; the accepted current, or nothing when cancelled.
  std::optional<double> Run();

  QLineEdit* Field() const { return field_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  const std::optional<double>& Accepted() const { return accepted_; }

 private:
  void OnOk();

  IUserInterface& ui_;
  double sourceCurrent_;
  QLineEdit* field_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::optional<double> accepted_;
};

}  // namespace qv::ui
