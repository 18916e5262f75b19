// The start options dialog (計測開始時の設定): whether a start removes the
// graph overlays (START_DUPCLR) and resets the graph range (START_DEFGRA).
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>

#include "core/settings_store.h"

namespace qv::ui {

class CStartOptionsDlg : public QDialog {
  Q_OBJECT
 public:
  CStartOptionsDlg(CSettingsStore& settings, QWidget* parent = nullptr);

  QCheckBox* ClearOverlaysBox() const { return clearOverlays_; }
  QCheckBox* DefaultGraphBox() const { return defaultGraph_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void OnOk();

  CSettingsStore& settings_;
  QCheckBox* clearOverlays_ = nullptr;
  QCheckBox* defaultGraph_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace qv::ui
