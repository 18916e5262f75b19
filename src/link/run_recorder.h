// The run recorder: the one writer of the current measurement while a run
// goes on. It takes the link's frames into the record under the lock that
// everyone reading the record (painting, the refreshes, the end-of-run
// check) takes too, so a reader never sees half a frame.
#pragma once

#include <mutex>

#include "data/measure_data.h"
#include "link/frame_sink.h"

namespace qv {

class CRunRecorder : public IFrameSink {
 public:
  // `record` is read and changed only under `lock`; both outlive the
  // recorder.
  CRunRecorder(CMeasureData& record, std::mutex& lock) : record_(record), lock_(lock) {}

  // The points of an earlier run go; inputs and results stay.
  void OnRunStart() override;
  // The average voltage 1, the PIR and the internal resistance become 0.
  void OnStartMissed() override;
  // The frame's results replace the record's, and its point is appended.
  void OnFrame(const FrameValues& values) override;
  // The record takes the end date-time (now); a run of 120 s or less keeps
  // no PIR.
  void OnRunEnd() override;

 private:
  CMeasureData& record_;
  std::mutex& lock_;
};

}  // namespace qv
