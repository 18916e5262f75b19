#include "output/csv_export.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/app_state.h"
#include "core/settings_store.h"
#include "data/codec.h"
#include "output/record_texts.h"
#include "output_test_util.h"
#include "support/test_support.h"

namespace qv {
namespace {

using test::MakeRecord;

std::string Header() {
  return Sj(
      "Quorvex計測データ,Quorvex  -  ORVANTIS battery discharge analyzer (Halvorn)\r\n"
      "\r\n"
      ",,放電時間,放電容量,放電電力,平均電圧1,平均電圧2,内部抵抗,ＰＩＲ,放電電流A,放電電流B,"
      "放電電流C,セル数,終了電圧,V1測定点,備考\r\n"
      "登録ID,計測日時,秒,mAh,mWh,V,V,mΩ,,A,A,A,,V,秒,\r\n");
}

TEST(CsvFile, BannerKeepsTwoFieldsAndNamesTheMaker) {
  const std::string notice = kMakerNotice;
  EXPECT_EQ(notice.find_first_of(",\r\n"), std::string::npos);
  EXPECT_NE(notice.find("Halvorn"), std::string::npos);
  const std::string bytes = CsvFileBytes(*MakeRecord(1, 2, 3));
  const std::string banner = bytes.substr(0, bytes.find("\r\n"));
  EXPECT_EQ(std::count(banner.begin(), banner.end(), ','), 1);
}

TEST(CsvFile, OneCellRecordWritesThreeDecimals) {
  auto r = MakeRecord(1, 2, 3, 1);
  r->remark = Sj("備考あり");
  r->AppendPoint({0, 1.0, 1.4004, 0.0, 1.4004});
  r->AppendPoint({12, 1.0, 1.2344, 1500.0, 7.2});
  std::string expected = Header() +
                         Sj("001-002-003,2024/03/05 14:07:09,12,1500,10800,7.123,7.200,45.7,12.3,"
                            "10.0,5.0,1.5,1,5.4,300,備考あり\r\n") +
                         "\r\n" + Sj("放電時間,電池電圧\r\n") + "0,1.400\r\n12,1.234\r\n";
  EXPECT_EQ(CsvFileBytes(*r), expected);
}

TEST(CsvFile, SixCellRecordWritesTwoDecimals) {
  auto r = MakeRecord(1, 2, 3, 6);
  r->AppendPoint({12, 10.0, 7.414, 1000.5, 1.2345});
  std::string bytes = CsvFileBytes(*r);
  EXPECT_NE(bytes.find(",1000,1235,"), std::string::npos) << "%.0f rounds, energy truncates";
  EXPECT_EQ(bytes.substr(bytes.size() - 9), "12,7.41\r\n");
}

TEST(CsvFile, RecordWithoutPointsHasZerosAndNoSeries) {
  auto r = MakeRecord(9, 8, 7);
  std::string bytes = CsvFileBytes(*r);
  EXPECT_NE(bytes.find(Sj("009-008-007,2024/03/05 14:07:09,0,0,0,7.123,0.000,45.7,")),
            std::string::npos);
  const std::string tail = Sj("放電時間,電池電圧\r\n");
  EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
}

// The summary line of a record without points, up to its remark field.
std::string SummaryUpToRemark() {
  return Sj("001-001-001,2024/03/05 14:07:09,0,0,0,7.123,0.000,45.7,12.3,10.0,5.0,1.5,6,5.4,300,");
}

std::string FileOfSummary(const std::string& summary) {
  return Header() + summary + "\r\n\r\n" + Sj("放電時間,電池電圧\r\n");
}

// Remark fields as RFC 4180 quotes them, and only when they must be.
TEST(CsvFile, RemarksAreQuotedOnlyWhenTheyHoldACommaAQuoteOrALineBreak) {
  const struct {
    std::string remark, field;
  } cases[] = {
      {"", ""},
      {Sj("備考あり"), Sj("備考あり")},
      {Sj("ソ表"), Sj("ソ表")},  // trail bytes 0x5C, no quoting
      {"a'b;c\td", "a'b;c\td"},
      {"a,b", "\"a,b\""},
      {"\"quoted\" at the start", "\"\"\"quoted\"\" at the start\""},
      {"end\"", "\"end\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"two\nlines", "\"two\r\nlines\""},
      {"\nfirst", "\"\r\nfirst\""},
      {"cr\ronly", "\"cr\ronly\""},
      {Sj("電池,\"新品\"\r\n２回目"), Sj("\"電池,\"\"新品\"\"\r\n２回目\"")},
  };
  for (const auto& c : cases) {
    auto r = MakeRecord(1, 1, 1);
    r->remark = c.remark;
    EXPECT_EQ(CsvFileBytes(*r), FileOfSummary(SummaryUpToRemark() + c.field)) << c.remark;
  }
}

// Python's csv module, a reader that keeps to RFC 4180, reads the files back
// from Shift-JIS: every summary line has 16 fields and its last one is the
// remark.
TEST(CsvFile, AThirdPartyReaderGetsSixteenFieldsAndTheRemark) {
  if (std::system("python3 -c 'import csv, json' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no python3 with its csv module";
  const std::vector<std::string> remarks = {Sj("備考"),
                                            "a,b",
                                            "\"leading quote",
                                            "say \"hi\", then go",
                                            "two\r\nlines",
                                            Sj("電池,\"新品\"\r\n２回目,終"),
                                            ""};
  test::TempDir dir;
  std::string args;
  for (size_t i = 0; i < remarks.size(); ++i) {
    auto r = MakeRecord(1, 1, 1);
    r->remark = remarks[i];
    test::AddPoints(*r, 2);
    const std::string path = dir.File("r" + std::to_string(i) + ".csv");
    test::WriteFile(path, CsvFileBytes(*r));
    args += " " + path;
  }
  test::WriteFile(dir.File("read.py"),
                  "import csv, json, sys\n"
                  "for path in sys.argv[1:]:\n"
                  "    with open(path, encoding='cp932', newline='') as f:\n"
                  "        rows = list(csv.reader(f))\n"
                  "    print(json.dumps([len(rows), rows[4]]))\n");
  FILE* p = ::popen(("python3 " + dir.File("read.py") + args).c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, p))
    out.append(buf, n);
  ASSERT_EQ(::pclose(p), 0) << out;
  std::istringstream lines(out);
  for (const std::string& remark : remarks) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const nlohmann::json j = nlohmann::json::parse(line);
    EXPECT_EQ(j[0], 10) << line;  // 7 lines, then 3 points
    ASSERT_EQ(j[1].size(), 16u) << line;
    EXPECT_EQ(j[1][0], "001-001-001");
    EXPECT_EQ(j[1][14], "300");
    EXPECT_EQ(j[1][15], Cp932ToUtf8(remark)) << line;
  }
}

TEST(CsvFile, EveryLineEndsInCrLf) {
  auto r = MakeRecord(1, 1, 1);
  r->remark = "two\nlines";
  std::string bytes = CsvFileBytes(*r);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_EQ(bytes[i - 1], '\r') << "at " << i;
    }
  }
}

TEST(CsvNames, SameIdGetsNumberedSuffixes) {
  CsvNameTable names;
  auto a = MakeRecord(1, 2, 3);
  auto b = MakeRecord(4, 5, 6);
  EXPECT_EQ(CsvFileName(*a, names), "qd1_001002003.csv");
  EXPECT_EQ(CsvFileName(*a, names), "qd1_001002003_1.csv");
  EXPECT_EQ(CsvFileName(*b, names), "qd1_004005006.csv");
  EXPECT_EQ(CsvFileName(*a, names), "qd1_001002003_2.csv");
}

TEST(CsvNames, SeparatorAddedOnlyWhenMissing) {
  EXPECT_EQ(CsvJoinPath("/data", "x.csv"), "/data/x.csv");
  EXPECT_EQ(CsvJoinPath("/data/", "x.csv"), "/data/x.csv");
}

RecordList ThreeRecords() {
  RecordList list;
  list.push_back(MakeRecord(1, 2, 3));
  list.back()->remark = "first";
  list.push_back(MakeRecord(1, 2, 3));
  list.back()->remark = "second";
  list.push_back(MakeRecord(5, 1, 1));
  return list;
}

TEST(CsvWriter, TwoRecordsWithOneIdInListOrder) {
  test::TempDir dir;
  RecordList list = ThreeRecords();
  test::WriteFile(dir.File("qd1_001002003.csv"), "old content");
  CsvExportResult r = WriteCsvFiles(list, dir.path(), 1001001, 999999999);
  EXPECT_EQ(r.written, 3);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(test::ReadFile(dir.File("qd1_001002003.csv")), CsvFileBytes(*list[0]));
  EXPECT_EQ(test::ReadFile(dir.File("qd1_001002003_1.csv")), CsvFileBytes(*list[1]));
  EXPECT_TRUE(test::FileExists(dir.File("qd1_005001001.csv")));
}

TEST(CsvWriter, RangeIsInclusiveAndReversedRangeWritesNothing) {
  test::TempDir dir;
  RecordList list = ThreeRecords();
  EXPECT_EQ(WriteCsvFiles(list, dir.path(), 5001001, 5001001).written, 1);
  test::TempDir dir2;
  CsvExportResult r = WriteCsvFiles(list, dir2.path(), 5001001, 1001001);
  EXPECT_EQ(r.written, 0);
  EXPECT_FALSE(r.failed);
  EXPECT_TRUE(std::filesystem::is_empty(dir2.path()));
}

TEST(CsvWriter, UnsetIdNeverInRange) {
  test::TempDir dir;
  RecordList list;
  list.push_back(std::make_unique<CMeasureData>());
  EXPECT_EQ(WriteCsvFiles(list, dir.path(), 1001001, 999999999).written, 0);
}

TEST(CsvWriter, FileThatCannotBeCreatedIsSkipped) {
  test::TempDir dir;
  RecordList list = ThreeRecords();
  // A folder in the way of the first file name.
  ::mkdir(dir.File("qd1_001002003.csv").c_str(), 0755);
  CsvExportResult r = WriteCsvFiles(list, dir.path(), 1001001, 999999999);
  EXPECT_EQ(r.written, 2);
  EXPECT_FALSE(r.failed);
  EXPECT_TRUE(test::FileExists(dir.File("qd1_001002003_1.csv")));
}

TEST(CsvWriter, WriteErrorStopsTheWalk) {
  if (!test::FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  test::TempDir dir;
  RecordList list = ThreeRecords();
  // The second file name leads to a device that refuses every write.
  ASSERT_EQ(::symlink("/dev/full", dir.File("qd1_001002003_1.csv").c_str()), 0);
  CsvExportResult r = WriteCsvFiles(list, dir.path(), 1001001, 999999999);
  EXPECT_TRUE(r.failed);
  EXPECT_EQ(r.written, 1);
  EXPECT_TRUE(test::FileExists(dir.File("qd1_001002003.csv")));
  EXPECT_FALSE(test::FileExists(dir.File("qd1_005001001.csv")));
}

class CsvDialog : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::TempDir out;
  CSettingsStore settings{dir.path(), "Dis.ini"};
  test::FakeUi ui;
  RecordList list = ThreeRecords();
  CCsvExportDlg dlg;

  void Fill(const char* f1, const char* f2, const char* f3, const char* t1, const char* t2,
            const char* t3) {
    dlg.from = {f1, f2, f3};
    dlg.to = {t1, t2, t3};
  }
};

TEST_F(CsvDialog, OpensWithStoredFolderAndEmptyIds) {
  settings.Set("EXPORT_CSV", out.path());
  dlg.Open(settings);
  EXPECT_EQ(dlg.folder, out.path());
  EXPECT_EQ(dlg.from[0], "");
  EXPECT_EQ(dlg.to[2], "");
}

// The range of an export is stored with the folder and shown at the next
// opening; a new settings file opens with the whole range and exports every
// record at once.
TEST_F(CsvDialog, TheRangeIsStoredAndAFreshSettingsFileHoldsTheWholeRange) {
  ASSERT_TRUE(SeedNewSettings(settings));
  dlg.Open(settings);
  EXPECT_EQ(dlg.from, (std::array<std::string, 3>{"001", "001", "001"}));
  EXPECT_EQ(dlg.to, (std::array<std::string, 3>{"999", "999", "999"}));
  dlg.folder = out.path();
  ASSERT_TRUE(dlg.Export(ui, settings, list));
  EXPECT_EQ(dlg.result.written, 3);

  Fill("5", "1", "01", "5", "1", "1x");
  ASSERT_TRUE(dlg.Export(ui, settings, list));
  EXPECT_EQ(dlg.result.written, 1);
  EXPECT_EQ(settings.Get("EXPORT_CSV_IDSTART1"), "005");
  EXPECT_EQ(settings.Get("EXPORT_CSV_IDEND3"), "001");
  CCsvExportDlg again;
  again.Open(settings);
  EXPECT_EQ(again.folder, out.path());
  EXPECT_EQ(again.from, (std::array<std::string, 3>{"005", "001", "001"}));
  EXPECT_EQ(again.to, (std::array<std::string, 3>{"005", "001", "001"}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CsvDialog, IdFieldsOutsideOneTo999AreRefused) {
  dlg.folder = out.path();
  for (auto parts : {std::array<const char*, 3>{"0", "1", "1"},
                     {"1", "", "1"},
                     {"1", "1", "-1"},
                     {"abc", "1", "1"}}) {
    Fill(parts[0], parts[1], parts[2], "999", "999", "999");
    EXPECT_FALSE(dlg.Export(ui, settings, list));
    Fill("1", "1", "1", parts[0], parts[1], parts[2]);
    EXPECT_FALSE(dlg.Export(ui, settings, list));
  }
  ASSERT_EQ(ui.messages.size(), 8u);
  EXPECT_EQ(ui.TextsUtf8()[0],
            "ID欄が未記入であるか、不正な値があります。\n"
            "各ID欄にはそれぞれ1～999の値を設定してください。");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "登録ID指定");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(settings.Get("EXPORT_CSV"), "");
}

TEST_F(CsvDialog, FolderChecksComeAfterTheIds) {
  Fill("1", "1", "1", "999", "999", "999");
  EXPECT_FALSE(dlg.Export(ui, settings, list));
  dlg.folder = out.path() + "/missing";
  EXPECT_FALSE(dlg.Export(ui, settings, list));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.TextsUtf8()[0], "出力先フォルダを指定してください。");
  EXPECT_EQ(ui.TextsUtf8()[1], "指定されたフォルダが見つかりません。");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[1].caption), "出力先フォルダ指定");
  EXPECT_EQ(settings.Get("EXPORT_CSV"), "");
}

TEST_F(CsvDialog, ExportStoresFolderAndReportsCount) {
  Fill("1", "1", "1", "999", "999", "999");
  dlg.folder = out.path();
  ASSERT_TRUE(dlg.Export(ui, settings, list));
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(settings.Get("EXPORT_CSV"), out.path());
  Message m = CsvExportResultMessage(dlg.result);
  EXPECT_EQ(Cp932ToUtf8(m.text), "3 個のデータファイルを出力しました。");
  EXPECT_EQ(Cp932ToUtf8(m.caption), "ファイル出力完了");
  EXPECT_EQ(m.icon, MsgIcon::kInformation);
}

TEST_F(CsvDialog, ReversedRangeReportsZero) {
  Fill("5", "1", "1", "1", "1", "1");
  dlg.folder = out.path();
  ASSERT_TRUE(dlg.Export(ui, settings, list));
  EXPECT_EQ(Cp932ToUtf8(CsvExportResultMessage(dlg.result).text),
            "0 個のデータファイルを出力しました。");
}

TEST_F(CsvDialog, FailureMessage) {
  Message m = CsvExportResultMessage({1, true});
  EXPECT_EQ(Cp932ToUtf8(m.text), "ファイル出力に失敗しました。");
  EXPECT_EQ(Cp932ToUtf8(m.caption), "ファイル出力");
  EXPECT_EQ(m.icon, MsgIcon::kWarning);
}

TEST_F(CsvDialog, BrowseStartsAtFolderAndKeepsTextOnCancel) {
  dlg.folder = "/somewhere";
  dlg.Browse(ui);
  EXPECT_EQ(dlg.folder, "/somewhere");
  ui.ChooseFile(out.path());
  dlg.Browse(ui);
  EXPECT_EQ(dlg.folder, out.path());
  ASSERT_EQ(ui.folderRequests.size(), 2u);
  EXPECT_EQ(ui.folderRequests[0].startDirectory, "/somewhere");
  EXPECT_EQ(Cp932ToUtf8(ui.folderRequests[0].title), "出力先フォルダを指定してください。");
}

}  // namespace
}  // namespace qv
