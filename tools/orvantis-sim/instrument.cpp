#include "instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvsim {
namespace {

std::string Fmt(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

// Two bytes of the digit-offset encoding back to a value.
double DecodeTenths(char hi, char lo) {
  return (static_cast<unsigned char>(hi) - 0x30) + (static_cast<unsigned char>(lo) - 0x30) / 10.0;
}

}  // namespace

bool SetFault(Faults& faults, const std::string& name) {
  for (const FaultName& f : kFaultNames) {
    if (name == f.name) {
      faults.*f.flag = true;
      return true;
    }
  }
  return false;
}

NimhPack::NimhPack(int cells, double capacityMah, double resistanceMohmPerCell)
    : cells_(std::max(cells, 1)),
      capacityMah_(std::max(capacityMah, 1.0)),
      rCell_(resistanceMohmPerCell / 1000.0) {}

double NimhPack::CellOpenVoltage() const {
  const double d = dischargedMah_ / capacityMah_;
  // A fresh cell starts near 1.35 V, settles on a slowly falling plateau
  // around 1.2 V and drops steeply past 85 % depth (the knee).
  double v = 1.22 + 0.12 * std::exp(-d * 25.0) - 0.08 * d;
  if (d > 0.85) {
    const double k = (d - 0.85) / 0.15;
    v -= 0.24 * k * k;
  }
  return std::max(v, 0.0);
}

double NimhPack::Voltage(double amps) const {
  return std::max(cells_ * (CellOpenVoltage() - amps * rCell_), 0.0);
}

void NimhPack::Discharge(double amps, double seconds) {
  dischargedMah_ += amps * seconds * 1000.0 / 3600.0;
}

Instrument::Instrument(double capacityMah, double resistanceMohmPerCell, Faults faults)
    : capacityMah_(capacityMah), rCell_(resistanceMohmPerCell), faults_(faults) {}

std::string Instrument::Receive(const std::string& bytes) {
  std::string out;
  for (char ch : bytes) {
    if (ch == '\r') {
      out += Command(line_);
      line_.clear();
    } else if (line_.size() < 64) {
      line_ += ch;
    }
  }
  return out;
}

std::string Instrument::Command(const std::string& line) {
  if (line.empty() || faults_.silent) return {};
  const char kind = line[0];
  if (kind == 'D' && line.size() >= 8) {
    if (faults_.wrongAck) return "x";
    if (line.substr(1, 7) != "0000000") {
      cond_.currentA = DecodeTenths(line[1], line[2]);
      cond_.currentB = DecodeTenths(line[3], line[4]);
      cond_.currentC = DecodeTenths(line[5], line[6]);
    }
    return "d";
  }
  if (kind == 'F' && line.size() >= 8) {
    if (faults_.wrongAck) return "x";
    if (faults_.noF) return {};
    cond_.cells = line[1] - '0';
    cond_.endVoltage = DecodeTenths(line[4], line[5]);
    cond_.v1Point = (line[6] - '0') * 1000 + (line[7] - '0') * 100;
    return "f";
  }
  if (kind == 'S') {
    StartRun();
    return {};
  }
  if (kind == 'E') {
    if (state_ == State::kRunning) endRequested_ = true;
    return {};
  }
  if (kind == 'G') {
    if (state_ == State::kStopped) state_ = State::kIdle;
    return {};
  }
  return {};
}

void Instrument::StartRun() {
  state_ = State::kRunning;
  justStarted_ = true;
  ++runs;
  pack_ = NimhPack(cond_.cells, capacityMah_, rCell_);
  t_ = 0;
  endRequested_ = false;
  sumV_ = sumV1_ = 0.0;
  samples_ = samplesV1_ = 0;
  vB_ = ir_ = pir_ = v120_ = 0.0;
}

double Instrument::CurrentAt(int t) const {
  // The internal-resistance window: current B, then current C.
  if (t >= 120 && t <= 122) return cond_.currentB;
  if (t >= 123 && t <= 125) return cond_.currentC;
  return cond_.currentA;
}

std::string Instrument::NextFrame() {
  if (state_ == State::kStopped) return stopFrame_;
  if (state_ != State::kRunning) return {};
  if (faults_.instantStop) {
    // Stopped at once, at 0 s and 0 V.
    state_ = State::kStopped;
    stopFrame_ = "STOP 0 0.00 0.000 0 0.000 0.000 0.0 0.0\n\r";
    return stopFrame_;
  }
  const int t = t_++;
  const double amps = CurrentAt(t);
  if (t > 0) pack_.Discharge(amps, 1.0);
  double v = pack_.Voltage(amps);
  if (t == 122) vB_ = v;
  if (t == 120) v120_ = v;
  if (t == 123) ir_ = MeasuredResistance(v, amps);
  if (t == 125 && ir_ > 0.0) pir_ = (v120_ / pack_.Cells()) * 100.0 / (ir_ / pack_.Cells());
  sumV_ += v;
  ++samples_;
  if (t <= cond_.v1Point) {
    sumV1_ += v;
    ++samplesV1_;
  }
  if (faults_.overRange) v += 12.0;
  bool stop = endRequested_ || pack_.Voltage(amps) <= cond_.endVoltage;
  if (faults_.overRange && t >= 3) stop = true;
  std::string frame = stop ? "STOP " : "LOAD ";
  frame += std::to_string(t) + " ";
  frame += Fmt("%.2f", amps) + " ";
  frame += Fmt("%.3f", v) + " ";
  frame += Fmt("%.0f", pack_.DischargedMah()) + " ";
  frame += Fmt("%.3f", samplesV1_ ? sumV1_ / samplesV1_ : 0.0) + " ";
  frame += Fmt("%.3f", sumV_ / samples_) + " ";
  frame += Fmt("%.1f", pir_) + " ";
  frame += Fmt("%.1f", ir_) + "\n\r";
  if (stop) {
    state_ = State::kStopped;
    stopFrame_ = frame;
  }
  return frame;
}

double Instrument::MeasuredResistance(double vC, double amps) const {
  const double step = cond_.currentB - cond_.currentC;
  if (std::fabs(step) > 1e-9) return std::fabs((vC - vB_) / step) * 1000.0;
  // No step between B and C (a constant-current run): a pulse of its own,
  // 1 A more for an instant that no frame shows, gives the voltage drop.
  return (pack_.Voltage(amps) - pack_.Voltage(amps + 1.0)) * 1000.0;
}

}  // namespace orvsim
