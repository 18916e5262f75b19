// Number <-> text conversions with the C library's semantics, independent of
// the process locale (the GUI toolkit switches it to the user's locale).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace qv {

// The leading integer of the text as atoi reads it; 0 for empty or non-numeric
// text. Values beyond the int range are clamped.
int AtoI(std::string_view text);
// The leading real of the text as atof reads it; 0.0 for non-numeric text.
double AtoF(std::string_view text);

// "%d"
std::string IntText(long long v);
// printf "%.*f" with '.' as the decimal point.
std::string FixedText(double v, int decimals);
// Shortest text that reads back to the same double ("%.17g" at most).
std::string RealText(double v);

// Rounds to n decimals by formatting with "%.0<n>f" and reading the text
// back; for n <= 0 the largest integer not above v.
double RoundDecimal(double v, int n);

// Truncation toward zero to a 32-bit integer for texts and pixels; NaN gives
// 0 and values beyond the range are clamped (corrupt records must not cause
// undefined casts). The one definition every module uses.
inline int32_t TruncInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace qv
