// The result texts of a record as the printed tables, the printed labels and
// the bitmap's results table show them.
#pragma once

#include <string>

#include "data/measure_data.h"

namespace qv {

// The maker's notice: the second field of the CSV banner line and the line
// beside the logo under printed tables (one line, no comma).
inline constexpr char kMakerNotice[] = "Quorvex  -  ORVANTIS battery discharge analyzer (Halvorn)";

struct RecordTexts {
  std::string id;           // "%03d-%03d-%03d", empty when unset
  std::string dateTime;     // "%04d/%02d/%02d %02d:%02d:%02d"
  std::string seconds;      // discharge time, "%d"
  std::string capacity;     // last point's capacity truncated, "%d"
  std::string energy;       // last point's capacity x average voltage truncated, "%d"
  std::string avgVoltage1;  // "%.3f"
  std::string avgVoltage2;  // last point's average voltage, "%.3f"
  std::string resistance;   // internal resistance, "%.1f"
  std::string pir;          // "%.1f"
  std::string currentA, currentB, currentC;  // "%.1f"
  std::string cells;                         // "%d"
  std::string endVoltage;                    // "%.1f"
  std::string v1Point;                       // "%d"
};

RecordTexts MakeRecordTexts(const CMeasureData& r);

}  // namespace qv
