// The ORVANTIS analyzer's command protocol over a serial port: sending the
// discharge conditions, probing a port, and following a discharge run frame
// by frame into the document's current measurement.
//
// A link lives for one operation sequence on one thread: construct, OpenLink,
// one of SendInputValues / RunMeasurement / ProbeWithRetries, CloseLink.
#pragma once

#include <functional>
#include <string>

#include "data/document.h"
#include "data/measure_data.h"
#include "link/serial_port.h"

namespace qv {

// The waits the protocol prescribes go through this, so that tests can
// record them instead of sleeping. The default sleeps for real.
using LinkSleeper = std::function<void(int ms)>;
LinkSleeper RealSleeper();

// Results of ReadFrame and RunMeasurement.
inline constexpr int kFrameLoad = 0;  // RunMeasurement: pass limit reached
inline constexpr int kFrameStop = 1;  // the instrument ended the discharge
inline constexpr int kFrameFail = 2;  // communication failure

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
// voltage token loses its last character. Returns kFrameLoad, kFrameStop or
// kFrameFail; the point and the record results are filled only on success.
struct FrameValues {
  CMeasurePoint point;
  double avgVoltage1 = 0.0;
  double pir = 0.0;
  double internalResistance = 0.0;
};
int ReadFrameFrom(const std::function<bool(unsigned char&)>& next, int cells, FrameValues& out);

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
  int ReadFrame(CMeasureData& record, CMeasurePoint& point);
  // The whole run; returns kFrameLoad (pass limit), kFrameStop or kFrameFail.
  // The first frame, whatever its status, is followed by the polling phase;
  // the stop is acknowledged ("G" three times) only for a "STOP" read there.
  int RunMeasurement();

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
  bool SendCommand(const std::string& bytes);
  // PurgeReceive, the command built from the current measurement, and its
  // one-byte answer compared with `ack`.
  bool SendAcked(const std::function<std::string(const CMeasureData&)>& command, char ack);
  bool ReadAck(char expected);
  void Flush();
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
