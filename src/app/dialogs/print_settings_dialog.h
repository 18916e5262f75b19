// The print settings dialog (各種データの印刷): print form, margins and label
// grid, graph width and the records to print. The rules live in the
// CPrintSettingDlg model; this window shows its fields and passes the
// buttons on to it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <vector>

#include "core/settings_store.h"
#include "core/user_interface.h"
#include "output/print_settings.h"

namespace qv::ui {

class CPrintSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  CPrintSettingsDialog(CSettingsStore& settings, IUserInterface& ui, QWidget* parent = nullptr);

  // How the dialog closed (kClose until a validating button succeeded).
  PrintDlgResult Result() const { return result_; }
  const CPrintSettingDlg& Model() const { return model_; }

  // The fields: left and top margin, label width, height, gaps, graph width,
  // labels per row, label rows; first and last ID parts.
  QLineEdit* TopX() const { return topX_; }
  QLineEdit* TopY() const { return topY_; }
  QLineEdit* LabelW() const { return labelW_; }
  QLineEdit* LabelH() const { return labelH_; }
  QLineEdit* LabelGX() const { return labelGX_; }
  QLineEdit* LabelGY() const { return labelGY_; }
  QLineEdit* GraphWS() const { return graphWS_; }
  QLineEdit* LabelCX() const { return labelCX_; }
  QLineEdit* LabelCY() const { return labelCY_; }
  QLineEdit* IdStart(int i) const { return idStart_[static_cast<size_t>(i)]; }
  QLineEdit* IdEnd(int i) const { return idEnd_[static_cast<size_t>(i)]; }
  QRadioButton* FormRadio(int form) const { return forms_[static_cast<size_t>(form)]; }
  QRadioButton* ChoiceRadio(int choice) const { return choices_[static_cast<size_t>(choice)]; }
  QLabel* Picture() const { return picture_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* PreviewButton() const { return preview_; }
  QPushButton* SetupButton() const { return setup_; }
  QPushButton* DefaultsButton() const { return defaults_; }
  QPushButton* ApplyButton() const { return apply_; }
  QPushButton* CloseButton() const { return close_; }

  // The buttons' actions.
  void OnRestoreDefaults();
  void OnApply();
  void OnClose(PrintDlgResult result);

 private:
  QLineEdit* Field(QWidget* parent, int maxChars, int width = 34);
  void ShowModel();
  void TakeFields();
  void UpdateState();

  CSettingsStore& settings_;
  IUserInterface& ui_;
  CPrintSettingDlg model_;
  PrintDlgResult result_ = PrintDlgResult::kClose;

  QLineEdit *topX_ = nullptr, *topY_ = nullptr, *labelW_ = nullptr, *labelH_ = nullptr;
  QLineEdit *labelGX_ = nullptr, *labelGY_ = nullptr, *graphWS_ = nullptr;
  QLineEdit *labelCX_ = nullptr, *labelCY_ = nullptr;
  std::array<QLineEdit*, 3> idStart_{}, idEnd_{};
  std::array<QRadioButton*, 3> forms_{}, choices_{};
  QLabel* picture_ = nullptr;
  std::vector<QWidget*> labelOnly_, graphOnly_, idRow_;
  QPushButton *print_ = nullptr, *preview_ = nullptr, *setup_ = nullptr;
  QPushButton *defaults_ = nullptr, *apply_ = nullptr, *close_ = nullptr;
};

}  // namespace qv::ui
