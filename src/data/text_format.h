// printf-style formatting into std::string. CP932 format texts are safe here:
// no Shift-JIS trail byte is '%'.
#pragma once

#include <cstdio>
#include <string>
#include <type_traits>

namespace qv {

namespace detail {
template <typename T>
auto FormatArg(const T& v) {
  if constexpr (std::is_same_v<T, std::string>) {
    return v.c_str();
  } else {
    return v;
  }
}
}  // namespace detail

template <typename... Args>
std::string Format(const std::string& fmt, const Args&... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
  int n = std::snprintf(nullptr, 0, fmt.c_str(), detail::FormatArg(args)...);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), fmt.c_str(), detail::FormatArg(args)...);
#pragma GCC diagnostic pop
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace qv
