// The run lock of a working folder: one discharge run at a time per folder.
// A second run beside an active one (a second `quorvex-cli measure`, or the
// window and the command-line tool in one folder) could keep no journal of
// its own (run_journal.h), so it is refused before it sends anything to the
// instrument. The lock is an exclusive flock(2) on the folder itself, taken
// without waiting: nothing is created, it works in a read-only folder, and
// the system drops it with the process however that ends.
#pragma once

#include <string>

#include "data/run_journal.h"

namespace qv {

class CRunFolderLock {
 public:
  enum class Claim {
    kTaken,        // this object holds the folder's lock
    kBusy,         // another run holds it: do not start
    kUnavailable,  // the folder cannot be locked (no read access, no locks on
                   // its file system): the run goes without this protection
  };

  CRunFolderLock() = default;
  ~CRunFolderLock() { Release(); }
  CRunFolderLock(const CRunFolderLock&) = delete;
  CRunFolderLock& operator=(const CRunFolderLock&) = delete;

  // Takes the lock of `folder` (with or without its trailing '/'; empty: the
  // current directory). kBusy also when the folder's journal is locked by its
  // writer, a run that holds no folder lock; the folder lock is then not kept.
  Claim Acquire(const std::string& folder);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// What can be told of the run that holds a folder's lock.
struct ActiveRun {
  int pid = 0;             // 0: unknown
  std::string program;     // the process's name; empty: unknown
  bool journaled = false;  // its journal's header was read
  JournalHeader header;    // the run's start and conditions (journaled)
};

// Looks the holder up in /proc/locks (the folder's lock, else the journal's)
// and reads the journal's header. Reads only; never waits.
ActiveRun DescribeActiveRun(const std::string& folder);

}  // namespace qv
