// The discharge run control: the start command, the measurement worker that
// follows the run on its own thread, and the stop command.
//
// Threads. StartCommand and StopCommand run on the user-interface thread.
// StartCommand starts one std::thread per run (MeasureWorker). The worker
// never touches a window: everything it shows goes through
//   - IUserInterface::ShowMessage / Tell (its end-of-run messages, each with
//     an OK button only), and
//   - the hooks pointRefresh, finalRefresh, setStatus and runEnded,
// all called ON THE WORKER THREAD. A GUI hands them over to its own thread
// in the order they were called; the worker does not need to wait for them.
// The document's lock guards the current measurement: during a run only the
// run recorder (run_recorder.h) writes it, under that lock, and painting
// must read it under the lock too.
//
// A run is composed here: the worker's link is given the settings, the port,
// the cell count and the stop flag as values (read on the user-interface
// thread as the worker starts) and hands every frame to the recorder, the
// journal (CRunSafeguard), the point refresh and `frameSinks`, in that
// order. The steps of a run are listed in this folder's README.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/user_interface.h"
#include "data/document.h"
#include "link/analyzer_link.h"
#include "link/input_check.h"
#include "link/run_recorder.h"
#include "link/run_safeguard.h"
#include "link/run_texts.h"

namespace qv {

// What the start command did.
enum class StartOutcome {
  kBusy,          // a run is active: nothing done
  kFolderBusy,    // a run of another program (or object) holds the working
                  // folder, or its journal's name is taken: told, nothing sent
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
  // START_DEFGRA: the graph view takes these default display settings
  // without writing them (the core has already put them into
  // CAppState::graph).
  std::function<void(const GraphSettings&)> applyDefaultGraph;
  // The start confirmation (放電と計測を開始): true for 開始. Empty: true.
  std::function<bool()> confirmStart;
  // The port detection dialog; returns the found port or -1. Empty: the
  // core's RunPortDetection with no progress display.
  std::function<int()> detectPort;
  // Worker thread: after every point appended (its elapsed time), and once
  // at the end of the run after the last point.
  std::function<void(int time)> pointRefresh;
  std::function<void()> finalRefresh;
  // Worker thread, its last act: the run is over (the backup is written, the
  // run state cleared and the status emptied); no hook is called after it.
  std::function<void(RunResult)> runEnded;
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
  // Asks a running worker to stop, without telling the user, and waits for
  // it (a window or a program that closes).
  void StopAndJoin();
  // After the document was written to a data file: a run journal kept for
  // want of a backup goes when the file holds that run
  // (CRunSafeguard::DocumentSaved).
  void DocumentSaved() { safeguard.DocumentSaved(doc_); }

  // How the last run ended; kNoRun before its worker has ended, or when the
  // worker could not open the port.
  RunResult LastRunResult() const { return lastResult_.load(); }

  RunHooks hooks;
  // Waits prescribed by the run (tests shorten them). Applies to the links
  // this object builds.
  LinkSleeper sleeper = RealSleeper();
  // Uses this port instead of COMPORT (the command-line tool's --port).
  std::optional<int> portOverride;
  // Test instruments: see CAnalyzerLink::SetFrameHook.
  std::function<void()> frameHook;
  // Further sinks of every frame, after the point refresh (worker thread;
  // the command-line tool prints the points so).
  FrameSinks frameSinks;
  // The run journal and the sleep lock of every run.
  CRunSafeguard safeguard;

  // The end-of-run check: the emergency-stop cause of a finished
  // measurement, empty when there is none.
  static std::string EmergencyCause(const CMeasureData& record);

 private:
  // What sending the input values gave.
  struct SendAttempt {
    bool sent = false;
    int openError = 0;                // errno of a failed open, 0 otherwise
    std::vector<std::string> denied;  // devices refused: no permission, or in use
  };

  // The start command's steps after the folder is claimed, in their order;
  // each false ends the command.
  StartOutcome StartInClaimedFolder();
  bool ClearPanelIfConfirmed();
  bool InputsAreValid();
  void ApplyStartOptions();
  SendAttempt SendInputValues();
  void ReportSendFailure(const SendAttempt& attempt);
  void StartWorker();

  // What the worker is given when it starts.
  struct WorkerSetup {
    int port = 1;
    LinkSettings link;
    int cells = 1;
  };

  // The worker's steps.
  void MeasureWorker(const WorkerSetup& setup);
  RunResult FollowRun(const WorkerSetup& setup);
  void ReportRunEnd(RunResult result);
  void FinishRun(RunResult result);

  int ComPort() const;
  void ShowStatus(const std::string& text);

  CBrenlowDoc& doc_;
  CAppState& app_;  // the document's: settings, run state
  IUserInterface& ui_;
  // The one writer of the current measurement during a run.
  CRunRecorder recorder_;
  std::thread worker_;
  std::atomic<RunResult> lastResult_{RunResult::kNoRun};
};

}  // namespace qv
