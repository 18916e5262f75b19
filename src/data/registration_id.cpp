#include "data/registration_id.h"

#include "core/numtext.h"
#include "data/codec.h"
#include "data/text_format.h"

namespace qv {

int32_t RegistrationId::FieldValue(std::string_view field) {
  return AtoI(field);
}

std::optional<RegistrationId> RegistrationId::FromFields(const std::array<std::string, 3>& fields) {
  const RegistrationId id{FieldValue(fields[0]), FieldValue(fields[1]), FieldValue(fields[2])};
  if (!id.IsValid()) return std::nullopt;
  return id;
}

std::optional<RegistrationId> RegistrationId::Parse(std::string_view text) {
  std::array<int32_t, 3> parts{};
  size_t pos = 0;
  for (size_t i = 0; i < 3; ++i) {
    const size_t end = i < 2 ? text.find('-', pos) : text.size();
    if (end == std::string_view::npos || end == pos || end - pos > kFieldChars) return std::nullopt;
    int32_t v = 0;
    for (size_t k = pos; k < end; ++k) {
      if (text[k] < '0' || text[k] > '9') return std::nullopt;
      v = v * 10 + (text[k] - '0');
    }
    if (!PartValid(v)) return std::nullopt;
    parts[i] = v;
    pos = end + 1;
  }
  return RegistrationId{parts[0], parts[1], parts[2]};
}

int64_t RegistrationId::Key() const {
  return int64_t{p1} * 1000000 + int64_t{p2} * 1000 + p3;
}

std::string RegistrationId::Text() const {
  return Format("%03d-%03d-%03d", p1, p2, p3);
}

std::array<std::string, 3> RegistrationId::FieldTexts() const {
  return {Format("%03d", p1), Format("%03d", p2), Format("%03d", p3)};
}

std::string IdRefusalText() {
  return Sj(
      "ID欄が未記入であるか、不正な値があります。\n"
      "各ID欄にはそれぞれ1～999の値を設定してください。");
}

}  // namespace qv
