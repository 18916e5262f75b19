// Data safety with real files: a save killed at any moment, a full disk and a
// write failing part-way leave the old file whole; a damaged file opened or
// merged changes nothing.
#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "core/safe_file.h"
#include "data/merge.h"
#include "test_document_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> out;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") out.push_back(n);
    }
    closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

int CountTemps(const std::string& dir, const std::string& target) {
  int n = 0;
  const std::string prefix = TempNamePrefix(target);
  for (const auto& name : Listing(dir))
    if (name.rfind(prefix, 0) == 0) ++n;
  return n;
}

class SafetyTest : public DocTest {
 protected:
  void TearDown() override {
    SetSaveWriteLimitForTesting(-1);
    SetSaveNamedTempForTesting(false);
  }

  // A document whose file is `points` points per record larger.
  void Fill(int records, int points) {
    for (int i = 1; i <= records; ++i) {
      auto r = std::make_unique<CMeasureData>(app.inputs);
      Measure(*r, Dt(2015, 3, i), points);
      r->id1 = 1;
      r->id2 = 1;
      r->id3 = i;
      doc->InsertRegistered(std::move(r));
    }
    Measure(doc->Current(), Dt(2015, 4, 1), points);
  }

  std::string Bytes() const {
    return DataFileBytes(doc->Current(), doc->Registered(), DataFileForm::kFull);
  }

  // The state a failed save or a refused read must leave untouched.
  struct Snapshot {
    std::string bytes;
    std::vector<bool> saved;
    std::vector<int> slots;
    bool modified;
    std::string name, path, version, fileSetting, mergeSetting;
    bool operator==(const Snapshot&) const = default;
  };
  Snapshot Snap() const {
    Snapshot s;
    s.bytes = Bytes();
    for (const auto& r : doc->Registered()) {
      s.saved.push_back(doc->IsSaved(*r));
      s.slots.push_back(doc->SlotOf(*r));
    }
    s.slots.push_back(doc->SlotOf(doc->Current()));
    s.slots.push_back(static_cast<int>(doc->DisplayList().size()));
    s.modified = app.modified;
    s.name = app.fileName;
    s.path = app.filePath;
    s.version = app.fileVersion;
    s.fileSetting = app.settings.Get("FILE");
    s.mergeSetting = app.settings.Get("INPORT_MERGE");
    return s;
  }

  // A document with an old file on disk, unsaved changes and an overlay.
  std::string PrepareOldFile() {
    Fill(3, 20);
    const std::string path = dir.File("data.qd1");
    EXPECT_TRUE(SaveDataFile(*doc, ui, path));
    oldBytes = ReadFile(path);
    RegisterNow(2, 2, 2, Dt(2015, 5, 5));
    Measure(doc->Current(), Dt(2015, 6, 6), 30);
    doc->Registered()[0]->remark = "changed";
    EXPECT_TRUE(app.modified);
    ui.messages.clear();
    return path;
  }

  // A file to merge: a current measurement of 15 points and `records`
  // records 001-001-001 .. of 8 points, each the same measurement as a
  // record of PrepareOldFile's document.
  static std::string MergeSource(int records) {
    CMeasureData cur;
    Measure(cur, Dt(2017, 1, 1), 15);
    RecordList list;
    for (int i = 1; i <= records; ++i) {
      auto r = std::make_unique<CMeasureData>();
      Measure(*r, Dt(2015, 3, i), 8);
      r->id1 = 1;
      r->id2 = 1;
      r->id3 = i;
      list.push_back(std::move(r));
    }
    return DataFileBytes(cur, list, DataFileForm::kFull);
  }

  // The merge button on `path` (or on the backup), continuing without saving.
  bool MergeFrom(const std::string& path, bool backup) {
    ui.Answer(MsgResult::kOk);
    CMergeModel m(*doc);
    m.Open();
    m.backupMode = backup;
    m.filePath = path;
    const bool merged = m.Merge(ui);
    EXPECT_TRUE(merged || m.Overwritten().empty());
    return merged;
  }

  std::string oldBytes;
};

// --- Save killed at random moments ------------------------------------------------

void KilledSaves(CBrenlowDoc& doc, bool named) {
  SetSaveNamedTempForTesting(named);
  TempDir here;
  const std::string path = here.File("k.qd1");
  const std::string old = "old file";
  WriteFile(path, old);
  // Two documents the child saves in turn: the file must always be one of
  // the three contents, whole.
  const std::string a = DataFileBytes(doc.Current(), doc.Registered(), DataFileForm::kFull);
  doc.Registered().front()->remark = "second";
  const std::string b = DataFileBytes(doc.Current(), doc.Registered(), DataFileForm::kFull);

  std::random_device rd;
  const unsigned seed = rd();
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> delay(0, 6000);
  int sawNew = 0;
  for (int i = 0; i < 40; ++i) {
    int done[2];
    ASSERT_EQ(pipe(done), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(done[0]);
      for (bool first = true;; first = !first) {
        doc.Registered().front()->remark = first ? "" : "second";
        doc.Save(path);
        if (first && done[1] >= 0) {  // tells the parent one save is through
          char c = 1;
          if (write(done[1], &c, 1) != 1) _exit(3);
          close(done[1]);
          done[1] = -1;
        }
      }
    }
    close(done[1]);
    // Every other kill waits for a completed save first, so kills land both
    // before the first rename and among later saves, however slow the disk.
    if (i % 2 == 1) {
      char c = 0;
      ASSERT_EQ(read(done[0], &c, 1), 1);
    }
    close(done[0]);
    usleep(static_cast<useconds_t>(delay(rng)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string now = ReadFile(path);
    ASSERT_TRUE(now == old || now == a || now == b)
        << "seed " << seed << " kill " << i << ": " << now.size() << " bytes";
    if (now != old) ++sawNew;
    // An interrupted save leaves at most one temporary name, and only in the
    // instant between naming and renaming (named mode: while writing).
    ASSERT_LE(CountTemps(here.path(), path), 1) << "seed " << seed;
  }
  EXPECT_GT(sawNew, 0) << "no save ever completed before the kill";
  // The next save removes whatever an interrupted one left.
  doc.Registered().front()->remark = "";
  ASSERT_TRUE(doc.Save(path).ok);
  EXPECT_EQ(ReadFile(path), a);
  EXPECT_THAT(Listing(here.path()), ElementsAre("k.qd1"));
}

TEST_F(SafetyTest, SaveKilledAtRandomMomentsLeavesTheOldOrTheNewFile) {
  Fill(4, 1500);  // about 220 kB: a save takes a while
  KilledSaves(*doc, false);
}

TEST_F(SafetyTest, SaveKilledAtRandomMomentsWithNamedTemporaryFiles) {
  Fill(4, 1500);
  KilledSaves(*doc, true);
}

TEST_F(SafetyTest, SavingThroughASymbolicLinkReplacesTheFileBehindIt) {
  Fill(1, 5);
  const std::string real = dir.File("real.qd1");
  const std::string link = dir.File("link.qd1");
  WriteFile(real, "old");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(SaveDataFile(*doc, ui, link));
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(real), Bytes());
  EXPECT_EQ(app.filePath, link);
  EXPECT_THAT(Listing(dir.path()), ElementsAre("Dis.ini", "link.qd1", "real.qd1"));
}

// --- Full disk ------------------------------------------------------------------------

TEST_F(SafetyTest, FullDiskLeavesTheOldFileAndReportsTheFailure) {
  const std::string path = PrepareOldFile();
  const Snapshot before = Snap();
  const size_t newSize = Bytes().size();
  for (rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(oldBytes.size()), rlim_t(newSize - 1)}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit rl{limit, limit};
      if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(10);
      FakeUi cui;
      if (SaveDataFile(*doc, cui, path)) _exit(11);
      if (cui.messages.size() != 1) _exit(12);
      if (cui.messages[0].text != Sj("データファイルが保存できませんでした。")) _exit(13);
      if (cui.messages[0].caption != Sj("データファイルを保存")) _exit(14);
      if (cui.messages[0].icon != MsgIcon::kError) _exit(15);
      if (!(Snap() == before)) _exit(16);  // flags, names and settings untouched
      // The backup fails silently the same way.
      app.backupMode = 1;
      if (doc->WriteAutoBackup()) _exit(17);
      if (!(Snap() == before)) _exit(18);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "limit " << limit;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "limit " << limit;
    EXPECT_EQ(ReadFile(path), oldBytes) << "limit " << limit;
    EXPECT_EQ(CountTemps(dir.path(), path), 0);
    EXPECT_FALSE(FileExists(dir.File("tmpdata.bak")));
  }
  // With room again the same save goes through.
  EXPECT_TRUE(SaveDataFile(*doc, ui, path));
  EXPECT_EQ(ReadFile(path), Bytes());
}

// --- A write failing after N bytes -----------------------------------------------------

TEST_F(SafetyTest, WriteFailingAfterNBytesLeavesTheOldFile) {
  const std::string path = PrepareOldFile();
  const Snapshot before = Snap();
  const std::string fresh = Bytes();
  for (bool named : {false, true}) {
    SetSaveNamedTempForTesting(named);
    size_t failures = 0;
    long long n = 0;
    for (;; n += (n < 200 ? 1 : 7)) {
      SetSaveWriteLimitForTesting(n);
      ui.messages.clear();
      if (SaveDataFile(*doc, ui, path)) break;
      ++failures;
      ASSERT_EQ(ui.messages.size(), 1u);
      ASSERT_EQ(Utf8(ui.messages[0].text), "データファイルが保存できませんでした。");
      ASSERT_EQ(ReadFile(path), oldBytes) << "limit " << n;
      ASSERT_EQ(CountTemps(dir.path(), path), 0) << "limit " << n;
      ASSERT_TRUE(Snap() == before) << "limit " << n;
    }
    EXPECT_GE(n, static_cast<long long>(fresh.size()));
    EXPECT_LT(n, static_cast<long long>(fresh.size()) + 7);
    EXPECT_GT(failures, 200u);
    EXPECT_EQ(ReadFile(path), fresh);
    EXPECT_FALSE(app.modified);
    for (const auto& r : doc->Registered())
      EXPECT_TRUE(doc->IsSaved(*r));
    // Back to the old file and unsaved state for the second round.
    SetSaveWriteLimitForTesting(-1);
    WriteFile(path, oldBytes);
    app.modified = true;
    for (size_t i = 0; i < before.saved.size(); ++i)
      doc->SetSaved(*doc->Registered()[i], before.saved[i]);
    app.fileVersion = before.version;
    ASSERT_EQ(CountTemps(dir.path(), path), 0);
  }
}

TEST_F(SafetyTest, FailingBackupKeepsTheOldBackupAndTheFlags) {
  Fill(2, 10);
  app.backupMode = 1;
  ASSERT_TRUE(doc->WriteAutoBackup());
  const std::string bak = dir.File("tmpdata.bak");
  const std::string oldBak = ReadFile(bak);
  RegisterNow(3, 3, 3, Dt(2015, 9, 9));
  for (int mode : {0, 1}) {
    app.backupMode = mode;
    SetSaveWriteLimitForTesting(50);
    EXPECT_FALSE(doc->WriteAutoBackup());
    EXPECT_EQ(ReadFile(bak), oldBak);
    EXPECT_TRUE(app.modified);
    EXPECT_FALSE(doc->IsSaved(*doc->Registered().back()));
  }
  EXPECT_TRUE(ui.messages.empty());  // silent
}

// --- Damaged files read -----------------------------------------------------------------

TEST_F(SafetyTest, OpeningATruncatedFileChangesNothing) {
  // The file to open: a different document.
  CAppState otherApp;
  otherApp.settings.SetDirectory(dir.path());
  CBrenlowDoc other(otherApp);
  for (int i = 1; i <= 3; ++i) {
    auto r = std::make_unique<CMeasureData>();
    Measure(*r, Dt(2016, 1, i), 12);
    r->id1 = 7;
    r->id2 = 7;
    r->id3 = i;
    r->remark = std::string(300, 'x');  // a long text prefix too
    other.InsertRegistered(std::move(r));
  }
  const std::string full = DataFileBytes(other.Current(), other.Registered(), DataFileForm::kFull);

  const std::string path = PrepareOldFile();
  doc->ToggleOverlay(doc->Registered()[1].get());
  const Snapshot before = Snap();
  const std::string cut = dir.File("cut.qd1");
  for (size_t len = 0; len < full.size(); ++len) {
    ::unlink(cut.c_str());  // a fresh file each time: rewriting one in place waits for the disk
    WriteFile(cut, full.substr(0, len));
    ui.messages.clear();
    ASSERT_FALSE(OpenDataFile(*doc, ui, cut)) << len;
    ASSERT_EQ(ui.messages.size(), 1u);
    ASSERT_EQ(ui.messages[0].text, DataFileCorruptText()) << len;
    ASSERT_EQ(Utf8(ui.messages[0].caption), "データファイル読み込み");
    ASSERT_TRUE(Snap() == before) << "length " << len;
  }
  EXPECT_EQ(
      Utf8(DataFileCorruptText()),
      "データファイルを読み込めません。\n\n（※　ファイルが途中で終わっているか、壊れています。）");
  // The whole file is taken over.
  WriteFile(cut, full);
  EXPECT_TRUE(OpenDataFile(*doc, ui, cut));
  EXPECT_EQ(doc->Registered().size(), 3u);
  (void)path;
}

TEST_F(SafetyTest, MergingATruncatedSourceChangesNothing) {
  const std::string full = MergeSource(3);

  PrepareOldFile();
  doc->ToggleOverlay(doc->Registered()[0].get());
  const Snapshot before = Snap();
  const std::string src = dir.File("src.qd1");
  for (size_t len = 0; len < full.size(); ++len) {
    ::unlink(src.c_str());
    WriteFile(src, full.substr(0, len));
    ui.messages.clear();
    ASSERT_FALSE(MergeFrom(src, false)) << len;
    ASSERT_EQ(ui.messages.size(), 2u);
    ASSERT_EQ(ui.messages[1].text, DataFileCorruptText()) << len;
    ASSERT_TRUE(Snap() == before) << "length " << len;
  }
  WriteFile(src, full);
  CMergeModel m(*doc);
  m.filePath = src;
  ui.Answer(MsgResult::kOk);
  EXPECT_TRUE(m.Merge(ui));
  EXPECT_EQ(m.Overwritten().size(), 3u);
}

// A count flipped to 0 or less, or bytes appended: the file holds more than
// its counts describe. Opening it, merging it and merging it as the backup
// "tmpdata.bak" refuse it as damaged and change nothing.
TEST_F(SafetyTest, FilesHoldingMoreThanTheirCountsDescribeChangeNothing) {
  const std::string full = MergeSource(2);
  // The registered-record count follows the version (4 bytes), the current
  // count and the current record (88 bytes, an empty remark, 15 points).
  const size_t countAt = 4 + 4 + 93 + 15 * 36;
  auto with = [&full](size_t at, int32_t v) {
    std::string f = full;
    std::memcpy(f.data() + at, &v, 4);
    return f;
  };
  const std::string damaged[] = {with(4, 0),        with(countAt, 0),
                                 with(countAt, -1), with(full.size() - 8 * 36 - 4, 0),
                                 full + '\0',       full + std::string(5000, '\xFF')};

  PrepareOldFile();
  doc->ToggleOverlay(doc->Registered()[0].get());
  const Snapshot before = Snap();
  const std::string src = dir.File("src.qd1");
  for (size_t i = 0; i < std::size(damaged); ++i) {
    ::unlink(src.c_str());
    WriteFile(src, damaged[i]);
    ui.messages.clear();
    ASSERT_FALSE(OpenDataFile(*doc, ui, src)) << i;
    ASSERT_EQ(ui.messages.size(), 1u) << i;
    EXPECT_EQ(ui.messages[0].text, DataFileCorruptText()) << i;
    ASSERT_TRUE(Snap() == before) << "open " << i;

    ::unlink(doc->BackupPath().c_str());
    WriteFile(doc->BackupPath(), damaged[i]);
    for (bool backup : {false, true}) {
      ui.messages.clear();
      ASSERT_FALSE(MergeFrom(src, backup)) << i;
      ASSERT_EQ(ui.messages.size(), 2u) << i;
      EXPECT_EQ(ui.messages[1].text, DataFileCorruptText()) << i;
      ASSERT_TRUE(Snap() == before) << (backup ? "backup merge " : "merge ") << i;
    }
  }
}

// A FIFO in place of a data file or of "tmpdata.bak" gets the cannot-open
// message at once, from open and merge alike, and changes nothing.
TEST_F(SafetyTest, AFifoInPlaceOfADataFileIsNeverWaitedOn) {
  PrepareOldFile();
  const Snapshot before = Snap();
  const std::string fifo = dir.File("fifo.qd1");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(doc->BackupPath().c_str(), 0600), 0);
  bool opened = true, merged = true, mergedBackup = true;
  EXPECT_TRUE(EndsWithoutAWriter(
      [&] {
        opened = OpenDataFile(*doc, ui, fifo);
        merged = MergeFrom(fifo, false);
        mergedBackup = MergeFrom(fifo, true);
      },
      {fifo, doc->BackupPath()}));
  EXPECT_FALSE(opened);
  EXPECT_FALSE(merged);
  EXPECT_FALSE(mergedBackup);
  ASSERT_EQ(ui.messages.size(), 5u);  // open; question and refusal twice
  EXPECT_EQ(Utf8(ui.messages[0].text), "データファイルが開けません。");
  EXPECT_EQ(Utf8(ui.messages[0].caption), "データファイルを開く");
  for (size_t i : {2u, 4u}) {
    EXPECT_EQ(Utf8(ui.messages[i].text), "データファイルが開けません。");
    EXPECT_EQ(Utf8(ui.messages[i].caption), "データファイルを合成");
  }
  EXPECT_TRUE(Snap() == before);
}

}  // namespace
}  // namespace qv::test
