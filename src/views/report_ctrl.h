// The list control that every list pane shares: columns with titles, default
// widths and a numeric flag; rows with a key (the insertion index since the
// last rebuild) and cells with a text and a palette index; sorting by header
// click (ascending, descending, insertion order); selection; in-place editors;
// a rebuild that keeps the scroll position; column widths kept in the
// settings file as "CLM_<profile>_<title>".
//
// Texts are the core's CP932 bytes. Column numbers are the view's own
// columns: the optional "No." column is not counted.
#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QTableView;
class QHeaderView;

namespace qv {
class CSettingsStore;
}

namespace qv::ui {

class ReportModel;
class ReportDelegate;

// The in-place editor a view allows on a cell, or none.
enum class EditKind {
  kRefuse,
  kBox,       // an edit box
  kCombo,     // editable drop-down combo box
  kDropList,  // pick one entry of a list
};

// What a view plugs into the control. Rows are given by key.
struct ReportHooks {
  std::function<void()> buildColumns;
  std::function<void()> fillRows;
  std::function<void(int rowKey)> rowClick;
  std::function<void(int rowKey)> rowDoubleClick;  // -1 when no row was hit
  std::function<EditKind(int rowKey, int column)> canBeginEdit;
  // Returns false to refuse the text (the cell keeps its former text).
  std::function<bool(int rowKey, int column, const std::string& text)> commitEdit;
  std::function<std::vector<std::string>(int rowKey, int column)> fillEditList;
};

class CReportCtrl : public QWidget {
  Q_OBJECT

 public:
  // Sort states of the sort column.
  enum class SortState { kNone, kAscending, kDescending };

  explicit CReportCtrl(QWidget* parent = nullptr);
  ~CReportCtrl() override;

  void SetHooks(ReportHooks hooks);

  // Options (set before the first Refresh).
  void SetRowNumbers(bool on);        // the "No." column; on by default
  void SetRowNumberWidth(int width);  // the "No." column's width; 40 by default
  void SetSortingEnabled(bool on);
  void SetKeepFocus(bool on);
  void SetMultiSelect(bool on);
  void SetColumnsMovable(bool on);
  void SetUseDefaultWidths(bool on);
  // The first column (with the "No." column) stays in place when the list
  // scrolls sideways: a copy of it lies over the list's left edge.
  void SetFrozenFirstColumn(bool on);
  // Column widths persist under this profile name; empty keeps nothing.
  void SetProfile(const std::string& profile, CSettingsStore* store);
  const std::string& Profile() const { return profile_; }

  // Building (from the hooks, or directly).
  int AddColumn(const std::string& title, int defaultWidth,
                Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
  void SetColumnNumeric(int column, bool numeric = true);
  int InsertRow();
  void SetCellText(int rowKey, int column, const std::string& text, int colorIndex = -1);
  void SetPaletteColor(int index, const QColor& color);
  QColor PaletteColor(int index) const;

  // Reading.
  int ColumnCount() const;
  int RowCount() const;
  std::string ColumnTitle(int column) const;
  std::string CellText(int rowKey, int column) const;
  int CellColor(int rowKey, int column) const;
  // The row key shown at a display position, and the reverse.
  int RowKeyAt(int position) const;
  int PositionOf(int rowKey) const;
  int ColumnWidth(int column) const;

  int GetSelectedCount() const;
  int GetFirstSelectedRow() const;           // key, -1 when none
  std::vector<int> GetSelectedRows() const;  // keys in display order
  void SelectRow(int rowKey, bool add = false);
  bool HasListFocus() const;
  bool IsEditing() const;

  // Rebuilds columns and rows through the hooks; ends an open edit first and
  // keeps the scroll position (and the focused row when keep-focus is on).
  void Refresh(bool lockUpdates = true);
  // Writes "-1" for every stored width of this profile, forgets the widths
  // and rebuilds: the columns come back at their default widths.
  void RestoreDefaultWidths();

  // Header click on a column: ascending, descending, insertion order.
  void ClickHeader(int column);
  int SortColumn() const { return sortColumn_; }
  SortState GetSortState() const { return sortState_; }

  // Begins an in-place edit of a cell as a second click would; false when
  // the view refuses.
  bool BeginEdit(int rowKey, int column);
  // Ends an open edit, committing its text.
  void EndEdit();

  // A finished user resize of a column (also what the header reports).
  void ColumnResizedByUser(int column, int width);

  QTableView* Table() const { return table_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class ReportDelegate;
  int ToModelColumn(int column) const { return column + (rowNumbers_ ? 1 : 0); }
  int FromModelColumn(int modelColumn) const { return modelColumn - (rowNumbers_ ? 1 : 0); }
  // The settings key of a column's width under this control's profile.
  std::string WidthKey(const std::string& title) const;
  int UsedWidth(const std::string& title, int defaultWidth);
  void ApplySort();
  void ApplyColumnWidths();
  void OnSectionResized(int logical, int oldSize, int newSize);
  void OnSectionClicked(int logical);
  void Commit(int rowKey, int column, const std::string& text);
  // The frozen copy shows the first columns at their widths over the
  // list's left edge.
  void UpdateFrozen();

  ReportHooks hooks_;
  ReportModel* model_ = nullptr;
  ReportDelegate* delegate_ = nullptr;
  QTableView* table_ = nullptr;
  QTableView* frozen_ = nullptr;  // the frozen first column, or none

  bool rowNumbers_ = true;
  int rowNumberWidth_ = 40;
  bool sorting_ = true;
  bool keepFocus_ = true;
  bool useDefaultWidths_ = false;
  bool movable_ = false;
  bool building_ = false;
  std::string profile_;
  CSettingsStore* store_ = nullptr;
  std::map<std::string, int> widths_;
  std::map<int, int> pendingWidths_;  // model column -> width, until the mouse is released

  int sortColumn_ = -1;
  SortState sortState_ = SortState::kNone;
};

}  // namespace qv::ui
