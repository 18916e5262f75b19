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
  RegistrationId id;
  size_t pos = 0;
  for (size_t i = 0; i < 3; ++i) {
    const size_t end = i < 2 ? text.find('-', pos) : text.size();
    if (end == std::string_view::npos || end == pos || end - pos > 3) return std::nullopt;
    int32_t v = 0;
    for (size_t k = pos; k < end; ++k) {
      if (text[k] < '0' || text[k] > '9') return std::nullopt;
      v = v * 10 + (text[k] - '0');
    }
    if (v < 1 || v > 999) return std::nullopt;
    id.parts[i] = v;
    pos = end + 1;
  }
  return id;
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
