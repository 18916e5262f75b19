#include "views/report_view.h"

#include <QVBoxLayout>

#include "views/report_ctrl.h"

namespace qv::ui {

CReportView::CReportView(CBrenlowDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
  list_ = new CReportCtrl(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
}

}  // namespace qv::ui
