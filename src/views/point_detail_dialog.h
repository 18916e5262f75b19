// The point-detail dialog: the values of every drawn record at one second,
// stepped with a spin control.
#pragma once

#include <QDialog>

class QSpinBox;

namespace qv {
class CBrenlowDoc;
}

namespace qv::ui {

class CReportCtrl;

class CPointDetailDialog : public QDialog {
  Q_OBJECT

 public:
  CPointDetailDialog(qv::CBrenlowDoc& doc, int elapsedTime, QWidget* parent = nullptr);

  // Runs the dialog modally at second t.
  static void Open(qv::CBrenlowDoc& doc, int elapsedTime, QWidget* parent = nullptr);

  int ElapsedTime() const { return time_; }
  void SetElapsedTime(int t);
  CReportCtrl* List() { return list_; }
  QSpinBox* Spin() { return spin_; }

 private:
  void BuildColumns();
  void FillRows();

  qv::CBrenlowDoc& doc_;
  int time_ = 0;
  CReportCtrl* list_ = nullptr;
  QSpinBox* spin_ = nullptr;
};

}  // namespace qv::ui
