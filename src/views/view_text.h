// The texts the result panel and the data view show for a record. No Qt
// here: the widgets only put these texts into their cells.
#pragma once

#include <array>
#include <string>

#include "link/result_rows.h"

namespace qv {
class CMeasureData;
}

namespace qv::ui {

// Palette entries of the result panel beyond the shared ten.
inline constexpr int kResultWhite = 17;
inline constexpr int kResultMenu = 18;

// Label of a result-panel row (ResultRow; CP932).
std::string ResultRowLabel(int row);
// A record's cell of a result-panel row. `isCurrent` chooses the section
// title of row 0; `runActive` is whether the measurement worker exists.
std::string ResultCellText(int row, const qv::CMeasureData& record, bool isCurrent, bool runActive);
// Palette entry of a cell: column 0 is the label column.
int ResultCellColor(int row, bool labelColumn, int slot);

inline constexpr int kDataColumns = 11;
inline constexpr int kDataRemarkColumn = 2;

struct DataColumnSpec {
  const char* titleUtf8;
  int width;
  bool numeric;
};
const std::array<DataColumnSpec, kDataColumns>& DataColumns();
// The eleven cells of a record's data-view row (CP932).
std::array<std::string, kDataColumns> DataRowTexts(const qv::CMeasureData& record);
// Background palette entry of a record's row: slot k (1 to 7) -> k + 9.
int SlotPaletteIndex(int slot);

}  // namespace qv::ui
