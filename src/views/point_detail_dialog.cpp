#include "views/point_detail_dialog.h"

#include <QSpinBox>

#include "data/document.h"
#include "views/report_ctrl.h"

namespace qv::ui {

CPointDetailDialog::CPointDetailDialog(CBrenlowDoc& doc, int elapsedTime, QWidget* parent)
    : QDialog(parent), doc_(doc), time_(elapsedTime) {
  list_ = new CReportCtrl(this);
  spin_ = new QSpinBox(this);
}
void CPointDetailDialog::Open(CBrenlowDoc& doc, int elapsedTime, QWidget* parent) {
  CPointDetailDialog dlg(doc, elapsedTime, parent);
  dlg.exec();
}
void CPointDetailDialog::SetElapsedTime(int t) {
  time_ = t;
}
void CPointDetailDialog::BuildColumns() {}
void CPointDetailDialog::FillRows() {}

}  // namespace qv::ui
