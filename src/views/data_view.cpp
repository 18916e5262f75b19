#include "views/data_view.h"

#include "data/document.h"
#include "views/report_ctrl.h"

namespace qv::ui {

CDataView::CDataView(CBrenlowDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
  list_ = new CReportCtrl(this);
}
void CDataView::Refresh() {}
std::vector<int> CDataView::SelectedRowKeys() const {
  return {};
}
std::vector<CMeasureData*> CDataView::SelectedRecords() const {
  return {};
}
bool CDataView::ListHasFocus() const {
  return false;
}
void CDataView::RestoreColumnWidths() {}
void CDataView::ToggleOverlay(int) {}
CReportCtrl* CDataView::List() {
  return list_;
}
void CDataView::BuildColumns() {}
void CDataView::FillRows() {}
void CDataView::FillRow(int, const CMeasureData&) {}
void CDataView::OnRowDoubleClick(int) {}
int CDataView::CanBeginEdit(int, int) {
  return -1;
}
bool CDataView::CommitEdit(int, int, const std::string&) {
  return false;
}

}  // namespace qv::ui
