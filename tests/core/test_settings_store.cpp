// The private-profile settings file "Dis.ini": reading, writing, and what a
// hand-edited file may look like.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/settings_store.h"
#include "data/codec.h"
#include "support/test_support.h"

namespace qv {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string Ini() const { return dir.File("Dis.ini"); }
  void WriteIni(const std::string& text) const { test::WriteFile(Ini(), text); }
  std::string ReadIni() const { return test::ReadFile(Ini()); }

  test::TempDir dir;
  CSettingsStore store{dir.path(), "Dis.ini"};
};

TEST_F(SettingsStoreTest, PathHasTheSeparatorAdded) {
  EXPECT_EQ(store.Directory(), dir.path() + "/");
  EXPECT_EQ(store.Path(), dir.path() + "/Dis.ini");
  EXPECT_EQ(store.Section(), "QUORVEX");
  CSettingsStore s2;
  s2.SetDirectory("/x/");
  EXPECT_EQ(s2.Directory(), "/x/");
}

TEST_F(SettingsStoreTest, MissingFileSectionOrKeyGivesEmpty) {
  EXPECT_EQ(store.Get("COMPORT"), "");
  WriteIni("[OTHER]\nCOMPORT=3\n");
  EXPECT_EQ(store.Get("COMPORT"), "");
  WriteIni("[QUORVEX]\nFILE=a.qd1\n");
  EXPECT_EQ(store.Get("COMPORT"), "");
  EXPECT_EQ(store.GetInt("COMPORT"), 0);
  EXPECT_EQ(store.GetDouble("GRAPH_MAXV"), 0.0);
}

TEST_F(SettingsStoreTest, HandWrittenFileWithOddSpacingCaseAndCrlf) {
  WriteIni(
      "; settings written by hand\r\n"
      "[Other]\r\n"
      "COMPORT=9\r\n"
      "\r\n"
      "  [ quorvex ]  \r\n"
      "   comport   =   4   \r\n"
      "Graph_MaxV=12.5\r\n"
      "\tGRAPH_GRID\t=\t0\r\n"
      ";COM_RETRY_C1=7\r\n"
      "EMPTY=\r\n"
      "NOEQUALS\r\n"
      "QUOTED=\"a b\"\r\n"
      "INNER= x = y \r\n"
      "[NEXT]\r\n"
      "FILE=nope\r\n");
  EXPECT_EQ(store.Get("COMPORT"), "4");
  EXPECT_EQ(store.Get("comport"), "4");
  EXPECT_EQ(store.GetInt("ComPort"), 4);
  EXPECT_EQ(store.GetDouble("GRAPH_MAXV"), 12.5);
  EXPECT_EQ(store.Get("GRAPH_GRID"), "0");
  EXPECT_EQ(store.Get("COM_RETRY_C1"), "");  // a comment, not a key
  EXPECT_EQ(store.Get("EMPTY"), "");
  EXPECT_EQ(store.Get("NOEQUALS"), "");
  EXPECT_EQ(store.Get("QUOTED"), "a b");
  EXPECT_EQ(store.Get("INNER"), "x = y");
  EXPECT_EQ(store.Get("FILE"), "");  // belongs to [NEXT]
}

TEST_F(SettingsStoreTest, LastLineWithoutLineEnd) {
  WriteIni("[QUORVEX]\nCOMPORT=5");
  EXPECT_EQ(store.Get("COMPORT"), "5");
  store.Set("FILE", "x");
  EXPECT_EQ(ReadIni(), "[QUORVEX]\nCOMPORT=5\nFILE=x\n");
}

TEST_F(SettingsStoreTest, SetCreatesFileAndSectionWithCrLfLines) {
  EXPECT_FALSE(store.Find("COMPORT").has_value());
  EXPECT_TRUE(store.Set("COMPORT", "3"));
  EXPECT_TRUE(store.Set("EMPTY", ""));
  EXPECT_EQ(ReadIni(), "[QUORVEX]\r\nCOMPORT=3\r\nEMPTY=\r\n");
  EXPECT_EQ(store.Get("COMPORT"), "3");
  EXPECT_EQ(store.Find("empty"), std::optional<std::string>(""));
  EXPECT_FALSE(store.Find("MISSING").has_value());
  WriteIni("[OTHER]\nA=1\n");
  EXPECT_TRUE(store.Set("COMPORT", "4"));
  EXPECT_EQ(ReadIni(), "[OTHER]\nA=1\n[QUORVEX]\nCOMPORT=4\n");
}

TEST_F(SettingsStoreTest, SetKeepsEverythingElseOfTheFile) {
  const std::string before =
      "; comment line\r\n"
      "[OTHER]\r\n"
      "COMPORT=9\r\n"
      "\r\n"
      "[quorvex]\r\n"
      "  ComPort = 4 \r\n"
      "; keep me\r\n"
      "FILE=" +
      Sj("データ.qd1") +
      "\r\n"
      "\r\n"
      "[LAST]\r\n"
      "X=1\r\n";
  WriteIni(before);
  EXPECT_TRUE(store.Set("COMPORT", "7"));
  EXPECT_TRUE(store.Set("RUNCNT", "1"));
  EXPECT_EQ(ReadIni(),
            "; comment line\r\n"
            "[OTHER]\r\n"
            "COMPORT=9\r\n"
            "\r\n"
            "[quorvex]\r\n"
            "COMPORT=7\r\n"
            "; keep me\r\n"
            "FILE=" +
                Sj("データ.qd1") +
                "\r\n"
                "RUNCNT=1\r\n"
                "\r\n"
                "[LAST]\r\n"
                "X=1\r\n");
  EXPECT_EQ(store.Get("FILE"), Sj("データ.qd1"));
}

TEST_F(SettingsStoreTest, NothingIsCached) {
  EXPECT_EQ(store.Get("COMPORT"), "");
  WriteIni("[QUORVEX]\nCOMPORT=6\n");
  EXPECT_EQ(store.Get("COMPORT"), "6");
  CSettingsStore other(dir.path(), "Dis.ini");
  other.Set("COMPORT", "8");
  EXPECT_EQ(store.Get("COMPORT"), "8");
}

TEST_F(SettingsStoreTest, ValuesUpTo1023Bytes) {
  const std::string v1023(1023, 'v');
  EXPECT_TRUE(store.Set("EXPORT_CSV", v1023));
  EXPECT_EQ(store.Get("EXPORT_CSV"), v1023);
  EXPECT_TRUE(store.Set("EXPORT_CSV", std::string(1500, 'w')));
  EXPECT_EQ(store.Get("EXPORT_CSV"), std::string(1023, 'w'));
  EXPECT_EQ(ReadIni().size(), std::string("[QUORVEX]\r\nEXPORT_CSV=\r\n").size() + 1500);
}

TEST_F(SettingsStoreTest, ValuesCannotSpanLines) {
  EXPECT_TRUE(store.Set("A", "one\ntwo\r\n"));
  EXPECT_EQ(store.Get("A"), "one two");
  EXPECT_EQ(store.Get("two"), "");
}

TEST_F(SettingsStoreTest, KeysThatCannotBeReadBackAreRefused) {
  EXPECT_FALSE(store.Set("", "1"));
  EXPECT_FALSE(store.Set("A=B", "1"));
  EXPECT_FALSE(store.Set("[QUORVEX]", "1"));
  EXPECT_FALSE(test::FileExists(Ini()));
}

TEST_F(SettingsStoreTest, Cp932ValuesRoundTrip) {
  const std::string font = Sj("ＭＳ ゴシック");
  EXPECT_TRUE(store.Set("PRINT_FONT", font));
  EXPECT_EQ(store.Get("PRINT_FONT"), font);
}

TEST_F(SettingsStoreTest, ReadOnlyFileIsNotReplaced) {
  WriteIni("[QUORVEX]\nRUNCNT=3\n");
  ASSERT_EQ(chmod(Ini().c_str(), 0444), 0);
  EXPECT_FALSE(store.Set("RUNCNT", "4"));
  EXPECT_EQ(ReadIni(), "[QUORVEX]\nRUNCNT=3\n");
}

TEST_F(SettingsStoreTest, UnwritableFolderFailsQuietly) {
  // A folder under a regular file can never be created, whatever the rights.
  test::WriteFile(dir.File("plain"), "x");
  CSettingsStore s(dir.File("plain") + "/sub", "Dis.ini");
  EXPECT_FALSE(s.Set("RUNCNT", "1"));
  EXPECT_EQ(s.Get("RUNCNT"), "");
}

TEST_F(SettingsStoreTest, WritesThroughASymbolicLink) {
  test::WriteFile(dir.File("real.ini"), "[QUORVEX]\nA=1\n");
  ASSERT_EQ(symlink("real.ini", Ini().c_str()), 0);
  EXPECT_TRUE(store.Set("B", "2"));
  EXPECT_EQ(test::ReadFile(dir.File("real.ini")), "[QUORVEX]\nA=1\nB=2\n");
  struct stat st {};
  ASSERT_EQ(lstat(Ini().c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(SettingsStoreTest, NewFilesFollowTheExistingLineEnds) {
  WriteIni("[QUORVEX]\r\nA=1\r\n");
  store.Set("B", "2");
  EXPECT_EQ(ReadIni(), "[QUORVEX]\r\nA=1\r\nB=2\r\n");
}

TEST_F(SettingsStoreTest, CurrentDirectoryEndsWithASeparator) {
  std::string cwd = CurrentDirectory();
  ASSERT_FALSE(cwd.empty());
  EXPECT_EQ(cwd.back(), '/');
}

// --- Writing several keys at once ---------------------------------------------------

TEST_F(SettingsStoreTest, SetManyWritesEveryKeyInOneRewrite) {
  WriteIni("; kept\r\n[OTHER]\r\nA=1\r\n[quorvex]\r\nfile=old.qd1\r\n\r\n[LAST]\r\nB=2\r\n");
  EXPECT_TRUE(store.SetMany({{"FILE", "new.qd1"}, {"PATH", "/d/new.qd1"}, {"FILE", "last.qd1"}}));
  EXPECT_EQ(ReadIni(),
            "; kept\r\n[OTHER]\r\nA=1\r\n[quorvex]\r\nFILE=last.qd1\r\nPATH=/d/new.qd1\r\n\r\n"
            "[LAST]\r\nB=2\r\n");
  EXPECT_EQ(store.Get("path"), "/d/new.qd1");
}

TEST_F(SettingsStoreTest, SetManyCreatesTheFileAndSectionOnce) {
  EXPECT_TRUE(store.SetMany({{"INP1_DISA", "1.5"}, {"INP1_MEMO", "a"}, {"COUNT", "1"}}));
  EXPECT_EQ(ReadIni(), "[QUORVEX]\r\nINP1_DISA=1.5\r\nINP1_MEMO=a\r\nCOUNT=1\r\n");
}

TEST_F(SettingsStoreTest, SetManyWithAnInvalidKeyWritesNothing) {
  WriteIni("[QUORVEX]\nA=1\n");
  EXPECT_FALSE(store.SetMany({{"A", "2"}, {"B=C", "3"}}));
  EXPECT_EQ(ReadIni(), "[QUORVEX]\nA=1\n");
}

TEST_F(SettingsStoreTest, ManyWritesLeaveNoTemporaryFiles) {
  for (int i = 0; i < 200; ++i)
    ASSERT_TRUE(store.Set("K" + std::to_string(i % 7), std::to_string(i)));
  EXPECT_EQ(store.Get("K3"), "199");
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1);  // Dis.ini only
}

}  // namespace
}  // namespace qv
