// The data view: one row per registered record with its ID, date-time,
// remark and results. A double-click overlays a record on the graph or takes
// it off; the remark is edited in place; the selection is what the delete,
// ID-change, virtual-curve and print commands act on.
#pragma once

#include <string>
#include <vector>

#include "views/report_view.h"

namespace qv {
class CMeasureData;
}

namespace qv::ui {

enum class EditKind;

class CDataView : public CReportView {
  Q_OBJECT

 public:
  explicit CDataView(qv::CBrenlowDoc& doc, QWidget* parent = nullptr);

  // Rebuilds columns and rows from the registration list.
  void Refresh();
  // Row keys of the selected rows, in display order.
  std::vector<int> SelectedRowKeys() const;
  // The records of the selected rows, in display order.
  std::vector<const qv::CMeasureData*> SelectedRecords() const;
  bool ListHasFocus() const;
  // The restore-widths command.
  void RestoreColumnWidths();
  // Shows the record of this row on the graph or takes it off.
  void ToggleOverlay(int rowKey);

 private:
  void BuildColumns();
  void FillRows();
  void FillRow(int rowKey, const qv::CMeasureData& record);
  void OnRowDoubleClick(int rowKey);
  EditKind CanBeginEdit(int rowKey, int column);
  bool CommitEdit(int rowKey, int column, const std::string& text);
};

}  // namespace qv::ui
