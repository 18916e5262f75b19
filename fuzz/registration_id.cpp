// Feeds arbitrary text to the command-line registration ID parser: it must
// never crash or read past the text; every ID it accepts has three parts of
// 1 to 999, and their canonical text "%03d-%03d-%03d" names the same ID.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "quorvex-cli/id_arg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<qv::cli::RegistrationId> id = qv::cli::ParseRegistrationId(text);
  if (!id) return 0;
  if (text.size() > 11) __builtin_trap();
  for (int32_t part : id->parts)
    if (part < 1 || part > 999) __builtin_trap();
  char canonical[16];
  std::snprintf(canonical, sizeof canonical, "%03d-%03d-%03d", id->parts[0], id->parts[1],
                id->parts[2]);
  const std::optional<qv::cli::RegistrationId> again = qv::cli::ParseRegistrationId(canonical);
  if (!again || again->Key() != id->Key()) __builtin_trap();
  return 0;
}
