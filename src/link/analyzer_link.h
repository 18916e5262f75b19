// The ORVANTIS analyzer's command protocol over a serial port: sending the
// discharge conditions, probing a port, and following a discharge run frame
// by frame into the document's current measurement.
//
// A link lives for one operation sequence on one thread: construct, OpenLink,
// one of SendInputValues / RunMeasurement / ProbeWithRetries, CloseLink.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "data/document.h"
#include "data/measure_data.h"
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
struct FrameValues {
  CMeasurePoint point;
  double avgVoltage1 = 0.0;
  double pir = 0.0;
  double internalResistance = 0.0;
};
FrameResult ReadFrameFrom(const std::function<bool(unsigned char&)>& next, int cells,
                          FrameValues& out);

class CAnalyzerLink : public CSerialPort {
 public:
  // COM numbers are resolved with the `ports/` folder beside the settings
  // file of the document's application.
  explicit CAnalyzerLink(CBrenlowDoc& doc);
  ~CAnalyzerLink() override;

  bool OpenLink(int port);
  void CloseLink();
  int Port() const { return port_; }

  bool SendCurrents();
  bool SendConditions();
  bool Probe();
  bool ProbeWithRetries();
  bool SendInputValues();

  // One token; false on no data or too long.
  bool ReadToken(std::string& token);
  // One frame into `point` and the results of `record` (the document's
  // current measurement; its results are written under the document lock).
  FrameResult ReadFrame(CMeasureData& record, CMeasurePoint& point);
  // The whole run into the document's current measurement, in its phases:
  // the start ("S" until a first frame), polling (frames until a "STOP"),
  // the stop acknowledgement ("G" three times) and the ending (flush, end
  // date-time). The first frame, whatever its status, is followed by the
  // polling phase; only a "STOP" read there is acknowledged. Never returns
  // kNoRun.
  RunResult RunMeasurement();

  // Called on the calling (worker) thread, without the document lock held:
  // `onPoint` after every point appended, with its elapsed time; `onEnd`
  // once at the end of the run, after the ending sequence.
  void SetCallbacks(std::function<void(int time)> onPoint, std::function<void()> onEnd) {
    onPoint_ = std::move(onPoint);
    onEnd_ = std::move(onEnd);
  }
  // Called on the calling (worker) thread right after each point was
  // appended, with the point and the record's results after its frame.
  void SetPointSink(std::function<void(const FrameValues&)> sink) { pointSink_ = std::move(sink); }
  void SetSleeper(LinkSleeper sleeper) { sleep_ = std::move(sleeper); }
  // Called at the start of every ReadFrame, after the receive buffer was
  // discarded (test instruments send their next frame from here).
  void SetFrameHook(std::function<void()> hook) { frameHook_ = std::move(hook); }

 private:
  // The phases of RunMeasurement.
  void ClearPoints();
  // True when a first frame was read (and appended) within `attempts`.
  bool StartPhase(int attempts);
  // Until a "STOP", `maxErrors` failed frames in a row, or the pass limit.
  RunResult PollingPhase(int maxErrors);
  void AcknowledgeStop();
  void Ending();
  // Appends a point to the current measurement and hands it, with the
  // record's results, to the point sink.
  void AppendPoint(const CMeasurePoint& p);

  bool SendCommand(std::string_view bytes);
  // PurgeReceive, the command built from the current measurement, and its
  // one-byte answer compared with `ack`.
  bool SendAcked(const std::function<std::string(const CMeasureData&)>& command, char ack);
  bool ReadAck(char expected);
  // The command three times, 100 ms apart (the flush "\r\r", "G").
  void SendThrice(std::string_view command);
  void Wait(int ms);
  bool NextByte(unsigned char& c);

  CBrenlowDoc& doc_;
  int port_ = 1;
  LinkSleeper sleep_;
  std::function<void(int)> onPoint_;
  std::function<void()> onEnd_;
  std::function<void()> frameHook_;
  std::function<void(const FrameValues&)> pointSink_;
};

}  // namespace qv
