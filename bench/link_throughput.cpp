// The analyzer link against orvantis-sim: frames per second at the
// simulator's full speed, without and with the run journal (the journal may
// cost no frame and at most 5 % of the run's time), and the CPU the link uses
// at the instrument's real pace of one frame per second (the goal is well
// under 1 % of one core).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/document.h"
#include "data/run_journal.h"
#include "link/analyzer_link.h"
#include "link/run_recorder.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string BinDir() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

// orvantis-sim in a temporary folder, publishing COM1 there.
class Sim {
 public:
  explicit Sim(std::vector<std::string> extra) {
    char tmpl[] = "/tmp/quorvex-bench-XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    std::ofstream(dir_ + "/Dis.ini") << "[QUORVEX]\r\nCOM_TIMEOUT_MS=1500\r\n";
    std::vector<std::string> args = {BinDir() + "/orvantis-sim", "--dir", dir_, "--com", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      if (!freopen("/dev/null", "w", stdout)) ::_exit(126);
      std::vector<char*> argv;
      for (auto& a : args)
        argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    struct stat st;
    auto until = Clock::now() + std::chrono::seconds(10);
    while (::lstat((dir_ + "/ports/COM1").c_str(), &st) != 0 && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ~Sim() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    std::filesystem::remove_all(dir_);
  }
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

double CpuSeconds() {
  struct rusage ru;
  ::getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct RunStats {
  int points = 0;
  int lost = 0;  // frames missing from the run (gaps in the elapsed times)
  double pollingSeconds = 0.0;
  double cpuSeconds = 0.0;
  int result = -1;
  qv::CJournalWriter::Stats journal;
};

// Counts the points as the window's refresh would see them, after the
// recorder and the journal.
class FrameCounter : public qv::IFrameSink {
 public:
  explicit FrameCounter(std::function<void()> onPoint) : onPoint_(std::move(onPoint)) {}
  void OnFrame(const qv::FrameValues&) override { onPoint_(); }

 private:
  std::function<void()> onPoint_;
};

// Every point into a run journal, as the run's safeguard queues it.
class JournalSink : public qv::IFrameSink {
 public:
  explicit JournalSink(qv::CJournalWriter& writer) : writer_(writer) {}
  void OnFrame(const qv::FrameValues& v) override {
    writer_.Append({qv::WallClockMs(), v.point, v.avgVoltage1, v.pir, v.internalResistance});
  }

 private:
  qv::CJournalWriter& writer_;
};

// One run: input values, then RunMeasurement. `stopAfter` > 0 clears the
// measuring flag after that many points (the link then ends the run). With
// `journal` every point also goes to a run journal in the simulator's folder.
RunStats OneRun(const Sim& sim, int stopAfter, bool journal = false) {
  qv::CPortNames::SetDefaultDeviceRoot(sim.Dir() + "/nodev");
  qv::CAppState app;
  app.settings.SetDirectory(sim.Dir());
  app.LoadSettings();
  qv::CBrenlowDoc doc(app);
  qv::CMeasureData& r = doc.Current();
  r.currentA = 10.0;
  r.currentB = 5.0;
  r.currentC = 1.0;
  r.cells = 4;
  r.endVoltage = 4.0;
  r.v1Point = 100;
  RunStats s;
  const qv::LinkSettings settings = qv::LinkSettingsOf(app);
  {
    qv::CAnalyzerLink link(settings);
    if (!link.OpenLink(1) || !link.SendInputValues(r.Inputs())) return s;
    link.CloseLink();
  }
  qv::CAnalyzerLink link(settings);
  if (!link.OpenLink(1)) return s;
  Clock::time_point first, last;
  double cpuFirst = 0.0, cpuLast = 0.0;
  qv::CRunRecorder recorder(r, doc.Lock());
  FrameCounter counter([&] {
    last = Clock::now();
    cpuLast = CpuSeconds();
    if (s.points == 0) {
      first = last;
      cpuFirst = cpuLast;
    }
    if (++s.points == stopAfter) app.measuring = false;
  });
  qv::CJournalWriter writer;
  JournalSink journalSink(writer);
  qv::FrameSinks sinks{&recorder};
  const std::string journalPath = sim.Dir() + "/" + qv::kRunJournalName;
  if (journal) {
    writer.Start(journalPath, {r.Inputs(), qv::WallClockMs()});
    sinks.push_back(&journalSink);
  }
  sinks.push_back(&counter);
  app.measuring = true;
  s.result = static_cast<int>(link.RunMeasurement(r.cells, app.measuring, sinks));
  link.CloseLink();
  if (journal) {
    if (!writer.Finish()) s.result = -1;
    s.journal = writer.GetStats();
    ::unlink(journalPath.c_str());
  }
  const auto& pts = r.Points();
  for (size_t i = 1; i < pts.size(); ++i)
    if (pts[i].time > pts[i - 1].time + 1) s.lost += pts[i].time - pts[i - 1].time - 1;
  s.pollingSeconds = std::chrono::duration<double>(last - first).count();
  s.cpuSeconds = cpuLast - cpuFirst;
  return s;
}

// Argument 0: the link alone; 1: with the run journal.
void BM_LinkFramesAtFullSpeed(benchmark::State& state) {
  Sim sim({"--speed", "0", "--capacity", "1000", "--gap-ms", "2"});
  RunStats s;
  for (auto _ : state) {
    s = OneRun(sim, 0, state.range(0) != 0);
  }
  state.counters["frames"] = s.points;
  state.counters["frames_lost"] = s.lost;
  state.counters["run_s"] = s.pollingSeconds;
  state.counters["frames_per_s"] = s.pollingSeconds > 0 ? (s.points - 1) / s.pollingSeconds : 0;
  state.counters["result"] = s.result;
  if (state.range(0) != 0) {
    state.counters["syncs"] = static_cast<double>(s.journal.syncs);
    state.counters["max_sync_lag_ms"] = static_cast<double>(s.journal.maxLagNs) / 1e6;
  }
}
BENCHMARK(BM_LinkFramesAtFullSpeed)
    ->ArgName("journal")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_LinkCpuAtRealPace(benchmark::State& state) {
  Sim sim({"--speed", "1", "--capacity", "3000"});
  RunStats s;
  for (auto _ : state) {
    s = OneRun(sim, static_cast<int>(state.range(0)));
  }
  state.counters["frames"] = s.points;
  state.counters["cpu_percent_of_core"] =
      s.pollingSeconds > 0 ? 100.0 * s.cpuSeconds / s.pollingSeconds : 0;
}
BENCHMARK(BM_LinkCpuAtRealPace)->Arg(8)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
