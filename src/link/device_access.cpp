#include "link/device_access.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

namespace qv {
namespace {

std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : path;
}

std::string OwnerName(uid_t uid) {
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(uid, &pw, buf, sizeof buf, &found) == 0 && found) return pw.pw_name;
  return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  struct group gr {};
  struct group* found = nullptr;
  std::vector<char> buf(65536);
  if (getgrgid_r(gid, &gr, buf.data(), buf.size(), &found) == 0 && found) return gr.gr_name;
  return std::to_string(gid);
}

// The user's groups in the group database (getgrouplist), which a new login
// gets.
bool InGroupDatabase(gid_t gid) {
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) != 0 || !found) return false;
  if (pw.pw_gid == gid) return true;
  int n = 64;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  if (getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &n) < 0) {
    groups.resize(static_cast<size_t>(n));
    if (getgrouplist(pw.pw_name, pw.pw_gid, groups.data(), &n) < 0) return false;
  }
  for (int i = 0; i < n; ++i) {
    if (groups[static_cast<size_t>(i)] == gid) return true;
  }
  return false;
}

// The groups of this process (getgroups and the effective group).
bool InProcess(gid_t gid) {
  if (getegid() == gid) return true;
  const int n = getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  const int got = getgroups(n, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[static_cast<size_t>(i)] == gid) return true;
  }
  return false;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

}  // namespace

DeviceAccess InspectDevice(const std::string& path) {
  DeviceAccess a;
  a.device = RealPath(path);
  struct stat st {};
  if (::stat(a.device.c_str(), &st) != 0) return a;
  a.known = true;
  a.mayOpen = ::access(a.device.c_str(), R_OK | W_OK) == 0;
  a.owner = OwnerName(st.st_uid);
  a.group = GroupName(st.st_gid);
  a.mode = st.st_mode;
  a.groupMayOpen = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  a.groupInDatabase = InGroupDatabase(st.st_gid);
  a.groupInProcess = InProcess(st.st_gid);
  // Root's group is no group to join.
  if (st.st_gid == 0) a.groupMayOpen = false;
  return a;
}

AccessAdvice AdviceFor(const DeviceAccess& a) {
  if (!a.known || a.mayOpen) return AccessAdvice::kNone;
  if (!a.groupMayOpen || a.groupInProcess) return AccessAdvice::kOwnerAndMode;
  return a.groupInDatabase ? AccessAdvice::kLogInAgain : AccessAdvice::kJoinGroup;
}

std::string ModeText(unsigned mode) {
  std::string t(10, '-');
  t[0] = S_ISCHR(mode) ? 'c' : S_ISBLK(mode) ? 'b' : S_ISDIR(mode) ? 'd' : '-';
  const char letters[] = "rwxrwxrwx";
  for (int i = 0; i < 9; ++i) {
    if (mode & (1u << (8 - i))) t[static_cast<size_t>(i) + 1] = letters[i];
  }
  return t;
}

std::optional<DeviceHolder> FindHolder(const std::string& device) {
  const std::string target = RealPath(device);
  DirHandle proc(::opendir("/proc"));
  if (!proc) return std::nullopt;
  const pid_t self = getpid();
  while (dirent* e = ::readdir(proc.get())) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    const std::string fdDir = std::string("/proc/") + e->d_name + "/fd";
    DirHandle fds(::opendir(fdDir.c_str()));
    if (!fds) continue;  // another user's process
    while (dirent* f = ::readdir(fds.get())) {
      char link[PATH_MAX];
      const ssize_t n = ::readlink((fdDir + "/" + f->d_name).c_str(), link, sizeof link - 1);
      if (n <= 0 || std::string(link, static_cast<size_t>(n)) != target) continue;
      DeviceHolder h;
      h.pid = static_cast<pid_t>(pid);
      std::ifstream comm(std::string("/proc/") + e->d_name + "/comm");
      std::getline(comm, h.program);
      return h;
    }
  }
  return std::nullopt;
}

}  // namespace qv
