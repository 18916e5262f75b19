// Small value types shared by the record, the settings model and the views.
#pragma once

#include <cstdint>

namespace qv {

// The six input conditions a test runs under (the application's input defaults).
struct InputConditions {
  int32_t cells = 1;
  double endVoltage = 1.0;
  double currentA = 1.0;
  double currentB = 0.5;
  double currentC = 0.1;
  int32_t v1Point = 100;

  bool operator==(const InputConditions&) const = default;
};

// The average-voltage-3 range in seconds (DATA_DEF_APO3ST / DATA_DEF_APO3ED).
struct Avg3Range {
  int32_t start = 0;
  int32_t end = 0;

  bool operator==(const Avg3Range&) const = default;
};

}  // namespace qv
