// The graph settings dialog ("グラフ表示設定") and its preset list
// ("グラフ表示設定の一覧"). The windows show the fields and the table; every
// check, message and file write is the preset model's.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <optional>

#include "core/app_state.h"
#include "core/user_interface.h"
#include "presets/graph_presets.h"

namespace qv::ui {

class CReportCtrl;

// The list of "Graset.ini", loaded when the dialog is created. Ends with OK
// and the chosen entry, or with cancel.
class CGraTblListDlg : public QDialog {
  Q_OBJECT
 public:
  CGraTblListDlg(CAppState& app, IUserInterface& ui, QWidget* parent);

  const std::optional<GraphPreset>& Chosen() const { return chosen_; }

  CReportCtrl* Table() const { return table_; }
  QPushButton* UseButton() const { return use_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* CloseButton() const { return close_; }
  const CGraphPresetList& List() const { return list_; }

 private:
  void BuildColumns();
  void FillRows();
  std::optional<size_t> SelectedEntry() const;
  void OnUse();
  void OnDelete();

  IUserInterface& ui_;
  CGraphPresetList list_;
  std::optional<GraphPreset> chosen_;
  CReportCtrl* table_ = nullptr;
  QPushButton* use_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* close_ = nullptr;
};

class CGraphSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  CGraphSettingsDlg(CAppState& app, IUserInterface& ui, QWidget* parent);

  // Runs the dialog modally; true when it closed with OK (the settings are
  // stored in the application state and the settings file).
  bool Run();

  QLineEdit* MaxV() const { return maxV_; }
  QLineEdit* MinV() const { return minV_; }
  QLineEdit* Step() const { return step_; }
  QCheckBox* Grid() const { return grid_; }
  QSlider* Track() const { return track_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* ChooseButton() const { return choose_; }

  GraphSettingsFields ReadFields() const;
  void ShowFields(const GraphSettingsFields& fields);

 private:
  void OnOk();
  void OnAdd();
  void OnChoose();

  CAppState& app_;
  IUserInterface& ui_;
  QLineEdit* maxV_ = nullptr;
  QLineEdit* minV_ = nullptr;
  QLineEdit* step_ = nullptr;
  QCheckBox* grid_ = nullptr;
  QSlider* track_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* choose_ = nullptr;
};

}  // namespace qv::ui
