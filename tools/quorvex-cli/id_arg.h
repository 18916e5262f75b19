// Registration IDs on the command line, for every command that takes one:
// "P1-P2-P3" as RegistrationId::Parse reads it (data/registration_id.h). One
// parser, one refusal text and one exit code for all of them.
#pragma once

#include <iostream>
#include <optional>
#include <string_view>

#include "data/codec.h"
#include "data/registration_id.h"

namespace qv::cli {

// The exit code of a command given an ID that is not of that form.
inline constexpr int kExitBadId = 3;

// RegistrationId::Parse for a command's option. A text not of the form gets
// IdRefusalText() on stderr (the dialogs' words) and nothing is returned: the
// command then exits with kExitBadId.
inline std::optional<RegistrationId> IdArgument(std::string_view text) {
  std::optional<RegistrationId> id = RegistrationId::Parse(text);
  if (!id) std::cerr << Cp932ToUtf8(IdRefusalText()) << "\n";
  return id;
}

}  // namespace qv::cli
