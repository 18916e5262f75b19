// The average-voltage-3 range dialog ("平均電圧3の範囲"): start and end of the
// range in seconds. The checks and the stored settings are the model's.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/avg3_range.h"
#include "core/app_state.h"
#include "core/user_interface.h"

namespace qv::ui {

class CAvg3RangeDialog : public QDialog {
  Q_OBJECT
 public:
  CAvg3RangeDialog(CAppState& app, IUserInterface& ui, QWidget* parent);

  // Runs the dialog modally: kChanged or kUnchanged after OK, kStayOpen when
  // cancelled (nothing changed).
  Avg3RangeOutcome Run();

  QLineEdit* StartField() const { return start_; }
  QLineEdit* EndField() const { return end_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  Avg3RangeOutcome Outcome() const { return outcome_; }

 private:
  void OnOk();

  CAppState& app_;
  IUserInterface& ui_;
  QLineEdit* start_ = nullptr;
  QLineEdit* end_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  Avg3RangeOutcome outcome_ = Avg3RangeOutcome::kStayOpen;
};

}  // namespace qv::ui
