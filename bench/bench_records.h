// The records of the data-file benchmarks: 200 registered records of 3,600
// points each (one hour at one point per second), about 26 MB as a file.
#pragma once

#include <memory>

#include "data/codec.h"
#include "data/measure_data.h"

namespace qv::bench {

inline constexpr int kRecords = 200;
inline constexpr int kPoints = 3600;

inline std::unique_ptr<CMeasureData> MakeBenchRecord(int index) {
  auto r = std::make_unique<CMeasureData>();
  r->id1 = 1 + index / 100;
  r->id2 = 1 + index % 100;
  r->id3 = 1;
  r->dateTime = COleDateTime::FromParts({2015, 3, 4, 10, index % 60, 12});
  r->remark = Sj("ベンチマーク用の記録");
  r->cells = 6;
  r->endVoltage = 6.0;
  r->currentA = r->currentB = r->currentC = 20.0;
  r->v1Point = 300;
  r->avgVoltage1 = 7.1;
  r->pir = 12.3;
  r->internalResistance = 25.5;
  auto& pts = r->MutablePoints();
  pts.reserve(kPoints);
  for (int t = 0; t < kPoints; ++t)
    pts.push_back({t, 20.0, 8.4 - t * 0.0005, t * 5.5555, 7.9 - t * 0.0002});
  return r;
}

}  // namespace qv::bench
