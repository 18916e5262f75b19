// What a discharge run's frames are handed to. The analyzer link reads the
// frames; what becomes of them (the current measurement, the run journal,
// the refreshes of the window or the lines of the command-line tool) is the
// business of the sinks its owner gives it.
#pragma once

#include <vector>

#include "data/measure_data.h"

namespace qv {

// A frame's values: its point and the record results it reports.
struct FrameValues {
  CMeasurePoint point;
  double avgVoltage1 = 0.0;
  double pir = 0.0;
  double internalResistance = 0.0;
};

// The events of one run, called on the thread that follows the run (the
// worker), each sink in the order the link was given them.
class IFrameSink {
 public:
  virtual ~IFrameSink() = default;
  // The run begins (before the first "S").
  virtual void OnRunStart() {}
  // A start attempt brought no frame: results of an earlier frame no longer
  // hold.
  virtual void OnStartMissed() {}
  // A frame was read ("LOAD" or "STOP"), the first one included.
  virtual void OnFrame(const FrameValues& values) = 0;
  // The run is over: the ending sequence has been sent.
  virtual void OnRunEnd() {}
};

using FrameSinks = std::vector<IFrameSink*>;

}  // namespace qv
