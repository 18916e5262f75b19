// The start confirmation (放電と計測を開始): the last word before the
// discharge starts, with the cautions for the measurement.
#pragma once

#include <QDialog>
#include <QPushButton>

namespace qv::ui {

class CStartConfirmDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CStartConfirmDlg(QWidget* parent = nullptr);

  QPushButton* StartButton() const { return start_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QPushButton* start_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace qv::ui
