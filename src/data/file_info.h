// The file information dialog ("編集中のファイル情報"): which data file the
// document belongs to, its format version and the file's times.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "core/app_state.h"

namespace qv {

struct FileInfoTexts {
  std::string name;      // file system bytes; empty before any open or save
  std::string path;      // file system bytes
  std::string version;   // "101", "101b", "100", "100b" or empty
  std::string created;   // CP932; empty when the file or its birth time is unknown
  std::string modified;  // CP932; empty when the file cannot be read
};

// The five texts of the dialog for the document's current file.
FileInfoTexts GetFileInfo(const CAppState& app);

// "%Y年 %m月 %d日 %a %H:%M:%S" of `t` in local time, with the C locale
// whatever the process locale is (so %a is "Wed"). CP932.
std::string FormatFileTime(std::time_t t);

// Creation (birth) and last-write times of a file. Creation time is absent
// where the file system does not keep one; both are absent when the file
// cannot be read.
struct FileTimes {
  std::optional<std::time_t> created;
  std::optional<std::time_t> modified;
};
FileTimes ReadFileTimes(const std::string& path);

// The program's version text for the about box ("1.0.0"), from the build.
std::string ProgramVersionText();

}  // namespace qv
