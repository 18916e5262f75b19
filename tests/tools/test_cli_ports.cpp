// quorvex-cli ports, the permission line of scan and measure, and --version
// of the command-line programs, run as programs.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace qv {
namespace {

using Outcome = test::ProgramOutcome;

Outcome Program(const std::string& program, const std::vector<std::string>& args,
                const std::string& cwd, bool asNobody = false) {
  return test::RunProgram(program, args, cwd, asNobody);
}

class PortsCli : public ::testing::Test {
 protected:
  PortsCli() {
    // A world-readable folder, so that nobody can work in it too.
    ::chmod(dir.path().c_str(), 0755);
    std::filesystem::create_directories(dir.File("dev/serial/by-id"));
    std::filesystem::create_directories(dir.File("ports"));
    test::WriteFile(dir.File("Dis.ini"), "[QUORVEX]\r\nCOM_TIMEOUT_MS=50\r\n");
    ::chmod(dir.File("Dis.ini").c_str(), 0644);
    dev = std::filesystem::canonical(dir.File("dev")).string();
  }
  ~PortsCli() override {
    if (master >= 0) ::close(master);
  }

  // A pseudo-terminal of the group dialout, published as ports/COM<n>.
  std::string LockedDevice(int com) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    ::grantpt(master);
    ::unlockpt(master);
    const std::string name = ::ptsname(master);
    EXPECT_TRUE(test::MakeDialoutDevice(name));
    const std::string link = dir.File("ports/COM" + std::to_string(com));
    EXPECT_EQ(::symlink(name.c_str(), link.c_str()), 0);
    return name;
  }

  test::TempDir dir;
  std::string dev;
  int master = -1;
};

TEST_F(PortsCli, ListsTheLinksFirstThenTheAutomaticNumbering) {
  for (const char* n : {"ttyS0", "ttyS1", "ttyUSB0"})
    test::WriteFile(dir.File("dev/") + n, "");
  ASSERT_EQ(
      ::symlink("../../ttyUSB0", dir.File("dev/serial/by-id/usb-FTDI_X_A1-if00-port0").c_str()), 0);
  ASSERT_EQ(::symlink(dir.File("dev/ttyUSB0").c_str(), dir.File("ports/COM2").c_str()), 0);
  ASSERT_EQ(::symlink("/nonexistent/ttyUSB9", dir.File("ports/COM12").c_str()), 0);
  const Outcome r = Program("quorvex-cli", {"ports", "--dev-root", dir.File("dev")}, dir.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const std::string byId = dev + "/serial/by-id/usb-FTDI_X_A1-if00-port0";
  EXPECT_EQ(r.out, "COM2   ports/COM2 -> " + dev + "/ttyUSB0   " + byId +
                       "\n"
                       "COM12  ports/COM12 -> /nonexistent/ttyUSB9 (missing)\n"
                       "COM1   " +
                       dev + "/ttyS0\nCOM2   " + dev +
                       "/ttyS1   (ports/COM2 takes COM2)\n"
                       "COM3   " +
                       dev + "/ttyUSB0   " + byId + "\n");
}

TEST_F(PortsCli, NothingToListIsSaidOnStderr) {
  const Outcome r = Program("quorvex-cli", {"ports", "--dev-root", dir.File("dev")}, dir.path());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "no serial devices\n");
}

TEST_F(PortsCli, MarksADeviceTheUserCannotOpenWithWhatWouldLetThem) {
  const std::string device = LockedDevice(1);
  const Outcome asNobody =
      Program("quorvex-cli", {"ports", "--dev-root", dir.File("dev")}, dir.path(), true);
  EXPECT_EQ(asNobody.exitCode, 0) << asNobody.err;
  EXPECT_EQ(asNobody.out, "COM1   ports/COM1 -> " + device +
                              "   (cannot be opened: join group dialout, then log in again)\n");
  // Root may open it: no mark.
  const Outcome asRoot =
      Program("quorvex-cli", {"ports", "--dev-root", dir.File("dev")}, dir.path());
  if (::geteuid() == 0) {
    EXPECT_EQ(asRoot.out, "COM1   ports/COM1 -> " + device + "\n");
  }
}

// The line after the message: the device and the remedy.
void ExpectPermissionLine(const std::string& err, const std::string& device) {
  const size_t at = err.find(device + " を開く権限がありません。");
  ASSERT_NE(at, std::string::npos) << err;
  const std::string line = err.substr(at, err.find('\n', at) - at);
  EXPECT_NE(line.find("sudo usermod -aG dialout nobody"), std::string::npos) << line;
  EXPECT_NE(line.find("ログインし直してください。"), std::string::npos) << line;
}

TEST_F(PortsCli, ScanAndMeasureNameTheDeviceTheUserMayNotOpenAndExitTwo) {
  const std::string device = LockedDevice(1);
  const Outcome scan =
      Program("quorvex-cli", {"scan", "--dev-root", dir.File("dev")}, dir.path(), true);
  EXPECT_EQ(scan.exitCode, 2) << scan.err;
  EXPECT_EQ(scan.out, "");
  EXPECT_EQ(scan.err.substr(0, scan.err.find('\n')), "通信設定ができませんでした。");
  ExpectPermissionLine(scan.err, device);

  const Outcome measure =
      Program("quorvex-cli",
              {"measure", "--port", "1", "--currents", "1,0.5,0.1", "--cells", "1", "--v1", "100",
               "--out", "x.qd1", "--dev-root", dir.File("dev")},
              dir.path(), true);
  EXPECT_EQ(measure.exitCode, 2) << measure.err;
  EXPECT_EQ(measure.err.rfind(
                "通信ができません。\n\nパソコンの「COMポート」設定値が正しくないようです。", 0),
            0u)
      << measure.err;
  ExpectPermissionLine(measure.err, device);
  EXPECT_FALSE(test::FileExists(dir.File("x.qd1")));
}

TEST_F(PortsCli, EveryCommandLineProgramTellsTheProjectVersion) {
  for (const std::string program : {"quorvex-cli", "orvantis-sim"}) {
    const Outcome r = Program(program, {"--version"}, dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, program + " " + QV_VERSION_TEXT + "\n");
  }
}

}  // namespace
}  // namespace qv
