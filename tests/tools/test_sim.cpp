// orvantis-sim on its pseudo-terminal, byte for byte, read the way the
// program reads it: the input purged before every frame.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/sim_process.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCom = 3;

class SimTerminal : public ::testing::Test {
 protected:
  ~SimTerminal() override {
    if (fd_ >= 0) ::close(fd_);
  }

  // Starts the simulator at full speed and opens its terminal.
  void Start(const std::string& capacity) {
    sim_ = std::make_unique<SimProcess>(
        dir_.path(), kCom,
        std::vector<std::string>{"--speed", "0", "--gap-ms", "1", "--capacity", capacity,
                                 "--resistance", "5"});
    ASSERT_TRUE(sim_->WaitReady());
    fd_ = ::open(dir_.File("ports/COM" + std::to_string(kCom)).c_str(),
                 O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd_, 0);
  }

  void Send(const std::string& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // What arrives within `ms`, up to and including the first `end`.
  std::string ReadUntil(const std::string& end, int ms) {
    std::string got;
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (got.find(end) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0) break;
      struct pollfd p {
        fd_, POLLIN, 0
      };
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char c;
      if (::read(fd_, &c, 1) == 1) got += c;
    }
    return got;
  }

  // A one-cell discharge down to 1.0 V with V1 at 100 s: the currents (as
  // sent, digit-offset encoded) and the conditions acknowledged with one byte
  // each, then "S".
  void StartRun(const std::string& currents) {
    Send("D" + currents + "0\r");
    EXPECT_EQ(ReadUntil("d", 2000), "d");
    Send("F1051001\r");
    EXPECT_EQ(ReadUntil("f", 2000), "f");
    Send("S\r");
  }

  // The program's frame read: purge, then the next frame up to LF CR; empty
  // when none comes within two seconds.
  std::string NextFrame() {
    ::tcflush(fd_, TCIFLUSH);
    const std::string f = ReadUntil("\n\r", 2000);
    return f.size() >= 2 && f.compare(f.size() - 2, 2, "\n\r") == 0 ? f : std::string();
  }

  static std::vector<std::string> Tokens(const std::string& frame) {
    std::istringstream in(frame);
    std::vector<std::string> out;
    for (std::string t; in >> t;)
      out.push_back(t);
    return out;
  }

  TempDir dir_;
  std::unique_ptr<SimProcess> sim_;
  int fd_ = -1;
};

const std::regex kFrame(
    R"((LOAD|STOP) \d+ \d+\.\d\d \d+\.\d{3} \d+ \d+\.\d{3} \d+\.\d{3} \d+\.\d \d+\.\d\n\r)");

TEST_F(SimTerminal, AtFullSpeedEachFrameWaitsForThePurgeAndTheStopComesUntilG) {
  Start("30");
  StartRun(":05010");  // 10.0, 5.0 and 1.0 A
  std::string stop;
  for (int t = 0; t < 100 && stop.empty(); ++t) {
    // A busy reader: far longer than the least gap between frames passes
    // before it purges and reads again, and still no frame is lost.
    if (t > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string frame = NextFrame();
    ASSERT_TRUE(std::regex_match(frame, kFrame)) << t << ": " << frame;
    ASSERT_EQ(Tokens(frame)[1], std::to_string(t)) << frame;
    if (frame.rfind("STOP ", 0) == 0) stop = frame;
  }
  ASSERT_NE(stop, "");
  // Not acknowledged: the same frame, byte for byte, at every read.
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(NextFrame(), stop) << k;
  // "G" ends it; a purge and a read find nothing more.
  Send("G\r");
  ::tcdrain(fd_);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(NextFrame(), "");
  // Idle again: the next run is served like the first.
  StartRun(":05010");
  EXPECT_EQ(Tokens(NextFrame()).at(1), "0");
}

TEST_F(SimTerminal, InternalResistanceAndPirComeWithOrWithoutACurrentStep) {
  const struct {
    const char* currents;
    const char* what;
  } cases[] = {{":05010", "10, 5 and 1 A"}, {":0:0:0", "10 A throughout"}};
  for (const auto& c : cases) {
    Start("1000");
    StartRun(c.currents);
    std::vector<std::vector<std::string>> frames;
    while (frames.size() < 127) {
      const std::string frame = NextFrame();
      ASSERT_TRUE(std::regex_match(frame, kFrame)) << c.what << ": " << frame;
      frames.push_back(Tokens(frame));
      ASSERT_EQ(frames.back()[1], std::to_string(frames.size() - 1)) << c.what;
    }
    // Nothing before the window; after it one cell of 5 mOhm, and the PIR
    // of the voltage at 120 s once the window is over.
    EXPECT_EQ(frames[122][8], "0.0") << c.what;
    const double ir = std::atof(frames[126][8].c_str());
    EXPECT_NEAR(ir, 5.0, 0.2) << c.what;
    const double pir = std::atof(frames[120][3].c_str()) * 100.0 / ir;
    EXPECT_NEAR(std::atof(frames[126][7].c_str()), pir, pir * 0.02) << c.what;
    sim_.reset();
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace
}  // namespace qv::test
