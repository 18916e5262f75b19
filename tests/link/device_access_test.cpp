// The hint after a failed open tells the truth: join the group only when
// that is the fix, log in again when the session predates joining, owner and
// mode otherwise; a device another program holds is named with its holder.
#include "link/device_access.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "data/codec.h"
#include "link/port_list.h"
#include "link/run_control.h"
#include "link/run_texts.h"
#include "link_fixture.h"

namespace qv::test {
namespace {

// Everything written to the pipe end `fd` until its writers close; closes it.
std::string ReadToEnd(int fd) {
  std::string out;
  char buf[512];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0)
    out.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return out;
}

// A pseudo-terminal device owned by root with the group and mode given.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ::grantpt(master_);
    ::unlockpt(master_);
    name_ = ::ptsname(master_);
  }
  ~Pty() { ::close(master_); }
  const std::string& Name() const { return name_; }
  void Give(gid_t gid, mode_t mode) const {
    EXPECT_EQ(::chown(name_.c_str(), 0, gid), 0);
    EXPECT_EQ(::chmod(name_.c_str(), mode), 0);
  }

 private:
  int master_ = -1;
  std::string name_;
};

void RemoveUser(const std::string& name) {
  if (std::system(("userdel " + name + " >/dev/null 2>&1").c_str()) != 0) {
    // There was none.
  }
}

// Users made for the test and removed with it: one in the group dialout
// (in the group database), one outside it.
class UsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "making users needs root";
    if (!::getgrnam("dialout")) GTEST_SKIP() << "no group dialout";
    const std::string tag = std::to_string(::getpid() % 100000);
    member_ = "qvin" + tag;
    outsider_ = "qvout" + tag;
    for (const std::string& u : {member_, outsider_})
      RemoveUser(u);  // left by an earlier run that was killed
    made_ = true;     // whatever useradd makes goes again
    if (std::system(("useradd -M -N -s /usr/sbin/nologin -G dialout " + member_).c_str()) != 0 ||
        std::system(("useradd -M -N -s /usr/sbin/nologin " + outsider_).c_str()) != 0)
      GTEST_SKIP() << "useradd failed";
  }
  void TearDown() override {
    if (!made_) return;
    for (const std::string& u : {member_, outsider_})
      RemoveUser(u);
  }

  // Runs `body` in a child as `user`: with the groups of a new login
  // (initgroups) when `freshLogin`, else with its primary group only (a
  // session that began before the user joined). Returns what it wrote.
  std::string As(const std::string& user, bool freshLogin,
                 const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      const struct passwd* pw = ::getpwnam(user.c_str());
      if (!pw) _exit(90);
      const gid_t gid = pw->pw_gid;
      const uid_t uid = pw->pw_uid;
      const bool grouped =
          freshLogin ? ::initgroups(user.c_str(), gid) == 0 : ::setgroups(1, &gid) == 0;
      if (!grouped || ::setgid(gid) != 0 || ::setuid(uid) != 0) _exit(91);
      const std::string out = body();
      if (::write(fds[1], out.data(), out.size()) < 0) _exit(92);
      _exit(0);
    }
    ::close(fds[1]);
    const std::string out = ReadToEnd(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? out : "exit " + std::to_string(status);
  }

  std::string member_, outsider_;
  bool made_ = false;
};

std::string Hint(const std::string& device) {
  return Cp932ToUtf8(PermissionHintText({device}));
}

TEST_F(UsersTest, TheHintSaysWhatHelpsThisUser) {
  Pty dialout, rootOnly;
  dialout.Give(::getgrnam("dialout")->gr_gid, 0660);
  rootOnly.Give(0, 0600);
  const std::string d = dialout.Name(), r = rootOnly.Name();
  const struct {
    std::string user;
    bool freshLogin;
    std::string device, hint;
  } cases[] = {
      {outsider_, true, d,
       d + " を開く権限がありません。dialout グループに入り（sudo usermod -aG dialout " +
           outsider_ + "）、ログインし直してください。"},
      {member_, false, d,
       d + " を開く権限がありません。" + member_ +
           " は dialout グループに入っていますが、今のログインはその前からのものです。ログインし直"
           "してください。"},
      {member_, true, r,
       r + " を開く権限がありません（所有者 root、グループ root、crw-------）。グループに入っても"
           "開けないため、デバイスの所有者かモードを変える必要があります（管理者に相談してくださ"
           "い）。"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(As(c.user, c.freshLogin, [&] { return Hint(c.device); }), c.hint) << c.user;
  // Joined and logged in again: the device opens and nothing is to be said.
  EXPECT_EQ(As(member_, true,
               [&] {
                 const DeviceAccess a = InspectDevice(d);
                 return std::string(a.mayOpen && AdviceFor(a) == AccessAdvice::kNone ? "ok" : "no");
               }),
            "ok");
}

TEST(AccessAdvice, FollowsTheDevicesGroupModeAndTheUsersGroups) {
  DeviceAccess a;
  a.known = true;
  a.groupMayOpen = true;
  EXPECT_EQ(AdviceFor(a), AccessAdvice::kJoinGroup);
  a.groupInDatabase = true;
  EXPECT_EQ(AdviceFor(a), AccessAdvice::kLogInAgain);
  a.groupInProcess = true;  // the group is there and still it does not open
  EXPECT_EQ(AdviceFor(a), AccessAdvice::kOwnerAndMode);
  a.groupInProcess = a.groupInDatabase = false;
  a.groupMayOpen = false;
  EXPECT_EQ(AdviceFor(a), AccessAdvice::kOwnerAndMode);
  a.mayOpen = true;
  EXPECT_EQ(AdviceFor(a), AccessAdvice::kNone);
  EXPECT_EQ(ModeText(S_IFCHR | 0620), "crw--w----");
  EXPECT_EQ(ModeText(S_IFREG | 0755), "-rwxr-xr-x");
}

// A program that holds the instrument's device: the start's message stays
// and one line names the device and the holder.
class BusyPortTest : public LinkTest {
 protected:
  void SetUp() override {
    inst = std::make_unique<ScriptedInstrument>(PortsDir(), 4);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(dir.File("Dis.ini").c_str(), 0644);
    ::chmod(inst->DevicePath().c_str(), 0666);
    Set("COMPORT", "4");
    holder = ::open(inst->DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
  }
  void TearDown() override {
    if (holder >= 0) ::close(holder);
  }
  // The start command's first message, run in a child (as nobody when asked).
  std::string StartMessage(bool asNobody) {
    int fds[2];
    if (::pipe(fds) != 0) return "pipe";
    auto body = [&] {
      FakeUi ui;
      ui.Answer(MsgResult::kOk);
      ui.Answer(MsgResult::kNo);  // no port detection
      CRunControl run(*doc, ui);
      run.sleeper = [](int) {};
      if (run.StartCommand() != StartOutcome::kSendFailed || ui.messages.empty()) return 1;
      const std::string text = ui.TextsUtf8()[0];
      return ::write(fds[1], text.data(), text.size()) < 0 ? 2 : 0;
    };
    const int rc = asNobody ? AsNobody(body) : [&] {
      const pid_t pid = ::fork();
      if (pid == 0) _exit(body());
      int status = 0;
      ::waitpid(pid, &status, 0);
      return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
    }();
    ::close(fds[1]);
    const std::string out = ReadToEnd(fds[0]);
    return rc == 0 ? out : "rc " + std::to_string(rc);
  }
  std::unique_ptr<ScriptedInstrument> inst;
  int holder = -1;
};

TEST_F(BusyPortTest, TheStartNamesTheProgramThatHoldsThePort) {
  if (::geteuid() != 0) GTEST_SKIP() << "the holder is looked for as root";
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  char comm[64] = {};
  FILE* f = std::fopen("/proc/self/comm", "r");
  ASSERT_TRUE(f && std::fgets(comm, sizeof comm, f));
  std::fclose(f);
  std::string program(comm);
  program.erase(program.find_last_not_of('\n') + 1);
  EXPECT_EQ(StartMessage(false), Cp932ToUtf8(GetRunControlTexts().sendFailed) + "\n\n" +
                                     inst->DevicePath() + " は別のプログラム（" + program +
                                     "、プロセス " + std::to_string(::getpid()) +
                                     "）が使用中です。そのプログラムを終了してから、もう一度行っ"
                                     "てください。");
}

TEST_F(BusyPortTest, AnExclusiveTerminalIsNamedAsInUseWithoutAHolderOutOfSight) {
  // TIOCEXCL keeps out every opener but root; nobody cannot see root's files.
  ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
  EXPECT_EQ(StartMessage(true), Cp932ToUtf8(GetRunControlTexts().sendFailed) + "\n\n" +
                                    inst->DevicePath() +
                                    " は別のプログラムが使用中です。そのプログラムを終了してから、"
                                    "もう一度行ってください。");
}

}  // namespace
}  // namespace qv::test
