// Records for the output tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "data/measure_data.h"
#include "output/draw_list.h"

namespace qv::test {

inline std::unique_ptr<CMeasureData> MakeRecord(int id1, int id2, int id3, int cells = 6) {
  auto r = std::make_unique<CMeasureData>();
  r->id1 = id1;
  r->id2 = id2;
  r->id3 = id3;
  r->dateTime = COleDateTime::FromParts({2024, 3, 5, 14, 7, 9});
  r->cells = cells;
  r->endVoltage = 5.4;
  r->currentA = 10.0;
  r->currentB = 5.0;
  r->currentC = 1.5;
  r->v1Point = 300;
  r->avgVoltage1 = 7.1234;
  r->pir = 12.34;
  r->internalResistance = 45.67;
  return r;
}

// Points every `step` seconds up to `last`, voltage falling from `v0`.
inline void AddPoints(CMeasureData& r, int last, int step = 1, double v0 = 7.5) {
  for (int t = 0; t <= last; t += step) {
    CMeasurePoint p;
    p.time = t;
    p.current = 10.0;
    p.voltage = v0 - t * 0.001;
    p.capacity = t * 2.5;
    p.avgVoltage = v0 - t * 0.0005;
    r.AppendPoint(p);
  }
}

// The items of one kind, in list order.
inline std::vector<const DrawItem*> Find(const DrawList& list, DrawKind kind) {
  std::vector<const DrawItem*> out;
  for (const DrawItem& d : list.items)
    if (d.kind == kind) out.push_back(&d);
  return out;
}

}  // namespace qv::test
