// quorvex-cli export-csv, run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/data_file.h"
#include "output/csv_export.h"
#include "output_test_util.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

class CliExportCsv : public ::testing::Test {
 protected:
  void SetUp() override {
    cli = std::string(QV_BIN_DIR) + "/quorvex-cli";
    if (!FileExists(cli)) GTEST_SKIP() << "quorvex-cli is not built";
    std::filesystem::create_directory(dir.File("out"));
    CMeasureData current;
    records.push_back(MakeRecord(1, 2, 3, 1));
    AddPoints(*records.back(), 100, 10, 1.4);
    records.push_back(MakeRecord(1, 2, 3, 6));
    records.back()->remark = "second";
    AddPoints(*records.back(), 50, 10);
    records.push_back(MakeRecord(7, 7, 7, 6));
    WriteFile(dir.File("in.qd1"), DataFileBytes(current, records, DataFileForm::kFull));
  }

  int Run(const std::string& args) {
    std::string cmd =
        "cd '" + dir.path() + "' && '" + cli + "' export-csv " + args + " >stdout.txt 2>stderr.txt";
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }

  TempDir dir;
  std::string cli;
  RecordList records;
};

TEST_F(CliExportCsv, WholeRangeByDefault) {
  ASSERT_EQ(Run("in.qd1 --out out"), 0) << ReadFile(dir.File("stderr.txt"));
  EXPECT_EQ(ReadFile(dir.File("stdout.txt")), "3 個のデータファイルを出力しました。\n");
  EXPECT_EQ(ReadFile(dir.File("out/qd1_001002003.csv")), CsvFileBytes(*records[0]));
  EXPECT_EQ(ReadFile(dir.File("out/qd1_001002003_1.csv")), CsvFileBytes(*records[1]));
  EXPECT_EQ(ReadFile(dir.File("out/qd1_007007007.csv")), CsvFileBytes(*records[2]));
}

TEST_F(CliExportCsv, RangeLimitsTheFiles) {
  ASSERT_EQ(Run("in.qd1 --out out/ --from 5-1-1 --to 999-999-999"), 0);
  EXPECT_EQ(ReadFile(dir.File("stdout.txt")), "1 個のデータファイルを出力しました。\n");
  EXPECT_TRUE(FileExists(dir.File("out/qd1_007007007.csv")));
  EXPECT_FALSE(FileExists(dir.File("out/qd1_001002003.csv")));
}

TEST_F(CliExportCsv, ReversedRangeWritesNothing) {
  ASSERT_EQ(Run("in.qd1 --out out --from 5-1-1 --to 1-1-1"), 0);
  EXPECT_EQ(ReadFile(dir.File("stdout.txt")), "0 個のデータファイルを出力しました。\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
}

TEST_F(CliExportCsv, BadIdAndMissingFolderAreRefused) {
  EXPECT_NE(Run("in.qd1 --out out --from 0-1-1"), 0);
  EXPECT_EQ(ReadFile(dir.File("stderr.txt")),
            "ID欄が未記入であるか、不正な値があります。\n"
            "各ID欄にはそれぞれ1～999の値を設定してください。\n");
  EXPECT_NE(Run("in.qd1 --out nowhere"), 0);
  EXPECT_NE(ReadFile(dir.File("stderr.txt")).find("指定されたフォルダが見つかりません。"),
            std::string::npos);
  EXPECT_NE(Run("missing.qd1 --out out"), 0);
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
}

}  // namespace
}  // namespace qv::test
