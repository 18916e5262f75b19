// The discharge run control: the start command, the measurement worker that
// follows the run on its own thread, and the stop command.
//
// Threads. StartCommand and StopCommand run on the user-interface thread.
// StartCommand starts one std::thread per run (MeasureWorker). The worker
// never touches a window: everything it shows goes through
//   - IUserInterface::ShowMessage / Tell (its end-of-run messages), and
//   - the hooks pointRefresh, finalRefresh and setStatus,
// all called ON THE WORKER THREAD. A GUI must hand them over to its own
// thread (a blocking queued call keeps them in order). The document's lock
// guards the current measurement: the worker appends points and writes the
// results under it, and painting must read them under it too.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "core/user_interface.h"
#include "data/document.h"
#include "link/analyzer_link.h"
#include "link/input_check.h"
#include "link/run_safeguard.h"

namespace qv {

// What the start command did.
enum class StartOutcome {
  kBusy,          // a run is active: nothing done
  kCancelled,     // the user kept the panel's data, or did not confirm
  kInvalidInput,  // the validation message was shown
  kSendFailed,    // the port could not be opened or the values not sent
  kStarted,       // the worker runs
};

struct RunHooks {
  // Gives the main window the keyboard focus (start step 2).
  std::function<void()> focusMainWindow;
  // The input cell texts of the current measurement's column (rows 13..18).
  // Empty: the texts of the record's own values.
  std::function<InputCellTexts()> inputTexts;
  // Status bar pane 1 (CP932; empty text clears it). Called on the
  // user-interface thread by the start command and on the worker thread at
  // the end of a run.
  std::function<void(const std::string&)> setStatus;
  // Wait cursor on (true) and off.
  std::function<void(bool)> waitCursor;
  // START_DEFGRA: the graph view takes its default display settings without
  // writing them (the core has already put them into CAppState::graph).
  std::function<void()> applyDefaultGraph;
  // The start confirmation (放電と計測を開始): true for 開始. Empty: true.
  std::function<bool()> confirmStart;
  // The port detection dialog; returns the found port or -1. Empty: the
  // core's RunPortDetection with no progress display.
  std::function<int()> detectPort;
  // Worker thread: after every point appended (its elapsed time), and once
  // at the end of the run after the last point.
  std::function<void(int time)> pointRefresh;
  std::function<void()> finalRefresh;
};

class CRunControl {
 public:
  CRunControl(CBrenlowDoc& doc, IUserInterface& ui);
  // Asks a running worker to stop and waits for it.
  ~CRunControl();
  CRunControl(const CRunControl&) = delete;
  CRunControl& operator=(const CRunControl&) = delete;

  StartOutcome StartCommand();
  // Clears the measuring flag and tells the user; the worker ends the run.
  void StopCommand();
  // True while a worker exists (CAppState::runActive).
  bool IsActive() const;
  // Waits for the worker of the last run to end.
  void Join();

  // Result of the last run's RunMeasurement (kFrameLoad, kFrameStop,
  // kFrameFail), or -1 when the worker could not open the port.
  int LastRunResult() const { return lastResult_.load(); }

  RunHooks hooks;
  // Waits prescribed by the run (tests shorten them). Applies to the links
  // this object builds.
  LinkSleeper sleeper = RealSleeper();
  // Uses this port instead of COMPORT (the command-line tool's --port).
  std::optional<int> portOverride;
  // Test instruments: see CAnalyzerLink::SetFrameHook.
  std::function<void()> frameHook;
  // The run journal and the sleep lock of every run.
  CRunSafeguard safeguard;

  // The texts of this command's messages.
  static std::string CaptionStart();
  static std::string CaptionRun();
  static std::string CaptionStop();
  static std::string ClearQuestionText();
  static std::string ValidationTail();
  static std::string SendFailedText();
  static std::string NoPermissionText();
  static std::string DetectHintText();
  static std::string DetectHintCaption();
  static std::string CannotStartText();
  static std::string CommLostText();
  static std::string EmergencyText(const std::string& cause);
  static std::string CauseConnection();
  static std::string CauseRange();
  static std::string StoppedText();
  static std::string SendingStatus();

  // The end-of-run check: the emergency-stop cause of a finished
  // measurement, empty when there is none.
  static std::string EmergencyCause(const CMeasureData& record);

 private:
  int ComPort() const;
  void MeasureWorker();
  void ShowStatus(const std::string& text);

  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  std::thread worker_;
  std::atomic<int> lastResult_{-1};
};

}  // namespace qv
