#include "views/result_view.h"

#include "data/document.h"
#include "views/report_ctrl.h"

namespace qv::ui {

CResultView::CResultView(CBrenlowDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
  list_ = new CReportCtrl(this);
}
void CResultView::Refresh(bool) {}
void CResultView::RefreshCurrentColumn() {}
void CResultView::RefreshColumn(int, const CMeasureData&) {}
void CResultView::ClearLiveValues() {}
std::string CResultView::ValidateInputs() {
  return {};
}
void CResultView::BuildColumns() {}
void CResultView::FillRows() {}
int CResultView::CanBeginEdit(int, int) {
  return -1;
}
bool CResultView::CommitEdit(int, int, const std::string&) {
  return false;
}
int CResultView::CurrentColumn() const {
  return 0;
}

}  // namespace qv::ui
