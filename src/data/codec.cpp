#include "data/codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace qv {
namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

// One iconv descriptor per direction and thread; iconv_open is not free.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts in; on an invalid or unconvertible sequence calls onBad(pos) and
  // continues at the position it returns.
  template <typename OnBad>
  std::string Run(std::string_view in, OnBad onBad) {
    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    size_t pos = 0;
    char buf[1024];
    while (pos < in.size()) {
      char* inPtr = const_cast<char*>(in.data() + pos);
      size_t inLeft = in.size() - pos;
      char* outPtr = buf;
      size_t outLeft = sizeof(buf);
      size_t r = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      out.append(buf, static_cast<size_t>(outPtr - buf));
      pos = static_cast<size_t>(inPtr - in.data());
      if (r == static_cast<size_t>(-1)) {
        if (errno == E2BIG) continue;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        pos = onBad(out, pos);
      }
    }
    return out;
  }

 private:
  iconv_t cd_;
};

Converter& ToUtf8() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}
Converter& FromUtf8() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

// Length of the UTF-8 sequence that starts with byte b (1 for a stray byte).
size_t Utf8SeqLen(unsigned char b) {
  if (b >= 0xF0 && b <= 0xF4) return 4;
  if (b >= 0xE0) return b <= 0xEF ? 3 : 1;
  if (b >= 0xC2) return 2;
  return 1;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Characters users type (or other programs produce) that CP932 holds under a
// different code point.
char32_t Cp932Twin(char32_t c) {
  switch (c) {
    case 0x2126:
      return 0x03A9;  // OHM SIGN -> GREEK CAPITAL OMEGA
    case 0x00B5:
      return 0x03BC;  // MICRO SIGN -> GREEK SMALL MU
    case 0x301C:
      return 0xFF5E;  // WAVE DASH -> FULLWIDTH TILDE
    case 0x2016:
      return 0x2225;  // DOUBLE VERTICAL LINE -> PARALLEL TO
    case 0x2212:
      return 0xFF0D;  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    case 0x00A2:
      return 0xFFE0;  // CENT SIGN
    case 0x00A3:
      return 0xFFE1;  // POUND SIGN
    case 0x00AC:
      return 0xFFE2;  // NOT SIGN
    case 0x2014:
      return 0x2015;  // EM DASH -> HORIZONTAL BAR
    case 0x00A6:
      return 0xFFE4;  // BROKEN BAR
    default:
      return c;
  }
}

// Rewrites twins in UTF-8 text; malformed sequences are left for iconv to flag.
std::string MapTwins(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    unsigned char b = static_cast<unsigned char>(in[i]);
    size_t len = Utf8SeqLen(b);
    if (len == 1 || i + len > in.size()) {
      out += in[i++];
      continue;
    }
    char32_t c = b & (0xFF >> (len + 1));
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(in[i + k]);
      if ((t & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (t & 0x3F);
    }
    if (!ok) {
      out += in[i++];
      continue;
    }
    char32_t twin = Cp932Twin(c);
    if (twin != c) {
      AppendUtf8(out, twin);
    } else {
      out.append(in.substr(i, len));
    }
    i += len;
  }
  return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  return ToUtf8().Run(cp932, [](std::string& out, size_t pos) {
    out += kReplacementUtf8;
    return pos + 1;
  });
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string mapped = MapTwins(utf8);
  std::string_view in(mapped);
  return FromUtf8().Run(in, [in](std::string& out, size_t pos) {
    out += '?';
    size_t len = Utf8SeqLen(static_cast<unsigned char>(in[pos]));
    // Skip a whole well-formed character; a malformed one byte by byte.
    if (pos + len > in.size()) return pos + 1;
    for (size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(in[pos + k]) & 0xC0) != 0x80) return pos + 1;
    }
    return pos + len;
  });
}

std::string Utf16ToCp932(std::u16string_view utf16) {
  std::string utf8;
  utf8.reserve(utf16.size() * 3);
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(utf8, c);
  }
  return Utf8ToCp932(utf8);
}

}  // namespace qv
