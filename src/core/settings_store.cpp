#include "core/settings_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "core/numtext.h"
#include "core/safe_file.h"

namespace qv {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

struct Line {
  std::string_view text;  // without the line end
  std::string_view end;   // "\n", "\r\n" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view file) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < file.size()) {
    size_t nl = file.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines.push_back({file.substr(pos), {}});
      break;
    }
    size_t textEnd = nl;
    if (textEnd > pos && file[textEnd - 1] == '\r') --textEnd;
    lines.push_back({file.substr(pos, textEnd - pos), file.substr(textEnd, nl + 1 - textEnd)});
    pos = nl + 1;
  }
  return lines;
}

// "[name]" -> name; false for other lines.
bool SectionName(std::string_view line, std::string_view& name) {
  std::string_view t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// "key = value" -> key, value (both trimmed); false without '='.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

}  // namespace

CSettingsStore::CSettingsStore(std::string directory, std::string fileName, std::string section)
    : fileName_(std::move(fileName)), section_(std::move(section)) {
  SetDirectory(std::move(directory));
}

void CSettingsStore::SetDirectory(std::string directory) {
  if (!directory.empty() && directory.back() != '/') directory += '/';
  directory_ = std::move(directory);
}

std::string CSettingsStore::Get(std::string_view key) const {
  return Find(key).value_or(std::string());
}

std::optional<std::string> CSettingsStore::Find(std::string_view key) const {
  std::string file;
  if (!ReadWholeFile(Path(), file)) return std::nullopt;
  bool inSection = false;
  for (const Line& line : SplitLines(file)) {
    std::string_view name, k, v;
    if (SectionName(line.text, name)) {
      inSection = EqualsNoCase(name, section_);
      continue;
    }
    if (!inSection || !KeyValue(line.text, k, v) || !EqualsNoCase(k, Trim(key))) continue;
    // A value in matching quotes loses them, as the profile functions do.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
      v = v.substr(1, v.size() - 2);
    }
    if (v.size() > kMaxValueBytes) v = v.substr(0, kMaxValueBytes);
    return std::string(v);
  }
  return std::nullopt;
}

bool CSettingsStore::Set(std::string_view key, std::string_view value) {
  return SetMany({{std::string(key), std::string(value)}});
}

// Check, read, edit line by line, write: one rewrite of the file, which
// reads best in one piece.
bool CSettingsStore::SetMany(const std::vector<std::pair<std::string, std::string>>& entries) {
  // A key that could not be read back as the same key is refused.
  for (const auto& e : entries) {
    std::string_view key = Trim(e.first);
    if (key.empty() || key.front() == '[' || key.front() == ';' ||
        key.find_first_of("=\r\n") != std::string_view::npos) {
      return false;
    }
  }
  // Write through a symbolic link to the file it names, not over the link.
  std::string path = Path();
  if (char* real = realpath(path.c_str(), nullptr)) {
    path = real;
    std::free(real);
  }
  std::string file;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    // A write-protected settings file stays as it is (the start-up probe
    // reports it), and one that cannot be read is never replaced by a file
    // holding only these keys. The permission bits count too: access()
    // grants every file to root, but a read-only file stays read-only for
    // every user.
    constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;
    if ((st.st_mode & kAnyWrite) == 0 || access(path.c_str(), W_OK) != 0 ||
        !ReadWholeFile(path, file)) {
      return false;
    }
  } else if (errno != ENOENT) {
    return false;
  }
  // A file whose lines end in a bare LF keeps them; a new file gets CR LF.
  const size_t firstEnd = file.find('\n');
  const std::string eol =
      firstEnd != std::string::npos && (firstEnd == 0 || file[firstEnd - 1] != '\r') ? "\n"
                                                                                     : "\r\n";

  struct OutLine {
    std::string text, end;
  };
  std::vector<OutLine> lines;
  for (const Line& l : SplitLines(file))
    lines.push_back({std::string(l.text), std::string(l.end)});
  if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;

  for (const auto& e : entries) {
    std::string_view key = Trim(e.first);
    std::string entry = std::string(key) + "=" + e.second;
    for (char& c : entry) {
      if (c == '\r' || c == '\n') c = ' ';  // a value cannot span lines
    }
    // Find the section, then the key inside it.
    size_t section = lines.size(), sectionEnd = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string_view name;
      if (!SectionName(lines[i].text, name)) continue;
      if (section == lines.size()) {
        if (EqualsNoCase(name, section_)) section = i;
      } else {
        sectionEnd = i;
        break;
      }
    }
    if (section == lines.size()) {
      lines.push_back({"[" + section_ + "]", eol});
      lines.push_back({entry, eol});
      continue;
    }
    size_t insertAt = section + 1;
    bool replaced = false;
    for (size_t i = section + 1; i < sectionEnd; ++i) {
      std::string_view k, v;
      if (KeyValue(lines[i].text, k, v) && EqualsNoCase(k, key)) {
        lines[i].text = entry;
        replaced = true;
        break;
      }
      if (!Trim(lines[i].text).empty()) insertAt = i + 1;
    }
    if (!replaced) lines.insert(lines.begin() + static_cast<long>(insertAt), {entry, eol});
  }

  std::string out;
  out.reserve(file.size() + 64 * entries.size());
  for (const OutLine& l : lines)
    out += l.text + l.end;
  // Settings are rewritten often (a preset list is many keys): the rename
  // keeps the file whole without the cost of flushing it to disk each time.
  return WriteFileAtomically(path, out, WriteSync::kAtomicOnly).ok;
}

int CSettingsStore::GetInt(std::string_view key) const {
  return AtoI(Get(key));
}
double CSettingsStore::GetDouble(std::string_view key) const {
  return AtoF(Get(key));
}
bool CSettingsStore::SetInt(std::string_view key, long long v) {
  return Set(key, IntText(v));
}
bool CSettingsStore::SetValue(const keys::RealKey& key, double value, int decimals) {
  return Set(key, FixedText(value, decimals));
}

std::string CurrentDirectory() {
  std::string buf(PATH_MAX, '\0');
  if (!getcwd(buf.data(), buf.size())) return "./";
  buf.resize(buf.find('\0'));
  if (buf.empty() || buf.back() != '/') buf += '/';
  return buf;
}

}  // namespace qv
