// The run recorder: what each event of a run does to the current
// measurement, and that it writes only under the record's lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "link/run_recorder.h"

namespace qv::test {
namespace {

FrameValues Frame(int t, double volts, double avg1, double pir, double ir) {
  return {CMeasurePoint{t, 1.0, volts, 10.0 * t, volts}, avg1, pir, ir};
}

TEST(RunRecorder, EachEventChangesOnlyWhatItOwns) {
  CMeasureData r;
  r.SetInputs({4, 4.0, 10.0, 5.0, 1.0, 300});
  r.id1 = 7;
  r.AppendPoint({99, 1, 1, 1, 1});  // an earlier run's point
  r.avgVoltage1 = 1.5;
  r.pir = 2.5;
  r.internalResistance = 3.5;
  std::mutex lock;
  CRunRecorder rec(r, lock);

  rec.OnRunStart();
  EXPECT_TRUE(r.Points().empty());
  EXPECT_DOUBLE_EQ(r.pir, 2.5);  // results and inputs stay
  EXPECT_EQ(r.Inputs(), (InputConditions{4, 4.0, 10.0, 5.0, 1.0, 300}));
  EXPECT_EQ(r.id1, 7);

  rec.OnStartMissed();
  EXPECT_DOUBLE_EQ(r.avgVoltage1, 0.0);
  EXPECT_DOUBLE_EQ(r.pir, 0.0);
  EXPECT_DOUBLE_EQ(r.internalResistance, 0.0);
  EXPECT_TRUE(r.Points().empty());

  rec.OnFrame(Frame(0, 5.2, 5.1, 0.0, 0.0));
  rec.OnFrame(Frame(130, 4.9, 5.0, 31.5, 21.0));
  ASSERT_EQ(r.Points().size(), 2u);
  EXPECT_EQ(r.Points()[1].time, 130);
  EXPECT_DOUBLE_EQ(r.Points()[1].voltage, 4.9);
  EXPECT_DOUBLE_EQ(r.Points()[1].capacity, 1300.0);
  EXPECT_DOUBLE_EQ(r.avgVoltage1, 5.0);
  EXPECT_DOUBLE_EQ(r.internalResistance, 21.0);
  EXPECT_FALSE(r.IsMeasured());

  rec.OnRunEnd();
  EXPECT_TRUE(r.IsMeasured());
  EXPECT_DOUBLE_EQ(r.pir, 31.5);  // past 120 s the PIR stays
}

TEST(RunRecorder, ARunOf120SecondsOrLessKeepsNoPir) {
  for (int last : {0, 120, 121}) {
    CMeasureData r;
    std::mutex lock;
    CRunRecorder rec(r, lock);
    rec.OnRunStart();
    rec.OnFrame(Frame(last, 1.0, 1.2, 31.5, 5.0));
    rec.OnRunEnd();
    EXPECT_DOUBLE_EQ(r.pir, last > 120 ? 31.5 : 0.0) << last;
    EXPECT_DOUBLE_EQ(r.internalResistance, 5.0) << last;
  }
}

TEST(RunRecorder, WritesOnlyWhileHoldingTheRecordsLock) {
  CMeasureData r;
  std::mutex lock;
  CRunRecorder rec(r, lock);
  std::atomic<int> done{0};
  std::unique_lock<std::mutex> held(lock);
  std::thread worker([&] {
    rec.OnRunStart();
    ++done;
    rec.OnFrame(Frame(1, 1.0, 0, 0, 0));
    ++done;
    rec.OnRunEnd();
    ++done;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(done.load(), 0);  // waits for the reader's lock
  held.unlock();
  worker.join();
  EXPECT_EQ(done.load(), 3);
  EXPECT_EQ(r.Points().size(), 1u);
}

}  // namespace
}  // namespace qv::test
