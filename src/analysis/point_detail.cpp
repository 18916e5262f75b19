#include "analysis/point_detail.h"

#include <mutex>

#include "analysis/numeric.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "data/document.h"

namespace qv {
namespace {

void AddRow(std::vector<PointDetailRow>& rows, const CMeasureData& r, int slot, int32_t t) {
  // Negative seconds would mean "the last point" to FindPoint; no row there.
  if (t < 0) return;
  const CMeasurePoint* p = r.FindPoint(t);
  if (!p) return;
  PointDetailRow row;
  row.record = &r;
  row.slot = slot;
  row.paletteIndex = slot >= 1 && slot <= 7 ? slot + 9 : -1;
  const std::string id = r.GetIdText();
  row.cells[0] = id.empty() ? std::string(" -----") : id;
  row.cells[1] = FixedText(p->current, 1);
  row.cells[2] = FixedText(p->voltage, r.cells == 1 ? 3 : 2);
  row.cells[3] = IntText(TruncInt(p->capacity));
  row.cells[4] = IntText(TruncInt(p->avgVoltage * p->capacity));
  row.cells[5] = FixedText(p->avgVoltage, 3);
  rows.push_back(std::move(row));
}

}  // namespace

std::vector<DetailColumn> PointDetailColumns() {
  return {
      {Sj("登録ID"), 78, false},       {Sj("放電電流[A]"), 80, true},
      {Sj("電池電圧[V]"), 80, true},   {Sj("放電容量[mAh]"), 92, true},
      {Sj("放電電力[mWh]"), 92, true}, {Sj("平均電圧[V]"), 80, true},
  };
}

std::vector<PointDetailRow> PointDetailRows(const CBrenlowDoc& doc, int32_t t) {
  std::vector<PointDetailRow> rows;
  {
    std::lock_guard<std::mutex> guard(doc.Lock());
    AddRow(rows, doc.Current(), doc.SlotOf(doc.Current()), t);
  }
  for (const auto& r : doc.Registered()) {
    const int slot = doc.SlotOf(*r);
    if (slot > 0) AddRow(rows, *r, slot, t);
  }
  return rows;
}

uint32_t PointDetailPaletteColor(int paletteIndex) {
  return SlotColor(paletteIndex - 9);
}

}  // namespace qv
