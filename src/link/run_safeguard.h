// What keeps a discharge run safe beyond the program: the working folder's
// run lock (data/run_lock.h), the run journal of every point
// (data/run_journal.h) and the lock that keeps the computer from going to
// sleep (sleep_inhibitor.h). The run control calls ClaimFolder first thing
// in its start command (ReleaseFolder when it starts no run), BeginRun just
// before its worker starts, and EndRun after the automatic backup; the link
// hands it every frame as one of the run's sinks. It knows no document: the
// run control tells it the folder, the run's inputs and what the run left
// in the current measurement. Once the folder is claimed nothing here stops
// or fails a run: what cannot be done is done without, and said.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/user_interface.h"
#include "data/document.h"
#include "data/measure_data.h"
#include "data/run_journal.h"
#include "data/run_lock.h"
#include "link/frame_sink.h"
#include "link/sleep_inhibitor.h"

namespace qv {

class CRunSafeguard : public IFrameSink {
 public:
  explicit CRunSafeguard(IUserInterface& ui);
  ~CRunSafeguard() override;
  CRunSafeguard(const CRunSafeguard&) = delete;
  CRunSafeguard& operator=(const CRunSafeguard&) = delete;

  // What tells a finished run in a saved document: its date-time text and
  // its number of points.
  struct RunMark {
    std::string dateTime;
    size_t points = 0;
  };
  static RunMark MarkOf(const CMeasureData& record);

  // User-interface thread, before anything goes to the instrument: takes the
  // run lock of `folder`, the working folder (where the settings file is);
  // the run's journal goes there. False, with the reason told, when another
  // run holds it (the message names the folder and that run) or when
  // something that is no regular file has the journal's name; nothing is
  // then written or changed. A folder that cannot be locked is no reason to refuse.
  bool ClaimFolder(const std::string& folder);
  // Lets the folder go again when the start command starts no run.
  void ReleaseFolder() { folder_.Release(); }

  // User-interface thread, before the worker starts. An earlier run whose
  // journal is still in the working folder is first written out as
  // "recovered-….qd1" and the user is told so (one that cannot be read is
  // renamed aside and reported; one that cannot be written out is kept, and
  // this run goes without a journal). Then this run's journal starts with
  // `inputs`, the run's input conditions, and the sleep lock is taken.
  void BeginRun(const InputConditions& inputs);
  // Worker thread, after the run recorder took the frame: queues its point
  // for the journal (never waits for the disk). The first point after the
  // journal stopped being kept (or of a run that keeps none) brings a notice
  // (IUserInterface::Notify) while the run goes on.
  void OnFrame(const FrameValues& values) override;
  // Worker thread, after the automatic backup; `run` marks the current
  // measurement as the run left it. Closes the journal and removes it when
  // `runIsSafe` (the backup holds the run, or the backup mode says there is
  // none); otherwise it stays until DocumentSaved, or for a later recovery.
  // Releases the sleep lock and the folder. When the journal could not be
  // written the user is told. True when the journal stays.
  bool EndRun(bool runIsSafe, const RunMark& run);
  // Any thread but the worker's, after the document was written to a data
  // file (the window's save, the command-line tool's --out): when it holds
  // the last run whose journal stayed (same date-time and points, as the
  // current measurement or a registered record, read under the document's
  // lock), that journal goes.
  void DocumentSaved(const CBrenlowDoc& doc);

  // The sleep lock (tests give their own).
  std::unique_ptr<ISleepInhibitor> inhibitor;
  // The journal writer (tests set its faults).
  CJournalWriter& Journal() { return journal_; }

  static std::string JournalFailedText();

 private:
  // The journal of a finished run that is not yet safe in any file.
  struct KeptJournal {
    std::string path;
    JournalFileId id;
    RunMark run;
  };

  // Clears the way for this run's journal; false when it must go without.
  bool ClearOldJournal(const std::string& path);

  IUserInterface& ui_;
  CRunFolderLock folder_;
  CJournalWriter journal_;
  std::string journalPath_;  // the journal in the claimed folder
  bool journaling_ = false;  // this run keeps one
  bool noticeGiven_ = false;
  std::mutex keptMu_;
  std::optional<KeptJournal> kept_;
};

}  // namespace qv
