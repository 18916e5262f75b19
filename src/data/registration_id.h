// The registration ID: three parts, each 1 to 999 in a valid ID, written
// "%03d-%03d-%03d" and ordered by their key. Every reader and writer of IDs
// (records, registration, CSV export, printing, matching, the command line)
// goes through this type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

struct RegistrationId {
  static constexpr int32_t kUnset = -1;  // a part of no ID (the current measurement)
  static constexpr int32_t kMinPart = 1;
  static constexpr int32_t kMaxPart = 999;
  static constexpr size_t kFieldChars = 3;  // characters a typed part field takes

  // Parts read from a file are kept as they are, valid or not.
  int32_t p1 = kUnset, p2 = kUnset, p3 = kUnset;

  static bool PartValid(int32_t v) { return v >= kMinPart && v <= kMaxPart; }
  // The value of one typed field (CP932 digits, read as AtoI reads them:
  // leading blanks and a sign, then digits up to the first other character;
  // 0 for an empty field).
  static int32_t FieldValue(std::string_view field);
  // Three typed fields read as FieldValue reads them; nothing when a part is
  // not 1 to 999.
  static std::optional<RegistrationId> FromFields(const std::array<std::string, 3>& fields);
  // "P1-P2-P3", each part one to three decimal digits with a value 1 to 999
  // ("1-2-3" and "001-002-003" name the same ID); nothing for any other text
  // (no blanks, signs or fourth part).
  static std::optional<RegistrationId> Parse(std::string_view text);

  // No part is unset (negative).
  bool IsSet() const { return p1 >= 0 && p2 >= 0 && p3 >= 0; }
  // Every part is 1 to 999.
  bool IsValid() const { return PartValid(p1) && PartValid(p2) && PartValid(p3); }
  // part1 x 1,000,000 + part2 x 1,000 + part3, the order of IDs; exact for
  // any parts (a valid ID gives 1,001,001 to 999,999,999).
  int64_t Key() const;
  // "%03d-%03d-%03d" of the parts as they are.
  std::string Text() const;
  // Each part as "%03d", the form the dialogs store in the settings.
  std::array<std::string, 3> FieldTexts() const;

  bool operator==(const RegistrationId&) const = default;
};

// The refusal of ID fields that are empty or hold a part outside 1 to 999,
// shown by the ID change, the CSV export and the matching and written by the
// command line for a malformed ID (CP932):
// "ID欄が未記入であるか、不正な値があります。\n各ID欄にはそれぞれ1～999の値を設定してください。"
std::string IdRefusalText();

}  // namespace qv
