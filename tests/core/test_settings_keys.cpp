// The table of the keys of "Dis.ini": what holds for every key, how a stored
// text is read, and how the typed accessors of the store write.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <type_traits>
#include <variant>

#include "core/settings_keys.h"
#include "core/settings_store.h"
#include "data/codec.h"
#include "support/test_support.h"

namespace qv {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Every key has its own name (the file compares names without regard to
// case), of the letters the file's readers expect, and keeps its own
// missing and first values inside the range it is read into.
TEST(SettingsKeys, EveryKeyHasItsOwnNameAndValuesItsReaderKeeps) {
  std::set<std::string> seen;
  for (const keys::AnyKey& key : keys::kTable) {
    const std::string_view name = keys::NameOf(key);
    ASSERT_FALSE(name.empty());
    for (char c : name)
      EXPECT_TRUE(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(c) || c == '_')
          << name;
    EXPECT_TRUE(seen.insert(Upper(name)).second) << name << " is in the table twice";
    if (const auto* k = std::get_if<const keys::IntKey*>(&key)) {
      const keys::IntKey& i = **k;
      EXPECT_LE(i.min, i.max) << name;
      EXPECT_EQ(i.Clamp(i.missing), i.missing) << name;
      if (i.first) {
        EXPECT_EQ(i.Clamp(*i.first), *i.first) << name;
      }
    }
  }
}

// A new file's text of each key reads back as the key's first value.
TEST(SettingsKeys, EveryFirstValueReadsBackFromItsText) {
  for (const keys::AnyKey& key : keys::kTable) {
    const std::optional<std::string> text = keys::FirstText(key);
    std::visit(
        [&](const auto* k) {
          using Key = std::decay_t<decltype(*k)>;
          if constexpr (std::is_same_v<Key, keys::TextKey>) {
            EXPECT_FALSE(text) << k->name;
          } else {
            ASSERT_EQ(text.has_value(), k->first.has_value()) << k->name;
            if (!text) return;
            EXPECT_EQ(k->From(*text), *k->first) << k->name << "=" << *text;
          }
        },
        key);
  }
}

// How stored texts are read: the clamps and missing values the program
// relies on, atoi and atof style (leading number, 0 for empty).
TEST(SettingsKeys, StoredTextsReadAsTheTableSays) {
  struct IntCase {
    const keys::IntKey& key;
    const char* text;
    int value;
  };
  const IntCase ints[] = {
      {keys::kComRetryC2, "45", 30},
      {keys::kComRetryC2, "0", 5},
      {keys::kComRetryC2, "abc", 5},
      {keys::kComRetryC2, "", 5},
      {keys::kComRetryC2, "12abc", 12},
      {keys::kComTimeoutMs, "20000", 10000},
      {keys::kComTimeoutMs, "1", 1},
      {keys::kComTimeoutMs, "-4", 1500},
      {keys::kDefV1Point, "3650", 3600},
      {keys::kDefV1Point, "99", 0},
      {keys::kDefV1Point, "250", 200},
      {keys::kPrintGraphCX, "-1", 2},
      {keys::kPrintGraphCX, "0", 2},
      {keys::kPrintGraphCY, "", 3},
      {keys::kPrintGraphCY, "4", 4},
      {keys::kPrintTableLine, "0", 2},
      {keys::kComPort, "", 0},
      {keys::kComPort, "-3", -3},
      {keys::kPrintIdStart[0], "007", 7},
      {keys::kBackupMode, "2", 2},
  };
  for (const IntCase& c : ints)
    EXPECT_EQ(c.key.From(c.text), c.value) << c.key.name << "=" << c.text;

  struct SwitchCase {
    const keys::SwitchKey& key;
    const char* text;
    bool on;
  };
  const SwitchCase switches[] = {
      {keys::kGraphGrid, "0", false},     {keys::kGraphGrid, "00", true},
      {keys::kGraphGrid, "", true},       {keys::kGraphGrid, "off", true},
      {keys::kNumberButtons, "1", true},  {keys::kNumberButtons, "-1", false},
      {keys::kNumberButtons, "", false},  {keys::kStartDirect, "-1", true},
      {keys::kStartDirect, "0", false},   {keys::kExportBmpWhite, "2", true},
      {keys::kExportBmpWhite, "", false}, {keys::kViewMoveColumn, "x", false},
  };
  for (const SwitchCase& c : switches)
    EXPECT_EQ(c.key.From(c.text), c.on) << c.key.name << "=" << c.text;

  EXPECT_DOUBLE_EQ(keys::kGraphMaxV.From("12.5V"), 12.5);
  EXPECT_DOUBLE_EQ(keys::kGraphMaxV.From(""), 0.0);
  EXPECT_EQ(keys::kPrintFont.From(""), Sj("ＭＳ ゴシック"));
  EXPECT_EQ(keys::kPrintFont.From("Mono"), "Mono");
  EXPECT_EQ(keys::kFileName.From(""), "");
}

// The typed accessors read the file as the table says and write the texts
// the dialogs have always written.
TEST(SettingsKeys, TheStoreReadsAndWritesTypedValues) {
  test::TempDir dir;
  CSettingsStore s(dir.path(), "Dis.ini");
  EXPECT_EQ(s.Value(keys::kComTimeoutMs), 1500);
  EXPECT_TRUE(s.Value(keys::kGraphGrid));
  EXPECT_EQ(s.Value(keys::kPrintFont), Sj("ＭＳ ゴシック"));
  EXPECT_TRUE(s.SetValue(keys::kComTimeoutMs, 20000));
  EXPECT_TRUE(s.SetValue(keys::kPrintIdStart[1], 7));
  EXPECT_TRUE(s.SetValue(keys::kGraphGrid, false));
  EXPECT_TRUE(s.SetValue(keys::kStartDirect, true));
  EXPECT_TRUE(s.SetValue(keys::kGraphMaxV, 9.5, 2));
  EXPECT_TRUE(s.SetValue(keys::kFileName, "a.qd1"));
  EXPECT_EQ(test::ReadFile(dir.File("Dis.ini")),
            "[QUORVEX]\r\nCOM_TIMEOUT_MS=20000\r\nPRINT_IDSTART2=007\r\nGRAPH_GRID=0\r\n"
            "START_DIRECT=1\r\nGRAPH_MAXV=9.50\r\nFILE=a.qd1\r\n");
  EXPECT_EQ(s.Value(keys::kComTimeoutMs), 10000);
  EXPECT_EQ(s.GetInt(keys::kComTimeoutMs), 20000);  // the stored text, unclamped
  EXPECT_EQ(s.Value(keys::kPrintIdStart[1]), 7);
  EXPECT_FALSE(s.Value(keys::kGraphGrid));
  EXPECT_DOUBLE_EQ(s.Value(keys::kGraphMaxV), 9.5);
  EXPECT_EQ(s.Value(keys::kFileName), "a.qd1");
}

}  // namespace
}  // namespace qv
