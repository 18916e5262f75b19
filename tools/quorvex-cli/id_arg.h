// Registration IDs on the command line, for every command that takes one:
// "P1-P2-P3", each part one to three decimal digits with a value 1 to 999
// ("1-2-3" and "001-002-003" name the same ID). One parser, one refusal text
// and one exit code for all of them.
#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "data/codec.h"
#include "output/csv_export.h"

namespace qv::cli {

// The exit code of a command given an ID that is not of that form.
inline constexpr int kExitBadId = 3;

struct RegistrationId {
  std::array<int32_t, 3> parts{};
  // part1 × 1,000,000 + part2 × 1,000 + part3, the order of IDs.
  uint32_t Key() const { return *IdKeyOfParts(parts[0], parts[1], parts[2]); }
  bool Names(int32_t id1, int32_t id2, int32_t id3) const {
    return parts[0] == id1 && parts[1] == id2 && parts[2] == id3;
  }
};

// The ID `text` names, or nothing when it is not of the form above.
inline std::optional<RegistrationId> ParseRegistrationId(std::string_view text) {
  const std::optional<std::array<int32_t, 3>> parts = IdPartsOfText(text);
  if (!parts) return std::nullopt;
  return RegistrationId{*parts};
}

// ParseRegistrationId for a command's option. A text not of the form gets
// the refusal on stderr ("ID欄が未記入であるか、不正な値があります。…", the
// export dialog's words) and nothing is returned: the command then exits
// with kExitBadId.
inline std::optional<RegistrationId> IdArgument(std::string_view text) {
  std::optional<RegistrationId> id = ParseRegistrationId(text);
  if (!id) std::cerr << Cp932ToUtf8(CsvIdRangeText()) << "\n";
  return id;
}

}  // namespace qv::cli
