// The registration dialog ("計測データの登録") and the ID change dialog
// ("登録IDの変更"). They show the fields and buttons of their models; every
// check, question and setting is the model's.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <optional>

#include "core/user_interface.h"
#include "data/registration.h"

namespace qv::ui {

class CRegistrationDialog : public QDialog {
  Q_OBJECT
 public:
  CRegistrationDialog(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent);

  // Runs the dialog modally; the accepted parts, or nothing when cancelled.
  std::optional<RegistrationId> Run();

  QLineEdit* Field(int i) const { return fields_[static_cast<size_t>(i)]; }
  QCheckBox* ProposeNextBox() const { return proposeNext_; }
  QPushButton* AutoAssignButton() const { return autoAssign_; }
  QPushButton* RegisterButton() const { return register_; }
  QPushButton* CancelButton() const { return cancel_; }
  const std::optional<RegistrationId>& Accepted() const { return accepted_; }

 private:
  void OnAutoAssign();
  void OnRegister();
  void ReadFields();
  void ShowFields();

  IUserInterface& ui_;
  CRegistrationModel model_;
  std::array<QLineEdit*, 3> fields_{};
  QCheckBox* proposeNext_ = nullptr;
  QPushButton* autoAssign_ = nullptr;
  QPushButton* register_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::optional<RegistrationId> accepted_;
};

class CIdChangeDialog : public QDialog {
  Q_OBJECT
 public:
  CIdChangeDialog(CBrenlowDoc& doc, CMeasureData& record, IUserInterface& ui, QWidget* parent);

  std::optional<RegistrationId> Run();

  QLabel* CurrentIdLabel() const { return currentId_; }
  QLineEdit* Field(int i) const { return fields_[static_cast<size_t>(i)]; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  const std::optional<RegistrationId>& Accepted() const { return accepted_; }

 private:
  void OnOk();

  IUserInterface& ui_;
  CIdChangeModel model_;
  QLabel* currentId_ = nullptr;
  std::array<QLineEdit*, 3> fields_{};
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::optional<RegistrationId> accepted_;
};

}  // namespace qv::ui
