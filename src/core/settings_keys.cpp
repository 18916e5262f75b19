#include "core/settings_keys.h"

#include <cstdio>

#include "core/numtext.h"

namespace qv::keys {

int IntKey::Clamp(int value) const {
  if (step > 1) value = value / step * step;
  if (value < min) return missing;
  if (value > max) return max;
  return value;
}

int IntKey::From(std::string_view text) const {
  return Clamp(AtoI(text));
}

std::string IntKey::Text(int value) const {
  if (digits <= 0) return IntText(value);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d", digits, value);
  return buf;
}

double RealKey::From(std::string_view text) const {
  return AtoF(text);
}

bool SwitchKey::From(std::string_view text) const {
  switch (on) {
    case SwitchRule::kPositive:
      return AtoI(text) > 0;
    case SwitchRule::kNonZero:
      return AtoI(text) != 0;
    case SwitchRule::kUnlessZeroText:
      return text != "0";
  }
  return false;
}

std::string TextKey::From(std::string_view text) const {
  return std::string(text.empty() ? missing : text);
}

std::string_view NameOf(const AnyKey& key) {
  return std::visit([](const auto* k) { return k->name; }, key);
}

std::optional<std::string> FirstText(const AnyKey& key) {
  struct First {
    std::optional<std::string> operator()(const IntKey* k) const {
      if (!k->first) return std::nullopt;
      return k->Text(*k->first);
    }
    std::optional<std::string> operator()(const RealKey* k) const {
      if (!k->first) return std::nullopt;
      return FixedText(*k->first, 1);
    }
    std::optional<std::string> operator()(const SwitchKey* k) const {
      if (!k->first) return std::nullopt;
      return k->Text(*k->first);
    }
    std::optional<std::string> operator()(const TextKey*) const { return std::nullopt; }
  };
  return std::visit(First{}, key);
}

}  // namespace qv::keys
