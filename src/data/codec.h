// Text conversion between the Shift-JIS (code page 932) bytes that files and
// the core keep and the UTF-8 used at the edges (JSON, windows, terminals).
#pragma once

#include <string>
#include <string_view>

namespace qv {

// CP932 bytes to UTF-8. Bytes that are not valid CP932 (a lone lead byte at the
// end included) become U+FFFD; nothing is dropped and nothing throws.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 text to CP932 bytes. Characters CP932 cannot hold are first mapped to
// their CP932 twin where one exists (Ohm sign to Greek Omega, micro sign to mu,
// wave dash to full-width tilde, ...); anything else, and malformed UTF-8,
// becomes '?' so the loss stays visible.
std::string Utf8ToCp932(std::string_view utf8);

// UTF-16LE code units (as the data file's wide-text form stores them) to CP932.
std::string Utf16ToCp932(std::u16string_view utf16);

}  // namespace qv

namespace qv {
// A user-visible text written in UTF-8 in the source, as the CP932 bytes the
// core keeps. Short alias because every message goes through it.
inline std::string Sj(std::string_view utf8) {
  return Utf8ToCp932(utf8);
}
}  // namespace qv
