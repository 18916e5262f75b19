// The private-profile settings file: KEY=value lines under [SECTION] headers,
// Shift-JIS text. Every Get reads the file; every Set rewrites it at once
// (through a temporary file renamed over it, so a crash never leaves half a
// settings file). Every key of "Dis.ini" and how it is read is in
// settings_keys.h; Value and SetValue take those keys.
// Other sections, keys, comments and line ends are kept as they were; a new
// file gets CR LF line ends, as the private-profile functions write them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/settings_keys.h"

namespace qv {

class CSettingsStore {
 public:
  static constexpr size_t kMaxValueBytes = 1023;

  CSettingsStore() = default;
  CSettingsStore(std::string directory, std::string fileName, std::string section = "QUORVEX");

  // The folder gets a trailing '/' when it has none.
  void SetDirectory(std::string directory);
  const std::string& Directory() const { return directory_; }
  const std::string& FileName() const { return fileName_; }
  const std::string& Section() const { return section_; }
  std::string Path() const { return directory_ + fileName_; }

  // The value (at most 1023 bytes), empty when the file, section or key is
  // missing. Keys and section names are compared without regard to case.
  std::string Get(std::string_view key) const;
  // The value as Get reads it, or nothing when the file, section or key is
  // missing (an empty value is found).
  std::optional<std::string> Find(std::string_view key) const;
  // Writes KEY=value, creating the file or section as needed. Returns false
  // when the file could not be written (callers may ignore it); a file
  // without any write permission bit counts as unwritable also for root.
  bool Set(std::string_view key, std::string_view value);
  // Writes several keys in one rewrite of the file, in order (a later entry
  // for the same key wins). False, writing nothing, when a key is invalid or
  // the file could not be written.
  bool SetMany(const std::vector<std::pair<std::string, std::string>>& entries);

  // The stored text as atoi and atof read it (0 for an empty text); "%d".
  int GetInt(std::string_view key) const;
  double GetDouble(std::string_view key) const;
  bool SetInt(std::string_view key, long long v);

  // A key of the table read as the table says: its missing value, its
  // range (settings_keys.h).
  int Value(const keys::IntKey& key) const { return key.From(Get(key)); }
  double Value(const keys::RealKey& key) const { return key.From(Get(key)); }
  bool Value(const keys::SwitchKey& key) const { return key.From(Get(key)); }
  std::string Value(const keys::TextKey& key) const { return key.From(Get(key)); }
  // Writes a value as the table writes it: integers in decimal (zero-padded
  // where the key says), switches "1" or "0", reals with `decimals`
  // decimals. False as Set.
  bool SetValue(const keys::IntKey& key, int value) { return Set(key, key.Text(value)); }
  bool SetValue(const keys::SwitchKey& key, bool on) { return Set(key, key.Text(on)); }
  bool SetValue(const keys::RealKey& key, double value, int decimals);
  bool SetValue(const keys::TextKey& key, std::string_view value) { return Set(key, value); }

 private:
  std::string directory_;
  std::string fileName_ = "Dis.ini";
  std::string section_ = "QUORVEX";
};

// The process working directory with a trailing '/'.
std::string CurrentDirectory();

}  // namespace qv
