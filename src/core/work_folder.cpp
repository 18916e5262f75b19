#include "core/work_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qv {
namespace {

bool Absolute(const char* path) {
  return path && path[0] == '/';
}

std::string HomeFolder(const char* home) {
  if (Absolute(home)) return home;
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found && Absolute(pw.pw_dir))
    return pw.pw_dir;
  return {};
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string DesktopWorkFolder(const char* xdgDataHome, const char* home) {
  std::string base;
  if (Absolute(xdgDataHome)) {
    base = xdgDataHome;
  } else {
    const std::string h = HomeFolder(home);
    if (h.empty()) return {};
    base = h + (h.back() == '/' ? "" : "/") + ".local/share";
  }
  while (base.size() > 1 && base.back() == '/')
    base.pop_back();
  return base + (base == "/" ? "" : "/") + "quorvex";
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  if (IsFolder(path)) return true;
  // Each prefix ending before a '/', then the whole path.
  for (size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
    const std::string part = path.substr(0, pos);
    if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      return false;
    if (pos == std::string::npos) break;
  }
  if (IsFolder(path)) return true;
  errno = ENOTDIR;
  return false;
}

}  // namespace qv
