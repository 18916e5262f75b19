// The simulated ORVANTIS: a NiMH battery pack and the instrument's side of
// the serial protocol, without any I/O (main.cpp drives it).
#pragma once

#include <set>
#include <string>

#include "core/conditions.h"

namespace orvsim {

// A NiMH pack: open-circuit voltage per cell along the plateau and the knee
// as the depth of discharge grows, plus an internal resistance per cell.
class NimhPack {
 public:
  NimhPack(int cells, double capacityMah, double resistanceMohmPerCell);
  // Open-circuit voltage of one cell at the current depth of discharge.
  double CellOpenVoltage() const;
  // Terminal voltage of the pack while `amps` flow.
  double Voltage(double amps) const;
  // Discharges `amps` for `seconds`.
  void Discharge(double amps, double seconds);
  double DischargedMah() const { return dischargedMah_; }
  int Cells() const { return cells_; }

 private:
  int cells_;
  double capacityMah_;
  double rCell_;  // ohm
  double dischargedMah_ = 0.0;
};

struct Faults {
  bool silent = false;       // answers nothing at all
  bool wrongAck = false;     // answers "x" to every command
  bool noF = false;          // never acknowledges the conditions
  bool garbage = false;      // garbage bytes between frames
  bool split = false;        // frames arrive in two pieces
  bool together = false;     // some frames are sent back to back
  bool unplug = false;       // the cable is pulled mid-run
  bool instantStop = false;  // "STOP" at 0.0 V from the start
  bool overRange = false;    // voltages beyond the range
  int unplugAt = 30;         // simulated second of the unplugging
};

// The faults by the names the command line gives them, in the order the
// help lists them.
struct FaultName {
  const char* name;
  bool Faults::*flag;
};
inline constexpr FaultName kFaultNames[] = {
    {"silent", &Faults::silent},
    {"wrong-ack", &Faults::wrongAck},
    {"no-f", &Faults::noF},
    {"garbage", &Faults::garbage},
    {"split", &Faults::split},
    {"together", &Faults::together},
    {"unplug", &Faults::unplug},
    {"instant-stop", &Faults::instantStop},
    {"over-range", &Faults::overRange},
};
// Switches on the fault called `name`; false when there is none by that name.
bool SetFault(Faults& faults, const std::string& name);

class Instrument {
 public:
  enum class State { kIdle, kRunning, kStopped };

  Instrument(double capacityMah, double resistanceMohmPerCell, Faults faults);

  // Takes the bytes the computer sent; returns the bytes to answer at once
  // (acknowledgements). Commands end with CR.
  std::string Receive(const std::string& bytes);

  State GetState() const { return state_; }
  // Frames are due: while discharging, and after the discharge has stopped
  // until the stop is acknowledged.
  bool Reporting() const { return state_ != State::kIdle; }
  bool JustStarted() const { return justStarted_; }
  void ClearJustStarted() { justStarted_ = false; }
  // The next frame of a running discharge (one simulated second on), LF CR
  // ended. Once it has stopped, the instrument reports the same "STOP" frame
  // again and again until "G" acknowledges it; empty while idle.
  std::string NextFrame();
  // The simulated time of the next frame.
  int NextTime() const { return t_; }
  const Faults& GetFaults() const { return faults_; }

  int runs = 0;  // discharges started

 private:
  std::string Command(const std::string& line);
  void StartRun();
  double CurrentAt(int t) const;
  // Internal resistance in mOhm from the voltage `vC` at current C (`amps`)
  // after the voltage at current B.
  double MeasuredResistance(double vC, double amps) const;

  double capacityMah_;
  double rCell_;
  Faults faults_;
  std::string line_;
  State state_ = State::kIdle;
  bool justStarted_ = false;

  // Conditions as last received (the program's own defaults until then).
  qv::InputConditions cond_;

  // The run.
  NimhPack pack_{1, 1000.0, 5.0};
  int t_ = 0;
  bool endRequested_ = false;
  double sumV_ = 0.0;
  int samples_ = 0;
  double sumV1_ = 0.0;
  int samplesV1_ = 0;
  double vB_ = 0.0;
  double ir_ = 0.0;
  double pir_ = 0.0;
  double v120_ = 0.0;
  std::string stopFrame_;  // repeated until acknowledged
};

}  // namespace orvsim
