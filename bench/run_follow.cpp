// A whole discharge in the window against orvantis-sim sending as fast as
// the frames are taken: every point must reach the result panel and the
// graph (none dropped, none out of order) and the user-interface thread must
// stay responsive. Reports the points per second, the longest and mean time
// a queued refresh waited, and the longest gap between ticks of a 10 ms
// timer on the user-interface thread.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/command_ids.h"
#include "app/main_frame.h"
#include "app/run_controller.h"
#include "link/serial_port.h"
#include "support/sim_process.h"

namespace {

// Questions answered with their first button; nothing is chosen.
class QuietUi : public qv::IUserInterface {
 public:
  qv::MsgResult ShowMessage(const qv::Message& m) override {
    ++messages;
    switch (m.buttons) {
      case qv::MsgButtons::kYesNo:
      case qv::MsgButtons::kYesNoCancel:
        return qv::MsgResult::kNo;
      default:
        return qv::MsgResult::kOk;
    }
  }
  std::optional<std::string> ChooseOpenFile(const qv::FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const qv::FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseFolder(const qv::FolderDialogRequest&) override { return {}; }
  int messages = 0;
};

QApplication& Qt() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_run_follow";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  return app;
}

void BM_RunFollow(benchmark::State& state) {
  Qt();
  constexpr int kCom = 9;
  const std::string capacity = std::to_string(state.range(0));
  for (auto _ : state) {
    char tmpl[] = "/tmp/qv_bench_runXXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    ::mkdir((dir + "/ports").c_str(), 0755);
    ::mkdir((dir + "/dev").c_str(), 0755);
    qv::CPortNames::SetDefaultDeviceRoot(dir + "/dev");
    qv::CSettingsStore store(dir, "Dis.ini");
    qv::SeedNewSettings(store);
    store.SetInt("COMPORT", kCom);
    store.SetInt("START_DIRECT", 1);
    store.SetInt("COM_TIMEOUT_MS", 500);
    store.SetInt("GRAPH_GAPX", 1);

    qv::test::SimProcess sim(dir, kCom, {"--speed", "0", "--gap-ms", "1", "--capacity", capacity});
    sim.WaitReady();
    QuietUi ui;
    int64_t points = 0, shown = 0, outOfOrder = 0;
    double maxWaitMs = 0, meanWaitMs = 0, maxGapMs = 0, seconds = 0;
    {
      qv::ui::CBrenlowApp app(qv::ui::StartOptions{dir, false, &ui});
      app.Start(std::nullopt);
      qv::ui::CRunController* runs = qv::ui::CRunController::Of(*app.Frame());
      runs->Control().sleeper = [](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
      };
      bool finished = false;
      QObject::connect(runs, &qv::ui::CRunController::RunFinished,
                       [&](qv::RunResult) { finished = true; });

      // The user-interface thread's pulse while the run goes on.
      QElapsedTimer pulse;
      QTimer tick;
      tick.setInterval(10);
      QObject::connect(&tick, &QTimer::timeout, [&] {
        if (pulse.isValid())
          maxGapMs = std::max(maxGapMs, static_cast<double>(pulse.nsecsElapsed()) / 1e6);
        pulse.restart();
      });

      QElapsedTimer clock;
      clock.start();
      app.Frame()->OnCommand(qv::ui::kCmdStart);
      tick.start();
      while (!finished && clock.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
      tick.stop();
      seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;

      {
        std::lock_guard<std::mutex> g(app.Doc().Lock());
        points = static_cast<int64_t>(app.Doc().Current().Points().size());
      }
      const qv::ui::RunFollowStats& st = runs->Stats();
      shown = st.pointsShown;
      outOfOrder = st.outOfOrder;
      maxWaitMs = static_cast<double>(st.maxWaitNs) / 1e6;
      meanWaitMs =
          shown ? static_cast<double>(st.totalWaitNs) / 1e6 / static_cast<double>(shown) : 0;
      if (!finished) state.SkipWithError("the run did not end");
      if (shown != points || outOfOrder != 0) state.SkipWithError("points dropped or out of order");
    }
    sim.Kill();
    std::filesystem::remove_all(dir);
    state.counters["points"] = static_cast<double>(points);
    state.counters["shown"] = static_cast<double>(shown);
    state.counters["out_of_order"] = static_cast<double>(outOfOrder);
    state.counters["points_per_s"] = seconds > 0 ? static_cast<double>(points) / seconds : 0;
    state.counters["max_queue_wait_ms"] = maxWaitMs;
    state.counters["mean_queue_wait_ms"] = meanWaitMs;
    state.counters["max_ui_gap_ms"] = maxGapMs;
  }
  qv::CPortNames::SetDefaultDeviceRoot("/dev");
}
// The pack capacity in mAh: about 3.6 frames per mAh at 1 A.
BENCHMARK(BM_RunFollow)
    ->Arg(300)
    ->Arg(1500)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
