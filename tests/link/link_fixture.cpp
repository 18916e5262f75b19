#include "link_fixture.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "core/numtext.h"

namespace qv::test {
namespace {

long long NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int AsNobody(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(99);
    }
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

bool IsPermissionHinted(const std::string& utf8, const std::string& message,
                        const std::string& device) {
  if (utf8.compare(0, message.size() + 2, message + "\n\n") != 0) return false;
  const std::string line = utf8.substr(message.size() + 2);
  return line.find('\n') == std::string::npos && line.find(device) != std::string::npos &&
         line.find("dialout") != std::string::npos &&
         line.find("ログインし直して") != std::string::npos;
}

ScriptedInstrument::ScriptedInstrument(const std::string& portsDir, int com) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_GE(master_, 0);
  ::grantpt(master_);
  ::unlockpt(master_);
  name_ = ::ptsname(master_);
  // Held open so that the application's closes never hang the terminal up.
  slave_ = ::open(name_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  struct termios t;
  ::tcgetattr(slave_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave_, TCSANOW, &t);
  ::mkdir(portsDir.c_str(), 0755);
  link_ = portsDir + "/COM" + std::to_string(com);
  ::unlink(link_.c_str());
  EXPECT_EQ(::symlink(name_.c_str(), link_.c_str()), 0);
  defaults_['D'] = "d";
  defaults_['F'] = "f";
  defaults_['P'] = "d";
  thread_ = std::thread([this] { Loop(); });
  // Its start-up allocates; idle in poll it does not (see AsNobody).
  while (!polling_.load())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ScriptedInstrument::~ScriptedInstrument() {
  stop_ = true;
  thread_.join();
  ::close(slave_);
  ::close(master_);
  ::unlink(link_.c_str());
}

void ScriptedInstrument::Unpublish() {
  ::unlink(link_.c_str());
}

void ScriptedInstrument::Answers(char kind, std::vector<std::string> answers) {
  std::lock_guard<std::mutex> g(mu_);
  answers_[kind] = std::deque<std::string>(answers.begin(), answers.end());
}

void ScriptedInstrument::Default(char kind, std::string answer) {
  std::lock_guard<std::mutex> g(mu_);
  defaults_[kind] = std::move(answer);
}

void ScriptedInstrument::Frames(std::vector<std::string> chunks) {
  std::lock_guard<std::mutex> g(mu_);
  frames_ = std::deque<std::string>(chunks.begin(), chunks.end());
}

std::function<void()> ScriptedInstrument::FrameHook() {
  return [this] {
    std::function<void()> action;
    std::string chunk;
    {
      std::lock_guard<std::mutex> g(mu_);
      auto it = atFrame.find(frameIndex_);
      if (it != atFrame.end()) action = it->second;
      ++frameIndex_;
      if (!frames_.empty()) {
        chunk = frames_.front();
        frames_.pop_front();
      }
    }
    if (action) action();
    if (!chunk.empty()) {
      std::lock_guard<std::mutex> g(mu_);
      if (::write(master_, chunk.data(), chunk.size()) < 0) ADD_FAILURE() << "frame not sent";
    }
  };
}

void ScriptedInstrument::Loop() {
  while (!stop_) {
    struct pollfd p {
      master_, POLLIN, 0
    };
    const int ready = ::poll(&p, 1, 10);
    polling_.store(true);
    if (ready <= 0) continue;
    char buf[256];
    ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) continue;
    lastByteUs_ = NowUs();
    std::lock_guard<std::mutex> g(mu_);
    for (ssize_t i = 0; i < n; ++i) {
      log_ += buf[i];
      if (buf[i] != '\r') {
        line_ += buf[i];
        continue;
      }
      char kind = line_.empty() ? 0 : line_[0];
      if (line_ == "D0000000") kind = 'P';
      line_.clear();
      if (kind != 'D' && kind != 'F' && kind != 'P') continue;
      std::string answer = defaults_[kind];
      auto& q = answers_[kind];
      if (!q.empty()) {
        answer = q.front();
        q.pop_front();
      }
      if (!answer.empty() && ::write(master_, answer.data(), answer.size()) < 0) {
        ADD_FAILURE() << "answer not sent";
      }
    }
  }
}

std::string ScriptedInstrument::Received() {
  // Quiet for 30 ms (and at least that long since asking).
  const long long start = NowUs();
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long long now = NowUs();
    int unread = 0;
    ::ioctl(master_, FIONREAD, &unread);
    if (unread == 0 && now - start > 30000 && now - lastByteUs_ > 30000) break;
  }
  std::lock_guard<std::mutex> g(mu_);
  return log_;
}

std::string FrameText(const std::string& status, int t, double amps, const std::string& volts,
                      double mah, double avg1, double avg, double pir, double ir) {
  return status + " " + std::to_string(t) + " " + FixedText(amps, 2) + " " + volts + " " +
         FixedText(mah, 0) + " " + FixedText(avg1, 3) + " " + FixedText(avg, 3) + " " +
         FixedText(pir, 1) + " " + FixedText(ir, 1) + "\n\r";
}

void SinkNotes::OnFrame(const FrameValues& v) {
  std::lock_guard<std::mutex> g(doc_.Lock());
  events_.push_back(tag_ + "p" + std::to_string(v.point.time) + "/" +
                    std::to_string(doc_.Current().Points().size()));
}

LinkTest::LinkTest() {
  ::mkdir((dir.path() + "/dev").c_str(), 0755);
  CPortNames::SetDefaultDeviceRoot(dir.path() + "/dev");
  app.settings.SetDirectory(dir.path());
  Set("COM_TIMEOUT_MS", "100");
  // The program's own input defaults.
  Set("DATA_DEF_DISA", "1.0");
  Set("DATA_DEF_DISB", "0.5");
  Set("DATA_DEF_DISC", "0.1");
  Set("DATA_DEF_CELL", "1");
  Set("DATA_DEF_CUTV", "1.0");
  Set("DATA_DEF_APO1", "100");
  app.LoadSettings();
  doc = std::make_unique<CBrenlowDoc>(app);
}

LinkTest::~LinkTest() {
  CPortNames::SetDefaultDeviceRoot("/dev");
}

void LinkTest::Set(const std::string& key, const std::string& value) {
  app.settings.Set(key, value);
}

LinkSleeper LinkTest::Recorder() {
  return [this](int ms) {
    std::lock_guard<std::mutex> g(waitsMu);
    waits.push_back(ms);
  };
}

std::unique_ptr<CAnalyzerLink> LinkTest::MakeLink() {
  auto link = std::make_unique<CAnalyzerLink>(LinkSettingsOf(app));
  link->SetSleeper(Recorder());
  return link;
}

}  // namespace qv::test
