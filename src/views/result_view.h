// The result panel: a vertical table with one column per record drawn on the
// graph (the newest overlay first, the current measurement last) and the
// input cells of the current measurement, edited in place while it is
// unmeasured. The label column stays in place when the table scrolls
// sideways.
#pragma once

#include <optional>
#include <string>

#include "link/input_check.h"
#include "views/report_view.h"

namespace qv {
class CMeasureData;
}

namespace qv::ui {

enum class EditKind;

class CResultView : public CReportView {
  Q_OBJECT

 public:
  explicit CResultView(qv::CBrenlowDoc& doc, QWidget* parent = nullptr);

  // Rebuilds the whole table from the document; during a run it then shows
  // the current measurement's column (ShowCurrentColumn).
  void Refresh(bool lockUpdates = true);
  // Scrolls the table sideways so that the current measurement's column,
  // the last, is in view (the label column stays in place).
  void ShowCurrentColumn();
  // Refills rows 1 to 11 of the current measurement's column.
  void RefreshCurrentColumn();
  // Refills rows 1 to 11 of one record column (-1: the current measurement).
  void RefreshColumn(int column, const qv::CMeasureData& record);
  // Rows 4 and 5 of the current measurement's column become "0.0".
  void ClearLiveValues();
  // Checks the six input cells of the current measurement's column, stores
  // every valid value and returns the messages of the invalid ones, each
  // followed by "\n" (CP932; empty when all are valid).
  std::string ValidateInputs();
  // The texts of the six input cells of the current measurement's column,
  // nothing while the table does not hold that column.
  std::optional<qv::InputCellTexts> InputCells() const;

 private:
  void BuildColumns();
  void FillRows();
  EditKind CanBeginEdit(int row, int column);
  bool CommitEdit(int row, int column, const std::string& text);
  int CurrentColumn() const;
  qv::InputCellTexts ReadInputCells(int column) const;
  // The input cells of `column` show the current measurement's values.
  void ShowStoredInputs(int column);
};

}  // namespace qv::ui
