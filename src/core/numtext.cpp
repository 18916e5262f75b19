#include "core/numtext.h"

#include <locale.h>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qv {
namespace {

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view SkipSpace(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i]))
    ++i;
  return s.substr(i);
}

}  // namespace

int AtoI(std::string_view text) {
  std::string_view s = SkipSpace(text);
  bool neg = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    neg = s[0] == '-';
    s.remove_prefix(1);
  }
  long long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = v * 10 + (c - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) break;
  }
  if (neg) v = -v;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

double AtoF(std::string_view text) {
  // strtod in the C locale is atof without the dependence on LC_NUMERIC.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  std::string copy(text);
  return strtod_l(copy.c_str(), nullptr, cLocale);
}

std::string IntText(long long v) {
  return std::to_string(v);
}

std::string FixedText(double v, int decimals) {
  char buf[512];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return "0";
  return std::string(buf, r.ptr);
}

std::string RealText(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

double RoundDecimal(double v, int n) {
  if (n <= 0) return std::floor(v);
  return AtoF(FixedText(v, n));
}

}  // namespace qv
