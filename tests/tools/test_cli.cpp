// quorvex-cli run as a program: dump, save-as and sample on files in a
// temporary folder, with their output, exit codes and error texts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "data/codec.h"
#include "data/data_file.h"
#include "support/test_support.h"

namespace qv {
namespace {

using RunResult = test::ProgramOutcome;

// Runs build/bin/quorvex-cli with `args` in the folder `cwd`.
RunResult RunCli(const std::vector<std::string>& args, const std::string& cwd) {
  return test::RunProgram("quorvex-cli", args, cwd);
}

std::string I32(int32_t v) {
  std::string s(4, '\0');
  std::memcpy(s.data(), &v, 4);
  return s;
}

bool SameDouble(const nlohmann::json& j, double expected) {
  if (!j.is_number()) return false;
  const double got = j.get<double>();
  return std::memcmp(&got, &expected, sizeof got) == 0;
}

// A record with reals that only print back exactly with care.
std::unique_ptr<CMeasureData> OddRecord() {
  auto r = std::make_unique<CMeasureData>(InputConditions{6, 6.0, 0.1, 1.0 / 3.0, 2e-308, 250});
  r->id1 = 1;
  r->id2 = 2;
  r->id3 = 3;
  r->dateTime = COleDateTime::FromParts({2015, 3, 4, 10, 11, 12});
  r->remark = Sj("内部抵抗 25mΩ ～ ①ｱ");
  r->avgVoltage1 = 7.1;
  r->pir = 12.3;
  r->internalResistance = 25.5;
  for (int t = 0; t <= 130; ++t) {
    r->AppendPoint({t, t >= 120 && t <= 125 ? 5.0 : 20.0, 8.0 - t * 0.0123456789,
                    t * 5.555555555555555, 7.9 - t * 1e-17});
  }
  return r;
}

class CliTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir.File(name); }
  RunResult Run(const std::vector<std::string>& args) const { return RunCli(args, dir.path()); }
  test::TempDir dir;
};

TEST_F(CliTest, DumpPrintsTheDocumentedJson) {
  test::WriteFile(Path("Dis.ini"), "[QUORVEX]\nDATA_DEF_APO3ST=100\nDATA_DEF_APO3ED=200\n");
  CMeasureData current;
  current.AppendPoint({0, 1.5, 2.5, 3.5, 4.5});
  RecordList list;
  list.push_back(OddRecord());
  test::WriteFile(Path("a.qd1"), DataFileBytes(current, list, DataFileForm::kFull));

  RunResult r = Run({"dump", "a.qd1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.back(), '\n');
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["version"], "101");
  ASSERT_TRUE(j["current"].is_object());
  EXPECT_EQ(j["current"]["id"], nlohmann::json({-1, -1, -1}));
  EXPECT_EQ(j["current"]["id_text"], "");
  EXPECT_EQ(j["current"]["datetime"], "0100/01/01 00:00:00");
  ASSERT_EQ(j["records"].size(), 1u);

  const nlohmann::json& rec = j["records"][0];
  const CMeasureData& src = *list[0];
  EXPECT_EQ(rec["id"], nlohmann::json({1, 2, 3}));
  EXPECT_EQ(rec["id_text"], "001-002-003");
  EXPECT_EQ(rec["datetime"], "2015/03/04 10:11:12");
  EXPECT_EQ(rec["datetime_status"], 0);
  EXPECT_TRUE(SameDouble(rec["ole_date"], src.dateTime.date));
  EXPECT_EQ(rec["remark"], "内部抵抗 25mΩ ～ ①ｱ");
  EXPECT_EQ(rec["cells"], 6);
  EXPECT_TRUE(SameDouble(rec["end_voltage"], 6.0));
  ASSERT_EQ(rec["currents"].size(), 3u);
  EXPECT_TRUE(SameDouble(rec["currents"][0], 0.1));
  EXPECT_TRUE(SameDouble(rec["currents"][1], 1.0 / 3.0));
  EXPECT_TRUE(SameDouble(rec["currents"][2], 2e-308));
  EXPECT_EQ(rec["v1_point"], 200);  // truncated on reading
  EXPECT_TRUE(SameDouble(rec["avg_voltage1"], 7.1));
  EXPECT_TRUE(SameDouble(rec["avg_voltage2"], src.Points().back().avgVoltage));
  CMeasureData copy = src;
  copy.UpdateAvgVolt3({100, 200});
  EXPECT_TRUE(SameDouble(rec["avg_voltage3"], copy.avgVoltage3));
  EXPECT_NE(copy.avgVoltage3, 0.0);
  EXPECT_TRUE(SameDouble(rec["pir"], 12.3));
  EXPECT_TRUE(SameDouble(rec["internal_resistance"], 25.5));
  EXPECT_EQ(rec["discharge_time"], 130);
  EXPECT_TRUE(SameDouble(rec["capacity"], src.GetCapacity(-1)));
  EXPECT_EQ(rec["energy"], src.GetEnergy(-1));
  EXPECT_TRUE(SameDouble(rec["emf"], src.GetEmfVoltage()));
  EXPECT_NE(src.GetEmfVoltage(), 0.0);
  ASSERT_EQ(rec["points"].size(), src.Points().size());
  for (size_t i = 0; i < src.Points().size(); ++i) {
    const CMeasurePoint& p = src.Points()[i];
    const nlohmann::json& jp = rec["points"][i];
    ASSERT_EQ(jp.size(), 5u);
    EXPECT_EQ(jp[0], p.time);
    EXPECT_TRUE(SameDouble(jp[1], p.current)) << i;
    EXPECT_TRUE(SameDouble(jp[2], p.voltage)) << i;
    EXPECT_TRUE(SameDouble(jp[3], p.capacity)) << i;
    EXPECT_TRUE(SameDouble(jp[4], p.avgVoltage)) << i;
  }
  // The keys come in the documented order.
  std::vector<std::string> keys;
  for (auto it = rec.begin(); it != rec.end(); ++it)
    keys.push_back(it.key());
  const size_t id = r.out.find("\"id\""), idText = r.out.find("\"id_text\"");
  const size_t points = r.out.find("\"points\""), emf = r.out.find("\"emf\"");
  EXPECT_LT(id, idText);
  EXPECT_LT(emf, points);
  EXPECT_EQ(keys.size(), 20u);
}

TEST_F(CliTest, DumpPrintsNullForRealsJsonCannotHold) {
  CMeasureData current;
  current.pir = std::nan("");
  current.internalResistance = INFINITY;
  RecordList list;
  test::WriteFile(Path("nan.qd1"), DataFileBytes(current, list, DataFileForm::kFull));
  RunResult r = Run({"dump", "nan.qd1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["current"]["pir"].is_null());
  EXPECT_TRUE(j["current"]["internal_resistance"].is_null());
}

TEST_F(CliTest, DumpShowsNullWithoutACurrentRecord) {
  // Counts of 0 or less read nothing.
  for (int32_t count : {0, -1}) {
    std::string bytes = std::string(
                            "\x03"
                            "101") +
                        I32(count) + I32(count);
    test::WriteFile(Path("none.qd1"), bytes);
    RunResult r = Run({"dump", "none.qd1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_TRUE(j["current"].is_null()) << count;
    EXPECT_TRUE(j["records"].is_array()) << count;
    EXPECT_TRUE(j["records"].empty()) << count;
  }
}

TEST_F(CliTest, DumpOfAnOldFileNamesItsVersion) {
  CMeasureData current;
  RecordList list;
  list.push_back(OddRecord());
  std::string v101 = DataFileBytes(current, list, DataFileForm::kFull);
  test::WriteFile(Path("old.qd1"), std::string("\x04"
                                               "100b") +
                                       v101.substr(8));
  RunResult r = Run({"dump", "old.qd1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["version"], "100b");
  EXPECT_TRUE(j["current"].is_object());
  EXPECT_EQ(j["records"].size(), 1u);
}

TEST_F(CliTest, MissingFileExits2) {
  RunResult r = Run({"dump", "nothing-here.qd1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("nothing-here.qd1"), std::string::npos);
  EXPECT_EQ(Run({"save-as", "nothing-here.qd1", "out.qd1"}).exitCode, 2);
  EXPECT_FALSE(test::FileExists(Path("out.qd1")));
}

// A FIFO named as the data file is refused at once as a file that cannot be
// opened (exit 1), and save-as writes nothing.
TEST_F(CliTest, AFifoAsTheDataFileExits1WithoutWaiting) {
  const std::string fifo = Path("fifo.qd1");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  RunResult dump, saveAs;
  EXPECT_TRUE(test::EndsWithoutAWriter(
      [&] {
        dump = Run({"dump", "fifo.qd1"});
        saveAs = Run({"save-as", "fifo.qd1", "out.qd1"});
      },
      {fifo}));
  EXPECT_EQ(dump.exitCode, 1);
  EXPECT_EQ(dump.out, "");
  EXPECT_EQ(dump.err.rfind("データファイルが開けません。 fifo.qd1: ", 0), 0u) << dump.err;
  EXPECT_EQ(saveAs.exitCode, 1);
  EXPECT_FALSE(test::FileExists(Path("out.qd1")));
}

TEST_F(CliTest, RefusedVersionExits1WithItsMessage) {
  test::WriteFile(Path("v102.qd1"), std::string("\x03"
                                                "102") +
                                        I32(1));
  RunResult r = Run({"dump", "v102.qd1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(
      r.err,
      "データファイルを読み込めません。\n\n（※　データファイルのバージョンが対応していません。\n"
      "読み込もうとしたファイルのバージョンは [ 102 ] でしたが、\n"
      "このアプリケーションで扱えるバージョンは、[ 101 ] または [ 101b ] です。）\n");
  EXPECT_EQ(Run({"save-as", "v102.qd1", "out.qd1"}).exitCode, 1);
  EXPECT_FALSE(test::FileExists(Path("out.qd1")));
}

TEST_F(CliTest, TruncatedFileExits1WithTheDamageMessage) {
  CMeasureData current;
  RecordList list;
  list.push_back(OddRecord());
  std::string bytes = DataFileBytes(current, list, DataFileForm::kFull);
  test::WriteFile(Path("cut.qd1"), bytes.substr(0, bytes.size() - 10));
  RunResult r = Run({"dump", "cut.qd1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, Cp932ToUtf8(DataFileCorruptText()) + "\n");
  // A folder is not a data file either.
  EXPECT_EQ(Run({"dump", dir.path()}).exitCode, 1);
}

// A count flipped to 0 or less or bytes after the last record: refused as
// damaged by dump and save-as, and save-as leaves no file (an existing one
// as it was).
TEST_F(CliTest, FilesHoldingMoreThanTheirCountsDescribeExit1) {
  CMeasureData current;
  RecordList list;
  list.push_back(OddRecord());
  const std::string good = DataFileBytes(current, list, DataFileForm::kFull);
  auto with = [&good](size_t at, int32_t v) {
    return good.substr(0, at) + I32(v) + good.substr(at + 4);
  };
  const std::string damaged[] = {with(4, 0), with(101, -1), with(good.size() - 131 * 36 - 4, 0),
                                 good + "x"};
  test::WriteFile(Path("kept.qd1"), good);
  for (size_t i = 0; i < std::size(damaged); ++i) {
    test::WriteFile(Path("bad.qd1"), damaged[i]);
    RunResult r = Run({"dump", "bad.qd1"});
    EXPECT_EQ(r.exitCode, 1) << i;
    EXPECT_EQ(r.out, "") << i;
    EXPECT_EQ(r.err, Cp932ToUtf8(DataFileCorruptText()) + "\n") << i;
    r = Run({"save-as", "bad.qd1", "out.qd1"});
    EXPECT_EQ(r.exitCode, 1) << i;
    EXPECT_EQ(r.err, Cp932ToUtf8(DataFileCorruptText()) + "\n") << i;
    EXPECT_FALSE(test::FileExists(Path("out.qd1"))) << i;
    EXPECT_EQ(Run({"save-as", "bad.qd1", "kept.qd1"}).exitCode, 1) << i;
    EXPECT_EQ(test::ReadFile(Path("kept.qd1")), good) << i;
  }
  EXPECT_EQ(Run({"dump", "kept.qd1"}).exitCode, 0);
}

TEST_F(CliTest, SaveAsBringsA100FileToThe101Form) {
  CMeasureData current;
  current.remark = Sj("古い形式");
  RecordList list;
  list.push_back(OddRecord());
  list[0]->v1Point = 200;  // as reading leaves it, so the bytes compare whole
  const std::string v101 = DataFileBytes(current, list, DataFileForm::kFull);
  test::WriteFile(Path("old.qd1"), std::string("\x03"
                                               "100") +
                                       v101.substr(8));
  RunResult r = Run({"save-as", "old.qd1", "new.qd1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(test::ReadFile(Path("new.qd1")), v101);
  // A file this program wrote comes back byte for byte.
  ASSERT_EQ(Run({"save-as", "new.qd1", "again.qd1"}).exitCode, 0);
  EXPECT_EQ(test::ReadFile(Path("again.qd1")), v101);
  // The backup form comes back in the full form, with the same records.
  test::WriteFile(Path("b.qd1"), std::string("\x04"
                                             "101b") +
                                     v101.substr(4));
  ASSERT_EQ(Run({"save-as", "b.qd1", "b2.qd1"}).exitCode, 0);
  EXPECT_EQ(test::ReadFile(Path("b2.qd1")), v101);
}

TEST_F(CliTest, SaveAsIntoAMissingFolderExits1) {
  CMeasureData current;
  RecordList list;
  test::WriteFile(Path("a.qd1"), DataFileBytes(current, list, DataFileForm::kFull));
  RunResult r = Run({"save-as", "a.qd1", Path("no/such/dir/x.qd1")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(r.err.empty());
}

TEST_F(CliTest, HelpListsEveryCommand) {
  RunResult r = Run({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  for (const char* cmd : {"dump", "save-as", "sample", "settings"})
    EXPECT_NE(r.out.find(cmd), std::string::npos) << cmd;
  // No command at all is a usage error.
  EXPECT_NE(Run({}).exitCode, 0);
  EXPECT_NE(Run({"dump"}).exitCode, 0);
}

TEST_F(CliTest, SettingsGetAndSetRoundTripAJapaneseValueThroughShiftJis) {
  // A missing file, and later a missing key, print nothing and exit 1.
  RunResult missing = Run({"settings", "get", "COMPORT"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(Run({"settings", "set", "DATA_MEMO", "内部抵抗 25mΩ ～ ｱ"}).exitCode, 0);
  EXPECT_EQ(test::ReadFile(Path("Dis.ini")),
            "[QUORVEX]\r\nDATA_MEMO=" + Sj("内部抵抗 25mΩ ～ ｱ") + "\r\n");
  RunResult got = Run({"settings", "get", "data_memo"});
  EXPECT_EQ(got.exitCode, 0);
  EXPECT_EQ(got.out, "内部抵抗 25mΩ ～ ｱ\n");
  EXPECT_EQ(Run({"settings", "get", "COMPORT"}).exitCode, 1);
  // An empty value is a value.
  EXPECT_EQ(Run({"settings", "set", "COMPORT", ""}).exitCode, 0);
  EXPECT_EQ(Run({"settings", "get", "COMPORT"}).out, "\n");
}

TEST_F(CliTest, SettingsInitSeedsOnlyANewFile) {
  EXPECT_EQ(Run({"settings", "init"}).exitCode, 0);
  const std::string first = test::ReadFile(Path("Dis.ini"));
  EXPECT_EQ(first.rfind("[QUORVEX]\r\nGRAPH_MAXV=12.0\r\n", 0), 0u) << first;
  EXPECT_EQ(Run({"settings", "get", "DATA_DEF_APO1"}).out, "100\n");
  EXPECT_EQ(Run({"settings", "set", "GRAPH_MAXV", "9.0"}).exitCode, 0);
  EXPECT_EQ(Run({"settings", "init"}).exitCode, 0);
  EXPECT_EQ(Run({"settings", "get", "GRAPH_MAXV"}).out, "9.0\n");
}

TEST_F(CliTest, SampleWritesABelievableFile) {
  RunResult w = Run({"sample", "s.qd1"});
  ASSERT_EQ(w.exitCode, 0) << w.err;
  RunResult r = Run({"dump", "s.qd1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["version"], "101");
  ASSERT_TRUE(j["current"].is_object());
  EXPECT_GT(j["current"]["points"].size(), 300u);
  ASSERT_GE(j["records"].size(), 3u);
  std::vector<std::string> keys;
  bool japanese = false;
  for (const auto& rec : j["records"]) {
    keys.push_back(rec["id_text"].get<std::string>() + " " + rec["datetime"].get<std::string>());
    EXPECT_NE(rec["id_text"], "");
    EXPECT_EQ(rec["cells"], 6);
    const std::string remark = rec["remark"];
    japanese |= remark.find("\xE3") != std::string::npos;  // kana or CJK in UTF-8
    // One point a second from 0, through the window at 120 to 125 s.
    const auto& pts = rec["points"];
    ASSERT_GT(pts.size(), 130u);
    for (size_t i = 0; i < pts.size(); ++i)
      ASSERT_EQ(pts[i][0], static_cast<int>(i));
    EXPECT_NE(rec["emf"], 0.0);
    EXPECT_GT(rec["capacity"].get<double>(), 1000.0);
    EXPECT_GT(rec["energy"].get<int>(), 0);
    // The voltage falls to the end voltage.
    EXPECT_LT(pts.back()[2].get<double>(), 6.0 + 0.2);
  }
  EXPECT_TRUE(japanese);
  // One constant-current record with its resistance and PIR: a virtual curve
  // can be made from it.
  std::string constant;
  for (const auto& rec : j["records"]) {
    const auto& a = rec["currents"];
    if (a[0] == a[1] && a[1] == a[2] && rec["internal_resistance"].get<double>() > 0.0 &&
        rec["pir"].get<double>() > 0.0)
      constant = rec["id_text"];
  }
  ASSERT_NE(constant, "");
  RunResult v = Run({"virtual", "s.qd1", "--id", constant, "--current", "30", "--out", "v.qd1"});
  EXPECT_EQ(v.exitCode, 0) << v.err;
  // Sorted and distinct, as a registration list is.
  for (size_t i = 1; i < keys.size(); ++i)
    EXPECT_LT(keys[i - 1], keys[i]);
  // The same command writes the same bytes.
  ASSERT_EQ(Run({"sample", "s2.qd1"}).exitCode, 0);
  EXPECT_EQ(test::ReadFile(Path("s.qd1")), test::ReadFile(Path("s2.qd1")));
}

TEST_F(CliTest, SampleWritesEveryVersion) {
  for (const char* v : {"100", "100b", "101", "101b"}) {
    ASSERT_EQ(
        Run({"sample", "v.qd1", "--version", v, "--records", "2", "--max-seconds", "5"}).exitCode,
        0);
    RunResult r = Run({"dump", "v.qd1"});
    ASSERT_EQ(r.exitCode, 0) << v << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["version"], v);
    EXPECT_EQ(j["records"].size(), 2u);
    EXPECT_EQ(j["records"][0]["points"].size(), 6u);
  }
  EXPECT_NE(Run({"sample", "v.qd1", "--version", "102"}).exitCode, 0);
}

TEST_F(CliTest, SampleWithManyRecordsKeepsIdsValidAndSorted) {
  ASSERT_EQ(Run({"sample", "m.qd1", "--records", "200", "--max-seconds", "1"}).exitCode, 0);
  RunResult r = Run({"dump", "m.qd1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j["records"].size(), 200u);
  std::string last;
  for (const auto& rec : j["records"]) {
    for (const auto& part : rec["id"]) {
      EXPECT_GE(part.get<int>(), 1);
      EXPECT_LE(part.get<int>(), 999);
    }
    const std::string key = rec["id_text"].get<std::string>() + rec["datetime"].get<std::string>();
    EXPECT_LT(last, key);
    last = key;
  }
  EXPECT_NE(Run({"sample", "m.qd1", "--records", "201"}).exitCode, 0);
}

TEST(CliBuild, TheBuildWroteTheSampleFile) {
  const std::string sample = std::string(QV_BIN_DIR) + "/../sample.qd1";
  ASSERT_TRUE(test::FileExists(sample));
  test::TempDir dir;
  RunResult r = RunCli({"dump", sample}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
}  // namespace qv
