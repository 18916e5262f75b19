// The registration ID: the "P1-P2-P3" text every quorvex-cli command takes,
// the three typed fields of the dialogs, the key and the texts.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "data/codec.h"
#include "data/registration_id.h"

namespace qv {
namespace {

TEST(RegistrationId, TextTakesThreePartsOfOneToThreeDigitsEachOneTo999) {
  struct Case {
    const char* text;
    std::optional<RegistrationId> id;
  };
  const Case cases[] = {
      {"1-2-3", RegistrationId{1, 2, 3}},
      {"001-002-003", RegistrationId{1, 2, 3}},
      {"999-999-999", RegistrationId{999, 999, 999}},
      {"010-5-99", RegistrationId{10, 5, 99}},
      {"0-1-1", std::nullopt},     // a part of 0
      {"1-1000-1", std::nullopt},  // four digits
      {"0001-1-1", std::nullopt},  // four digits, even with the value in range
      {"1-2", std::nullopt},
      {"1-2-3-4", std::nullopt},
      {"1--3", std::nullopt},
      {"-1-2-3", std::nullopt},
      {"1-2-", std::nullopt},
      {"1-+2-3", std::nullopt},
      {" 1-2-3", std::nullopt},
      {"1-2-3 ", std::nullopt},
      {"a-b-c", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RegistrationId::Parse(c.text), c.id) << c.text;
}

// The dialogs read each field as a number up to its first other character,
// so a field the text parser would refuse may still give a part.
TEST(RegistrationId, FieldsGiveAnIdOnlyWhenEveryPartIsOneTo999) {
  using Fields = std::array<std::string, 3>;
  struct Case {
    Fields fields;
    std::optional<RegistrationId> id;
  };
  const Case cases[] = {
      {{"1", "2", "3"}, RegistrationId{1, 2, 3}},
      {{"001", "999", "010"}, RegistrationId{1, 999, 10}},
      {{" 12", "+5", "7x"}, RegistrationId{12, 5, 7}},
      {{"", "1", "1"}, std::nullopt},
      {{"1", "0", "1"}, std::nullopt},
      {{"1", "1", "1000"}, std::nullopt},
      {{"-1", "1", "1"}, std::nullopt},
      {{"1", Sj("１"), "1"}, std::nullopt},  // a full-width digit reads as 0
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegistrationId::FromFields(c.fields), c.id)
        << c.fields[0] << "|" << c.fields[1] << "|" << c.fields[2];
  }
  EXPECT_EQ(RegistrationId::FieldValue("42abc"), 42);
  EXPECT_EQ(RegistrationId::FieldValue(""), 0);
}

TEST(RegistrationId, KeysOrderIdsAsTheRegistrationListDoes) {
  EXPECT_EQ(RegistrationId::Parse("1-2-3")->Key(), 1002003);
  EXPECT_LT(RegistrationId::Parse("1-999-999")->Key(), RegistrationId::Parse("2-1-1")->Key());
  EXPECT_EQ(*RegistrationId::Parse("007-7-07"), (RegistrationId{7, 7, 7}));
  // Exact also for parts no valid ID has (read from a damaged file or typed
  // into the settings by hand).
  EXPECT_EQ((RegistrationId{5000, 0, 0}).Key(), 5000000000);
  EXPECT_EQ((RegistrationId{-1, 2, 3}).Key(), -1000000 + 2003);
}

TEST(RegistrationId, TextsAndStatesOfSetUnsetAndInvalidParts) {
  struct Case {
    RegistrationId id;
    const char* text;
    bool set, valid;
  };
  const Case cases[] = {
      {{1, 2, 3}, "001-002-003", true, true},
      {{999, 10, 100}, "999-010-100", true, true},
      {{}, "-01--01--01", false, false},  // the current measurement's
      {{0, 1, 1000}, "000-001-1000", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.id.Text(), c.text);
    EXPECT_EQ(c.id.IsSet(), c.set) << c.text;
    EXPECT_EQ(c.id.IsValid(), c.valid) << c.text;
  }
  EXPECT_EQ((RegistrationId{1, 20, 300}).FieldTexts(),
            (std::array<std::string, 3>{"001", "020", "300"}));
}

}  // namespace
}  // namespace qv
