// The port setting dialog (通信ポート設定): the COM number typed by hand, or
// found by the detection dialog.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "app/dialogs/port_detect_dialog.h"
#include "core/user_interface.h"
#include "data/document.h"
#include "link/port_scan.h"

namespace qv::ui {

class CPortSettingDlg : public QDialog {
  Q_OBJECT
 public:
  CPortSettingDlg(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent = nullptr);

  // Runs the detection dialog modally and returns its result code; tests
  // replace it to drive the dialog. Default: exec().
  std::function<int(CPortDetectDlg&)> runDetect;
  // The probe waits handed to the detection dialog.
  LinkSleeper sleeper;

  QLineEdit* PortEdit() const { return edit_; }
  // The device the typed number maps to ("なし" when none).
  QLabel* DeviceLabel() const { return device_; }
  QPushButton* DetectButton() const { return detect_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

  // The buttons' actions.
  void OnOk();
  void OnDetect();

 private:
  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  CPortSettingModel model_;
  QLineEdit* edit_ = nullptr;
  QLabel* device_ = nullptr;
  QPushButton* detect_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace qv::ui
