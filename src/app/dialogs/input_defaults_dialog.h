// The input defaults dialog ("入力初期値の定義") and its preset list
// ("入力初期値の一覧"). The windows show the fields and the table; every
// check, message and file write is the preset model's.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "core/app_state.h"
#include "core/user_interface.h"
#include "presets/input_presets.h"

namespace qv::ui {

class CReportCtrl;

// The list of "Inpset.ini", loaded when the dialog is created.
class CDefInpListDlg : public QDialog {
  Q_OBJECT
 public:
  CDefInpListDlg(CAppState& app, IUserInterface& ui, QWidget* parent);

  CReportCtrl* Table() const { return table_; }
  QPushButton* SetButton() const { return set_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* CloseButton() const { return close_; }
  const CInputPresetList& List() const { return list_; }

 private:
  void BuildColumns();
  void FillRows();
  std::optional<size_t> SelectedEntry() const;
  void OnSet();
  void OnDelete();

  CAppState& app_;
  IUserInterface& ui_;
  CInputPresetList list_;
  CReportCtrl* table_ = nullptr;
  QPushButton* set_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* close_ = nullptr;
};

class CInputDefaultsDlg : public QDialog {
  Q_OBJECT
 public:
  CInputDefaultsDlg(CAppState& app, IUserInterface& ui, QWidget* parent);

  // Runs the dialog modally: kStayOpen when it was cancelled, otherwise
  // whether a default changed.
  InputDefaultsOutcome Run();
  InputDefaultsOutcome Outcome() const { return outcome_; }

  QLineEdit* CurrentA() const { return currentA_; }
  QLineEdit* CurrentB() const { return currentB_; }
  QLineEdit* CurrentC() const { return currentC_; }
  QComboBox* Cells() const { return cells_; }
  QLineEdit* EndVoltage() const { return endVoltage_; }
  QLineEdit* V1Point() const { return v1Point_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* ChooseButton() const { return choose_; }

  InputDefaultsFields ReadFields() const;
  void ShowFields(const InputDefaultsFields& fields);

  // Cancel, Escape and the close box.
  void reject() override;

 private:
  void OnCellChosen(int index);
  void OnOk();
  void OnAdd();
  void OnChoose();

  CAppState& app_;
  IUserInterface& ui_;
  InputConditions atOpening_;
  InputDefaultsOutcome outcome_ = InputDefaultsOutcome::kStayOpen;
  QLineEdit* currentA_ = nullptr;
  QLineEdit* currentB_ = nullptr;
  QLineEdit* currentC_ = nullptr;
  QComboBox* cells_ = nullptr;
  QLineEdit* endVoltage_ = nullptr;
  QLineEdit* v1Point_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* choose_ = nullptr;
};

}  // namespace qv::ui
