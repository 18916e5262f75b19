// Shift-JIS (CP932) <-> UTF-8 conversion at the edges of the core.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "data/codec.h"

namespace qv {
namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b)
    s += static_cast<char>(c);
  return s;
}

struct Pair {
  const char* utf8;
  std::string cp932;
};

// Texts users keep in remarks, with their CP932 bytes from the code page table.
std::vector<Pair> KnownPairs() {
  return {
      {"ABC xyz 0123 ~\\", "ABC xyz 0123 ~\\"},
      {"ＡＢＣｘｙｚ０１２", Bytes({0x82, 0x60, 0x82, 0x61, 0x82, 0x62, 0x82, 0x98, 0x82, 0x99,
                                    0x82, 0x9A, 0x82, 0x4F, 0x82, 0x50, 0x82, 0x51})},
      {"ｱｲｳｴｵﾊﾞｰﾁｬﾙ", Bytes({0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xCA, 0xDE, 0xB0, 0xC1, 0xAC, 0xD9})},
      {"①Ⅰ㈱", Bytes({0x87, 0x40, 0x87, 0x54, 0x87, 0x8A})},  // NEC special characters
      {"ⅰ￤﨑髙", Bytes({0xFA, 0x40, 0xFA, 0x55, 0xFA, 0xB1, 0xFB, 0xFC})},  // IBM extensions
      {"Ω", Bytes({0x83, 0xB6})},
      {"～", Bytes({0x81, 0x60})},
      {"内部抵抗", Bytes({0x93, 0xE0, 0x95, 0x94, 0x92, 0xEF, 0x8D, 0x52})},
      {"データ", Bytes({0x83, 0x66, 0x81, 0x5B, 0x83, 0x5E})},
  };
}

TEST(Codec, KnownTextsConvertBothWays) {
  for (const Pair& p : KnownPairs()) {
    EXPECT_EQ(Utf8ToCp932(p.utf8), p.cp932) << p.utf8;
    EXPECT_EQ(Cp932ToUtf8(p.cp932), p.utf8) << p.utf8;
  }
}

TEST(Codec, EveryCharacterOfTheExtensionsRoundTrips) {
  // Rows 0x87 (NEC special characters) and 0xFA-0xFC (IBM extensions): every
  // byte pair that decodes to a character comes back as the same bytes, or,
  // for the few characters the code page holds twice (such as the NEC and
  // IBM Roman numerals), as the code page's preferred bytes of the same
  // character.
  int checked = 0, exact = 0;
  for (int lead : {0x87, 0xFA, 0xFB, 0xFC}) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string cp = Bytes({lead, trail});
      const std::string u = Cp932ToUtf8(cp);
      if (u.find("\xEF\xBF\xBD") != std::string::npos) continue;  // unassigned
      const std::string back = Utf8ToCp932(u);
      EXPECT_EQ(Cp932ToUtf8(back), u) << std::hex << lead << " " << trail;
      EXPECT_EQ(back.size(), 2u);
      ++checked;
      exact += back == cp;
    }
  }
  EXPECT_GT(checked, 450);
  EXPECT_GT(exact, checked - 30);
}

TEST(Codec, InvalidBytesBecomeReplacementCharacters) {
  // A lone trail byte, an undefined single byte and a lone lead byte at the end.
  EXPECT_EQ(Cp932ToUtf8(Bytes({'a', 0x82})), "a\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8(Bytes({0x82})), "\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8(Bytes({0xA0, 'b'})),
            "\xEF\xBF\xBD"
            "b");
  // A lead byte followed by a byte that cannot trail it: nothing is lost after.
  std::string u = Cp932ToUtf8(Bytes({0x82, 0x0A, 'x', 'y'}));
  EXPECT_NE(u.find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_EQ(u.substr(u.size() - 2), "xy");
  EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Codec, ArbitraryBytesNeverFailAndGiveValidUtf8) {
  std::string all;
  for (int i = 0; i < 256; ++i)
    for (int j = 0; j < 256; j += 7)
      all += Bytes({i, j});
  std::string u = Cp932ToUtf8(all);
  // Valid UTF-8: converting it back never produces a replacement from a
  // malformed sequence, only from characters CP932 lacks.
  size_t i = 0;
  while (i < u.size()) {
    unsigned char b = static_cast<unsigned char>(u[i]);
    size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    ASSERT_GE(b < 0x80 ? 0xC2 : b, 0xC2) << i;
    ASSERT_LE(i + len, u.size());
    for (size_t k = 1; k < len; ++k)
      ASSERT_EQ(static_cast<unsigned char>(u[i + k]) & 0xC0, 0x80);
    i += len;
  }
}

TEST(Codec, TypedLookAlikesMapToTheirCp932Twins) {
  EXPECT_EQ(Utf8ToCp932("\u2126"), Bytes({0x83, 0xB6}));  // Ohm sign -> Omega
  EXPECT_EQ(Utf8ToCp932("\u00B5"), Bytes({0x83, 0xCA}));  // micro sign -> mu
  EXPECT_EQ(Utf8ToCp932("\u301C"), Bytes({0x81, 0x60}));  // wave dash -> full-width tilde
  EXPECT_EQ(Utf8ToCp932("\u00A6"), Bytes({0xFA, 0x55}));  // broken bar
  EXPECT_EQ(Utf8ToCp932("25m\u2126"), "25m" + Bytes({0x83, 0xB6}));
  // And they read back as the CP932 characters.
  EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932("\u2126\u00B5\u301C")), "Ω\u03BC～");
}

TEST(Codec, UnmappableCharactersAreReplacedVisiblyNeverDropped) {
  EXPECT_EQ(Utf8ToCp932("a\u00E9b"), "a?b");      // e acute
  EXPECT_EQ(Utf8ToCp932("x\U0001F600y"), "x?y");  // emoji: one mark
  EXPECT_EQ(Utf8ToCp932("\u4E02\u4E02"), "??");   // CJK outside JIS
  EXPECT_EQ(Utf8ToCp932(std::string("a\xFF"
                                    "b")),
            "a?b");                                         // malformed UTF-8
  EXPECT_EQ(Utf8ToCp932(std::string("a\xE3\x81")), "a??");  // cut sequence
  EXPECT_EQ(Utf8ToCp932(""), "");
}

TEST(Codec, Utf16UnitsConvertToCp932) {
  EXPECT_EQ(Utf16ToCp932(u"Ab内部"), "Ab" + Bytes({0x93, 0xE0, 0x95, 0x94}));
  EXPECT_EQ(Utf16ToCp932(u"\u2126"), Bytes({0x83, 0xB6}));
  // A lone surrogate is replaced, not dropped.
  std::u16string lone = u"a";
  lone += static_cast<char16_t>(0xD800);
  lone += u"b";
  EXPECT_EQ(Utf16ToCp932(lone), "a?b");
}

TEST(Codec, LongTextsConvertWhole) {
  std::string cp;
  for (int i = 0; i < 5000; ++i)
    cp += Bytes({0x83, 0x66, 'x'});
  std::string u = Cp932ToUtf8(cp);
  EXPECT_EQ(u.size(), 5000u * 4);
  EXPECT_EQ(Utf8ToCp932(u), cp);
}

TEST(Codec, ConvertersWorkFromSeveralThreads) {
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &ok] {
      int good = 0;
      for (int i = 0; i < 500; ++i)
        good += Cp932ToUtf8(Utf8ToCp932("内部抵抗Ω～")) == "内部抵抗Ω～";
      ok[static_cast<size_t>(t)] = good;
    });
  }
  for (auto& th : threads)
    th.join();
  for (int v : ok)
    EXPECT_EQ(v, 500);
}

TEST(Codec, SjGivesTheCp932BytesOfAMessage) {
  EXPECT_EQ(Sj("データ"), Bytes({0x83, 0x66, 0x81, 0x5B, 0x83, 0x5E}));
}

}  // namespace
}  // namespace qv
