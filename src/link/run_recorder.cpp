#include "link/run_recorder.h"

namespace qv {

void CRunRecorder::OnRunStart() {
  std::lock_guard<std::mutex> g(lock_);
  record_.MutablePoints().clear();
}

void CRunRecorder::OnStartMissed() {
  std::lock_guard<std::mutex> g(lock_);
  record_.avgVoltage1 = 0.0;
  record_.pir = 0.0;
  record_.internalResistance = 0.0;
}

void CRunRecorder::OnFrame(const FrameValues& v) {
  std::lock_guard<std::mutex> g(lock_);
  record_.avgVoltage1 = v.avgVoltage1;
  record_.pir = v.pir;
  record_.internalResistance = v.internalResistance;
  record_.AppendPoint(v.point);
}

void CRunRecorder::OnRunEnd() {
  std::lock_guard<std::mutex> g(lock_);
  record_.dateTime = COleDateTime::Now();
  if (record_.GetDischargeTime() <= 120) record_.pir = 0.0;
}

}  // namespace qv
