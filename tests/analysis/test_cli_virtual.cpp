// quorvex-cli virtual, run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "analysis/virtual_curve.h"
#include "analysis_fixture.h"
#include "data/archive.h"
#include "data/data_file.h"

namespace qv::test {
namespace {

class CliVirtualTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cli = std::string(QV_BIN_DIR) + "/quorvex-cli";
    if (!FileExists(cli)) GTEST_SKIP() << "quorvex-cli is not built";
    // Average voltage 3 over the whole curve.
    WriteFile(dir.File("Dis.ini"), "[QUORVEX]\nDATA_DEF_APO3ST=0\nDATA_DEF_APO3ED=9999\n");
    CMeasureData current;
    current.AppendPoint(Pt(1, 5.0));
    RecordList list;
    auto other = Source(20.0, 10.0);
    other->id1 = other->id2 = other->id3 = 1;
    other->AppendPoint(Pt(10, 8.0, 20.0, 100.0));
    list.push_back(std::move(other));
    auto src = Source(20.0, 10.0);
    src->id1 = 1;
    src->id2 = 2;
    src->id3 = 3;
    src->remark = "R1";
    for (int t = 0; t <= 200; t += 10)
      src->AppendPoint(Pt(t, 8.0 - t * 0.001, 20.0, 10.0 * t));
    source = src.get();
    list.push_back(std::move(src));
    WriteFile(dir.File("in.qd1"), DataFileBytes(current, list, DataFileForm::kFull));
    records = std::move(list);
  }

  int Run(const std::string& args) {
    std::string cmd =
        "cd '" + dir.path() + "' && '" + cli + "' virtual in.qd1 " + args + " >out.txt 2>err.txt";
    int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }

  DataFileReadResult ReadOut(CMeasureData& current, RecordList& list) {
    std::string bytes = ReadFile(dir.File("out.qd1"));
    ArchiveReader ar(bytes.data(), bytes.size());
    return ReadDataFile(ar, current, list, {0, 9999});
  }

  TempDir dir;
  std::string cli;
  RecordList records;
  const CMeasureData* source = nullptr;
};

TEST_F(CliVirtualTest, WritesTheVirtualCurveAsTheCurrentMeasurement) {
  ASSERT_EQ(Run("--id 1-2-3 --current 36.04 --out out.qd1"), 0) << ReadFile(dir.File("err.txt"));
  CMeasureData current;
  RecordList list;
  ASSERT_TRUE(ReadOut(current, list).ok());
  CMeasureData expect;
  MakeVirtualCurve(expect, *source, 36.0, {0, 9999});
  EXPECT_EQ(current.Points(), expect.Points());
  EXPECT_EQ(current.remark, expect.remark);
  EXPECT_DOUBLE_EQ(current.currentA, 36.0);
  EXPECT_DOUBLE_EQ(current.pir, -1.0);
  EXPECT_EQ(current.GetIdText(), "");
  EXPECT_NEAR(current.avgVoltage3, expect.avgVoltage3, 1e-12);
  ASSERT_EQ(list.size(), 2u);  // the registered records are kept
  EXPECT_EQ(list[1]->GetIdText(), "001-002-003");
  EXPECT_EQ(list[1]->Points(), source->Points());
  EXPECT_EQ(ReadFile(dir.File("out.txt")),
            "仮想放電電流 36.0 A のバーチャルカーブを生成しました。\n");
}

TEST_F(CliVirtualTest, RefusesWhatTheCommandRefuses) {
  EXPECT_EQ(Run("--id 001-002-003 --current 20.0 --out out.qd1"), 4);
  EXPECT_NE(ReadFile(dir.File("err.txt")).find("元データの値(20.0A)"), std::string::npos);
  EXPECT_EQ(Run("--id 001-002-003 --current 1000.01 --out out.qd1"), 4);
  EXPECT_NE(ReadFile(dir.File("err.txt")).find("1000.0以下"), std::string::npos);
  EXPECT_EQ(Run("--id 009-002-003 --current 30 --out out.qd1"), 3);
  EXPECT_EQ(Run("--id 1-2 --current 30 --out out.qd1"), 3);
  EXPECT_EQ(Run("--id 0-2-3 --current 30 --out out.qd1"), 3);
  EXPECT_FALSE(FileExists(dir.File("out.qd1")));
}

TEST_F(CliVirtualTest, RefusesSourcesWithoutPir) {
  // Record 001-001-001 is fine; make a file whose source has PIR 0.
  records[1]->pir = 0.0;
  CMeasureData current;
  WriteFile(dir.File("in.qd1"), DataFileBytes(current, records, DataFileForm::kFull));
  EXPECT_EQ(Run("--id 1-2-3 --current 30 --out out.qd1"), 4);
  EXPECT_NE(ReadFile(dir.File("err.txt")).find("PIRが0.0以下"), std::string::npos);
  EXPECT_EQ(Run("--id 1-1-1 --current 30 --out out.qd1"), 0);
}

TEST_F(CliVirtualTest, MissingFileIsReported) {
  std::string cmd = "cd '" + dir.path() + "' && '" + cli +
                    "' virtual none.qd1 --id 1-2-3 --current 30 --out out.qd1 2>/dev/null";
  int rc = std::system(cmd.c_str());
  EXPECT_EQ(WEXITSTATUS(rc), 2);
}

}  // namespace
}  // namespace qv::test
