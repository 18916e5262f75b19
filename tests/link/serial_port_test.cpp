// The serial port table, COM number resolution and line settings on a
// pseudo-terminal; port detection and the port setting model.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "data/codec.h"
#include "link/port_scan.h"
#include "link/run_control.h"
#include "link/serial_port.h"
#include "link_fixture.h"

namespace qv::test {
namespace {

using ::testing::ElementsAre;
using Clock = std::chrono::steady_clock;

void Touch(const std::string& path) {
  WriteFile(path, "");
}

TEST(PortNames, WineOrderEachFamilyUpToItsFirstGap) {
  TempDir dev;
  for (const char* n : {"ttyS0", "ttyS1", "ttyS3", "ttyUSB0", "ttyACM0", "ttyACM1", "ttyACM3"})
    Touch(dev.File(n));
  CPortNames names("", dev.path());
  EXPECT_THAT(names.Enumerate(),
              ElementsAre(dev.File("ttyS0"), dev.File("ttyS1"), dev.File("ttyUSB0"),
                          dev.File("ttyACM0"), dev.File("ttyACM1")));
  EXPECT_EQ(names.Resolve(3), dev.File("ttyUSB0"));
  EXPECT_EQ(names.Resolve(5), dev.File("ttyACM1"));
  EXPECT_EQ(names.Resolve(6), "");
  EXPECT_EQ(names.Resolve(0), "");
  EXPECT_EQ(names.Resolve(257), "");
}

TEST(PortNames, PortsLinkWins) {
  TempDir dev, cfg;
  Touch(dev.File("ttyS0"));
  ::mkdir(cfg.File("ports").c_str(), 0755);
  ASSERT_EQ(::symlink("/dev/serial/by-id/usb-missing", cfg.File("ports/COM1").c_str()), 0);
  ASSERT_EQ(::symlink(dev.File("ttyS0").c_str(), cfg.File("ports/COM9").c_str()), 0);
  CPortNames names(cfg.File("ports"), dev.path());
  // Even a dangling link takes its number (its device is simply missing).
  EXPECT_EQ(names.Resolve(1), cfg.File("ports/COM1"));
  EXPECT_EQ(names.Resolve(9), cfg.File("ports/COM9"));
  EXPECT_EQ(names.Resolve(2), "");
}

class SerialPortTest : public LinkTest {
 protected:
  void SetUp() override {
    inst = std::make_unique<ScriptedInstrument>(PortsDir(), 4);
    port.SetPortNames(CPortNames(PortsDir(), dir.File("dev")));
  }
  std::unique_ptr<ScriptedInstrument> inst;
  CSerialPort port;
};

TEST_F(SerialPortTest, BadNumbersTouchNothing) {
  EXPECT_EQ(port.Open(0, 8192, 8192), PortResult::kBad);
  EXPECT_EQ(port.Open(257, 8192, 8192), PortResult::kBad);
  char c = 0;
  EXPECT_EQ(port.Configure(0, kLineAnalyzer), PortResult::kBad);
  EXPECT_EQ(port.SetReadTimeouts(257, 10), PortResult::kBad);
  EXPECT_EQ(port.SetWriteTimeout(0, 10), PortResult::kBad);
  EXPECT_EQ(port.Read(0, &c, 1), 0);
  EXPECT_EQ(port.Write(257, &c, 1), 0);
  EXPECT_EQ(port.PurgeReceive(0), PortResult::kBad);
  EXPECT_EQ(port.PurgeTransmit(0), PortResult::kBad);
  EXPECT_EQ(port.Close(0), PortResult::kBad);
  // A valid number that is not open is as bad.
  EXPECT_EQ(port.Close(4), PortResult::kBad);
  EXPECT_EQ(port.Read(4, &c, 1), 0);
}

TEST_F(SerialPortTest, OpenTwiceInOneTableKeepsTheFirst) {
  ASSERT_EQ(port.Open(4, 8192, 8192), PortResult::kOk);
  EXPECT_EQ(port.Open(4, 8192, 8192), PortResult::kRefused);
  EXPECT_TRUE(port.IsOpen(4));
  EXPECT_EQ(port.Write(4, "hi\r", 3), 3);
  EXPECT_EQ(inst->Received(), "hi\r");
  EXPECT_EQ(port.Close(4), PortResult::kOk);
  EXPECT_FALSE(port.IsOpen(4));
  EXPECT_EQ(port.Close(4), PortResult::kBad);
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedUntilClosed) {
  CSerialPort other;
  other.SetPortNames(port.PortNames());
  ASSERT_EQ(port.Open(4, 8192, 8192), PortResult::kOk);
  EXPECT_EQ(other.Open(4, 8192, 8192), PortResult::kNoDevice);
  EXPECT_EQ(other.LastOpenError(), EBUSY);
  EXPECT_FALSE(other.IsOpen(4));
  port.Close(4);
  EXPECT_EQ(other.Open(4, 8192, 8192), PortResult::kOk);
  other.Close(4);
}

TEST_F(SerialPortTest, MissingDeviceIsNotOpened) {
  EXPECT_EQ(port.Open(5, 8192, 8192), PortResult::kNoDevice);
  EXPECT_EQ(port.LastOpenError(), ENOENT);
  EXPECT_FALSE(port.IsOpen(5));
  // A regular file is no communications device.
  WriteFile(dir.File("plain"), "x");
  ASSERT_EQ(::symlink(dir.File("plain").c_str(), (PortsDir() + "/COM6").c_str()), 0);
  EXPECT_EQ(port.Open(6, 8192, 8192), PortResult::kNoDevice);
  EXPECT_FALSE(port.IsOpen(6));
}

TEST_F(SerialPortTest, NoPermissionIsToldApart) {
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(dir.File("Dis.ini").c_str(), 0644);
  ::chmod(inst->DevicePath().c_str(), 0);
  const int rc = AsNobody([&] {
    if (port.Open(4, 8192, 8192) != PortResult::kNoDevice) return 1;
    return port.LastOpenError() == EACCES ? 0 : 2;
  });
  EXPECT_EQ(rc, 0);
}

TEST_F(SerialPortTest, StartCommandNamesThePortSettingForNoPermission) {
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(dir.File("Dis.ini").c_str(), 0644);
  ASSERT_TRUE(MakeDialoutDevice(inst->DevicePath()));
  Set("COMPORT", "4");
  const int rc = AsNobody([&] {
    FakeUi ui;
    ui.Answer(MsgResult::kOk);
    ui.Answer(MsgResult::kNo);
    CRunControl run(*doc, ui);
    run.sleeper = [](int) {};
    if (run.StartCommand() != StartOutcome::kSendFailed) return 1;
    if (ui.messages.size() != 2) return 2;
    // The message, then one line naming the device and the remedy.
    return IsPermissionHinted(ui.TextsUtf8()[0],
                              "通信ができません。\n\nパソコンの「COMポート」設定値が正しくないよう"
                              "です。\nヘルプを参照して、設定を確認してください。",
                              inst->DevicePath())
               ? 0
               : 3;
  });
  EXPECT_EQ(rc, 0);
}

TEST_F(SerialPortTest, OneByteReadTimesOutWithNothing) {
  ASSERT_EQ(port.Open(4, 8192, 8192), PortResult::kOk);
  ASSERT_EQ(port.SetReadTimeouts(4, 60), PortResult::kOk);
  char c = 0;
  auto t0 = Clock::now();
  EXPECT_EQ(port.Read(4, &c, 1), 0);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_GE(ms, 55);
  EXPECT_LT(ms, 1000);
  port.Close(4);
}

TEST_F(SerialPortTest, ReadReturnsAsSoonAsTheByteIsThere) {
  ASSERT_EQ(port.Open(4, 8192, 8192), PortResult::kOk);
  ASSERT_EQ(port.SetReadTimeouts(4, 5000), PortResult::kOk);
  inst->Frames({"ab"});
  inst->FrameHook()();
  char buf[4] = {};
  auto t0 = Clock::now();
  EXPECT_EQ(port.Read(4, buf, 1), 1);
  EXPECT_EQ(buf[0], 'a');
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_LT(ms, 1000);
  // Fewer bytes than asked: the interval after the last byte ends the read.
  ASSERT_EQ(port.SetReadTimeouts(4, 50), PortResult::kOk);
  EXPECT_EQ(port.Read(4, buf, 4), 1);
  EXPECT_EQ(buf[0], 'b');
  port.Close(4);
}

TEST_F(SerialPortTest, PurgeReceiveDiscardsWhatArrived) {
  ASSERT_EQ(port.Open(4, 8192, 8192), PortResult::kOk);
  port.SetReadTimeouts(4, 50);
  inst->Frames({"junk"});
  inst->FrameHook()();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(port.PurgeReceive(4), PortResult::kOk);
  char c;
  EXPECT_EQ(port.Read(4, &c, 1), 0);
  EXPECT_EQ(port.PurgeTransmit(4), PortResult::kOk);
  port.Close(4);
}

TEST_F(SerialPortTest, AnalyzerLineIs9600EightNoneOneRaw) {
  CAnalyzerLink link(LinkSettingsOf(app));
  ASSERT_TRUE(link.OpenLink(4));
  int fd = ::open(inst->DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);  // root passes the exclusive mode
  struct termios t;
  ASSERT_EQ(::tcgetattr(fd, &t), 0);
  ::close(fd);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  // Word 0 changes nothing and is accepted.
  EXPECT_EQ(link.Serial().Configure(4, 0), PortResult::kOk);
  link.CloseLink();
}

// The line as another opener of the device sees it (root passes the
// exclusive mode).
struct termios LineOf(const std::string& device) {
  struct termios t {};
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(::tcgetattr(fd, &t), 0);
  ::close(fd);
  return t;
}

TEST_F(SerialPortTest, SettingsWordFieldsReachTheLine) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to look past the exclusive mode";
  ASSERT_EQ(port.Open(4, 8192, 8192), PortResult::kOk);
  const std::string dev = inst->DevicePath();
  // Stop bits index 3: two; index 1: one.
  ASSERT_EQ(port.Configure(4, 0x30), PortResult::kOk);
  EXPECT_NE(LineOf(dev).c_cflag & CSTOPB, 0u);
  ASSERT_EQ(port.Configure(4, 0x10), PortResult::kOk);
  EXPECT_EQ(LineOf(dev).c_cflag & CSTOPB, 0u);
  // The baud index alone keeps the stop bits. (A pseudo-terminal holds
  // eight data bits and no parity whatever it is asked.)
  ASSERT_EQ(port.Configure(4, 0x30), PortResult::kOk);
  ASSERT_EQ(port.Configure(4, 0x4), PortResult::kOk);
  const struct termios slow = LineOf(dev);
  EXPECT_EQ(::cfgetospeed(&slow), static_cast<speed_t>(B1200));
  EXPECT_NE(slow.c_cflag & CSTOPB, 0u);
  // XON/XOFF index 1 on in both directions, index 2 off.
  ASSERT_EQ(port.Configure(4, 0x10000000), PortResult::kOk);
  EXPECT_EQ(LineOf(dev).c_iflag & (IXON | IXOFF | IXANY), static_cast<tcflag_t>(IXON | IXOFF));
  ASSERT_EQ(port.Configure(4, 0x20000000), PortResult::kOk);
  EXPECT_EQ(LineOf(dev).c_iflag & (IXON | IXOFF), 0u);
  // Bit 24 CTS output flow on, bit 25 off.
  ASSERT_EQ(port.Configure(4, 0x01000000), PortResult::kOk);
  EXPECT_NE(LineOf(dev).c_cflag & CRTSCTS, 0u);
  ASSERT_EQ(port.Configure(4, 0x02000000), PortResult::kOk);
  EXPECT_EQ(LineOf(dev).c_cflag & CRTSCTS, 0u);
  // Open's own word once more: 9600 8N1.
  ASSERT_EQ(port.Configure(4, kLineOpenDefault), PortResult::kOk);
  const struct termios t = LineOf(dev);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  port.Close(4);
}

TEST_F(SerialPortTest, RefusedSettingsReportTwoAndKeepTheLine) {
  ASSERT_EQ(port.Open(4, 8192, 8192), PortResult::kOk);
  EXPECT_EQ(port.Configure(4, 0x8), PortResult::kRefused);     // 14400 baud: no such rate here
  EXPECT_EQ(port.Configure(4, 0x20), PortResult::kRefused);    // one and a half stop bits
  EXPECT_EQ(port.Configure(4, 0x1000), PortResult::kRefused);  // 4 data bits
  // A pseudo-terminal has no parity: even parity is refused.
  EXPECT_EQ(port.Configure(4, 0x300), PortResult::kRefused);
  EXPECT_EQ(port.Configure(4, 0x9), PortResult::kOk);  // 19200
  EXPECT_EQ(port.Configure(4, kLineAnalyzer), PortResult::kOk);
  port.Close(4);
}

// -------------------------------------------------------------- detection

class ScanTest : public LinkTest {
 protected:
  ScanProgress Progress() {
    return [this](int n, const std::string& text) {
      steps.push_back(std::to_string(n) + ":" + Cp932ToUtf8(text));
    };
  }
  std::vector<std::string> steps;
};

TEST_F(ScanTest, StopsAtTheFirstAnsweringPort) {
  ScriptedInstrument silent(PortsDir(), 2);
  silent.Default('P', "");
  ScriptedInstrument inst(PortsDir(), 3);
  ScriptedInstrument later(PortsDir(), 4);
  Set("COM_TIMEOUT_MS", "20");
  EXPECT_EQ(ScanPorts(LinkSettingsOf(app), Progress(), Recorder()), 3);
  EXPECT_THAT(
      steps, ElementsAre("1:COM1 を検査中...", "2:COM2 を検査中...", "3:COM3 を検査中...", "256:"));
  EXPECT_EQ(silent.Received(), ProbeCommand() + ProbeCommand() + ProbeCommand() + "\r\r\r\r\r\r");
  EXPECT_EQ(later.Received(), "");
  // Every port tried was closed again.
  CSerialPort p;
  p.SetPortNames(CPortNames(PortsDir(), dir.File("dev")));
  EXPECT_EQ(p.Open(2, 1, 1), PortResult::kOk);
  EXPECT_EQ(p.Open(3, 1, 1), PortResult::kOk);
  p.Close(2);
  p.Close(3);
}

TEST_F(ScanTest, NothingFoundRetryRestartsFromComOne) {
  FakeUi ui;
  ui.Answer(MsgResult::kYes);
  ui.Answer(MsgResult::kNo);
  EXPECT_EQ(RunPortDetection(LinkSettingsOf(app), ui, Progress(), Recorder()), -1);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.TextsUtf8()[0],
            "通信設定ができませんでした。\n\n（通信ポート(COM1～256)をチェックしましたが、"
            "ORVANTISとの通信ができませんでした。）\n\n再試行しますか？");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "接続機器の反応がありません");
  EXPECT_EQ(ui.messages[0].buttons, MsgButtons::kYesNo);
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "1:COM1 を検査中..."), 2);
  EXPECT_EQ(std::count(steps.begin(), steps.end(), "256:COM256 を検査中..."), 2);
  EXPECT_EQ(steps.back(), "0:");
}

TEST_F(ScanTest, FoundPortIsTold) {
  ScriptedInstrument inst(PortsDir(), 1);
  FakeUi ui;
  EXPECT_EQ(RunPortDetection(LinkSettingsOf(app), ui, Progress(), Recorder()), 1);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.TextsUtf8()[0],
            "通信設定を完了しました。ORVANTISとの通信が可能になります。\n\n（通信ポートが「COM "
            "1」に設定されました。）");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "自動設定完了");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kInformation);
  // The bar is reset before the scan, ends at 256, and returns to 0 at the end.
  EXPECT_THAT(steps, ElementsAre("0:", "1:COM1 を検査中...", "256:", "0:"));
  // The caller writes COMPORT, not the detection.
  EXPECT_EQ(app.settings.Get("COMPORT"), "");
}

TEST_F(ScanTest, PortSettingModel) {
  CPortSettingModel model(app);
  Set("COMPORT", "4");
  EXPECT_EQ(model.InitialText(), "4");
  EXPECT_FALSE(model.Accept("0"));
  EXPECT_FALSE(model.Accept("257"));
  EXPECT_FALSE(model.Accept("abc"));
  EXPECT_EQ(app.settings.Get("COMPORT"), "4");
  EXPECT_TRUE(model.Accept("12"));
  EXPECT_EQ(app.settings.Get("COMPORT"), "12");
  EXPECT_TRUE(model.Accept("007"));
  EXPECT_EQ(app.settings.Get("COMPORT"), "7");
  EXPECT_FALSE(model.TakeDetected(-1));
  EXPECT_EQ(app.settings.Get("COMPORT"), "7");
  EXPECT_TRUE(model.TakeDetected(9));
  EXPECT_EQ(app.settings.Get("COMPORT"), "9");
}

}  // namespace
}  // namespace qv::test
