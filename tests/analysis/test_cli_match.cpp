// quorvex-cli match, run as a program: its JSON and table agree with the
// matching the window runs, and it refuses bad options and files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "analysis/pack_match.h"
#include "analysis/pack_match_report.h"
#include "analysis_fixture.h"
#include "data/data_file.h"

namespace qv::test {
namespace {

std::unique_ptr<CMeasureData> Cell(int id3, double capacity, double ir, int day = 1) {
  auto r = Source(20.0, ir);
  r->id1 = 1;
  r->id2 = 1;
  r->id3 = id3;
  r->dateTime = COleDateTime::FromParts({2020, 1, day, 9, 0, 0});
  r->AppendPoint(Pt(0, 8.2, 20.0, 0.0));
  r->AppendPoint(Pt(400, 6.4, 20.0, capacity));
  return r;
}

class CliMatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cli = std::string(QV_BIN_DIR) + "/quorvex-cli";
    if (!FileExists(cli)) GTEST_SKIP() << "quorvex-cli is not built";
    // Two files; 001-001-004 is measured again in the second, later.
    for (int i = 1; i <= 14; ++i)
      a.push_back(Cell(i, 2000.0 + (i * 37) % 23 * 1.5, 10.0 + (i * 7) % 5));
    b.push_back(Cell(4, 1500.0, 9.0, 2));
    b.push_back(Cell(15, 2010.5, 11.0));
    CMeasureData current;
    WriteFile(dir.File("a.qd1"), DataFileBytes(current, a, DataFileForm::kFull));
    WriteFile(dir.File("b.qd1"), DataFileBytes(current, b, DataFileForm::kFull));
  }

  int Run(const std::string& args) {
    const std::string cmd =
        "cd '" + dir.path() + "' && '" + cli + "' match " + args + " >out.txt 2>err.txt";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  std::string Out() const { return ReadFile(dir.File("out.txt")); }
  std::string Err() const { return ReadFile(dir.File("err.txt")); }

  // The matching as the window runs it on the same records.
  std::pair<MatchResult, std::vector<MatchCell>> InProcess(const MatchRequest& req,
                                                           uint32_t from = 1001001,
                                                           uint32_t to = 999999999) {
    std::vector<MatchCell> cells = CollectMatchCells({&a, &b}, from, to);
    return {MatchPacks(cells, req), cells};
  }

  nlohmann::json Ids(const std::vector<MatchCell>& cells, const std::vector<size_t>& idx) {
    nlohmann::json out = nlohmann::json::array();
    for (size_t i : idx)
      out.push_back(cells[i].idText);
    return out;
  }

  TempDir dir;
  std::string cli;
  RecordList a, b;
};

TEST_F(CliMatchTest, SeriesJsonIsTheWindowsAnswer) {
  ASSERT_EQ(Run("a.qd1 b.qd1 --series 3 --by capacity,ir:0.5 --from 1-1-2 --to 1-1-15 --json"), 0)
      << Err();
  const nlohmann::json j = nlohmann::json::parse(Out());
  MatchRequest req;
  req.series = 3;
  req.criteria = {{MatchCriterion::kCapacity, 1.0}, {MatchCriterion::kIr, 0.5}};
  const auto [r, cells] = InProcess(req, 1001002, 1001015);
  ASSERT_EQ(r.status, MatchStatus::kOk);
  EXPECT_EQ(cells.size(), 14u);
  EXPECT_EQ(j["series"], 3);
  EXPECT_EQ(j["parallel"], 1);
  EXPECT_EQ(j["criteria"], nlohmann::json::parse(R"([{"name":"capacity","weight":1.0},
                                                     {"name":"ir","weight":0.5}])"));
  ASSERT_EQ(j["packs"].size(), r.packs.size());
  for (size_t k = 0; k < r.packs.size(); ++k) {
    EXPECT_EQ(j["packs"][k]["cells"], Ids(cells, r.packs[k].cells));
    EXPECT_EQ(j["packs"][k]["spread"].get<double>(), r.packs[k].spread);
  }
  EXPECT_EQ(j["left"], Ids(cells, r.left));
  // The newer 001-001-004 of the second file is the cell.
  bool sawNewer = false;
  for (const MatchCell& c : cells)
    if (c.idText == "001-001-004") sawNewer = c.source == 1 && c.summary == SummaryOf(*b[0]);
  EXPECT_TRUE(sawNewer);
  EXPECT_EQ(Out().find('\n'), Out().size() - 1);  // one line
}

TEST_F(CliMatchTest, SeriesParallelJsonAndTheTableForPeople) {
  ASSERT_EQ(Run("a.qd1 b.qd1 --series 4 --parallel 3 --json"), 0) << Err();
  const nlohmann::json j = nlohmann::json::parse(Out());
  MatchRequest req;
  req.series = 4;
  req.parallel = 3;
  const auto [r, cells] = InProcess(req);
  ASSERT_TRUE(r.parallelPack);
  ASSERT_EQ(j["packs"].size(), 1u);
  nlohmann::json groups = nlohmann::json::array();
  for (const auto& g : r.parallelPack->groups)
    groups.push_back(Ids(cells, g));
  EXPECT_EQ(j["packs"][0]["groups"], groups);
  EXPECT_EQ(j["packs"][0]["group_sums"], nlohmann::json(r.parallelPack->groupSums));
  EXPECT_EQ(j["left"], Ids(cells, r.left));
  EXPECT_EQ(j["criteria"], nlohmann::json::parse(R"([{"name":"capacity","weight":1.0}])"));

  ASSERT_EQ(Run("a.qd1 b.qd1 --series 4 --parallel 3"), 0) << Err();
  std::string want;
  for (const std::string& line : MatchTableLines(r, MakeMatchTable(r, cells)))
    want += Cp932ToUtf8(line) + "\n";
  EXPECT_EQ(Out(), want);
}

TEST_F(CliMatchTest, JsonSaysWhetherProvenBestTheRangeAndTheUnusableCells) {
  // A record without points and one of 0 mAh: never matched.
  RecordList z;
  auto empty = std::make_unique<CMeasureData>();
  empty->id1 = empty->id2 = 1;
  empty->id3 = 20;
  empty->internalResistance = 10.0;
  z.push_back(std::move(empty));
  z.push_back(Cell(21, 0.0, 10.0));
  WriteFile(dir.File("z.qd1"), DataFileBytes(CMeasureData(), z, DataFileForm::kFull));
  const nlohmann::json unusable = nlohmann::json::parse(R"(["001-001-020","001-001-021"])");
  const struct {
    const char* args;
    bool optimal;
  } cases[] = {
      {"a.qd1 b.qd1 z.qd1 --series 3 --json", true},
      {"a.qd1 b.qd1 z.qd1 --series 3 --by capacity,ir --json", false},
      // Capacity is what a series-parallel pack goes by: asking for it is accepted.
      {"a.qd1 b.qd1 z.qd1 --series 2 --parallel 3 --by capacity --json", true},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Run(c.args), 0) << c.args << ": " << Err();
    const nlohmann::json j = nlohmann::json::parse(Out());
    EXPECT_EQ(j["optimal"], c.optimal) << c.args;
    EXPECT_EQ(j["unusable"], unusable) << c.args;
    const std::string packs = j["packs"].dump() + j["left"].dump();
    EXPECT_EQ(packs.find("001-001-02"), std::string::npos) << c.args;
    EXPECT_EQ(j.contains("range"), j["parallel"] != 1) << c.args;
  }
  // The range of the series-parallel pack, as the window computes it (the
  // fifteen cells of a and b are more than twelve: found by the search).
  ASSERT_EQ(Run("a.qd1 b.qd1 z.qd1 --series 4 --parallel 3 --json"), 0) << Err();
  MatchRequest req;
  req.series = 4;
  req.parallel = 3;
  const auto [r, cells] = InProcess(req);
  EXPECT_EQ(nlohmann::json::parse(Out())["range"].get<double>(), r.parallelPack->range);
  EXPECT_EQ(nlohmann::json::parse(Out())["optimal"], r.optimal);
  // The table for people lists them in a row of their own.
  ASSERT_EQ(Run("a.qd1 b.qd1 z.qd1 --series 3"), 0) << Err();
  EXPECT_NE(Out().find("除外"), std::string::npos);
  EXPECT_NE(Out().find("001-001-020 001-001-021\n"), std::string::npos) << Out();
}

TEST_F(CliMatchTest, BadOptionsAndTooFewCellsExitOneUnreadableFilesTwoBadIdsThree) {
  WriteFile(dir.File("bad.qd1"), "101");
  const struct {
    const char* args;
    int code;
    const char* says;  // part of the message, UTF-8
  } cases[] = {
      {"a.qd1 --series 0", 1, "直列数と並列数"},
      {"a.qd1 --series six", 1, "直列数と並列数"},
      {"a.qd1", 1, "直列数と並列数"},
      {"a.qd1 --series", 1, "直列数と並列数"},
      {"a.qd1 --series 3 --by", 1, "基準の指定"},
      {"a.qd1 --series 3 --parallel 1000", 1, "直列数と並列数"},
      {"a.qd1 --series 3 --by volts", 1, "\"volts\""},
      {"a.qd1 --series 3 --by ir:0", 1, "重み"},
      {"a.qd1 --series 3 --parallel 2 --by ir", 1, "基準を指定できません"},
      {"a.qd1 --series 3 --parallel 2 --by capacity,ir", 1, "基準を指定できません"},
      {"a.qd1 --series 3 --from 0-1-1", 3, "ID欄"},
      {"a.qd1 --series 3 --to 1-1", 3, "ID欄"},
      {"a.qd1 --series 3 --time-limit 0", 1, "探索時間"},
      {"a.qd1 --series 3 --bogus", 1, "--bogus"},
      {"--series 3", 1, "データファイルを指定"},
      {"a.qd1 b.qd1 --series 16", 1, "15 個"},
      {"a.qd1 --series 2 --from 1-1-5 --to 1-1-1", 1, "0 個"},
      {"a.qd1 none.qd1 --series 2", 2, "none.qd1"},
      {"a.qd1 bad.qd1 --series 2", 2, "bad.qd1: "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), c.code) << c.args;
    EXPECT_NE(Err().find(c.says), std::string::npos) << c.args << ": " << Err();
    EXPECT_EQ(Out(), "") << c.args;
  }
}

}  // namespace
}  // namespace qv::test
