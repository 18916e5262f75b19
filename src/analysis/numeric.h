// Conversions from computed reals to the integers that texts and pixels use,
// defined for every input (corrupt records must not cause undefined casts).
#pragma once

#include <cstdint>
#include <limits>

#include "core/numtext.h"  // TruncInt

namespace qv {

// An integer sum clamped to the 32-bit range (pixel arithmetic on large times).
inline int32_t ClampInt(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace qv
