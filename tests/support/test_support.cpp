#include "support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "data/codec.h"

namespace qv::test {

MsgResult FakeUi::ShowMessage(const Message& message) {
  messages.push_back(message);
  if (!answers.empty()) {
    MsgResult r = answers.front();
    answers.pop_front();
    return r;
  }
  if (message.defaultButton) return *message.defaultButton;
  switch (message.buttons) {
    case MsgButtons::kOk:
    case MsgButtons::kOkCancel:
      return MsgResult::kOk;
    case MsgButtons::kYesNo:
    case MsgButtons::kYesNoCancel:
      return MsgResult::kYes;
    case MsgButtons::kRetryCancel:
      return MsgResult::kRetry;
  }
  return MsgResult::kOk;
}

std::optional<std::string> FakeUi::ChooseOpenFile(const FileDialogRequest& request) {
  fileRequests.push_back(request);
  if (files.empty()) return std::nullopt;
  auto f = files.front();
  files.pop_front();
  return f;
}

std::optional<std::string> FakeUi::ChooseSaveFile(const FileDialogRequest& request) {
  return ChooseOpenFile(request);
}

std::optional<std::string> FakeUi::ChooseFolder(const FolderDialogRequest& request) {
  folderRequests.push_back(request);
  if (files.empty()) return std::nullopt;
  auto f = files.front();
  files.pop_front();
  return f;
}

std::vector<std::string> FakeUi::TextsUtf8() const {
  std::vector<std::string> out;
  for (const auto& m : messages)
    out.push_back(Cp932ToUtf8(m.text));
  return out;
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quorvex-test-XXXXXX").string();
  char* p = mkdtemp(tmpl.data());
  path_ = p ? p : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool EndsWithoutAWriter(const std::function<void()>& fn, const std::vector<std::string>& fifos,
                        double seconds) {
  std::packaged_task<void()> task(fn);
  std::future<void> done = task.get_future();
  std::thread worker(std::move(task));
  const bool inTime =
      done.wait_for(std::chrono::duration<double>(seconds)) == std::future_status::ready;
  while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    for (const std::string& f : fifos) {
      const int fd = ::open(f.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) ::close(fd);
    }
  }
  worker.join();
  done.get();
  return inTime;
}

void ExecProgram(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> all = {std::string(QV_BIN_DIR) + "/" + program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& cwd, bool asNobody) {
  const std::string outPath = cwd + "/.out", errPath = cwd + "/.err";
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr))
      _exit(126);
    if (asNobody && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(125);
    ExecProgram(program, args);
  }
  ProgramOutcome r;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    r.exitCode = WEXITSTATUS(status);
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return r;
}

}  // namespace qv::test

namespace qv::test {

bool MakeDialoutDevice(const std::string& path) {
  const struct group* g = ::getgrnam("dialout");
  return g && ::chown(path.c_str(), 0, g->gr_gid) == 0 && ::chmod(path.c_str(), 0660) == 0;
}

}  // namespace qv::test

namespace qv::test {
namespace {

bool WriteProcFile(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return ok;
}

// A mount namespace of the calling (single-threaded) process; without root,
// inside a user namespace that maps the caller to root.
bool OwnMountNamespace() {
  if (geteuid() == 0 && unshare(CLONE_NEWNS) == 0) return true;
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  return WriteProcFile("/proc/self/setgroups", "deny") &&
         WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
         WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

}  // namespace

SmallFsOutcome OnSmallFilesystem(const std::string& dir, std::size_t bytes,
                                 const std::function<void()>& body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) return SmallFsOutcome::kNoFilesystem;
  if (pid == 0) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (!OwnMountNamespace() || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
      _exit(77);
    body();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return SmallFsOutcome::kNoFilesystem;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? SmallFsOutcome::kPassed
                                                       : SmallFsOutcome::kFailed;
}

bool FillDisk(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errno == ENOSPC;
  const std::string block(4096, 'f');
  ssize_t n = 0;
  while ((n = write(fd, block.data(), block.size())) > 0) {
  }
  const bool full = n < 0 && errno == ENOSPC;
  close(fd);
  return full;
}

}  // namespace qv::test
