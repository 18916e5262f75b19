// Conversions from computed reals to the integers that texts and pixels use,
// defined for every input (corrupt records must not cause undefined casts).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace qv {

// Truncation toward zero to a 32-bit integer; NaN gives 0 and values beyond
// the range are clamped.
inline int32_t TruncInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// An integer sum clamped to the 32-bit range (pixel arithmetic on large times).
inline int32_t ClampInt(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace qv
