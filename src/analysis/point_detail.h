// The point-detail table: the values of every drawn record at one second.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class CBrenlowDoc;
class CMeasureData;

inline constexpr int kDetailTimeMin = 0;
inline constexpr int kDetailTimeMax = 9999;

struct DetailColumn {
  std::string title;  // CP932
  int width = 0;      // pixels
  bool numeric = false;
};

// The six columns in order: registration ID, current, voltage, capacity,
// energy, average voltage.
std::vector<DetailColumn> PointDetailColumns();

struct PointDetailRow {
  const CMeasureData* record = nullptr;
  int slot = -1;
  // Palette entry of the row's background: slot n (1 to 7) -> n + 9; -1 the
  // ordinary background.
  int paletteIndex = -1;
  std::array<std::string, 6> cells;
};

// Rows at exactly `t` seconds: the current measurement first, then each drawn
// registered record in list order. Records without a point at that second
// get no row.
std::vector<PointDetailRow> PointDetailRows(const CBrenlowDoc& doc, int32_t t);

// The palette entries 10 to 16 of the table: the colours of slots 1 to 7.
uint32_t PointDetailPaletteColor(int paletteIndex);

}  // namespace qv
