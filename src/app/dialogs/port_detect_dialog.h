// The port detection dialog (通信ポートの自動設定): tries COM1 to COM256 with
// the analyzer's probe and keeps the first port that answers. The caller
// reads FoundPort() after the dialog has closed and writes COMPORT itself.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <vector>

#include "core/user_interface.h"
#include "data/document.h"
#include "link/analyzer_link.h"

namespace qv::ui {

class CPortDetectDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kProgressMax = 256;

  CPortDetectDlg(CBrenlowDoc& doc, IUserInterface& ui, QWidget* parent = nullptr);

  // -1 until a port has answered, then its COM number.
  int FoundPort() const { return found_; }
  // The waits of the probes (tests shorten them); empty: real waits.
  void SetSleeper(LinkSleeper sleeper) { sleeper_ = std::move(sleeper); }

  // The scan of the 設定開始 button: runs until a port answers or the user
  // declines to retry.
  void Scan();
  bool Scanning() const { return scanning_; }

  QPushButton* StartButton() const { return start_; }
  QPushButton* CloseButton() const { return close_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* ProgressText() const { return progressText_; }
  // The device of the number being probed.
  QLabel* DeviceText() const { return device_; }
  // Every COM number the scans tried, in order.
  const std::vector<int>& TriedPorts() const { return tried_; }

  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnProgress(const CPortNames& names, int port, const std::string& text);

  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  LinkSleeper sleeper_;
  int found_ = -1;
  bool scanning_ = false;
  std::vector<int> tried_;
  QPushButton* start_ = nullptr;
  QPushButton* close_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* progressText_ = nullptr;
  QLabel* device_ = nullptr;
};

}  // namespace qv::ui
