// quorvex-cli measure: one discharge run on the ORVANTIS without windows,
// with the run control the application uses, saved as a data file.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <mutex>

#include "commands.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "data/document.h"
#include "data/text_format.h"
#include "file_io.h"
#include "link/run_control.h"
#include "link/serial_port.h"

namespace qv::cli {
namespace {

// Messages go to stderr; questions are answered No (nothing interactive).
class ConsoleUi : public IUserInterface {
 public:
  MsgResult ShowMessage(const Message& m) override {
    std::cerr << Cp932ToUtf8(m.text) << "\n";
    switch (m.buttons) {
      case MsgButtons::kOk:
        return MsgResult::kOk;
      case MsgButtons::kYesNo:
      case MsgButtons::kYesNoCancel:
        return MsgResult::kNo;
      default:
        return MsgResult::kCancel;
    }
  }
  // A notice during the run: one line, and the run goes on.
  void Notify(const Message& m) override { std::cerr << Cp932ToUtf8(m.text) << "\n"; }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseFolder(const FolderDialogRequest&) override { return {}; }
};

// Each point as it comes: elapsed time, current, voltage, capacity and
// average voltage, one line.
class PointPrinter : public IFrameSink {
 public:
  void OnFrame(const FrameValues& v) override {
    const CMeasurePoint& p = v.point;
    std::printf("%d %s %s %s %s\n", p.time, FixedText(p.current, 2).c_str(),
                FixedText(p.voltage, 3).c_str(), FixedText(p.capacity, 0).c_str(),
                FixedText(p.avgVoltage, 3).c_str());
    std::fflush(stdout);
  }
};

std::atomic<bool>* g_measuring = nullptr;
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
  // Ask the worker to send the end command; a second Ctrl-C ends the tool.
  g_interrupted = 1;
  if (g_measuring) g_measuring->store(false);
}

struct MeasureArgs {
  int port = 0;
  std::string currents, cells, endVoltage, v1, out, devRoot, trace;
};

int Measure(const MeasureArgs& args) {
  if (!StartWireTrace(args.trace)) return kExitTraceFile;
  CAppState app;
  LoadAppSettings(app);
  if (!args.devRoot.empty()) CPortNames::SetDefaultDeviceRoot(args.devRoot);
  CBrenlowDoc doc(app);
  ConsoleUi ui;

  // Missing options keep the input defaults of Dis.ini; a cell count given
  // alone sets the end voltage to 1.0 V per cell, as the panel does.
  InputCellTexts texts = InputTextsOf(doc.Current());
  if (!args.currents.empty()) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : args.currents + ",") {
      if (c == ',') {
        parts.push_back(part);
        part.clear();
      } else {
        part += c;
      }
    }
    if (parts.size() != 3) {
      std::cerr << "--currents takes three values: A,B,C\n";
      return 1;
    }
    for (size_t i = 0; i < 3; ++i)
      texts[i] = parts[i];
  }
  if (!args.cells.empty()) {
    texts[3] = args.cells;
    texts[4] = FixedText(AtoI(args.cells), 1);
  }
  if (!args.endVoltage.empty()) texts[4] = args.endVoltage;
  if (!args.v1.empty()) texts[5] = args.v1;

  CRunControl run(doc, ui);
  run.portOverride = args.port;
  run.hooks.inputTexts = [texts] { return texts; };
  // Ctrl-C while the input values are sent: no run is started.
  run.hooks.confirmStart = [] { return g_interrupted == 0; };
  PointPrinter printer;
  run.frameSinks = {&printer};

  g_measuring = &app.measuring;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sa.sa_flags = SA_RESETHAND;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);

  const StartOutcome outcome = run.StartCommand();
  if (outcome == StartOutcome::kInvalidInput) return 1;
  if (outcome != StartOutcome::kStarted) return 2;
  if (g_interrupted) app.measuring.store(false);  // interrupted just before the start
  run.Join();
  g_measuring = nullptr;
  if (g_interrupted) std::cerr << Cp932ToUtf8(GetRunControlTexts().stopped) << "\n";

  const RunResult result = run.LastRunResult();
  if (result != RunResult::kNoRun) {
    int written;
    {
      std::lock_guard<std::mutex> g(doc.Lock());
      written = WriteDataFileAt(args.out, doc.Current(), doc.Registered());
    }
    if (written != kExitOk) return 2;
    // The run is safe in --out: a journal kept for want of a backup goes.
    run.DocumentSaved();
  }
  return result == RunResult::kInstrumentStopped ? 0 : 2;
}

Registrar measureCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<MeasureArgs>();
  auto* sub = app.add_subcommand(
      "measure",
      "Run one discharge on the ORVANTIS and save it; each point is printed as it comes");
  ExitStatusHelp(sub,
                 "  0  the run ended with the instrument's STOP (also after Ctrl-C); the data\n"
                 "     file is written\n"
                 "  1  invalid input values\n"
                 "  2  no run was started (also because another run is active in the working\n"
                 "     folder), the run ended without a STOP (what was measured is written),\n"
                 "     or the data file cannot be written\n"
                 "  3  the --trace file cannot be written");
  sub->add_option("--port", args->port, "COM number (1-256)")->required();
  sub->add_option("--currents", args->currents, "discharge currents A,B,C in A");
  sub->add_option("--cells", args->cells, "cell count (1, 4, 6, 8)");
  sub->add_option("--end-voltage", args->endVoltage, "end voltage in V");
  sub->add_option("--v1", args->v1, "V1 measurement point in s");
  sub->add_option("--out", args->out, "data file (.qd1) to write")->required();
  sub->add_option("--trace", args->trace,
                  "append every byte sent and received, with its time and the run's phase, to "
                  "this file");
  sub->add_option("--dev-root", args->devRoot, "folder of the tty devices (default /dev)")
      ->group("");
  return [args] { return Measure(*args); };
});

}  // namespace
}  // namespace qv::cli
