// What keeps a discharge run safe beyond the program: the run journal of
// every point (data/run_journal.h) and the lock that keeps the computer from
// going to sleep (sleep_inhibitor.h), both held from the start of a run to
// its end. The run control calls BeginRun just before its worker starts,
// OnPoint for every point the link appends, and EndRun after the automatic
// backup. None of them ever stops or fails a run: what cannot be done is
// done without.
#pragma once

#include <memory>

#include "core/user_interface.h"
#include "data/document.h"
#include "data/run_journal.h"
#include "link/analyzer_link.h"
#include "link/sleep_inhibitor.h"

namespace qv {

class CRunSafeguard {
 public:
  CRunSafeguard(CBrenlowDoc& doc, IUserInterface& ui);
  ~CRunSafeguard();
  CRunSafeguard(const CRunSafeguard&) = delete;
  CRunSafeguard& operator=(const CRunSafeguard&) = delete;

  // User-interface thread, before the worker starts. An earlier run whose
  // journal is still in the working folder is first written out as
  // "recovered-….qd1" and the user is told so (one that cannot be read is
  // renamed aside and reported; one that cannot be written out is kept, and
  // this run goes without a journal). Then this run's journal starts with the
  // current measurement's input conditions, and the sleep lock is taken.
  void BeginRun();
  // Worker thread, after every point the link appended: queues it for the
  // journal (never waits for the disk).
  void OnPoint(const FrameValues& values);
  // Worker thread, after the automatic backup. Closes the journal and removes
  // it when `runIsSafe` (the backup was written, or the backup mode says
  // there is none); otherwise it stays for a later recovery. Releases the
  // sleep lock. When the journal could not be written the user is told once.
  void EndRun(bool runIsSafe);

  // The sleep lock (tests give their own).
  std::unique_ptr<ISleepInhibitor> inhibitor;
  // The journal writer (tests set its faults).
  CJournalWriter& Journal() { return journal_; }

  static std::string JournalFailedText();

 private:
  // Clears the way for this run's journal; false when it must go without.
  bool ClearOldJournal(const std::string& path);

  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  CJournalWriter journal_;
  std::string journalPath_;  // empty while no journal is kept
};

}  // namespace qv
