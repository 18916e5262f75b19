// Helpers for the tests: a scripted user interface and temporary folders.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/user_interface.h"

namespace qv::test {

// Records every message and chooser request and answers from a script. An
// unscripted message is answered with its default button (or the first one);
// an unscripted chooser is cancelled.
class FakeUi : public IUserInterface {
 public:
  MsgResult ShowMessage(const Message& message) override;
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
  std::optional<std::string> ChooseFolder(const FolderDialogRequest& request) override;
  // Notices are kept apart from the messages: they ask nothing.
  void Notify(const Message& message) override { notices.push_back(message); }

  void Answer(MsgResult r) { answers.push_back(r); }
  void ChooseFile(std::optional<std::string> path) { files.push_back(std::move(path)); }

  // Texts of the recorded messages, converted to UTF-8 for readable asserts.
  std::vector<std::string> TextsUtf8() const;

  std::vector<Message> messages;
  std::vector<Message> notices;
  std::vector<FileDialogRequest> fileRequests;
  std::vector<FolderDialogRequest> folderRequests;
  std::deque<MsgResult> answers;
  std::deque<std::optional<std::string>> files;
};

// A fresh temporary folder, removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// What a program run by RunProgram did.
struct ProgramOutcome {
  int exitCode = -1;  // -1 when it did not exit normally
  std::string out, err;
};

// In a forked child: replaces the process with build/bin/<program> and
// `args`; exits 127 when the program cannot be started.
[[noreturn]] void ExecProgram(const std::string& program, const std::vector<std::string>& args);

// Runs build/bin/<program> with `args` in the folder `cwd` and waits for it;
// as the unprivileged user nobody when asked and the tests run as root.
ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& cwd, bool asNobody = false);

// Runs `fn` and returns true when it ends within `seconds` while nothing
// writes to the FIFOs in `fifos`. A call still waiting on one after that is
// released (a writer opens each FIFO and closes it again) and the result is
// false, so a test of "never waits" fails instead of hanging.
bool EndsWithoutAWriter(const std::function<void()>& fn, const std::vector<std::string>& fifos,
                        double seconds = 5.0);

// Gives the device `path` to root and the group dialout with mode 0660, as
// udev gives serial devices: the unprivileged user nobody, outside the
// group, may not open it. False when that cannot be done.
bool MakeDialoutDevice(const std::string& path);

// How a body run by OnSmallFilesystem ended.
enum class SmallFsOutcome { kPassed, kFailed, kNoFilesystem };

// Runs `body` in a child process that sees a fresh tmpfs of `bytes` bytes
// mounted on the folder `dir` (in a mount namespace of its own, so nothing
// outside the child sees it, and the mount goes with the child). gtest
// failures in the body are printed by the child and make it kFailed.
// kNoFilesystem when the machine lets neither root nor a user namespace
// mount one.
SmallFsOutcome OnSmallFilesystem(const std::string& dir, std::size_t bytes,
                                 const std::function<void()>& body);

// Writes a file `path` until the filesystem refuses with "no space left";
// false when it refused otherwise.
bool FillDisk(const std::string& path);

// Whole-file helpers.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace qv::test
