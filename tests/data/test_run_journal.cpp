// The run journal: its reader with torn and damaged files, the writer thread
// with a slow disk, the recovery into a data file, and the folder's run lock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "data/archive.h"
#include "data/data_file.h"
#include "data/run_journal.h"
#include "data/run_lock.h"
#include "data/run_recovery.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

JournalHeader Header() {
  JournalHeader h;
  h.inputs = {4, 4.0, 10.0, 5.0, 1.0, 300};
  h.startMs = 1700000000000;  // a whole second
  return h;
}

JournalEntry Entry(int i) {
  JournalEntry e;
  e.arrivalMs = Header().startMs + 1000LL * i + 7;
  e.point = {i, 10.0, 5.5 - 0.001 * i, 2.75 * i, 5.4};
  e.avgVoltage1 = 5.3;
  e.pir = 0.25 + i;
  e.internalResistance = 20.0;
  return e;
}

std::string Journal(int entries) {
  std::string s = EncodeJournalHeader(Header());
  for (int i = 0; i < entries; ++i)
    s += EncodeJournalEntry(static_cast<uint32_t>(i), Entry(i));
  return s;
}

struct TailCase {
  const char* name;
  std::function<std::string(std::string)> damage;  // applied to a journal of 5 entries
  size_t keptEntries;
};

TEST(Journal, ATornLastEntryIsDroppedAndNothingBeforeIt) {
  const size_t lastAt = kJournalHeaderBytes + 4 * kJournalEntryBytes;
  const TailCase cases[] = {
      {"whole", [](std::string s) { return s; }, 5},
      {"one byte of the last", [&](std::string s) { return s.substr(0, lastAt + 1); }, 4},
      {"all but one byte", [](std::string s) { return s.substr(0, s.size() - 1); }, 4},
      {"last flipped", [](std::string s) { return s.replace(s.size() - 20, 1, "\x7f"); }, 4},
      {"zeros after the end", [](std::string s) { return s + std::string(300, '\0'); }, 5},
      {"last repeated", [&](std::string s) { return s + s.substr(lastAt); }, 5},
      {"third damaged",
       [](std::string s) {
         return s.replace(kJournalHeaderBytes + 2 * kJournalEntryBytes + 30, 1, "\x01");
       },
       2},
  };
  for (const TailCase& c : cases) {
    const std::string bytes = c.damage(Journal(5));
    JournalContents j;
    ASSERT_TRUE(ParseJournal(bytes, j)) << c.name;
    EXPECT_EQ(j.header, Header()) << c.name;
    ASSERT_EQ(j.entries.size(), c.keptEntries) << c.name;
    for (size_t i = 0; i < j.entries.size(); ++i)
      EXPECT_EQ(j.entries[i], Entry(static_cast<int>(i))) << c.name << " entry " << i;
    EXPECT_EQ(j.droppedBytes,
              bytes.size() - kJournalHeaderBytes - c.keptEntries * kJournalEntryBytes)
        << c.name;
  }
}

TEST(Journal, ADamagedHeaderCannotBeRead) {
  const std::string good = Journal(2);
  for (const std::string& bytes :
       {std::string(), good.substr(0, kJournalHeaderBytes - 1),
        std::string(good).replace(0, 8, "QVJRNL02"), std::string(good).replace(30, 1, "\x55"),
        std::string(kJournalHeaderBytes + kJournalEntryBytes, '\0')}) {
    JournalContents j;
    EXPECT_FALSE(ParseJournal(bytes, j)) << bytes.size();
  }
}

TEST(Recovery, TheRunBecomesADataFileAndOnlyThenTheJournalGoes) {
  TempDir dir;
  const std::string journal = RunJournalPath(dir.path() + "/");
  std::string bytes = Journal(200);
  WriteFile(journal, bytes + bytes.substr(bytes.size() - 10));  // a torn tail

  RecoverResult r = RecoverRunJournal(journal);
  ASSERT_EQ(r.status, RecoverStatus::kWritten);
  EXPECT_EQ(r.points, 200u);
  // Named after the run's end, the date-time the record holds (199 s after
  // the start, a different name from the start's).
  const DateParts end = LocalDateTimeOfMs(Entry(199).arrivalMs).Parts();
  char name[64];
  std::snprintf(name, sizeof name, "/recovered-%04d%02d%02d-%02d%02d%02d.qd1", end.year, end.month,
                end.day, end.hour, end.minute, end.second);
  EXPECT_EQ(r.path, dir.path() + name);
  EXPECT_NE(r.path, DefaultRecoveredPath(journal, LocalDateTimeOfMs(Header().startMs)));
  EXPECT_FALSE(FileExists(journal));

  // A "101" file whose current measurement is the run, points as received,
  // ended at the last point's arrival.
  const std::string file = ReadFile(r.path);
  ArchiveReader ar(file.data(), file.size());
  CMeasureData cur;
  RecordList list;
  ASSERT_TRUE(ReadDataFile(ar, cur, list, {}).ok());
  EXPECT_EQ(cur.Inputs(), Header().inputs);
  ASSERT_EQ(cur.Points().size(), 200u);
  EXPECT_EQ(cur.Points()[199], Entry(199).point);
  EXPECT_EQ(cur.dateTime, LocalDateTimeOfMs(Entry(199).arrivalMs));
  EXPECT_DOUBLE_EQ(cur.pir, Entry(199).pir);

  // Nothing more to recover; a second run of the same end gets its own name.
  EXPECT_EQ(RecoverRunJournal(journal).status, RecoverStatus::kNoJournal);
  WriteFile(journal, Journal(200));
  r = RecoverRunJournal(journal);
  std::string second = name;
  second.insert(second.size() - 4, "-2");
  EXPECT_EQ(r.path, dir.path() + second);
  // A run of 120 s or less has no PIR, as at the end of every run.
  WriteFile(journal, Journal(1));
  EXPECT_DOUBLE_EQ(RecoverRunJournal(journal).record->pir, 0.0);

  // An unreadable journal, or one whose file cannot be written, stays.
  WriteFile(journal, "QVJRNL01 but not a header");
  EXPECT_EQ(RecoverRunJournal(journal).status, RecoverStatus::kUnreadable);
  EXPECT_EQ(ReadFile(journal), "QVJRNL01 but not a header");
  WriteFile(journal, Journal(3));
  EXPECT_EQ(RecoverRunJournal(journal, dir.File("no/such/folder.qd1")).status,
            RecoverStatus::kWriteFailed);
  EXPECT_EQ(ReadFile(journal), Journal(3));
}

TEST(JournalWriter, ASlowDiskLosesNoPointAndSyncsAreGrouped) {
  TempDir dir;
  const std::string path = dir.File("runjournal.qvj");
  CJournalWriter w;
  w.SetFaultForTesting(-1, 0, std::chrono::milliseconds(50));
  w.Start(path, Header());
  for (int i = 0; i < 500; ++i)
    w.Append(Entry(i));
  // Still being written: the run is active, nobody may recover it.
  for (int i = 0; i < 500 && !FileExists(path); ++i)
    usleep(2000);
  EXPECT_EQ(RecoverRunJournal(path).status, RecoverStatus::kActive);
  ASSERT_TRUE(w.Finish());
  EXPECT_EQ(w.GetStats().entries, 500u);
  EXPECT_LE(w.GetStats().syncs, 3u);
  JournalContents j;
  ASSERT_TRUE(ParseJournal(ReadFile(path), j));
  ASSERT_EQ(j.entries.size(), 500u);
  EXPECT_EQ(j.entries[499], Entry(499));
  EXPECT_EQ(j.droppedBytes, 0u);

  // A second writer never replaces it.
  CJournalWriter other;
  other.Start(path, JournalHeader{});
  other.Append(Entry(0));
  EXPECT_FALSE(other.Finish());
  EXPECT_EQ(other.Error(), EEXIST);
  EXPECT_EQ(ReadFile(path).size(), kJournalHeaderBytes + 500 * kJournalEntryBytes);
}

TEST(Recovery, AFifoInTheJournalsPlaceIsRefusedAtOnceAndLeftAlone) {
  TempDir dir;
  const std::string journal = RunJournalPath(dir.path() + "/");
  ASSERT_EQ(::mkfifo(journal.c_str(), 0644), 0);
  // No writer ever opens it: a blocking open would never return.
  EXPECT_EQ(RecoverRunJournal(journal).status, RecoverStatus::kNotRegular);
  struct stat st {};
  ASSERT_EQ(::lstat(journal.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  CRunFolderLock lock;
  EXPECT_EQ(lock.Acquire(dir.path()), CRunFolderLock::Claim::kTaken);
}

TEST(RunFolderLock, OneRunPerFolderAndTheHolderIsNamed) {
  TempDir dir;
  CRunFolderLock first, second;
  ASSERT_EQ(first.Acquire(dir.path() + "/"), CRunFolderLock::Claim::kTaken);
  EXPECT_EQ(second.Acquire(dir.path()), CRunFolderLock::Claim::kBusy);
  EXPECT_FALSE(second.Held());
  // Before the journal exists only the process is known.
  ActiveRun run = DescribeActiveRun(dir.path());
  EXPECT_EQ(run.pid, ::getpid());
  std::string comm = ReadFile("/proc/self/comm");
  ASSERT_FALSE(comm.empty());
  comm.pop_back();  // its line end
  EXPECT_EQ(run.program, comm);
  EXPECT_FALSE(run.journaled);

  // A writer's journal holds the folder even without the folder lock (a run
  // on a file system without directory locks), and tells the conditions.
  first.Release();
  CJournalWriter writer;
  writer.Start(RunJournalPath(dir.path() + "/"), Header());
  for (int i = 0; i < 2000 && !FileExists(RunJournalPath(dir.path() + "/")); ++i)
    usleep(1000);
  EXPECT_EQ(second.Acquire(dir.path()), CRunFolderLock::Claim::kBusy);
  run = DescribeActiveRun(dir.path());
  EXPECT_EQ(run.pid, ::getpid());
  ASSERT_TRUE(run.journaled);
  EXPECT_EQ(run.header, Header());
  ASSERT_TRUE(writer.Finish(true));
  EXPECT_EQ(second.Acquire(dir.path()), CRunFolderLock::Claim::kTaken);
  // A released lock is free again.
  second.Release();
  EXPECT_EQ(first.Acquire(dir.path()), CRunFolderLock::Claim::kTaken);
}

TEST(Recovery, AFinishedRunsJournalGoesOnlyWhileItIsTheSameFileAndFree) {
  TempDir dir;
  const std::string journal = RunJournalPath(dir.path() + "/");
  CJournalWriter w;
  w.Start(journal, Header());
  w.Append(Entry(0));
  ASSERT_TRUE(w.Finish());
  ASSERT_TRUE(w.Created());
  const JournalFileId id = w.FileId();

  // Another file under the name (a later run's journal) stays.
  ASSERT_EQ(::rename(journal.c_str(), dir.File("old").c_str()), 0);
  WriteFile(journal, Journal(3));
  EXPECT_FALSE(RemoveFinishedJournal(journal, id));
  EXPECT_EQ(ReadFile(journal), Journal(3));
  ASSERT_EQ(::rename(dir.File("old").c_str(), journal.c_str()), 0);
  // So does one being recovered (its lock held).
  const int held = ::open(journal.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_FALSE(RemoveFinishedJournal(journal, id));
  ::close(held);
  EXPECT_TRUE(FileExists(journal));
  EXPECT_TRUE(RemoveFinishedJournal(journal, id));
  EXPECT_FALSE(FileExists(journal));
  EXPECT_TRUE(RemoveFinishedJournal(journal, id));  // gone already
}

}  // namespace
}  // namespace qv::test
