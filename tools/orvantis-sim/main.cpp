// orvantis-sim: an ORVANTIS battery discharge analyzer on a pseudo-terminal.
//
// It publishes the terminal as <dir>/ports/COM<n>, where Quorvex (run with
// its "Dis.ini" in <dir>) finds it as COM n, and serves one discharge run
// after another until it is stopped (Ctrl-C or SIGTERM).
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "data/file_info.h"
#include "instrument.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
  g_stop = 1;
}

struct Pty {
  int master = -1;
  int slave = -1;  // kept open so the terminal survives the application's closes
  std::string name;
};

bool OpenPty(Pty& p) {
  p.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (p.master < 0) return false;
  if (::grantpt(p.master) != 0 || ::unlockpt(p.master) != 0) return false;
  const char* name = ::ptsname(p.master);
  if (!name) return false;
  p.name = name;
  p.slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (p.slave < 0) return false;
  struct termios t;
  if (::tcgetattr(p.slave, &t) == 0) {
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    ::tcsetattr(p.slave, TCSANOW, &t);
  }
  return true;
}

void ClosePty(Pty& p) {
  if (p.slave >= 0) ::close(p.slave);
  if (p.master >= 0) ::close(p.master);
  p = Pty{};
}

std::string LinkPath(const std::string& dir, int com) {
  return dir + "/ports/COM" + std::to_string(com);
}

bool Publish(const std::string& dir, int com, const Pty& p) {
  ::mkdir((dir + "/ports").c_str(), 0755);
  const std::string link = LinkPath(dir, com);
  ::unlink(link.c_str());
  if (::symlink(p.name.c_str(), link.c_str()) != 0) {
    std::perror(link.c_str());
    return false;
  }
  std::printf("COM%d %s\n", com, p.name.c_str());
  std::fflush(stdout);
  return true;
}

void Unpublish(const std::string& dir, int com, const Pty& p) {
  const std::string link = LinkPath(dir, com);
  char buf[4096];
  ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
  if (n > 0 && std::string(buf, static_cast<size_t>(n)) == p.name) ::unlink(link.c_str());
}

void WriteAll(int fd, const std::string& s) {
  size_t done = 0;
  auto until = Clock::now() + Ms(1000);
  while (done < s.size() && Clock::now() < until) {
    ssize_t n = ::write(fd, s.data() + done, s.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return;
    } else {
      struct pollfd pf {
        fd, POLLOUT, 0
      };
      ::poll(&pf, 1, 10);
    }
  }
}

// Unread bytes waiting for the application.
int Pending(const Pty& p) {
  int n = 0;
  if (::ioctl(p.slave, FIONREAD, &n) != 0) return 0;
  return n;
}

bool IsStopFrame(const std::string& frame) {
  return frame.compare(0, 4, "STOP") == 0;
}

void SleepInterruptible(int ms) {
  auto until = Clock::now() + Ms(ms);
  while (!g_stop && Clock::now() < until)
    std::this_thread::sleep_for(Ms(20));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"ORVANTIS battery discharge analyzer simulator on a pseudo-terminal"};
  app.set_version_flag("--version", "orvantis-sim " + qv::ProgramVersionText());
  std::string dir = ".";
  int com = 1;
  double speed = 1.0;
  double capacity = 3000.0;
  double resistance = 5.0;
  int gapMs = 10;
  int runs = 0;
  bool verbose = false;
  std::vector<std::string> faultNames;
  orvsim::Faults faults;
  app.add_option("--dir", dir, "folder of Dis.ini; the port is published in its ports/ folder")
      ->capture_default_str();
  app.add_option("--com", com, "COM number to publish (1-256)")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  app.add_option("--speed", speed,
                 "simulated seconds per real second (0: as fast as frames are taken)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--capacity", capacity, "pack capacity, mAh")->capture_default_str();
  app.add_option("--resistance", resistance, "internal resistance per cell, milliohm")
      ->capture_default_str();
  app.add_option("--gap-ms", gapMs, "least pause after a frame was taken, ms")
      ->capture_default_str();
  app.add_option("--runs", runs, "exit after this many runs (0: never)")->capture_default_str();
  app.add_option("--fault", faultNames,
                 "silent, wrong-ack, no-f, garbage, split, together, unplug, instant-stop, "
                 "over-range (repeatable)")
      ->check(CLI::IsMember({"silent", "wrong-ack", "no-f", "garbage", "split", "together",
                             "unplug", "instant-stop", "over-range"}));
  app.add_option("--unplug-at", faults.unplugAt, "simulated second of the unplugging")
      ->capture_default_str();
  app.add_flag("-v,--verbose", verbose, "log commands and frames on stderr");
  CLI11_PARSE(app, argc, argv);

  for (const auto& f : faultNames) {
    if (f == "silent") faults.silent = true;
    if (f == "wrong-ack") faults.wrongAck = true;
    if (f == "no-f") faults.noF = true;
    if (f == "garbage") faults.garbage = true;
    if (f == "split") faults.split = true;
    if (f == "together") faults.together = true;
    if (f == "unplug") faults.unplug = true;
    if (f == "instant-stop") faults.instantStop = true;
    if (f == "over-range") faults.overRange = true;
  }

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  Pty pty;
  if (!OpenPty(pty) || !Publish(dir, com, pty)) {
    std::fprintf(stderr, "orvantis-sim: cannot create the pseudo-terminal\n");
    return 1;
  }

  orvsim::Instrument inst(capacity, resistance, faults);
  const Ms interval = speed > 0 ? Ms(static_cast<long long>(1000.0 / speed)) : Ms(0);
  const Ms gap(std::max(gapMs, 1));
  Clock::time_point lastSent = Clock::now();
  Clock::time_point consumedAt = Clock::now();
  bool awaiting = false;  // the last frame has not been taken yet
  int checkMs = 1;
  int frameNo = 0;
  std::string held;  // a frame kept back for the next send

  while (!g_stop) {
    auto now = Clock::now();
    int timeout = 500;
    if (inst.Reporting() || !held.empty()) {
      if (inst.JustStarted()) {
        // The application waits 100 ms after "S" and then discards what
        // came in: the first frame comes after that.
        inst.ClearJustStarted();
        lastSent = now + Ms(250) - interval;
        consumedAt = now + Ms(250) - gap;
        awaiting = false;
        frameNo = 0;
        held.clear();
      }
      if (faults.unplug && inst.NextTime() >= faults.unplugAt) {
        if (verbose) std::fprintf(stderr, "unplugged\n");
        Unpublish(dir, com, pty);
        ClosePty(pty);
        SleepInterruptible(2000);
        if (g_stop) break;
        if (!OpenPty(pty) || !Publish(dir, com, pty)) return 1;
        inst = orvsim::Instrument(capacity, resistance, faults);
        held.clear();
        continue;
      }
      if (awaiting) {
        if (Pending(pty) == 0 && now - lastSent >= Ms(2)) {
          awaiting = false;
          consumedAt = now;
        } else {
          checkMs = std::min(checkMs * 2, 50);
        }
      }
      // A frame the application does not take holds the next one back for
      // at most a second, as the instrument would not wait longer.
      const Clock::time_point due = awaiting ? lastSent + std::max<Ms>(interval, Ms(1000))
                                             : std::max(lastSent + interval, consumedAt + gap);
      if (now >= due) {
        std::string frame = held.empty() ? inst.NextFrame() : std::move(held);
        held.clear();
        ++frameNo;
        if (faults.together && frameNo % 5 == 0 &&
            inst.GetState() == orvsim::Instrument::State::kRunning) {
          // The second frame is lost to the application; a "STOP" is kept
          // for the next send so that the run can still end normally.
          std::string second = inst.NextFrame();
          if (IsStopFrame(second)) {
            held = std::move(second);
          } else {
            frame += second;
          }
        }
        if (faults.garbage) {
          // Every seventh frame is preceded by a run too long for a token,
          // which costs the application that frame; the final "STOP" is
          // spared so that the run can still end normally.
          frame = (frameNo % 7 == 0 && !IsStopFrame(frame) ? std::string(40, 'Z')
                                                           : std::string("#~?")) +
                  " " + frame;
        }
        if (verbose) std::fprintf(stderr, "> %s", frame.c_str());
        if (faults.split) {
          WriteAll(pty.master, frame.substr(0, frame.size() / 2));
          std::this_thread::sleep_for(Ms(30));
          WriteAll(pty.master, frame.substr(frame.size() / 2));
        } else {
          WriteAll(pty.master, frame);
        }
        lastSent = Clock::now();
        awaiting = true;
        checkMs = 1;
        continue;
      }
      auto left = std::chrono::duration_cast<Ms>(due - now).count() + 1;
      timeout = static_cast<int>(std::min<long long>(left, timeout));
      if (awaiting) timeout = std::min(timeout, checkMs);
    } else if (runs > 0 && inst.runs >= runs &&
               inst.GetState() == orvsim::Instrument::State::kIdle) {
      break;
    }

    struct pollfd pf {
      pty.master, POLLIN, 0
    };
    int r = ::poll(&pf, 1, timeout);
    if (r > 0 && (pf.revents & POLLIN)) {
      char buf[512];
      ssize_t n = ::read(pty.master, buf, sizeof buf);
      if (n > 0) {
        std::string in(buf, static_cast<size_t>(n));
        if (verbose) {
          for (char c : in)
            c == '\r' ? std::fputs("<CR>\n", stderr) : std::fputc(c, stderr);
        }
        std::string reply = inst.Receive(in);
        if (!reply.empty()) WriteAll(pty.master, reply);
      }
    }
  }
  Unpublish(dir, com, pty);
  ClosePty(pty);
  return 0;
}
