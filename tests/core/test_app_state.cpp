// Loading the application's settings with their defaults and clamps, the
// start-up write probe and the single-instance lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/app_state.h"
#include "core/instance_lock.h"
#include "support/test_support.h"

namespace qv {
namespace {

class AppStateTest : public ::testing::Test {
 protected:
  AppStateTest() { app.settings.SetDirectory(dir.path()); }
  void Ini(const std::string& body) const {
    test::WriteFile(dir.File("Dis.ini"), "[QUORVEX]\n" + body);
  }
  CAppState& Load(const std::string& body) {
    Ini(body);
    app.LoadSettings();
    return app;
  }

  test::TempDir dir;
  CAppState app;
};

TEST_F(AppStateTest, InitialValuesBeforeLoading) {
  EXPECT_EQ(app.comm.timeoutMs, 1500);
  EXPECT_EQ(app.comm.retryC1, 5);
  EXPECT_EQ(app.comm.retryC2, 5);
  EXPECT_EQ(app.comm.retryC3, 5);
  EXPECT_EQ(app.backupMode, 0);
  EXPECT_EQ(app.inputs, (InputConditions{1, 1.0, 1.0, 0.5, 0.1, 100}));
  EXPECT_EQ(app.avg3, (Avg3Range{0, 0}));
  EXPECT_EQ(app.optionFlags, 0);
  EXPECT_FALSE(app.modified);
  EXPECT_EQ(app.settings.FileName(), "Dis.ini");
  EXPECT_EQ(app.settings.Section(), "QUORVEX");
}

TEST_F(AppStateTest, MissingFileGivesTheMissingValues) {
  app.LoadSettings();
  EXPECT_EQ(app.graph, (GraphSettings{0.0, 0.0, true, 0, 0.0}));
  // The input defaults and the range are replaced even when the keys are absent.
  EXPECT_EQ(app.inputs, (InputConditions{0, 0.0, 0.0, 0.0, 0.0, 0}));
  EXPECT_EQ(app.avg3, (Avg3Range{0, 0}));
  EXPECT_EQ(app.optionFlags, kOptionContextMenu);
  EXPECT_EQ(app.backupMode, 0);
  EXPECT_EQ(app.comm.timeoutMs, 1500);
  EXPECT_EQ(app.comm.retryC1, 5);
  EXPECT_EQ(app.comm.retryC2, 5);
  EXPECT_EQ(app.comm.retryC3, 5);
  EXPECT_FALSE(app.viewMoveColumn);
  EXPECT_FALSE(app.graphVoltStrip);
}

TEST_F(AppStateTest, RetryCountsAreClampedOrDefaulted) {
  EXPECT_EQ(Load("COM_RETRY_C2=45\n").comm.retryC2, 30);
  EXPECT_EQ(Load("COM_RETRY_C2=30\n").comm.retryC2, 30);
  EXPECT_EQ(Load("COM_RETRY_C2=1\n").comm.retryC2, 1);
  EXPECT_EQ(Load("COM_RETRY_C2=0\n").comm.retryC2, 5);
  EXPECT_EQ(Load("COM_RETRY_C2=abc\n").comm.retryC2, 5);
  EXPECT_EQ(Load("COM_RETRY_C2=-3\n").comm.retryC2, 5);
  EXPECT_EQ(Load("COM_RETRY_C2=\n").comm.retryC2, 5);
  EXPECT_EQ(Load("COM_RETRY_C2=12abc\n").comm.retryC2, 12);
  EXPECT_EQ(Load("COM_RETRY_C2=99999999999999\n").comm.retryC2, 30);
  Load("COM_RETRY_C1=2\nCOM_RETRY_C3=31\n");
  EXPECT_EQ(app.comm.retryC1, 2);
  EXPECT_EQ(app.comm.retryC3, 30);
}

TEST_F(AppStateTest, TimeoutIsClampedOrDefaulted) {
  EXPECT_EQ(Load("COM_TIMEOUT_MS=20000\n").comm.timeoutMs, 10000);
  EXPECT_EQ(Load("COM_TIMEOUT_MS=10000\n").comm.timeoutMs, 10000);
  EXPECT_EQ(Load("COM_TIMEOUT_MS=1\n").comm.timeoutMs, 1);
  EXPECT_EQ(Load("COM_TIMEOUT_MS=0\n").comm.timeoutMs, 1500);
  EXPECT_EQ(Load("COM_TIMEOUT_MS=x\n").comm.timeoutMs, 1500);
  // The link reads the same values at each operation.
  Ini("COM_TIMEOUT_MS=20000\nCOM_RETRY_C1=45\n");
  CommSettings c = app.ReadCommSettings();
  EXPECT_EQ(c.timeoutMs, 10000);
  EXPECT_EQ(c.retryC1, 30);
}

TEST_F(AppStateTest, GraphGridIsOffOnlyForExactlyZero) {
  EXPECT_FALSE(Load("GRAPH_GRID=0\n").graph.grid);
  EXPECT_TRUE(Load("GRAPH_GRID=00\n").graph.grid);
  EXPECT_TRUE(Load("GRAPH_GRID=\n").graph.grid);
  EXPECT_TRUE(Load("GRAPH_GRID=1\n").graph.grid);
  EXPECT_TRUE(Load("GRAPH_GRID=off\n").graph.grid);
  EXPECT_TRUE(Load("").graph.grid);
}

TEST_F(AppStateTest, GraphAndInputDefaults) {
  Load(
      "GRAPH_MAXV=12.0\nGRAPH_MINV=0.5\nGRAPH_GAPX=3\nGRAPH_GAPY=1.5\n"
      "DATA_DEF_DISA=20\nDATA_DEF_DISB=5.5\nDATA_DEF_DISC=10\nDATA_DEF_CELL=6\n"
      "DATA_DEF_CUTV=6.0\nDATA_DEF_APO1=300\nDATA_DEF_APO3ST=100\nDATA_DEF_APO3ED=3000\n");
  EXPECT_EQ(app.graph, (GraphSettings{12.0, 0.5, true, 3, 1.5}));
  EXPECT_EQ(app.inputs, (InputConditions{6, 6.0, 20.0, 5.5, 10.0, 300}));
  EXPECT_EQ(app.avg3, (Avg3Range{100, 3000}));
}

TEST_F(AppStateTest, V1DefaultIsTruncatedToHundreds) {
  EXPECT_EQ(Load("DATA_DEF_APO1=3650\n").inputs.v1Point, 3600);
  EXPECT_EQ(Load("DATA_DEF_APO1=250\n").inputs.v1Point, 200);
  EXPECT_EQ(Load("DATA_DEF_APO1=99\n").inputs.v1Point, 0);
  EXPECT_EQ(Load("DATA_DEF_APO1=100\n").inputs.v1Point, 100);
}

TEST_F(AppStateTest, OptionFlagsBackupAndColumns) {
  Load("FLAG_NUMBTN=1\nFLAG_BACKUP=2\nVIEW_MOVE_COLUMN=1\nGRAPH_FIXED_VSCALE=1\n");
  EXPECT_EQ(app.optionFlags, kOptionContextMenu | kOptionNumberButtons);
  EXPECT_EQ(app.backupMode, 2);
  EXPECT_TRUE(app.viewMoveColumn);
  EXPECT_TRUE(app.graphVoltStrip);
  Load("FLAG_NUMBTN=0\nVIEW_MOVE_COLUMN=-1\nGRAPH_FIXED_VSCALE=0\n");
  EXPECT_EQ(app.optionFlags, kOptionContextMenu);
  EXPECT_EQ(app.backupMode, 0);
  EXPECT_FALSE(app.viewMoveColumn);
  EXPECT_FALSE(app.graphVoltStrip);
}

TEST_F(AppStateTest, KeysAreFoundWhateverTheirCaseAndSpacing) {
  test::WriteFile(dir.File("Dis.ini"),
                  "[Quorvex]\r\n  com_retry_c2 = 45 \r\n\tGraph_Grid\t=\t0\r\n"
                  "data_def_apo1 =3650\r\n");
  app.LoadSettings();
  EXPECT_EQ(app.comm.retryC2, 30);
  EXPECT_FALSE(app.graph.grid);
  EXPECT_EQ(app.inputs.v1Point, 3600);
}

TEST(ClampSetting, Rule) {
  EXPECT_EQ(ClampSetting(45, 5, 30), 30);
  EXPECT_EQ(ClampSetting(0, 5, 30), 5);
  EXPECT_EQ(ClampSetting(-1, 5, 30), 5);
  EXPECT_EQ(ClampSetting(7, 5, 30), 7);
  EXPECT_EQ(ClampSetting(INT_MAX, 1500, 10000), 10000);
}

// --- Write probe --------------------------------------------------------------

TEST_F(AppStateTest, ProbeCountsStartsAndReportsSuccess) {
  EXPECT_TRUE(app.ProbeSettingsWritable());
  EXPECT_EQ(app.settings.Get("RUNCNT"), "1");
  EXPECT_TRUE(app.ProbeSettingsWritable());
  EXPECT_EQ(app.settings.Get("RUNCNT"), "2");
  Ini("RUNCNT=41\nOTHER=x\n");
  EXPECT_TRUE(app.ProbeSettingsWritable());
  EXPECT_EQ(test::ReadFile(dir.File("Dis.ini")), "[QUORVEX]\nRUNCNT=42\nOTHER=x\n");
}

TEST_F(AppStateTest, ProbeFailsWhereTheFileCannotBeWritten) {
  // A folder under a regular file cannot exist, whatever rights the test has.
  test::WriteFile(dir.File("plain"), "x");
  app.settings.SetDirectory(dir.File("plain") + "/sub");
  EXPECT_FALSE(app.ProbeSettingsWritable());
}

TEST_F(AppStateTest, ProbeFailsOnAReadOnlyFile) {
  Ini("RUNCNT=3\n");
  ASSERT_EQ(chmod(dir.File("Dis.ini").c_str(), 0444), 0);
  EXPECT_FALSE(app.ProbeSettingsWritable());
  EXPECT_EQ(app.settings.Get("RUNCNT"), "3");
}

// The first values, byte for byte: the graph and inputs, the print layout of
// "既定値に戻す" with the graph width 0, labels of every record and the whole
// ID range for printing and the CSV export. A file that exists, even an
// empty one, is left as it is.
TEST_F(AppStateTest, ANewSettingsFileGetsTheFirstValuesAndAnOldOneIsNeverChanged) {
  ASSERT_TRUE(SeedNewSettings(app.settings));
  EXPECT_EQ(
      test::ReadFile(dir.File("Dis.ini")),
      "[QUORVEX]\r\n"
      "GRAPH_MAXV=12.0\r\nGRAPH_MINV=0.0\r\nGRAPH_GRID=0\r\nGRAPH_GAPX=3\r\nGRAPH_GAPY=1.0\r\n"
      "DATA_DEF_DISA=1.0\r\nDATA_DEF_DISB=0.5\r\nDATA_DEF_DISC=0.1\r\nDATA_DEF_CELL=1\r\n"
      "DATA_DEF_CUTV=1.0\r\nDATA_DEF_APO1=100\r\nDATA_DEF_APO3ST=0\r\nDATA_DEF_APO3ED=0\r\n"
      "PRINT_TOP_X=9\r\nPRINT_TOP_Y=21\r\nPRINT_LABEL_W=24\r\nPRINT_LABEL_H=33\r\n"
      "PRINT_LABEL_GX=4\r\nPRINT_LABEL_GY=4\r\nPRINT_GRAPH_WS=0\r\nPRINT_LABEL_CX=7\r\n"
      "PRINT_LABEL_CY=7\r\n"
      "PRINT_IDSTART1=001\r\nPRINT_IDSTART2=001\r\nPRINT_IDSTART3=001\r\n"
      "PRINT_IDEND1=999\r\nPRINT_IDEND2=999\r\nPRINT_IDEND3=999\r\n"
      "PRINT_RADIO=0\r\nPRINT_RADIO2=0\r\n"
      "EXPORT_CSV_IDSTART1=001\r\nEXPORT_CSV_IDSTART2=001\r\nEXPORT_CSV_IDSTART3=001\r\n"
      "EXPORT_CSV_IDEND1=999\r\nEXPORT_CSV_IDEND2=999\r\nEXPORT_CSV_IDEND3=999\r\n");
  for (const std::string& old : {std::string(), std::string("[QUORVEX]\nGRAPH_MAXV=9.0\n")}) {
    test::WriteFile(dir.File("Dis.ini"), old);
    EXPECT_FALSE(SeedNewSettings(app.settings));
    EXPECT_EQ(test::ReadFile(dir.File("Dis.ini")), old);
  }
}

// A FIFO in place of Dis.ini: start-up's seeding, loading and write probe go
// on at once with the missing values, and the probe reports the failure.
TEST_F(AppStateTest, AFifoInPlaceOfTheSettingsFileIsNeverWaitedOn) {
  const std::string fifo = dir.File("Dis.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  bool seeded = true, probed = true, set = true;
  std::optional<std::string> found;
  EXPECT_TRUE(test::EndsWithoutAWriter(
      [&] {
        seeded = SeedNewSettings(app.settings);
        app.LoadSettings();
        probed = app.ProbeSettingsWritable();
        found = app.settings.Find("RUNCNT");
        set = app.settings.Set("GRAPH_MAXV", "9.0");
      },
      {fifo}));
  EXPECT_FALSE(seeded);
  EXPECT_FALSE(probed);
  EXPECT_FALSE(found);
  EXPECT_FALSE(set);
  EXPECT_DOUBLE_EQ(app.graph.maxV, 0.0);
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));  // left as it is
}

// --- Single instance ----------------------------------------------------------

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_)
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }
  test::TempDir dir;
  std::optional<std::string> saved_;
};

TEST_F(InstanceLockTest, LockPathIsNamedAfterTheExecutableAndTheFolder) {
  const std::string folder = dir.path();
  const std::string name = InstanceLock::InstanceName("quorvex", folder);
  ASSERT_EQ(name.size(), std::string("quorvex-").size() + 16) << name;
  EXPECT_EQ(name.rfind("quorvex-", 0), 0u);
  EXPECT_EQ(InstanceLock::LockPath("quorvex", folder), dir.path() + "/" + name + ".lock");
  // Every spelling of one folder is one instance; another folder another.
  EXPECT_EQ(InstanceLock::InstanceName("/usr/bin/quorvex", folder + "/./"), name);
  ASSERT_EQ(::mkdir(dir.File("b").c_str(), 0700), 0);
  EXPECT_EQ(InstanceLock::InstanceName("quorvex", dir.File("b") + "/.."), name);
  EXPECT_NE(InstanceLock::InstanceName("quorvex", dir.File("b")), name);
  EXPECT_EQ(InstanceLock::InstanceName("", folder), name);
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(InstanceLock::LockPath("quorvex", folder),
            "/tmp/" + name + "-" + std::to_string(getuid()) + ".lock");
}

TEST_F(InstanceLockTest, SecondHolderOfAFolderIsRefusedUntilTheFirstReleases) {
  const std::string a = dir.File("a"), b = dir.File("b");
  ASSERT_EQ(::mkdir(a.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(b.c_str(), 0700), 0);
  InstanceLock first, second;
  ASSERT_TRUE(first.Acquire("qv-lock-test", a));
  EXPECT_FALSE(second.Acquire("qv-lock-test", a));  // a second open file description
  EXPECT_EQ(InstanceLock::Holder("qv-lock-test", a), getpid());
  // Another folder is another station; another name another program.
  InstanceLock otherFolder, otherName;
  EXPECT_TRUE(otherFolder.Acquire("qv-lock-test", b));
  EXPECT_TRUE(otherName.Acquire("qv-other-name", a));
  first.Release();
  EXPECT_EQ(InstanceLock::Holder("qv-lock-test", a), 0);
  EXPECT_TRUE(second.Acquire("qv-lock-test", a));
}

TEST_F(InstanceLockTest, AnotherProcessLearnsItMustExit) {
  const std::string folder = dir.path();
  InstanceLock lock;
  ASSERT_TRUE(lock.Acquire("qv-lock-test", folder));
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    InstanceLock again;
    _exit(again.Acquire("qv-lock-test", folder) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  lock.Release();
  pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    InstanceLock again;
    _exit(again.Acquire("qv-lock-test", folder) ? 0 : 1);
  }
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(InstanceLockTest, TheLockEndsWithTheProcess) {
  const std::string folder = dir.path();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    InstanceLock lock;
    _exit(lock.Acquire("qv-lock-test", folder) ? 0 : 1);  // exits without releasing
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(InstanceLock::Holder("qv-lock-test", folder), 0);
  InstanceLock mine;
  EXPECT_TRUE(mine.Acquire("qv-lock-test", folder));
}

}  // namespace
}  // namespace qv
