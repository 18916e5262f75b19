#include "data/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/safe_file.h"
#include "data/run_recovery.h"

namespace qv {
namespace {

std::string FolderOf(const std::string& folder) {
  return folder.empty() ? std::string(".") : folder;
}

std::string JournalIn(const std::string& folder) {
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return RunJournalPath(dir);
}

// True when the writer of a run holds the journal's lock.
bool JournalIsLocked(const std::string& path) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  // A shared lock meets only the writer's exclusive one; it is let go at once.
  const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked;
}

// The process holding an exclusive flock on the file `st` describes, from
// /proc/locks; 0 when none is listed. Lines look like
//   "3: FLOCK  ADVISORY  WRITE 4096 fd:01:1835018 0 EOF"
// (a "->" after the number marks a waiter). A file system whose device the
// kernel lists otherwise than stat(2) gives it is matched by the inode alone.
int FlockHolder(const struct stat& st) {
  std::ifstream in("/proc/locks");
  int byInode = 0, inodeMatches = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    std::string number, type, mode, access, where;
    int pid = 0;
    if (!(f >> number >> type) || type != "FLOCK") continue;
    if (!(f >> mode >> access >> pid >> where) || access != "WRITE") continue;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
    if (inode != static_cast<unsigned long long>(st.st_ino)) continue;
    if (major == ::major(st.st_dev) && minor == ::minor(st.st_dev)) return pid;
    byInode = pid;
    ++inodeMatches;
  }
  return inodeMatches == 1 ? byInode : 0;
}

std::string ProgramOf(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

}  // namespace

CRunFolderLock::Claim CRunFolderLock::Acquire(const std::string& folder) {
  Release();
  Claim claim = Claim::kUnavailable;
  const int fd = ::open(FolderOf(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    fd_ = fd;
    claim = Claim::kTaken;
  } else if (fd >= 0) {
    if (errno == EWOULDBLOCK) claim = Claim::kBusy;
    ::close(fd);
  }
  if (claim != Claim::kBusy && JournalIsLocked(JournalIn(folder))) {
    Release();
    claim = Claim::kBusy;
  }
  return claim;
}

void CRunFolderLock::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

ActiveRun DescribeActiveRun(const std::string& folder) {
  ActiveRun run;
  const std::string journal = JournalIn(folder);
  struct stat st {};
  if (::stat(FolderOf(folder).c_str(), &st) == 0) run.pid = FlockHolder(st);
  if (run.pid == 0 && ::stat(journal.c_str(), &st) == 0) run.pid = FlockHolder(st);
  if (run.pid > 0) run.program = ProgramOf(run.pid);
  const int fd = OpenRegularFile(journal);
  if (fd >= 0) {
    char head[kJournalHeaderBytes];
    const ssize_t n = ::pread(fd, head, sizeof head, 0);
    JournalContents contents;
    run.journaled = n == static_cast<ssize_t>(sizeof head) &&
                    ParseJournal(std::string_view(head, sizeof head), contents);
    if (run.journaled) run.header = contents.header;
    ::close(fd);
  }
  return run;
}

}  // namespace qv
