// The ORVANTIS analyzer's command protocol over a serial port: sending the
// discharge conditions, probing a port, and following a discharge run frame
// by frame, each frame handed to the run's sinks (frame_sink.h).
//
// The link knows no document and no settings file. Its owner gives it what
// an operation needs as values: the communication limits and the COM
// numbering (LinkSettings), the input conditions to send, and for a run the
// cell count, the stop flag and the sinks.
//
// A link lives for one operation sequence on one thread: construct, OpenLink,
// one of SendInputValues / RunMeasurement / ProbeWithRetries, CloseLink.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "core/app_state.h"
#include "core/conditions.h"
#include "link/frame_sink.h"
#include "link/serial_port.h"

namespace qv {

// The waits the protocol prescribes go through this, so that tests can
// record them instead of sleeping. The default sleeps for real.
using LinkSleeper = std::function<void(int ms)>;
LinkSleeper RealSleeper();

// What one frame read gave: the status the instrument reported ("LOAD":
// discharging, "STOP": it has ended the discharge), or no whole frame.
enum class FrameResult { kLoad, kStop, kFail };

// How a run ended.
enum class RunResult {
  kPassLimit,          // 99999 polling passes went by without a "STOP"
  kInstrumentStopped,  // a "STOP" was read while polling and acknowledged
  kCommFailure,        // no first frame, or COM_RETRY_C3 failed frames in a row
  kNoRun,              // none took place: the run control's worker could not open the port
};

// The commands without values, each ending in CR: the start of a discharge,
// the request to end it, the acknowledgement of a "STOP" (sent three times)
// and the flush that leaves the instrument's input empty (three times).
inline constexpr std::string_view kStartCommand = "S\r";
inline constexpr std::string_view kEndCommand = "E\r";
inline constexpr std::string_view kStopAckCommand = "G\r";
inline constexpr std::string_view kFlushCommand = "\r\r";

// Limits of a run.
inline constexpr int kTokenMaxBytes = 32;
inline constexpr int kFrameMaxRestarts = 100;
inline constexpr int kRunMaxPasses = 99999;
inline constexpr int kRunMaxSeconds = 9999;

// Encoding of a value with one decimal: "%04.1f", then 0x30 + the integer
// part and 0x30 + the tenths digit.
std::string EncodeTenths(double value);
// The 9-byte currents, conditions and probe commands.
std::string CurrentsCommand(double a, double b, double c);
std::string ConditionsCommand(int cells, double endVoltage, int v1Point);
std::string ProbeCommand();

// Token reader over a byte source (one byte per call; false when none came
// within the read time-out). Shared by the link and the fuzz target.
enum class TokenStatus { kOk, kNoData, kTooLong };
TokenStatus ReadTokenFrom(const std::function<bool(unsigned char&)>& next, std::string& token);

// A frame's nine tokens read from a byte source. `cells` decides whether the
// voltage token loses its last character. The point and the record results
// are filled only for kLoad and kStop.
FrameResult ReadFrameFrom(const std::function<bool(unsigned char&)>& next, int cells,
                          FrameValues& out);

// What a link is told of the settings: the read and write time-out, the
// retry limits and how COM numbers map to devices. Its owner reads them for
// each operation, so a changed settings file counts from the next one.
struct LinkSettings {
  CommSettings comm;
  CPortNames ports;
};
// The application's settings as they are now: COM_* as ReadCommSettings
// clamps them, and the ports/ folder beside the settings file.
LinkSettings LinkSettingsOf(const CAppState& app);

class CAnalyzerLink {
 public:
  explicit CAnalyzerLink(LinkSettings settings);
  ~CAnalyzerLink();
  CAnalyzerLink(const CAnalyzerLink&) = delete;
  CAnalyzerLink& operator=(const CAnalyzerLink&) = delete;

  // Opens COM `port` with the analyzer's line settings and the time-out;
  // false when it cannot be opened or set (CloseLink all the same).
  bool OpenLink(int port);
  void CloseLink();
  int Port() const { return port_; }
  // The port table the link talks through (its last open error and device).
  CSerialPort& Serial() { return serial_; }
  const CSerialPort& Serial() const { return serial_; }

  // Each sends its command and compares the one-byte answer; false on a
  // wrong answer or none within the time-out.
  bool SendCurrents(const InputConditions& inputs);
  bool SendConditions(const InputConditions& inputs);
  bool Probe();
  // The probe up to three times, then the flush; true when one was answered.
  bool ProbeWithRetries();
  // The currents ("D"), then the conditions ("F"), each tried up to
  // COM_RETRY_C1 times; false, after the flush, when either was never
  // acknowledged.
  bool SendInputValues(const InputConditions& inputs);

  // One token; false on no data or too long.
  bool ReadToken(std::string& token);
  // One frame after the receive buffer was discarded; `cells` decides the
  // voltage digit rule. `values` is filled for kLoad and kStop.
  FrameResult ReadFrame(int cells, FrameValues& values);
  // The whole run, in its phases: the start ("S" until a first frame),
  // polling (frames until a "STOP"), the stop acknowledgement ("G" three
  // times) and the ending (flush). The first frame, whatever its status, is
  // followed by the polling phase; only a "STOP" read there is acknowledged.
  // While `measuring` is false the end command goes before every frame read;
  // from 9999 s on it follows every "LOAD" frame before the frame is handed
  // on. The sinks get every event of the run (IFrameSink) in their order.
  // Never returns kNoRun.
  RunResult RunMeasurement(int cells, const std::atomic<bool>& measuring, const FrameSinks& sinks);

  void SetSleeper(LinkSleeper sleeper) { sleep_ = std::move(sleeper); }
  // Called at the start of every ReadFrame, after the receive buffer was
  // discarded (test instruments send their next frame from here).
  void SetFrameHook(std::function<void()> hook) { frameHook_ = std::move(hook); }

 private:
  // The phases of RunMeasurement.
  // True when a first frame was read (and handed on) within COM_RETRY_C2
  // attempts.
  bool StartPhase(int cells, const FrameSinks& sinks);
  // Until a "STOP", COM_RETRY_C3 failed frames in a row, or the pass limit.
  RunResult PollingPhase(int cells, const std::atomic<bool>& measuring, const FrameSinks& sinks);
  void AcknowledgeStop();
  void Ending();

  bool SendCommand(std::string_view bytes);
  // PurgeReceive, the command, and its one-byte answer compared with `ack`.
  bool SendAcked(const std::string& command, char ack);
  bool ReadAck(char expected);
  // The command three times, 100 ms apart (the flush "\r\r", "G").
  void SendThrice(std::string_view command);
  void Wait(int ms);
  bool NextByte(unsigned char& c);

  CSerialPort serial_;
  LinkSettings settings_;
  int port_ = 1;
  LinkSleeper sleep_;
  std::function<void()> frameHook_;
};

}  // namespace qv
