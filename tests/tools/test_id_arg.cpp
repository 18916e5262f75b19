// The registration ID parser every quorvex-cli command shares.
#include <gtest/gtest.h>

#include "quorvex-cli/id_arg.h"

namespace qv::cli {
namespace {

TEST(IdArgument, TakesThreePartsOfOneToThreeDigitsEachOneTo999) {
  struct Case {
    const char* text;
    std::optional<std::array<int32_t, 3>> parts;
  };
  const Case cases[] = {
      {"1-2-3", std::array<int32_t, 3>{1, 2, 3}},
      {"001-002-003", std::array<int32_t, 3>{1, 2, 3}},
      {"999-999-999", std::array<int32_t, 3>{999, 999, 999}},
      {"010-5-99", std::array<int32_t, 3>{10, 5, 99}},
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
  for (const Case& c : cases) {
    const std::optional<RegistrationId> id = ParseRegistrationId(c.text);
    ASSERT_EQ(id.has_value(), c.parts.has_value()) << c.text;
    if (id) {
      EXPECT_EQ(id->parts, *c.parts) << c.text;
    }
  }
}

TEST(IdArgument, KeysOrderIdsAsTheRegistrationListDoes) {
  EXPECT_EQ(ParseRegistrationId("1-2-3")->Key(), 1002003u);
  EXPECT_LT(ParseRegistrationId("1-999-999")->Key(), ParseRegistrationId("2-1-1")->Key());
  EXPECT_TRUE(ParseRegistrationId("007-7-07")->Names(7, 7, 7));
}

}  // namespace
}  // namespace qv::cli
