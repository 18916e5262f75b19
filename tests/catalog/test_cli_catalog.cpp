// quorvex-cli catalog, run as a program against a catalogue in a temporary
// folder, its output checked byte for byte.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "catalog/catalog_fixture.h"

namespace qv::test {
namespace {

ProgramOutcome Cli(const std::string& cwd, std::vector<std::string> args) {
  args.insert(args.begin(), "catalog");
  return RunProgram("quorvex-cli", args, cwd);
}

class CatalogCliTest : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::vector<CellSpec>& cells) {
    WriteFile(dir.File(name), FileOf(cells));
  }
  TempDir dir;
};

TEST_F(CatalogCliTest, ImportCountsNewUpdatedUnchangedAndRefused) {
  Write("a.qd1", {{1, 1, 1}, {1, 1, 2}});
  mkdir(dir.File("sub").c_str(), 0755);
  Write("sub/b.QD1", {{1, 1, 2, 1, 4000, 5.0, "変更"}, {1, 1, 3}});
  WriteFile(dir.File("sub/c.qd1"), "junk");
  WriteFile(dir.File("sub/d.txt"), "not a data file");
  ProgramOutcome r = Cli(dir.path(), {"import", "a.qd1"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "新規 2 件、更新 0 件、変更なし 0 件、読み込めないファイル 0 件\n");
  r = Cli(dir.path(), {"import", "a.qd1", "sub"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "新規 1 件、更新 1 件、変更なし 2 件、読み込めないファイル 1 件\n");
  EXPECT_EQ(r.err, dir.File("sub/c.qd1") + ": " + Cp932ToUtf8(DataFileCorruptText()) + "\n");
  EXPECT_TRUE(std::ifstream(dir.File("quorvex-catalog.sqlite")).good());
}

TEST_F(CatalogCliTest, SearchPrintsTableJsonAndCsv) {
  Write("a.qd1", {{1, 1, 1, 2, 4100.5, 4.25, "良品, \"A\""}, {1, 1, 2, 3, 3900, 6.0}});
  ASSERT_EQ(Cli(dir.path(), {"import", "a.qd1"}).exitCode, 0);
  ProgramOutcome r = Cli(dir.path(), {"search", "--where", "capacity >= 4100 and ir < 4.5"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "登録ID\t計測日時\t備考\t放電時間[秒]\t放電容量[mAh]\t放電電力[mWh]\t平均電圧1[V]\t"
            "平均電圧2[V]\t平均電圧3[V]\t内部抵抗[mΩ]\tＰＩＲ\t状態\t試験数\n"
            "001-001-001\t2026/12/02 10:00:00\t良品, \"A\"\t29\t4100\t4920\t1.240\t1.200\t1.300\t"
            "4.2\t1.5\t在庫\t1\n");
  r = Cli(dir.path(), {"search", "--json", "--from", "1-1-2"});
  EXPECT_EQ(r.out,
            "[{\"id\":\"001-001-002\",\"state\":\"stock\",\"tests\":1,\"date\":\"2026/12/03 "
            "10:00:00\",\"remark\":\"\",\"time\":29,\"capacity\":3900.0,\"energy\":4680.0,"
            "\"avg1\":1.24,\"avg2\":1.2,\"avg3\":1.3,\"ir\":6.0,\"pir\":1.5,\"cells\":1,"
            "\"current_a\":10.0,\"current_b\":0.5,\"current_c\":0.1}]\n");
  r = Cli(dir.path(), {"search", "--csv", "--to", "1-1-1"});
  EXPECT_EQ(r.out, Sj("登録ID,計測日時,備考,放電時間[秒],放電容量[mAh],放電電力[mWh],平均電圧1[V],"
                      "平均電圧2[V],平均電圧3[V],内部抵抗[mΩ],ＰＩＲ,状態,試験数\r\n"
                      "001-001-001,2026/12/02 10:00:00,\"良品, \"\"A\"\"\",29,4100,4920,1.240,"
                      "1.200,1.300,4.2,1.5,在庫,1\r\n"));
}

TEST_F(CatalogCliTest, BadOptionsAreRefusedWithTheirMessages) {
  Write("a.qd1", {{1, 1, 1}});
  ASSERT_EQ(Cli(dir.path(), {"import", "a.qd1"}).exitCode, 0);
  const struct {
    std::vector<std::string> args;
    int code;
    const char* err;
  } cases[] = {
      {{"search", "--where", "ir < 4 ir"},
       1,
       "検索条件の8文字目に誤りがあります。\nここで条件が終わるはずです。「and」か「or」が抜けて"
       "いませんか。\nir < 4 ir\n       ^\n"},
      {{"search", "--since", "2026-13-01"}, 1, "日付は 2026-01-31 の形で書いてください。\n"},
      {{"search", "--state", "pack:"}, 1, "状態は stock、pack:パック名、retired のどれかです。\n"},
      {{"search", "--from", "1-1"}, 3, nullptr},
      {{"history", "9-9-9"}, 1, "このセルはカタログにありません。\n"},
      {{"assign", "P", "1-1-1", "1-1-1"}, 1, "セル 001-001-001 が二度指定されています。\n"},
      {{"release", "P"}, 1, "パック「P」に組まれたセルはありません。\n"},
      {{"export", "--out", "x.qd1", "--where", "ir > 100"}, 1, "条件に合うセルがありません。\n"},
      {{"match", "--series", "2"},
       1,
       "セルが足りません。\nこのパックには 2 セルが必要ですが、対象のセルは 1 個です。\n"},
  };
  for (const auto& c : cases) {
    const ProgramOutcome r = Cli(dir.path(), c.args);
    EXPECT_EQ(r.exitCode, c.code) << c.args[0];
    // The ID refusal is the one text of every command (tested there).
    if (c.err) {
      EXPECT_EQ(r.err, c.err) << c.args[0];
    }
  }
}

TEST_F(CatalogCliTest, HistoryShowsFadeAndResistanceGrowth) {
  Write("a.qd1", {{5, 5, 5, 1, 4000, 5.0}, {5, 5, 5, 20, 3800, 5.5}});
  Write("b.qd1", {{5, 5, 5, 10, 3900, 5.2}});
  ASSERT_EQ(Cli(dir.path(), {"import", "a.qd1", "b.qd1"}).exitCode, 0);
  ProgramOutcome r = Cli(dir.path(), {"history", "5-5-5"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "計測日時\t放電容量[mAh]\t放電電力[mWh]\t平均電圧2[V]\t内部抵抗[mΩ]\t容量の変化[%]\t"
            "内部抵抗の変化[%]\n"
            "2026/12/01 10:00:00\t4000.0\t4800.0\t1.200\t5.0\t0.0\t0.0\n"
            "2026/12/10 10:00:00\t3900.0\t4680.0\t1.200\t5.2\t-2.5\t4.0\n"
            "2026/12/20 10:00:00\t3800.0\t4560.0\t1.200\t5.5\t-5.0\t10.0\n");
}

TEST_F(CatalogCliTest, MatchAssignsPacksAndExportGivesTheirBytesBack) {
  std::vector<CellSpec> cells;
  for (int i = 1; i <= 5; ++i)
    cells.push_back({1, 1, i, 1, 4000.0 + i * 10});
  Write("a.qd1", cells);
  ASSERT_EQ(Cli(dir.path(), {"import", "a.qd1"}).exitCode, 0);
  ProgramOutcome r = Cli(dir.path(), {"match", "--series", "2", "--assign", "P", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"assigned\":[\"P-1\",\"P-2\"]"), std::string::npos) << r.out;
  // The cells of the packs are no longer in stock: one is left.
  r = Cli(dir.path(), {"match", "--series", "2"});
  EXPECT_EQ(r.exitCode, 1);
  r = Cli(dir.path(), {"export", "--pack", "P-1", "--out", "p1.qd1"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "2 件の記録を書き出しました。\n");
  ASSERT_EQ(Cli(dir.path(), {"release", "P-1"}).out, "2 個のセルを在庫に戻しました。\n");
  ASSERT_EQ(Cli(dir.path(), {"release", "P-2"}).exitCode, 0);
  ASSERT_EQ(Cli(dir.path(), {"export", "--out", "all.qd1"}).exitCode, 0);
  EXPECT_EQ(ReadFile(dir.File("all.qd1")), ReadFile(dir.File("a.qd1")));
  EXPECT_EQ(Cli(dir.path(), {"retire", "1-1-1", "9-9-9"}).err,
            "セル 009-009-009 はカタログにありません。\n");
}

TEST_F(CatalogCliTest, AForeignOrUnwritableCatalogIsToldAndNothingIsHarmed) {
  Write("a.qd1", {{1, 1, 1}});
  const std::string before = ReadFile(dir.File("a.qd1"));
  WriteFile(dir.File("junk.sqlite"), std::string(2048, 'j'));
  ProgramOutcome r = Cli(dir.path(), {"--catalog", "junk.sqlite", "import", "a.qd1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err,
            "カタログ junk.sqlite を開けません。\nカタログのファイルが壊れているか、カタロ"
            "グのファイルではありません。\n（file is not a database）\n");
  EXPECT_EQ(ReadFile(dir.File("junk.sqlite")), std::string(2048, 'j'));
  EXPECT_EQ(ReadFile(dir.File("a.qd1")), before);
  if (geteuid() == 0) {
    // A folder the user may not write: the unprivileged user is told so.
    mkdir(dir.File("ro").c_str(), 0755);
    r = RunProgram("quorvex-cli",
                   {"catalog", "--catalog", dir.File("ro/c.sqlite"), "import", dir.File("a.qd1")},
                   dir.path(), true);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("カタログ " + dir.File("ro/c.sqlite") + " を開けません。\n", 0), 0u)
        << r.err;
  }
}

// Starts quorvex-cli with `args` in `cwd`, output discarded; its process ID.
pid_t Start(const std::string& cwd, const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0 || !freopen("/dev/null", "w", stdout) ||
        !freopen("/dev/null", "w", stderr))
      _exit(126);
    ExecProgram("quorvex-cli", args);
  }
  return pid;
}

// Per imported file, how many records the catalogue holds from it.
std::map<std::string, int64_t> RecordsPerFile(const std::string& path) {
  std::map<std::string, int64_t> out;
  auto db = catalog::OpenSqlite(path, nullptr);
  if (!db) return out;
  auto st = db->Prepare(
      "SELECT s.path, count(*) FROM records r JOIN sources s ON s.id = r.source_id GROUP BY "
      "s.path");
  while (st && st->Step() == catalog::DbStatus::kRow)
    out[std::string(st->Text(0))] = st->Int(1);
  return out;
}

TEST_F(CatalogCliTest, AKilledImportLeavesEveryFileWholeOrAbsent) {
  constexpr int kFiles = 24, kRecords = 8;
  std::vector<std::string> args = {"catalog", "import"};
  for (int f = 0; f < kFiles; ++f) {
    std::vector<CellSpec> cells;
    for (int i = 1; i <= kRecords; ++i)
      cells.push_back({f + 1, i, 1, 1, 4000, 5.0, "", 3600});
    const std::string name = "f" + std::to_string(100 + f) + ".qd1";
    Write(name, cells);
    args.push_back(dir.File(name));
  }
  // Killed at growing moments until one kill lands in the middle.
  bool partial = false;
  for (int attempt = 0; attempt < 12 && !partial; ++attempt) {
    unlink(dir.File("quorvex-catalog.sqlite").c_str());
    unlink(dir.File("quorvex-catalog.sqlite-wal").c_str());
    unlink(dir.File("quorvex-catalog.sqlite-shm").c_str());
    const pid_t pid = Start(dir.path(), args);
    std::this_thread::sleep_for(std::chrono::milliseconds(60 + attempt * 60));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::string why;
    auto cat = catalog::Catalog::Open(dir.File("quorvex-catalog.sqlite"), &why);
    if (!cat) continue;  // killed before the schema was committed
    const auto per = RecordsPerFile(dir.File("quorvex-catalog.sqlite"));
    for (const auto& [file, n] : per)
      EXPECT_EQ(n, kRecords) << file;
    auto check = cat->db().Prepare("PRAGMA integrity_check");
    ASSERT_EQ(check->Step(), catalog::DbStatus::kRow);
    EXPECT_EQ(check->Text(0), "ok");
    partial = WIFSIGNALED(status) && !per.empty() && per.size() < kFiles;
  }
  EXPECT_TRUE(partial) << "no kill landed between two files";
}

TEST_F(CatalogCliTest, TwoImportsAtOnceKeepEveryRecordOnce) {
  std::vector<std::string> files;
  for (int f = 0; f < 6; ++f) {
    std::vector<CellSpec> cells;
    for (int i = 1; i <= 20; ++i)
      cells.push_back({f + 1, i, 1, 1, 4000, 5.0, "", 600});
    files.push_back(dir.File("f" + std::to_string(f) + ".qd1"));
    WriteFile(files.back(), FileOf(cells));
  }
  mkdir(dir.File("one").c_str(), 0755);
  mkdir(dir.File("two").c_str(), 0755);
  std::vector<std::string> args = {"catalog", "--catalog", dir.File("c.sqlite"), "import"};
  args.insert(args.end(), files.begin(), files.end());
  ProgramOutcome a, b;
  std::thread t1([&] { a = RunProgram("quorvex-cli", args, dir.File("one")); });
  std::thread t2([&] { b = RunProgram("quorvex-cli", args, dir.File("two")); });
  t1.join();
  t2.join();
  EXPECT_EQ(a.exitCode, 0) << a.err;
  EXPECT_EQ(b.exitCode, 0) << b.err;
  int64_t total = 0;
  for (const auto& [file, n] : RecordsPerFile(dir.File("c.sqlite")))
    total += n;
  EXPECT_EQ(total, 120);
  auto cat = catalog::Catalog::Open(dir.File("c.sqlite"), nullptr);
  ASSERT_TRUE(cat);
  EXPECT_EQ(cat->Search({})->size(), 120u);
}

}  // namespace
}  // namespace qv::test
