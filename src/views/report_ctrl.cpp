#include "views/report_ctrl.h"

#include <QTableView>

namespace qv::ui {

class ReportModel {};
class ReportDelegate {};

CReportCtrl::CReportCtrl(QWidget* parent) : QWidget(parent) {}
CReportCtrl::~CReportCtrl() = default;
void CReportCtrl::SetHooks(ReportHooks hooks) {
  hooks_ = std::move(hooks);
}
void CReportCtrl::SetRowNumbers(bool on) {
  rowNumbers_ = on;
}
void CReportCtrl::SetSortingEnabled(bool on) {
  sorting_ = on;
}
void CReportCtrl::SetKeepFocus(bool on) {
  keepFocus_ = on;
}
void CReportCtrl::SetMultiSelect(bool) {}
void CReportCtrl::SetColumnsMovable(bool on) {
  movable_ = on;
}
void CReportCtrl::SetUseDefaultWidths(bool on) {
  useDefaultWidths_ = on;
}
void CReportCtrl::SetProfile(const std::string& profile, const CSettingsStore* store) {
  profile_ = profile;
  store_ = store;
}
int CReportCtrl::AddColumn(const std::string&, int, Qt::Alignment) {
  return 0;
}
void CReportCtrl::SetColumnNumeric(int, bool) {}
int CReportCtrl::InsertRow() {
  return 0;
}
void CReportCtrl::SetCellText(int, int, const std::string&, int) {}
void CReportCtrl::SetPaletteColor(int, const QColor&) {}
QColor CReportCtrl::PaletteColor(int) const {
  return {};
}
int CReportCtrl::ColumnCount() const {
  return 0;
}
int CReportCtrl::RowCount() const {
  return 0;
}
std::string CReportCtrl::ColumnTitle(int) const {
  return {};
}
std::string CReportCtrl::CellText(int, int) const {
  return {};
}
int CReportCtrl::CellColor(int, int) const {
  return -1;
}
int CReportCtrl::RowKeyAt(int) const {
  return -1;
}
int CReportCtrl::PositionOf(int) const {
  return -1;
}
int CReportCtrl::ColumnWidth(int) const {
  return 0;
}
int CReportCtrl::GetSelectedCount() const {
  return 0;
}
int CReportCtrl::GetFirstSelectedRow() const {
  return -1;
}
std::vector<int> CReportCtrl::GetSelectedRows() const {
  return {};
}
void CReportCtrl::SelectRow(int, bool) {}
bool CReportCtrl::HasListFocus() const {
  return false;
}
bool CReportCtrl::IsEditing() const {
  return false;
}
void CReportCtrl::Refresh(bool) {}
void CReportCtrl::RestoreDefaultWidths() {}
void CReportCtrl::ClickHeader(int) {}
bool CReportCtrl::BeginEdit(int, int) {
  return false;
}
void CReportCtrl::EndEdit() {}
void CReportCtrl::ColumnResizedByUser(int, int) {}
bool CReportCtrl::eventFilter(QObject* watched, QEvent* event) {
  return QWidget::eventFilter(watched, event);
}

}  // namespace qv::ui
