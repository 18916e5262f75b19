// The file information texts.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <regex>

#include "data/file_info.h"
#include "test_document_fixture.h"

namespace qv::test {
namespace {

class TzUtc {
 public:
  TzUtc() {
    const char* tz = std::getenv("TZ");
    had_ = tz != nullptr;
    if (had_) old_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  ~TzUtc() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(FileInfo, TimeFormatUsesTheCLocaleWeekday) {
  TzUtc utc;
  // A user locale must not change the weekday name.
  const char* prev = std::setlocale(LC_TIME, nullptr);
  const std::string saved = prev ? prev : "C";
  std::setlocale(LC_TIME, "de_DE.UTF-8");  // may be missing; then nothing changes
  EXPECT_EQ(Cp932ToUtf8(FormatFileTime(1425463872)), "2015年 03月 04日 Wed 10:11:12");
  std::setlocale(LC_TIME, saved.c_str());
}

TEST_F(DocTest, FileInfoIsEmptyBeforeAnyOpenOrSave) {
  FileInfoTexts t = GetFileInfo(app);
  EXPECT_EQ(t.name, "");
  EXPECT_EQ(t.path, "");
  EXPECT_EQ(t.version, "");
  EXPECT_EQ(t.created, "");
  EXPECT_EQ(t.modified, "");
}

TEST_F(DocTest, FileInfoAfterSaveAndAfterTheFileIsGone) {
  // A "100" file: the version text, then the current record without a count.
  std::string bytes = DataFileBytes(doc->Current(), doc->Registered(), DataFileForm::kFull);
  bytes =
      "\x03"
      "100" +
      bytes.substr(8);
  const std::string old = dir.File("old.qd1");
  WriteFile(old, bytes);
  ASSERT_TRUE(OpenDataFile(*doc, ui, old));
  EXPECT_EQ(GetFileInfo(app).version, "100");

  const std::string path = dir.File("b.qd1");
  ASSERT_TRUE(SaveDataFile(*doc, ui, path));
  FileInfoTexts t = GetFileInfo(app);
  EXPECT_EQ(t.name, "b.qd1");
  EXPECT_EQ(t.path, path);
  EXPECT_EQ(t.version, "101");
  const std::regex shape(
      "\\d{4}年 \\d{2}月 \\d{2}日 (Mon|Tue|Wed|Thu|Fri|Sat|Sun) \\d{2}:\\d{2}:\\d{2}");
  EXPECT_TRUE(std::regex_match(Cp932ToUtf8(t.modified), shape)) << Cp932ToUtf8(t.modified);
  FileTimes times = ReadFileTimes(path);
  ASSERT_TRUE(times.modified);
  EXPECT_EQ(t.modified, FormatFileTime(*times.modified));
  if (times.created) {
    EXPECT_EQ(t.created, FormatFileTime(*times.created));
  } else {
    EXPECT_EQ(t.created, "");  // this file system keeps no creation time
  }

  ::unlink(path.c_str());
  t = GetFileInfo(app);
  EXPECT_EQ(t.name, "b.qd1");
  EXPECT_EQ(t.path, path);
  EXPECT_EQ(t.version, "101");
  EXPECT_EQ(t.created, "");
  EXPECT_EQ(t.modified, "");
}

TEST(FileInfo, ProgramVersionComesFromTheBuild) {
  EXPECT_EQ(ProgramVersionText(), QV_VERSION_TEXT);
  EXPECT_FALSE(ProgramVersionText().empty());
}

}  // namespace
}  // namespace qv::test
