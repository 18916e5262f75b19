// Recovery of an interrupted run from its journal (run_journal.h): the run
// is written out as a data file of the current form ("101") whose current
// measurement is the run, and only once that file is safely on disk is the
// journal removed. Nothing is deleted before it is written elsewhere.
#pragma once

#include <memory>
#include <string>

#include "core/user_interface.h"
#include "data/document.h"
#include "data/measure_data.h"
#include "data/run_journal.h"

namespace qv {

enum class RecoverStatus {
  kWritten,      // the data file is written and the journal removed
  kNoJournal,    // there is no journal
  kActive,       // the journal belongs to a run still going in another process
  kUnreadable,   // the journal cannot be read; nothing written, journal left alone
  kNotRegular,   // a FIFO, folder or other non-regular file has the journal's
                 // name; nothing read or written, it is left alone
  kWriteFailed,  // the data file could not be written; journal left alone
};

struct RecoverResult {
  RecoverStatus status = RecoverStatus::kNoJournal;
  std::string path;                      // the data file written
  size_t points = 0;                     // points in it
  int error = 0;                         // errno of a failed read or write
  std::unique_ptr<CMeasureData> record;  // the recovered run (kWritten)
};

// The journal in a folder given with its trailing '/' (as the settings
// store's directory is).
std::string RunJournalPath(const std::string& folder);

// "YYYYMMDD-HHMMSS" of a date-time, for file names.
std::string FileStampText(const COleDateTime& t);

// "recovered-YYYYMMDD-HHMMSS.qd1" in the journal's folder, named after the
// run's end `end`, the date-time the recovered record holds; "-2", "-3", ...
// is added before the extension while a file of that name exists.
std::string DefaultRecoveredPath(const std::string& journalPath, const COleDateTime& end);

// Writes the run in the journal at `journalPath` to `outPath` (empty: the
// default name above) crash-safely and durably, then removes the journal.
// The journal is locked meanwhile, so two recoveries never take the same run
// and a journal still being written is reported as kActive and left alone.
RecoverResult RecoverRunJournal(const std::string& journalPath, const std::string& outPath = {});

// Removes the journal at `journalPath` once the run it holds is safe in a
// data file, but only when it is still the file `id` and nobody holds it (a
// later run's journal, or one being recovered, stays). True when it is gone.
bool RemoveFinishedJournal(const std::string& journalPath, const JournalFileId& id);

// Start-up of the application, after the splash: when the working folder
// holds the journal of an interrupted run, writes it out, says how many
// points were saved and where, and offers to load the run into the
// measurement panel (the current measurement; the modified flag is set and
// the result panel and the graph are refreshed). A journal that cannot be
// read or written out is reported and left where it is.
void RecoverAtStartup(CBrenlowDoc& doc, IUserInterface& ui);

// Texts (CP932).
std::string RecoveryCaption();
std::string RecoveredAtStartupText(size_t points, const std::string& path);
std::string RecoveredBeforeRunText(size_t points, const std::string& path);
std::string JournalUnreadableText(const std::string& path);
std::string RecoveryWriteFailedText();
// A non-regular file in the journal's place (recovery and the start of a run).
std::string JournalNotRegularText(const std::string& path);

}  // namespace qv
