#include "link/analyzer_link.h"

#include <chrono>
#include <thread>
#include <utility>

#include "core/numtext.h"
#include "data/text_format.h"
#include "link/port_list.h"

namespace qv {
namespace {

constexpr int kQueueBytes = 8192;

std::string FourWide(std::string s) {
  while (s.size() < 4)
    s.insert(s.begin(), '0');
  return s;
}

}  // namespace

LinkSleeper RealSleeper() {
  return [](int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  };
}

std::string EncodeTenths(double value) {
  // "%04.1f": two integer digits, the point, the tenths digit.
  std::string text = FixedText(value, 1);
  if (!text.empty() && text[0] != '-') text = FourWide(text);
  std::string out(2, '0');
  out[0] = static_cast<char>(0x30 + AtoI(std::string_view(text).substr(0, 2)));
  out[1] = text.empty() ? '0' : text.back();
  return out;
}

std::string CurrentsCommand(double a, double b, double c) {
  return "D" + EncodeTenths(a) + EncodeTenths(b) + EncodeTenths(c) + "0\r";
}

std::string ConditionsCommand(int cells, double endVoltage, int v1Point) {
  std::string t = Format("%04d", v1Point);
  std::string out = "F";
  out += static_cast<char>(0x30 + cells);
  out += "05";
  out += EncodeTenths(endVoltage);
  out += t.substr(0, 2);
  out += '\r';
  return out;
}

std::string ProbeCommand() {
  return "D0000000\r";
}

TokenStatus ReadTokenFrom(const std::function<bool(unsigned char&)>& next, std::string& token) {
  token.clear();
  bool begun = false;
  bool lfSeen = false;
  int consumed = 0;
  for (;;) {
    unsigned char c = 0;
    if (!next(c)) return TokenStatus::kNoData;
    if (c == '\n') {
      lfSeen = true;
    } else if (c == '\r') {
      if (lfSeen) return TokenStatus::kOk;
      token += static_cast<char>(c);
      begun = true;
    } else if (c == ' ') {
      if (begun) return TokenStatus::kOk;
    } else {
      token += static_cast<char>(c);
      begun = true;
    }
    if (++consumed > kTokenMaxBytes) return TokenStatus::kTooLong;
  }
}

FrameResult ReadFrameFrom(const std::function<bool(unsigned char&)>& next, int cells,
                          FrameValues& out) {
  std::string slot[9];
  int restarts = 0;
  int i = 0;
  while (i < 9) {
    std::string token;
    if (ReadTokenFrom(next, token) != TokenStatus::kOk) return FrameResult::kFail;
    if (i >= 1 && (token == "STOP" || token == "LOAD")) {
      // A new frame begins here: realign on its status.
      if (++restarts > kFrameMaxRestarts) return FrameResult::kFail;
      slot[0] = std::move(token);
      for (int k = 1; k < 9; ++k)
        slot[k].clear();
      i = 1;
      continue;
    }
    slot[i++] = std::move(token);
  }
  std::string volt = slot[3];
  // Multi-cell packs report one digit more than is kept.
  if (cells != 1 && volt.size() > 2) volt.pop_back();
  out.point.time = AtoI(slot[1]);
  out.point.current = AtoF(slot[2]);
  out.point.voltage = AtoF(volt);
  out.point.capacity = AtoF(slot[4]);
  out.avgVoltage1 = AtoF(slot[5]);
  out.point.avgVoltage = AtoF(slot[6]);
  out.pir = AtoF(slot[7]);
  out.internalResistance = AtoF(slot[8]);
  return slot[0] == "STOP" ? FrameResult::kStop : FrameResult::kLoad;
}

LinkSettings LinkSettingsOf(const CAppState& app) {
  return {app.ReadCommSettings(), PortNamesOf(app)};
}

// -------------------------------------------------------------- CAnalyzerLink

CAnalyzerLink::CAnalyzerLink(LinkSettings settings)
    : settings_(std::move(settings)), sleep_(RealSleeper()) {
  serial_.SetPortNames(settings_.ports);
}

CAnalyzerLink::~CAnalyzerLink() = default;

void CAnalyzerLink::Wait(int ms) {
  if (sleep_) sleep_(ms);
}

bool CAnalyzerLink::OpenLink(int port) {
  port_ = port;
  const int timeout = settings_.comm.timeoutMs;
  if (serial_.Open(port, kQueueBytes, kQueueBytes) != PortResult::kOk) return false;
  if (serial_.Configure(port, kLineAnalyzer) != PortResult::kOk) return false;
  if (serial_.SetWriteTimeout(port, timeout) != PortResult::kOk) return false;
  return serial_.SetReadTimeouts(port, timeout) == PortResult::kOk;
}

void CAnalyzerLink::CloseLink() {
  serial_.PurgeTransmit(port_);
  serial_.PurgeReceive(port_);
  serial_.Close(port_);
}

bool CAnalyzerLink::SendCommand(std::string_view bytes) {
  const int n = static_cast<int>(bytes.size());
  return serial_.Write(port_, bytes.data(), n) == n;
}

bool CAnalyzerLink::NextByte(unsigned char& c) {
  return serial_.Read(port_, &c, 1) == 1;
}

bool CAnalyzerLink::ReadAck(char expected) {
  unsigned char c = 0;
  return NextByte(c) && c == static_cast<unsigned char>(expected);
}

void CAnalyzerLink::SendThrice(std::string_view command) {
  SendCommand(command);
  Wait(100);
  SendCommand(command);
  Wait(100);
  SendCommand(command);
}

bool CAnalyzerLink::SendAcked(const std::string& command, char ack) {
  serial_.PurgeReceive(port_);
  SendCommand(command);
  return ReadAck(ack);
}

bool CAnalyzerLink::SendCurrents(const InputConditions& in) {
  return SendAcked(CurrentsCommand(in.currentA, in.currentB, in.currentC), 'd');
}

bool CAnalyzerLink::SendConditions(const InputConditions& in) {
  return SendAcked(ConditionsCommand(in.cells, in.endVoltage, in.v1Point), 'f');
}

bool CAnalyzerLink::Probe() {
  serial_.SetWirePhase(WirePhase::kProbe);
  serial_.PurgeReceive(port_);
  SendCommand(ProbeCommand());
  const bool ok = ReadAck('d');
  serial_.PurgeReceive(port_);
  return ok;
}

bool CAnalyzerLink::ProbeWithRetries() {
  serial_.SetWirePhase(WirePhase::kProbe);
  serial_.PurgeTransmit(port_);
  serial_.PurgeReceive(port_);
  bool ok = false;
  for (int i = 0; i < 3 && !ok; ++i) {
    Wait(200);
    ok = Probe();
  }
  SendThrice(kFlushCommand);
  return ok;
}

bool CAnalyzerLink::SendInputValues(const InputConditions& inputs) {
  const int retries = settings_.comm.retryC1;
  serial_.SetWirePhase(WirePhase::kInputs);
  serial_.PurgeTransmit(port_);
  serial_.PurgeReceive(port_);
  bool currents = false;
  for (int i = 0; i < retries && !currents; ++i) {
    Wait(100);
    currents = SendCurrents(inputs);
  }
  bool conditions = false;
  if (currents) {
    for (int i = 0; i < retries && !conditions; ++i) {
      Wait(100);
      conditions = SendConditions(inputs);
    }
  }
  if (currents && conditions) return true;
  SendThrice(kFlushCommand);
  return false;
}

bool CAnalyzerLink::ReadToken(std::string& token) {
  return ReadTokenFrom([this](unsigned char& c) { return NextByte(c); }, token) == TokenStatus::kOk;
}

FrameResult CAnalyzerLink::ReadFrame(int cells, FrameValues& values) {
  serial_.PurgeReceive(port_);
  if (frameHook_) frameHook_();
  return ReadFrameFrom([this](unsigned char& c) { return NextByte(c); }, cells, values);
}

// ------------------------------------------------------------------ the run

RunResult CAnalyzerLink::RunMeasurement(int cells, const std::atomic<bool>& measuring,
                                        const FrameSinks& sinks) {
  serial_.SetWirePhase(WirePhase::kStart);
  serial_.PurgeTransmit(port_);
  serial_.PurgeReceive(port_);
  for (IFrameSink* sink : sinks)
    sink->OnRunStart();
  RunResult result = RunResult::kCommFailure;
  if (StartPhase(cells, sinks)) result = PollingPhase(cells, measuring, sinks);
  if (result == RunResult::kInstrumentStopped) AcknowledgeStop();
  Ending();
  for (IFrameSink* sink : sinks)
    sink->OnRunEnd();
  return result;
}

bool CAnalyzerLink::StartPhase(int cells, const FrameSinks& sinks) {
  for (int attempt = 0; attempt < settings_.comm.retryC2; ++attempt) {
    SendCommand(kStartCommand);
    Wait(100);
    FrameValues v;
    if (ReadFrame(cells, v) == FrameResult::kFail) {
      for (IFrameSink* sink : sinks)
        sink->OnStartMissed();
      continue;
    }
    // Whatever its status, the first frame leads into the polling phase.
    for (IFrameSink* sink : sinks)
      sink->OnFrame(v);
    return true;
  }
  return false;
}

RunResult CAnalyzerLink::PollingPhase(int cells, const std::atomic<bool>& measuring,
                                      const FrameSinks& sinks) {
  serial_.SetWirePhase(WirePhase::kPolling);
  int errors = 0;
  bool limit = false;
  for (int passes = 1;; ++passes) {
    if (!measuring.load()) SendCommand(kEndCommand);
    FrameValues v;
    const FrameResult r = ReadFrame(cells, v);
    if (r == FrameResult::kFail) {
      ++errors;
      Wait(100);
      if (errors >= settings_.comm.retryC3) return RunResult::kCommFailure;
    } else {
      errors = 0;
      if (v.point.time >= kRunMaxSeconds) limit = true;
      if (limit && r != FrameResult::kStop) SendCommand(kEndCommand);
      for (IFrameSink* sink : sinks)
        sink->OnFrame(v);
      if (r == FrameResult::kStop) return RunResult::kInstrumentStopped;
    }
    if (passes >= kRunMaxPasses) return RunResult::kPassLimit;
  }
}

void CAnalyzerLink::AcknowledgeStop() {
  serial_.SetWirePhase(WirePhase::kStopAck);
  SendThrice(kStopAckCommand);
}

void CAnalyzerLink::Ending() {
  serial_.SetWirePhase(WirePhase::kEnding);
  Wait(700);
  SendThrice(kFlushCommand);
  serial_.PurgeTransmit(port_);
  serial_.PurgeReceive(port_);
}

}  // namespace qv
