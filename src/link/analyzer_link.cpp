#include "link/analyzer_link.h"

#include <chrono>
#include <mutex>
#include <thread>

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

// -------------------------------------------------------------- CAnalyzerLink

CAnalyzerLink::CAnalyzerLink(CBrenlowDoc& doc) : doc_(doc), sleep_(RealSleeper()) {
  SetPortNames(PortNamesOf(doc.App()));
}

CAnalyzerLink::~CAnalyzerLink() = default;

void CAnalyzerLink::Wait(int ms) {
  if (sleep_) sleep_(ms);
}

bool CAnalyzerLink::OpenLink(int port) {
  port_ = port;
  const int timeout = doc_.App().ReadCommSettings().timeoutMs;
  if (Open(port, kQueueBytes, kQueueBytes) != PortResult::kOk) return false;
  if (Configure(port, kLineAnalyzer) != PortResult::kOk) return false;
  if (SetWriteTimeout(port, timeout) != PortResult::kOk) return false;
  return SetReadTimeouts(port, timeout) == PortResult::kOk;
}

void CAnalyzerLink::CloseLink() {
  PurgeTransmit(port_);
  PurgeReceive(port_);
  Close(port_);
}

bool CAnalyzerLink::SendCommand(std::string_view bytes) {
  const int n = static_cast<int>(bytes.size());
  return Write(port_, bytes.data(), n) == n;
}

bool CAnalyzerLink::NextByte(unsigned char& c) {
  return Read(port_, &c, 1) == 1;
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

bool CAnalyzerLink::SendAcked(const std::function<std::string(const CMeasureData&)>& command,
                              char ack) {
  PurgeReceive(port_);
  std::string cmd;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    cmd = command(doc_.Current());
  }
  SendCommand(cmd);
  return ReadAck(ack);
}

bool CAnalyzerLink::SendCurrents() {
  return SendAcked(
      [](const CMeasureData& r) { return CurrentsCommand(r.currentA, r.currentB, r.currentC); },
      'd');
}

bool CAnalyzerLink::SendConditions() {
  return SendAcked(
      [](const CMeasureData& r) { return ConditionsCommand(r.cells, r.endVoltage, r.v1Point); },
      'f');
}

bool CAnalyzerLink::Probe() {
  SetWirePhase(WirePhase::kProbe);
  PurgeReceive(port_);
  SendCommand(ProbeCommand());
  const bool ok = ReadAck('d');
  PurgeReceive(port_);
  return ok;
}

bool CAnalyzerLink::ProbeWithRetries() {
  SetWirePhase(WirePhase::kProbe);
  PurgeTransmit(port_);
  PurgeReceive(port_);
  bool ok = false;
  for (int i = 0; i < 3 && !ok; ++i) {
    Wait(200);
    ok = Probe();
  }
  SendThrice(kFlushCommand);
  return ok;
}

bool CAnalyzerLink::SendInputValues() {
  const CommSettings comm = doc_.App().ReadCommSettings();
  SetWirePhase(WirePhase::kInputs);
  PurgeTransmit(port_);
  PurgeReceive(port_);
  bool currents = false;
  for (int i = 0; i < comm.retryC1 && !currents; ++i) {
    Wait(100);
    currents = SendCurrents();
  }
  bool conditions = false;
  if (currents) {
    for (int i = 0; i < comm.retryC1 && !conditions; ++i) {
      Wait(100);
      conditions = SendConditions();
    }
  }
  if (currents && conditions) return true;
  SendThrice(kFlushCommand);
  return false;
}

bool CAnalyzerLink::ReadToken(std::string& token) {
  return ReadTokenFrom([this](unsigned char& c) { return NextByte(c); }, token) == TokenStatus::kOk;
}

FrameResult CAnalyzerLink::ReadFrame(CMeasureData& record, CMeasurePoint& point) {
  PurgeReceive(port_);
  if (frameHook_) frameHook_();
  int cells;
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    cells = record.cells;
  }
  FrameValues v;
  const FrameResult r = ReadFrameFrom([this](unsigned char& c) { return NextByte(c); }, cells, v);
  if (r == FrameResult::kFail) return r;
  point = v.point;
  std::lock_guard<std::mutex> g(doc_.Lock());
  record.avgVoltage1 = v.avgVoltage1;
  record.pir = v.pir;
  record.internalResistance = v.internalResistance;
  return r;
}

// ------------------------------------------------------------------ the run

RunResult CAnalyzerLink::RunMeasurement() {
  const CommSettings comm = doc_.App().ReadCommSettings();
  SetWirePhase(WirePhase::kStart);
  ClearPoints();
  RunResult result = RunResult::kCommFailure;
  if (StartPhase(comm.retryC2)) result = PollingPhase(comm.retryC3);
  if (result == RunResult::kInstrumentStopped) AcknowledgeStop();
  Ending();
  return result;
}

void CAnalyzerLink::ClearPoints() {
  PurgeTransmit(port_);
  PurgeReceive(port_);
  std::lock_guard<std::mutex> g(doc_.Lock());
  doc_.Current().MutablePoints().clear();
}

void CAnalyzerLink::AppendPoint(const CMeasurePoint& p) {
  FrameValues appended{p, 0.0, 0.0, 0.0};
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    CMeasureData& record = doc_.Current();
    record.AppendPoint(p);
    appended.avgVoltage1 = record.avgVoltage1;
    appended.pir = record.pir;
    appended.internalResistance = record.internalResistance;
  }
  if (pointSink_) pointSink_(appended);
}

bool CAnalyzerLink::StartPhase(int attempts) {
  CMeasureData& record = doc_.Current();
  for (int attempt = 0; attempt < attempts; ++attempt) {
    SendCommand(kStartCommand);
    Wait(100);
    CMeasurePoint p;
    if (ReadFrame(record, p) == FrameResult::kFail) {
      std::lock_guard<std::mutex> g(doc_.Lock());
      record.avgVoltage1 = 0.0;
      record.pir = 0.0;
      record.internalResistance = 0.0;
      continue;
    }
    // Whatever its status, the first frame leads into the polling phase.
    AppendPoint(p);
    if (onPoint_) onPoint_(p.time);
    return true;
  }
  return false;
}

RunResult CAnalyzerLink::PollingPhase(int maxErrors) {
  SetWirePhase(WirePhase::kPolling);
  CMeasureData& record = doc_.Current();
  int errors = 0;
  bool limit = false;
  for (int passes = 1;; ++passes) {
    if (!doc_.App().measuring.load()) SendCommand(kEndCommand);
    CMeasurePoint p;
    const FrameResult r = ReadFrame(record, p);
    if (r == FrameResult::kFail) {
      ++errors;
      Wait(100);
      if (errors >= maxErrors) return RunResult::kCommFailure;
    } else {
      errors = 0;
      AppendPoint(p);
      if (p.time >= kRunMaxSeconds) limit = true;
      if (limit && r != FrameResult::kStop) SendCommand(kEndCommand);
      if (onPoint_) onPoint_(p.time);
      if (r == FrameResult::kStop) return RunResult::kInstrumentStopped;
    }
    if (passes >= kRunMaxPasses) return RunResult::kPassLimit;
  }
}

void CAnalyzerLink::AcknowledgeStop() {
  SetWirePhase(WirePhase::kStopAck);
  SendThrice(kStopAckCommand);
}

void CAnalyzerLink::Ending() {
  SetWirePhase(WirePhase::kEnding);
  Wait(700);
  SendThrice(kFlushCommand);
  PurgeTransmit(port_);
  PurgeReceive(port_);
  {
    std::lock_guard<std::mutex> g(doc_.Lock());
    CMeasureData& record = doc_.Current();
    record.dateTime = COleDateTime::Now();
    if (record.GetDischargeTime() <= 120) record.pir = 0.0;
  }
  if (onEnd_) onEnd_();
}

}  // namespace qv
