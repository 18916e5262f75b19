// End to end: quorvex-cli measure, recover and scan against the orvantis-sim
// program, with runs side by side and folders that cannot be written.
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "data/run_journal.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

// A child process with its working folder and its output in files; as the
// unprivileged user nobody when asked and the tests run as root.
class Child {
 public:
  Child(const std::string& cwd, std::vector<std::string> args, const std::string& out,
        const std::string& err, bool asNobody = false) {
    pid_ = ::fork();
    if (pid_ == 0) {
      if (::chdir(cwd.c_str()) != 0) ::_exit(126);
      if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) ::_exit(126);
      if (asNobody && ::geteuid() == 0 &&
          (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
        ::_exit(125);
      std::vector<char*> argv;
      for (auto& a : args)
        argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0 && !done_) {
      ::kill(pid_, SIGKILL);
      Wait(5000);
    }
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  pid_t Pid() const { return pid_; }
  // True while it has not ended.
  bool Running() {
    int status = 0;
    if (done_ || ::waitpid(pid_, &status, WNOHANG) != 0) return false;
    return true;
  }
  // Exit code, or -1 when it did not end in time.
  int Wait(int ms) {
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        done_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  bool done_ = false;
};

std::string Bin(const std::string& name) {
  return std::string(QV_BIN_DIR) + "/" + name;
}

class SimEndToEnd : public ::testing::Test {
 protected:
  SimEndToEnd() {
    ::mkdir(dir.File("nodev").c_str(), 0755);
    WriteFile(dir.File("Dis.ini"),
              "[QUORVEX]\r\nCOM_TIMEOUT_MS=500\r\nDATA_DEF_DISA=10.0\r\nDATA_DEF_DISB=5.0\r\n"
              "DATA_DEF_DISC=1.0\r\nDATA_DEF_CELL=4\r\nDATA_DEF_CUTV=4.0\r\nDATA_DEF_APO1=100\r\n");
  }

  // Starts the simulator and waits until it has published its port; its
  // output goes to <name>.out and <name>.err in the test's folder.
  std::unique_ptr<Child> StartSim(int com, std::vector<std::string> extra = {},
                                  const std::string& name = "sim", const std::string& work = {},
                                  bool asNobody = false) {
    const std::string folder = work.empty() ? dir.path() : work;
    std::vector<std::string> args = {Bin("orvantis-sim"), "--dir", folder, "--com",
                                     std::to_string(com)};
    args.insert(args.end(), extra.begin(), extra.end());
    const std::string out = dir.File(name + ".out");
    auto sim = std::make_unique<Child>(folder, args, out, dir.File(name + ".err"), asNobody);
    auto until = Clock::now() + std::chrono::seconds(10);
    while (ReadFile(out).find("COM") == std::string::npos && Clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(ReadFile(out).find("COM" + std::to_string(com)), std::string::npos);
    return sim;
  }

  std::unique_ptr<Child> Cli(std::vector<std::string> args) {
    args.insert(args.begin(), Bin("quorvex-cli"));
    return std::make_unique<Child>(dir.path(), args, dir.File("cli.out"), dir.File("cli.err"));
  }

  nlohmann::json Dump(const std::string& file) {
    Child dump(dir.path(), {Bin("quorvex-cli"), "dump", file}, dir.File("dump.out"),
               dir.File("dump.err"));
    EXPECT_EQ(dump.Wait(20000), 0);
    return nlohmann::json::parse(ReadFile(dir.File("dump.out")));
  }

  TempDir dir;
};

TEST_F(SimEndToEnd, MeasureTakesEveryFrameAndSavesTheRun) {
  // The pace of a headless ./run.sh: each frame follows the program's purge
  // at once, however busy the machine.
  auto sim = StartSim(5, {"--speed", "0", "--capacity", "500", "--gap-ms", "1"});
  auto cli = Cli({"measure", "--port", "5", "--currents", "10,5,1", "--cells", "4", "--v1", "100",
                  "--out", "run.qd1", "--dev-root", dir.File("nodev")});
  ASSERT_EQ(cli->Wait(60000), 0) << ReadFile(dir.File("cli.err"));
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);

  const nlohmann::json j = Dump("run.qd1");
  const auto& cur = j["current"];
  ASSERT_TRUE(cur.is_object());
  EXPECT_EQ(cur["cells"], 4);
  EXPECT_DOUBLE_EQ(cur["end_voltage"].get<double>(), 4.0);
  const auto& pts = cur["points"];
  ASSERT_GT(pts.size(), 130u);
  for (size_t i = 0; i < pts.size(); ++i) {
    EXPECT_EQ(pts[i][0].get<int>(), static_cast<int>(i)) << "frame lost before " << i;
    // Four cells: the extra voltage digit was dropped.
    const double v100 = pts[i][2].get<double>() * 100.0;
    EXPECT_NEAR(v100, std::round(v100), 1e-6);
  }
  // The last point reached the end voltage; the window currents were used.
  EXPECT_LE(pts.back()[2].get<double>(), 4.0);
  EXPECT_DOUBLE_EQ(pts[121][1].get<double>(), 5.0);
  EXPECT_DOUBLE_EQ(pts[124][1].get<double>(), 1.0);
  // Four cells of 5 mOhm.
  EXPECT_NEAR(cur["internal_resistance"].get<double>(), 20.0, 3.0);
  EXPECT_GT(cur["pir"].get<double>(), 0.0);
  EXPECT_GT(cur["avg_voltage1"].get<double>(), 4.0);
  EXPECT_NE(cur["datetime"].get<std::string>().substr(0, 4), "0100");
  // One printed line per point.
  const std::string out = ReadFile(dir.File("cli.out"));
  EXPECT_EQ(static_cast<size_t>(std::count(out.begin(), out.end(), '\n')), pts.size());
}

TEST_F(SimEndToEnd, AKilledMeasureIsRecoveredUpToASecondBeforeTheKill) {
  auto sim = StartSim(7, {"--speed", "0", "--capacity", "100000", "--gap-ms", "2"});
  auto cli = Cli({"measure", "--port", "7", "--currents", "10,5,1", "--cells", "4", "--out",
                  "run.qd1", "--dev-root", dir.File("nodev")});
  // The points printed so far, looked at every few milliseconds.
  std::vector<std::pair<Clock::time_point, size_t>> seen;
  auto lines = [&] {
    const std::string out = ReadFile(dir.File("cli.out"));
    return static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
  };
  const auto until = Clock::now() + std::chrono::seconds(30);
  Clock::time_point firstAt{};
  while (Clock::now() < until) {
    const size_t n = lines();
    seen.emplace_back(Clock::now(), n);
    if (n > 0 && firstAt == Clock::time_point{}) firstAt = Clock::now();
    if (n > 0 && Clock::now() - firstAt > std::chrono::milliseconds(2500)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const auto killedAt = Clock::now();
  cli->Signal(SIGKILL);
  EXPECT_EQ(cli->Wait(5000), 128 + SIGKILL);
  size_t safe = 0;
  for (const auto& [at, n] : seen)
    if (at <= killedAt - std::chrono::seconds(1)) safe = n;
  ASSERT_GT(safe, 50u);
  std::vector<std::vector<double>> printed;
  for (std::istringstream in(ReadFile(dir.File("cli.out"))); printed.size() < safe;) {
    std::vector<double> v(5);
    ASSERT_TRUE(in >> v[0] >> v[1] >> v[2] >> v[3] >> v[4]);
    printed.push_back(v);
  }
  EXPECT_FALSE(FileExists(dir.File("run.qd1")));

  auto recover = Cli({"recover"});
  ASSERT_EQ(recover->Wait(20000), 0) << ReadFile(dir.File("cli.err"));
  std::istringstream said(ReadFile(dir.File("cli.out")));
  std::string path, count;
  std::getline(said, path);
  std::getline(said, count);
  EXPECT_EQ(path.substr(0, dir.path().size() + 11), dir.path() + "/recovered-");
  EXPECT_FALSE(FileExists(dir.File("runjournal.qvj")));

  const nlohmann::json j = Dump(path);
  const auto& pts = j["current"]["points"];
  EXPECT_EQ(count, std::to_string(pts.size()) + " points");
  EXPECT_EQ(j["current"]["cells"], 4);
  ASSERT_GE(pts.size(), safe);
  // Every point as it was received (printed with 0, 2, 3, 0, 3 decimals),
  // in the order it came.
  const double tolerance[5] = {0, 0.005, 0.0005, 0.5, 0.0005};
  for (size_t i = 0; i < pts.size(); ++i) {
    if (i > 0) {
      ASSERT_GT(pts[i][0].get<int>(), pts[i - 1][0].get<int>());
    }
    for (size_t k = 0; i < safe && k < 5; ++k)
      ASSERT_NEAR(pts[i][k].get<double>(), printed[i][k], tolerance[k] + 1e-9) << i << "/" << k;
  }
  // Nothing left to recover.
  EXPECT_EQ(Cli({"recover"})->Wait(20000), 1);
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
}

// The lines of a wire trace: seconds, port, phase and what happened.
struct TraceLine {
  double seconds = 0.0;
  std::string port, phase, what;
};
std::vector<TraceLine> ReadTrace(const std::string& path) {
  std::vector<TraceLine> lines;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    TraceLine t;
    fields >> t.seconds >> t.port >> t.phase >> std::ws;
    std::getline(fields, t.what);
    lines.push_back(t);
  }
  return lines;
}

TEST_F(SimEndToEnd, TheWireTraceHoldsEveryByteInItsPhase) {
  auto sim = StartSim(4, {"--speed", "0", "--capacity", "60", "--gap-ms", "5"});
  auto cli = Cli({"measure", "--port", "4", "--currents", "1,1,1", "--cells", "1", "--out",
                  "run.qd1", "--dev-root", dir.File("nodev"), "--trace", "trace.txt"});
  ASSERT_EQ(cli->Wait(60000), 0) << ReadFile(dir.File("cli.err"));
  const std::string out = ReadFile(dir.File("cli.out"));
  const auto points = static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));

  const std::vector<TraceLine> trace = ReadTrace(dir.File("trace.txt"));
  ASSERT_FALSE(trace.empty());
  std::vector<std::string> sent;  // phase and bytes of everything sent
  size_t frames = 0;
  for (size_t i = 0; i < trace.size(); ++i) {
    EXPECT_EQ(trace[i].port, "COM4");
    if (i > 0) {
      EXPECT_GE(trace[i].seconds, trace[i - 1].seconds) << i;
    }
    if (trace[i].what.rfind("> ", 0) == 0) sent.push_back(trace[i].phase + " " + trace[i].what);
    if (trace[i].what.rfind("< \"LOAD ", 0) == 0 || trace[i].what.rfind("< \"STOP ", 0) == 0) {
      EXPECT_EQ(trace[i].phase, frames == 0 ? "start" : "polling") << i;
      EXPECT_NE(trace[i].what.find("\\n\\r\""), std::string::npos) << trace[i].what;
      ++frames;
    }
  }
  EXPECT_EQ(frames, points);
  // At full pace no frame comes before the purge that precedes its read.
  for (const TraceLine& t : trace)
    EXPECT_EQ(t.what.rfind("purged", 0), std::string::npos) << t.seconds << " " << t.what;
  EXPECT_EQ(sent, (std::vector<std::string>{
                      R"(inputs > "D1010100\r")", R"(inputs > "F1051001\r")", R"(start > "S\r")",
                      R"(stop-ack > "G\r")", R"(stop-ack > "G\r")", R"(stop-ack > "G\r")",
                      R"(ending > "\r\r")", R"(ending > "\r\r")", R"(ending > "\r\r")"}));
  // Three seconds' work takes no longer in the trace than it took.
  EXPECT_LT(trace.back().seconds - trace.front().seconds, 60.0);

  // QUORVEX_TRACE does the same for any command; a probe is a phase too.
  ::setenv("QUORVEX_TRACE", dir.File("scan.txt").c_str(), 1);
  auto scan = Cli({"scan", "--dev-root", dir.File("nodev")});
  ::unsetenv("QUORVEX_TRACE");
  ASSERT_EQ(scan->Wait(60000), 0) << ReadFile(dir.File("cli.err"));
  const std::vector<TraceLine> probe = ReadTrace(dir.File("scan.txt"));
  auto has = [&](const std::string& phase, const std::string& what) {
    return std::any_of(probe.begin(), probe.end(), [&](const TraceLine& t) {
      return t.port == "COM4" && t.phase == phase && t.what == what;
    });
  };
  EXPECT_TRUE(has("probe", R"(> "D0000000\r")"));
  EXPECT_TRUE(has("probe", R"(< "d")"));
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
}

TEST_F(SimEndToEnd, InvalidInputIsRefused) {
  auto cli = Cli({"measure", "--port", "5", "--currents", "36,1,1", "--out", "run.qd1"});
  EXPECT_EQ(cli->Wait(20000), 1);
  EXPECT_NE(ReadFile(dir.File("cli.err")).find("放電電流Ａは、0.0 ～ 35.0"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.File("run.qd1")));
}

TEST_F(SimEndToEnd, NoInstrumentIsACommunicationFailure) {
  auto cli = Cli({"measure", "--port", "9", "--out", "run.qd1", "--dev-root", dir.File("nodev")});
  EXPECT_EQ(cli->Wait(20000), 2);
  EXPECT_NE(ReadFile(dir.File("cli.err")).find("入力値が送信できません。"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.File("run.qd1")));
}

TEST_F(SimEndToEnd, InterruptSendsTheEndCommand) {
  auto sim = StartSim(2, {"--speed", "20", "--capacity", "3000"});
  auto cli = Cli({"measure", "--port", "2", "--out", "run.qd1", "--dev-root", dir.File("nodev")});
  auto until = Clock::now() + std::chrono::seconds(20);
  while (ReadFile(dir.File("cli.out")).size() < 40 && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  cli->Signal(SIGINT);
  EXPECT_EQ(cli->Wait(20000), 0) << ReadFile(dir.File("cli.err"));
  sim->Signal(SIGTERM);
  sim->Wait(5000);
  EXPECT_NE(ReadFile(dir.File("cli.err")).find("放電と計測の処理を停止しました。"),
            std::string::npos);
  const nlohmann::json j = Dump("run.qd1");
  EXPECT_GT(j["current"]["points"].size(), 2u);
  EXPECT_LT(j["current"]["discharge_time"].get<int>(), 200);
}

TEST_F(SimEndToEnd, InstantStopReportsTheBatteryConnection) {
  auto sim = StartSim(3, {"--fault", "instant-stop"});
  // The stop is reported until it is acknowledged: the first frame and the
  // one read while polling make two points. The simulator serves one run
  // after another: the second run after the acknowledged stop is taken like
  // the first.
  for (const char* out : {"run1.qd1", "run2.qd1"}) {
    auto cli = Cli({"measure", "--port", "3", "--out", out, "--dev-root", dir.File("nodev")});
    EXPECT_EQ(cli->Wait(30000), 0) << out;
    EXPECT_NE(ReadFile(dir.File("cli.err")).find("ORVANTIS本体と電池の接続を確認してください。"),
              std::string::npos)
        << out;
    EXPECT_EQ(Dump(out)["current"]["points"].size(), 2u) << out;
  }
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
}

TEST_F(SimEndToEnd, WrongAcknowledgementFailsTheSending) {
  WriteFile(dir.File("Dis.ini"), ReadFile(dir.File("Dis.ini")) + "COM_RETRY_C1=2\r\n");
  auto sim = StartSim(3, {"--fault", "wrong-ack"});
  auto cli = Cli({"measure", "--port", "3", "--out", "run.qd1", "--dev-root", dir.File("nodev")});
  EXPECT_EQ(cli->Wait(30000), 2);
  sim->Signal(SIGTERM);
  sim->Wait(5000);
}

TEST_F(SimEndToEnd, ScanFindsTheSimulator) {
  WriteFile(dir.File("Dis.ini"), "[QUORVEX]\r\nCOM_TIMEOUT_MS=200\r\n");
  auto sim = StartSim(4);
  auto cli = Cli({"scan", "--dev-root", dir.File("nodev")});
  EXPECT_EQ(cli->Wait(60000), 0) << ReadFile(dir.File("cli.err"));
  EXPECT_EQ(ReadFile(dir.File("cli.out")), "COM4\n");
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
  // The simulator removed its port again.
  struct stat st;
  EXPECT_NE(::lstat(dir.File("ports/COM4").c_str(), &st), 0);
}

TEST_F(SimEndToEnd, ScanWithoutInstrumentExitsOne) {
  auto cli = Cli({"scan", "--dev-root", dir.File("nodev")});
  EXPECT_EQ(cli->Wait(60000), 1);
  EXPECT_EQ(ReadFile(dir.File("cli.out")), "");
}

// Waits until `done` holds, up to `ms`; whether it did.
bool WaitFor(const std::function<bool()>& done, int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

size_t JournalPoints(const std::string& bytes) {
  return bytes.size() < kJournalHeaderBytes
             ? 0
             : (bytes.size() - kJournalHeaderBytes) / kJournalEntryBytes;
}

TEST_F(SimEndToEnd, ASecondMeasureInTheFolderExitsTwoAndLeavesTheFirstRunAlone) {
  auto sim = StartSim(5, {"--speed", "0", "--capacity", "100000", "--gap-ms", "5"});
  auto idle = StartSim(6, {"--verbose"}, "idle");
  auto first = Cli({"measure", "--port", "5", "--currents", "10,5,1", "--cells", "4", "--out",
                    "run.qd1", "--dev-root", dir.File("nodev")});
  const std::string journal = dir.File("runjournal.qvj");
  ASSERT_TRUE(WaitFor([&] { return JournalPoints(ReadFile(journal)) >= 20; }, 30000));
  const std::string before = ReadFile(journal);

  Child second(dir.path(),
               {Bin("quorvex-cli"), "measure", "--port", "6", "--out", "run2.qd1", "--dev-root",
                dir.File("nodev")},
               dir.File("cli2.out"), dir.File("cli2.err"));
  EXPECT_EQ(second.Wait(20000), 2);
  const std::string said = ReadFile(dir.File("cli2.err"));
  for (const std::string& part :
       {std::string(
            "この作業フォルダーでは、ほかの放電と計測が実行中です。\n計測を開始できません。"),
        "作業フォルダー：" + dir.path() + "\n",
        "実行中の計測：quorvex-cli（プロセス番号 " + std::to_string(first->Pid()) + "）\n",
        std::string("入力値：放電電流Ａ 10.0 A、放電電流Ｂ 5.0 A、放電電流Ｃ 1.0 A、セル数 4、"
                    "終了電圧 4.0 V、V1測定点 100 秒\n")}) {
    EXPECT_NE(said.find(part), std::string::npos) << part << "\nin\n" << said;
  }
  // Nothing went to its instrument and nothing was written.
  EXPECT_EQ(ReadFile(dir.File("idle.err")), "");
  EXPECT_EQ(ReadFile(dir.File("cli2.out")), "");
  EXPECT_FALSE(FileExists(dir.File("run2.qd1")));
  EXPECT_FALSE(FileExists(dir.File("tmpdata.bak")));
  // The first run's journal only went on growing.
  const std::string after = ReadFile(journal);
  EXPECT_EQ(after.substr(0, before.size()), before);
  EXPECT_TRUE(first->Running());

  first->Signal(SIGINT);
  EXPECT_EQ(first->Wait(20000), 0) << ReadFile(dir.File("cli.err"));
  EXPECT_FALSE(FileExists(journal));
  const nlohmann::json j = Dump("run.qd1");
  const auto& pts = j["current"]["points"];
  ASSERT_GE(pts.size(), JournalPoints(after));
  for (size_t i = 0; i < pts.size(); ++i)
    ASSERT_EQ(pts[i][0].get<int>(), static_cast<int>(i));
  sim->Signal(SIGTERM);
  idle->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
  EXPECT_EQ(idle->Wait(5000), 0);
}

TEST_F(SimEndToEnd, AJournalInAReadOnlyFolderIsToldWhileTheRunGoesOn) {
  // The working folder cannot be written by the programs (run as nobody when
  // the tests run as root); its ports/ and the folder of --out can.
  const std::string ro = dir.File("ro"), out = dir.File("out");
  ::chmod(dir.path().c_str(), 0755);
  for (const std::string& d : {ro, ro + "/ports", ro + "/nodev", out}) {
    ::mkdir(d.c_str(), 0755);
    ::chmod(d.c_str(), d == ro ? 0755 : 0777);
  }
  WriteFile(ro + "/Dis.ini", ReadFile(dir.File("Dis.ini")));
  if (::geteuid() != 0) ::chmod(ro.c_str(), 0555);
  auto sim =
      StartSim(8, {"--speed", "0", "--capacity", "100000", "--gap-ms", "5"}, "sim", ro, true);
  Child cli(ro,
            {Bin("quorvex-cli"), "measure", "--port", "8", "--currents", "10,5,1", "--cells", "4",
             "--out", out + "/run.qd1", "--dev-root", ro + "/nodev"},
            dir.File("cli.out"), dir.File("cli.err"), true);
  const std::string notice =
      "計測中の記録ファイル " + ro +
      "/runjournal.qvj に書き込めません（書き込みの権限がありません）。計測は"
      "続けますが、このままプログラムが中断すると計測データは失われます。\n";
  ASSERT_TRUE(WaitFor([&] { return !ReadFile(dir.File("cli.err")).empty(); }, 30000));
  // Told as the first thing, while the run is going on.
  EXPECT_TRUE(cli.Running());
  EXPECT_EQ(ReadFile(dir.File("cli.err")), notice);
  EXPECT_FALSE(ReadFile(dir.File("cli.out")).empty());

  cli.Signal(SIGINT);
  EXPECT_EQ(cli.Wait(20000), 0);
  const std::string err = ReadFile(dir.File("cli.err"));
  EXPECT_EQ(err.find(notice), 0u);
  EXPECT_EQ(err.find(notice, 1), std::string::npos);
  // And again at its end, with the backup that could not be written.
  EXPECT_NE(err.find("計測中の記録ファイルに書き込めませんでした。"), std::string::npos) << err;
  EXPECT_NE(err.find("計測データを自動バックアップファイル " + ro +
                     "/tmpdata.bak に保存できませんでした。"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("計測データは計測データ欄に残っています。）"), std::string::npos) << err;
  EXPECT_TRUE(FileExists(out + "/run.qd1"));
  EXPECT_FALSE(FileExists(ro + "/runjournal.qvj"));
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
  ::chmod(ro.c_str(), 0755);
}

TEST_F(SimEndToEnd, WithoutABackupTheJournalGoesOnceTheOutFileIsWritten) {
  ::mkdir(dir.File("tmpdata.bak").c_str(), 0755);  // the backup cannot replace a folder
  ::mkdir(dir.File("out").c_str(), 0755);
  auto sim = StartSim(4, {"--speed", "0", "--capacity", "20", "--gap-ms", "2"});
  const std::string journal = dir.File("runjournal.qvj");
  const struct {
    const char* out;
    int exitCode;
    bool journalLeft;
  } cases[] = {{"out/run.qd1", 0, false}, {"no/such/folder/run.qd1", 2, true}};
  for (const auto& c : cases) {
    auto cli = Cli({"measure", "--port", "4", "--currents", "1,1,1", "--cells", "1", "--out", c.out,
                    "--dev-root", dir.File("nodev")});
    EXPECT_EQ(cli->Wait(60000), c.exitCode) << c.out;
    const std::string err = ReadFile(dir.File("cli.err"));
    EXPECT_NE(err.find("計測データを自動バックアップファイル " + dir.File("tmpdata.bak") +
                       " に保存できませんでした。"),
              std::string::npos)
        << err;
    EXPECT_EQ(FileExists(journal), c.journalLeft) << c.out;
  }
  // The run that is in no file is recovered from the journal.
  auto recover = Cli({"recover"});
  EXPECT_EQ(recover->Wait(20000), 0) << ReadFile(dir.File("cli.err"));
  EXPECT_FALSE(FileExists(journal));
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
}

TEST_F(SimEndToEnd, AFifoInTheJournalsPlaceHoldsUpNoCommand) {
  const std::string journal = dir.File("runjournal.qvj");
  ASSERT_EQ(::mkfifo(journal.c_str(), 0644), 0);
  const std::string refused = "計測の記録ファイルの名前 " + journal +
                              " が、通常のファイルではないもの（FIFO やフォルダーなど）に使われて"
                              "いるため、記録ファイルを読み書きできません。";
  auto recover = Cli({"recover"});
  EXPECT_EQ(recover->Wait(20000), 2);
  EXPECT_NE(ReadFile(dir.File("cli.err")).find(refused), std::string::npos);
  // Refused before the input values are sent (there is no instrument on 9).
  auto measure =
      Cli({"measure", "--port", "9", "--out", "run.qd1", "--dev-root", dir.File("nodev")});
  EXPECT_EQ(measure->Wait(20000), 2);
  const std::string err = ReadFile(dir.File("cli.err"));
  EXPECT_NE(err.find(refused), std::string::npos) << err;
  EXPECT_EQ(err.find("入力値が送信できません。"), std::string::npos) << err;
  struct stat st {};
  ASSERT_EQ(::lstat(journal.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

struct FaultCase {
  const char* fault;
  int exitCode;
  const char* stderrText;        // UTF-8, empty: anything
  const char* capacity = "100";  // mAh: enough frames for the fault to show
};

class SimFaults : public SimEndToEnd, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SimFaults, RunEndsAsExpected) {
  const FaultCase& c = GetParam();
  WriteFile(dir.File("Dis.ini"), ReadFile(dir.File("Dis.ini")) +
                                     "COM_TIMEOUT_MS=300\r\nCOM_RETRY_C1=2\r\nCOM_RETRY_C2=2\r\n");
  auto sim = StartSim(
      6, {"--speed", "0", "--capacity", c.capacity, "--fault", c.fault, "--unplug-at", "20"});
  auto cli = Cli({"measure", "--port", "6", "--out", "run.qd1", "--dev-root", dir.File("nodev")});
  EXPECT_EQ(cli->Wait(60000), c.exitCode) << ReadFile(dir.File("cli.err"));
  if (*c.stderrText) {
    EXPECT_NE(ReadFile(dir.File("cli.err")).find(c.stderrText), std::string::npos)
        << ReadFile(dir.File("cli.err"));
  }
  sim->Signal(SIGTERM);
  EXPECT_EQ(sim->Wait(5000), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimFaults,
    // About 15 frames at 10 A from 50 mAh: two of them lost to garbage, three
    // run together.
    ::testing::Values(FaultCase{"garbage", 0, "", "50"}, FaultCase{"split", 0, "", "50"},
                      FaultCase{"together", 0, "", "50"},
                      FaultCase{"over-range", 0, "レンジオーバーの可能性があります。"},
                      FaultCase{"unplug", 2, "通信障害のため、計測を中断します。"},
                      FaultCase{"no-f", 2, "入力値が送信できません。"},
                      FaultCase{"silent", 2, "入力値が送信できません。"}),
    [](const ::testing::TestParamInfo<FaultCase>& p) {
      std::string n = p.param.fault;
      n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
      return n;
    });

}  // namespace
}  // namespace qv::test
