// The simulated analyzer (orvantis-sim) as a child process, for the widget
// tests and the run benchmark. Plain POSIX: no test framework needed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qv::test {

// orvantis-sim publishing its terminal as <dir>/ports/COM<com>.
class SimProcess {
 public:
  SimProcess(const std::string& dir, int com, std::vector<std::string> extra = {})
      : link_(dir + "/ports/COM" + std::to_string(com)) {
    std::vector<std::string> args = {std::string(QV_BIN_DIR) + "/orvantis-sim", "--dir", dir,
                                     "--com", std::to_string(com)};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::unlink(link_.c_str());
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~SimProcess() { Kill(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // True once the port link exists.
  bool WaitReady(int ms = 5000) const {
    for (int waited = 0; waited < ms; waited += 10) {
      struct stat st {};
      if (pid_ > 0 && ::lstat(link_.c_str(), &st) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  std::string link_;
  pid_t pid_ = -1;
};

}  // namespace qv::test
