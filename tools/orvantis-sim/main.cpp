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
  bool packet = false;  // the master reads the application's input purges too
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
  // Packet mode: a purge of the application's input arrives as a status byte.
  int on = 1;
  p.packet = ::ioctl(p.master, TIOCPKT, &on) == 0;
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

void SleepInterruptible(int ms) {
  auto until = Clock::now() + Ms(ms);
  while (!g_stop && Clock::now() < until)
    std::this_thread::sleep_for(Ms(20));
}

// When the next frame is due. Frames come `interval` apart (the simulated
// second at the chosen speed), and never sooner than `gap` after the
// application took the last one; a frame it does not take holds the next one
// back for at most a second, as the instrument would not wait longer.
//
// At full pace (no interval) the application's own sign that it waits sets
// the pace: it empties its input before it reads a frame, so the next frame
// comes `gap` after that purge, however long the application took over the
// last one. Without such a purge (a reader that does not purge, or a
// terminal that cannot tell it), a frame a second.
class FramePacer {
 public:
  FramePacer(Ms interval, Ms gap) : interval_(interval), gap_(gap) {}

  // After "S": the application waits 100 ms and then discards what came in,
  // so the first frame comes 250 ms after the start, or after that purge.
  void Restart(Clock::time_point now, bool purgeSignal) {
    purgeSignal_ = purgeSignal && interval_ == Ms(0);
    lastSent_ = now + Ms(250) - (purgeSignal_ ? Ms(1000) : interval_);
    consumedAt_ = now + Ms(250) - gap_;
    awaiting_ = false;
    purged_ = false;
  }
  // A frame was sent and has not been seen taken yet.
  bool Awaiting() const { return awaiting_ && !purgeSignal_; }
  // Notes whether the frame sent last has been read (`pending` bytes are
  // still unread); checks back sooner and sooner while it has not.
  void Watch(Clock::time_point now, int pending) {
    if (pending == 0 && now - lastSent_ >= Ms(2)) {
      awaiting_ = false;
      consumedAt_ = now;
    } else {
      checkMs_ = std::min(checkMs_ * 2, 50);
    }
  }
  // The application emptied its input: it waits for the next frame.
  void Purged(Clock::time_point now) {
    if (purged_) return;
    purged_ = true;
    purgedAt_ = now;
  }
  Clock::time_point Due() const {
    if (purgeSignal_) return purged_ ? purgedAt_ + gap_ : lastSent_ + Ms(1000);
    return awaiting_ ? lastSent_ + std::max<Ms>(interval_, Ms(1000))
                     : std::max(lastSent_ + interval_, consumedAt_ + gap_);
  }
  void Sent(Clock::time_point at) {
    lastSent_ = at;
    awaiting_ = true;
    purged_ = false;
    checkMs_ = 1;
  }
  // The poll time-out: no longer than `timeout`, until the frame is due, and
  // short while a sent frame is watched.
  int Timeout(Clock::time_point now, int timeout) const {
    const auto left = std::chrono::duration_cast<Ms>(Due() - now).count() + 1;
    timeout = static_cast<int>(std::min<long long>(left, timeout));
    return Awaiting() ? std::min(timeout, checkMs_) : timeout;
  }

 private:
  Ms interval_;
  Ms gap_;
  bool purgeSignal_ = false;  // full pace on a terminal that tells purges
  Clock::time_point lastSent_ = Clock::now();
  Clock::time_point consumedAt_ = Clock::now();
  Clock::time_point purgedAt_ = Clock::now();
  bool awaiting_ = false;  // the last frame has not been taken yet
  bool purged_ = false;    // the application purged its input since then
  int checkMs_ = 1;
};

struct Options {
  std::string dir = ".";
  int com = 1;
  double speed = 1.0;
  double capacity = 3000.0;
  double resistance = 5.0;
  int gapMs = 10;
  int runs = 0;
  bool verbose = false;
  orvsim::Faults faults;
};

// The instrument served on the pseudo-terminal, one run after another.
class Simulator {
 public:
  explicit Simulator(const Options& o)
      : o_(o),
        inst_(o.capacity, o.resistance, o.faults),
        pacer_(o.speed > 0 ? Ms(static_cast<long long>(1000.0 / o.speed)) : Ms(0),
               Ms(std::max(o.gapMs, 1))) {}

  bool Open() { return OpenPty(pty_) && Publish(o_.dir, o_.com, pty_); }
  // Serves until a signal, or until `runs` runs are over; 1 when the
  // terminal cannot be made again after an unplugging.
  int Run();
  void Close() {
    Unpublish(o_.dir, o_.com, pty_);
    ClosePty(pty_);
  }

 private:
  // The cable is pulled for two seconds: the terminal goes and comes back,
  // and the instrument starts afresh. False when it cannot come back.
  bool Unplug();
  // The next frame, with the faults that change what goes on the line.
  std::string NextFrame();
  void Send(const std::string& frame);
  // Waits up to `timeout` ms for the application's bytes and answers them.
  void Receive(int timeout);

  const Options& o_;
  Pty pty_;
  orvsim::Instrument inst_;
  FramePacer pacer_;
  int frameNo_ = 0;
};

int Simulator::Run() {
  const orvsim::Faults& faults = o_.faults;
  while (!g_stop) {
    const auto now = Clock::now();
    int timeout = 500;
    if (inst_.Reporting()) {
      if (inst_.JustStarted()) {
        inst_.ClearJustStarted();
        pacer_.Restart(now, pty_.packet);
        frameNo_ = 0;
      }
      if (faults.unplug && inst_.NextTime() >= faults.unplugAt) {
        if (!Unplug()) return g_stop ? 0 : 1;
        continue;
      }
      if (pacer_.Awaiting()) pacer_.Watch(now, Pending(pty_));
      if (now >= pacer_.Due()) {
        Send(NextFrame());
        pacer_.Sent(Clock::now());
        continue;
      }
      timeout = pacer_.Timeout(now, timeout);
    } else if (o_.runs > 0 && inst_.runs >= o_.runs &&
               inst_.GetState() == orvsim::Instrument::State::kIdle) {
      break;
    }
    Receive(timeout);
  }
  return 0;
}

bool Simulator::Unplug() {
  if (o_.verbose) std::fprintf(stderr, "unplugged\n");
  Close();
  SleepInterruptible(2000);
  if (g_stop) return false;
  if (!Open()) return false;
  inst_ = orvsim::Instrument(o_.capacity, o_.resistance, o_.faults);
  return true;
}

std::string Simulator::NextFrame() {
  std::string frame = inst_.NextFrame();
  ++frameNo_;
  if (o_.faults.together && frameNo_ % 5 == 0 &&
      inst_.GetState() == orvsim::Instrument::State::kRunning) {
    // The second frame is lost to the application (a "STOP" among them comes
    // again until it is acknowledged).
    frame += inst_.NextFrame();
  }
  if (o_.faults.garbage) {
    // Every seventh frame is preceded by a run too long for a token, which
    // costs the application that frame.
    frame = (frameNo_ % 7 == 0 ? std::string(40, 'Z') : std::string("#~?")) + " " + frame;
  }
  return frame;
}

void Simulator::Send(const std::string& frame) {
  if (o_.verbose) std::fprintf(stderr, "> %s", frame.c_str());
  if (o_.faults.split) {
    WriteAll(pty_.master, frame.substr(0, frame.size() / 2));
    std::this_thread::sleep_for(Ms(30));
    WriteAll(pty_.master, frame.substr(frame.size() / 2));
  } else {
    WriteAll(pty_.master, frame);
  }
}

void Simulator::Receive(int timeout) {
  struct pollfd pf {
    pty_.master, POLLIN, 0
  };
  if (::poll(&pf, 1, timeout) <= 0 || !(pf.revents & POLLIN)) return;
  char buf[512];
  const ssize_t n = ::read(pty_.master, buf, sizeof buf);
  if (n <= 0) return;
  size_t skip = 0;
  if (pty_.packet) {
    // A packet: 0 and the data, or one status byte.
    if (buf[0] != TIOCPKT_DATA) {
      if (buf[0] & TIOCPKT_FLUSHREAD) pacer_.Purged(Clock::now());
      return;
    }
    skip = 1;
  }
  const std::string in(buf + skip, static_cast<size_t>(n) - skip);
  if (o_.verbose) {
    for (char c : in)
      c == '\r' ? std::fputs("<CR>\n", stderr) : std::fputc(c, stderr);
  }
  const std::string reply = inst_.Receive(in);
  if (!reply.empty()) WriteAll(pty_.master, reply);
}

std::string FaultHelp() {
  std::string names;
  for (const orvsim::FaultName& f : orvsim::kFaultNames)
    names += (names.empty() ? "" : ", ") + std::string(f.name);
  return names + " (repeatable)";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"ORVANTIS battery discharge analyzer simulator on a pseudo-terminal"};
  app.set_version_flag("--version", "orvantis-sim " + qv::ProgramVersionText());
  Options o;
  std::vector<std::string> faultNames;
  std::vector<std::string> known;
  for (const orvsim::FaultName& f : orvsim::kFaultNames)
    known.push_back(f.name);
  app.add_option("--dir", o.dir, "folder of Dis.ini; the port is published in its ports/ folder")
      ->capture_default_str();
  app.add_option("--com", o.com, "COM number to publish (1-256)")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  app.add_option("--speed", o.speed,
                 "simulated seconds per real second (0: as fast as frames are taken)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--capacity", o.capacity, "pack capacity, mAh")->capture_default_str();
  app.add_option("--resistance", o.resistance, "internal resistance per cell, milliohm")
      ->capture_default_str();
  app.add_option("--gap-ms", o.gapMs,
                 "least pause after a frame was taken (at full speed: after the reader's purge "
                 "before its next read), ms")
      ->capture_default_str();
  app.add_option("--runs", o.runs, "exit after this many runs (0: never)")->capture_default_str();
  app.add_option("--fault", faultNames, FaultHelp())->check(CLI::IsMember(known));
  app.add_option("--unplug-at", o.faults.unplugAt, "simulated second of the unplugging")
      ->capture_default_str();
  app.add_flag("-v,--verbose", o.verbose, "log commands and frames on stderr");
  CLI11_PARSE(app, argc, argv);
  for (const std::string& name : faultNames)
    orvsim::SetFault(o.faults, name);

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  Simulator sim(o);
  if (!sim.Open()) {
    std::fprintf(stderr, "orvantis-sim: cannot create the pseudo-terminal\n");
    return 1;
  }
  const int rc = sim.Run();
  sim.Close();
  return rc;
}
