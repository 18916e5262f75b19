#include "data/file_info.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>

#include "data/codec.h"

namespace qv {

std::string FormatFileTime(std::time_t t) {
  struct tm lt {};
  if (!localtime_r(&t, &lt)) return {};
  static const std::string kFormat = Sj("%Y年 %m月 %d日 %a %H:%M:%S");
  locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (!c) return {};
  char buf[128];
  size_t n = strftime_l(buf, sizeof buf, kFormat.c_str(), &lt, c);
  freelocale(c);
  return std::string(buf, n);
}

FileTimes ReadFileTimes(const std::string& path) {
  FileTimes out;
  if (path.empty()) return out;
  struct statx sx {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return out;
  if (sx.stx_mask & STATX_MTIME) out.modified = static_cast<std::time_t>(sx.stx_mtime.tv_sec);
  if (sx.stx_mask & STATX_BTIME) out.created = static_cast<std::time_t>(sx.stx_btime.tv_sec);
  return out;
}

FileInfoTexts GetFileInfo(const CAppState& app) {
  FileInfoTexts info;
  info.name = app.fileName;
  info.path = app.filePath;
  info.version = app.fileVersion;
  FileTimes times = ReadFileTimes(app.filePath);
  if (times.created) info.created = FormatFileTime(*times.created);
  if (times.modified) info.modified = FormatFileTime(*times.modified);
  return info;
}

std::string ProgramVersionText() {
#ifdef QV_VERSION_TEXT
  return QV_VERSION_TEXT;
#else
  return {};
#endif
}

}  // namespace qv
