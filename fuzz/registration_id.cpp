// Feeds arbitrary text to the registration ID parsers: neither may crash or
// read past the text. Every ID the "P1-P2-P3" parser accepts has three parts
// of 1 to 999, its text "%03d-%03d-%03d" names the same ID, and its parts as
// three typed fields give it too. Whatever three fields hold, an ID read from
// them is valid, its key lies in the valid range and its text parses back to it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/registration_id.h"

namespace {

void CheckParse(std::string_view text) {
  const std::optional<qv::RegistrationId> id = qv::RegistrationId::Parse(text);
  if (!id) return;
  if (text.size() > 11 || !id->IsValid()) __builtin_trap();
  const std::optional<qv::RegistrationId> again = qv::RegistrationId::Parse(id->Text());
  if (!again || *again != *id || again->Key() != id->Key()) __builtin_trap();
  // The parts between the dashes, as typed into the three fields.
  const size_t a = text.find('-');
  const size_t b = text.find('-', a + 1);
  const std::array<std::string, 3> fields = {std::string(text.substr(0, a)),
                                             std::string(text.substr(a + 1, b - a - 1)),
                                             std::string(text.substr(b + 1))};
  const std::optional<qv::RegistrationId> typed = qv::RegistrationId::FromFields(fields);
  if (!typed || *typed != *id) __builtin_trap();
}

// The input cut into three fields at its first two NUL bytes.
void CheckFields(std::string_view text) {
  std::array<std::string, 3> fields;
  size_t pos = 0;
  for (size_t i = 0; i < 3; ++i) {
    const size_t end = i < 2 ? text.find('\0', pos) : std::string_view::npos;
    fields[i] = std::string(text.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  const std::optional<qv::RegistrationId> id = qv::RegistrationId::FromFields(fields);
  if (!id) return;
  if (!id->IsValid() || id->Key() < 1001001 || id->Key() > 999999999) __builtin_trap();
  const std::optional<qv::RegistrationId> parsed = qv::RegistrationId::Parse(id->Text());
  if (!parsed || *parsed != *id) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckParse(text);
  CheckFields(text);
  return 0;
}
