// COM numbers as a person looks for them: the listing of every number with
// its device, the device line of the dialogs, and the permission hint that
// the start command, the worker and port detection add when a device may
// not be opened.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "data/codec.h"
#include "link/port_list.h"
#include "link/port_scan.h"
#include "link/run_control.h"
#include "link_fixture.h"

namespace qv::test {
namespace {

std::string Real(const std::string& path) {
  return std::filesystem::canonical(path).string();
}

class PortListTest : public LinkTest {
 protected:
  // A fake /dev with three families and a stable name for the USB adapter,
  // and ports/ links: COM9 to the adapter, COM2 dangling, and names that are
  // no COM number.
  void SetUp() override {
    for (const char* n : {"ttyS0", "ttyS1", "ttyUSB0", "ttyACM0"})
      WriteFile(dir.File("dev/") + n, "");
    std::filesystem::create_directories(dir.File("dev/serial/by-id"));
    ASSERT_EQ(::symlink("../../ttyUSB0", dir.File(kById).c_str()), 0);
    ::mkdir(PortsDir().c_str(), 0755);
    ASSERT_EQ(::symlink(dir.File("dev/ttyUSB0").c_str(), dir.File("ports/COM9").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("dev/ttyUSB7").c_str(), dir.File("ports/COM2").c_str()), 0);
    for (const char* n : {"COM02", "COM0", "COM300", "COMx", "notes.txt"})
      ASSERT_EQ(::symlink(dir.File("dev/ttyS0").c_str(), (PortsDir() + "/" + n).c_str()), 0);
    dev = Real(dir.File("dev"));
  }

  // Number, kind, device under the fake /dev, stable name.
  std::string Row(const PortEntry& e) const {
    std::string row = "COM" + std::to_string(e.port) + (e.fromLink ? " link " : " auto ");
    row += e.device.empty() ? "(none)" : e.device.substr(dev.size() + 1);
    if (!e.byId.empty()) row += " " + e.byId.substr(dev.size() + 1);
    if (e.hidden) row += " hidden";
    return row;
  }

  static constexpr char kById[] = "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2-if00-port0";
  std::string dev;
};

TEST_F(PortListTest, LinksFirstThenTheAutomaticNumbersWithTheirStableNames) {
  std::vector<std::string> rows;
  for (const PortEntry& e : ListPorts(PortNamesOf(app)))
    rows.push_back(Row(e));
  const std::string byId = "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2-if00-port0";
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "COM2 link (none)",
                      "COM9 link ttyUSB0 " + byId,
                      "COM1 auto ttyS0",
                      "COM2 auto ttyS1 hidden",  // ports/COM2 takes the number
                      "COM3 auto ttyUSB0 " + byId,
                      "COM4 auto ttyACM0",
                  }));
}

TEST_F(PortListTest, TheDeviceLineFollowsWhatOpeningTheNumberWouldOpen) {
  const CPortNames names = PortNamesOf(app);
  struct Case {
    int port;
    std::string expected;
  };
  const Case cases[] = {
      {9, "ports/COM9 → " + dev + "/ttyUSB0"},
      {2, "ports/COM2 → （リンク先がありません）"},
      {1, dev + "/ttyS0"},
      {4, dev + "/ttyACM0"},
      {5, "なし"},
      {0, "なし"},
      {257, "なし"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Cp932ToUtf8(PortDeviceText(names, c.port)), c.expected) << c.port;

  // The port setting dialog reads the typed text as it reads it on OK.
  CPortSettingModel model(app);
  EXPECT_EQ(model.DeviceText("9"), PortDeviceText(names, 9));
  EXPECT_EQ(model.DeviceText("0091"), PortDeviceText(names, 9));
  EXPECT_EQ(Cp932ToUtf8(model.DeviceText("abc")), "なし");
  EXPECT_EQ(Cp932ToUtf8(model.DeviceText("")), "なし");
}

// ------------------------------------------------------------ permission

// A published instrument whose device only root and the group dialout may
// open; the test folder is readable by the unprivileged child.
class PermissionTest : public LinkTest {
 protected:
  void SetUp() override {
    inst = std::make_unique<ScriptedInstrument>(PortsDir(), 4);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(dir.File("Dis.ini").c_str(), 0644);
    ASSERT_TRUE(MakeDialoutDevice(inst->DevicePath()));
  }
  std::unique_ptr<ScriptedInstrument> inst;
};

TEST_F(PermissionTest, TheWorkerNamesTheDeviceItMayNotOpen) {
  // The input values go to an instrument the user may open; by the time the
  // worker opens COM4 it names the locked one.
  ScriptedInstrument open(PortsDir(), 6);
  ::chmod(open.DevicePath().c_str(), 0666);
  ::chmod(PortsDir().c_str(), 0777);
  // The run's journal and backup go into the working folder: the user may
  // write there, so that the worker's message is the only one.
  ::chmod(dir.path().c_str(), 0777);
  ::unlink(inst->LinkPath().c_str());
  ASSERT_EQ(::symlink(open.DevicePath().c_str(), inst->LinkPath().c_str()), 0);
  Set("COMPORT", "4");
  const int rc = AsNobody([&] {
    FakeUi ui;
    CRunControl run(*doc, ui);
    run.sleeper = [](int) {};
    run.hooks.confirmStart = [&] {
      ::unlink(inst->LinkPath().c_str());
      return ::symlink(inst->DevicePath().c_str(), inst->LinkPath().c_str()) == 0;
    };
    if (run.StartCommand() != StartOutcome::kStarted) return 1;
    run.Join();
    if (ui.messages.size() != 1) return 2;
    return IsPermissionHinted(ui.TextsUtf8()[0], Cp932ToUtf8(GetRunControlTexts().cannotStart),
                              inst->DevicePath())
               ? 0
               : 3;
  });
  EXPECT_EQ(rc, 0);
}

TEST_F(PermissionTest, DetectionNamesTheFirstRefusedDeviceAndHowManyThereWere) {
  ScriptedInstrument other(PortsDir(), 9);
  ASSERT_TRUE(MakeDialoutDevice(other.DevicePath()));
  const int rc = AsNobody([&] {
    FakeUi ui;
    ui.Answer(MsgResult::kNo);
    if (RunPortDetection(LinkSettingsOf(app), ui, {}, [](int) {}) != -1) return 1;
    if (ui.messages.size() != 1) return 2;
    const std::string text = ui.TextsUtf8()[0];
    if (!IsPermissionHinted(text, Cp932ToUtf8(ScanRetryText()), inst->DevicePath())) return 3;
    return text.find("など 2 個") != std::string::npos ? 0 : 4;
  });
  EXPECT_EQ(rc, 0);
}

TEST_F(PermissionTest, ADeviceThatMayBeOpenedAddsNothing) {
  ::chmod(inst->DevicePath().c_str(), 0666);
  inst->Default('P', "");  // opens, but never answers
  Set("COM_TIMEOUT_MS", "10");
  const int rc = AsNobody([&] {
    FakeUi ui;
    ui.Answer(MsgResult::kNo);
    RunPortDetection(LinkSettingsOf(app), ui, {}, [](int) {});
    return ui.messages.size() == 1 && ui.messages[0].text == ScanRetryText() ? 0 : 1;
  });
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace qv::test
