#include "views/data_view.h"

#include "data/codec.h"
#include "data/document.h"
#include "views/qt_color.h"
#include "views/report_ctrl.h"
#include "views/view_text.h"

namespace qv::ui {

namespace {

// The row background of the current measurement's slot; the overlays' rows
// take their curve colours.
const QColor kCurrentSlotBackground(230, 230, 230);

}  // namespace

CDataView::CDataView(CBrenlowDoc& doc, QWidget* parent) : CReportView(doc, parent) {
  list_->SetProfile("DATAVIEW", &doc_.App().settings);
  list_->SetRowNumbers(false);
  list_->SetSortingEnabled(true);
  list_->SetMultiSelect(true);
  list_->SetKeepFocus(false);
  list_->SetColumnsMovable(doc_.App().viewMoveColumn);
  SetSlotPalette(*list_);
  list_->SetPaletteColor(SlotPaletteIndex(1), kCurrentSlotBackground);

  ReportHooks hooks;
  hooks.buildColumns = [this] { BuildColumns(); };
  hooks.fillRows = [this] { FillRows(); };
  hooks.rowDoubleClick = [this](int rowKey) { OnRowDoubleClick(rowKey); };
  hooks.canBeginEdit = [this](int rowKey, int column) { return CanBeginEdit(rowKey, column); };
  hooks.commitEdit = [this](int rowKey, int column, const std::string& text) {
    return CommitEdit(rowKey, column, text);
  };
  list_->SetHooks(std::move(hooks));
}

void CDataView::Refresh() {
  list_->SetColumnsMovable(doc_.App().viewMoveColumn);
  list_->Refresh();
}

void CDataView::BuildColumns() {
  for (const DataColumnSpec& c : DataColumns()) {
    const int column = list_->AddColumn(Sj(c.titleUtf8), c.width);
    if (c.numeric) list_->SetColumnNumeric(column);
  }
}

void CDataView::FillRows() {
  for (auto& r : doc_.Registered()) {
    const int key = list_->InsertRow();
    doc_.SetRowKey(*r, key);
    FillRow(key, *r);
  }
}

void CDataView::FillRow(int rowKey, const CMeasureData& record) {
  const auto texts = DataRowTexts(record);
  const int color = SlotPaletteIndex(doc_.SlotOf(record));
  for (int c = 0; c < kDataColumns; ++c)
    list_->SetCellText(rowKey, c, texts[static_cast<size_t>(c)], color);
}

std::vector<int> CDataView::SelectedRowKeys() const {
  return list_->GetSelectedRows();
}

std::vector<const CMeasureData*> CDataView::SelectedRecords() const {
  std::vector<const CMeasureData*> out;
  for (int key : list_->GetSelectedRows()) {
    if (CMeasureData* r = doc_.FindByRowKey(key)) out.push_back(r);
  }
  return out;
}

bool CDataView::ListHasFocus() const {
  return list_->HasListFocus();
}

void CDataView::RestoreColumnWidths() {
  list_->RestoreDefaultWidths();
}

void CDataView::OnRowDoubleClick(int rowKey) {
  if (doc_.App().runActive) return;
  if (rowKey < 0 || rowKey >= static_cast<int>(doc_.Registered().size())) return;
  ToggleOverlay(rowKey);
}

void CDataView::ToggleOverlay(int rowKey) {
  CMeasureData* record = doc_.FindByRowKey(rowKey);
  if (!record) return;
  // A full display list leaves everything as it is, without a message.
  if (!doc_.ToggleOverlay(record)) return;
  doc_.RefreshViews(kRefreshResult);
  FillRow(rowKey, *record);
  doc_.RefreshViews(kRefreshGraph);
}

EditKind CDataView::CanBeginEdit(int rowKey, int column) {
  if (doc_.App().runActive) return EditKind::kRefuse;
  if (rowKey < 0 || column != kDataRemarkColumn) return EditKind::kRefuse;
  // Beginning an edit counts as a change, whether or not the text changes.
  doc_.SetModified();
  return EditKind::kBox;
}

bool CDataView::CommitEdit(int rowKey, int column, const std::string& text) {
  if (rowKey < 0 || column != kDataRemarkColumn) return false;
  CMeasureData* record = doc_.FindByRowKey(rowKey);
  if (!record) return false;
  record->remark = text;
  return true;
}

}  // namespace qv::ui
