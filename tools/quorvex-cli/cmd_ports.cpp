// quorvex-cli ports: every COM number the program would use and the device
// behind it, with the USB description where there is one.
//
//   COM3   ports/COM3 -> /dev/ttyUSB0   USB 0403:6001 FTDI FT232R USB UART, serial A10K, ...
//   COM1   /dev/ttyS0
//   COM3   /dev/ttyS2   (ports/COM3 takes COM3)
//   -      /dev/ttyAMA0   (no COM number: a link ports/COM<n> gives it one)
//
// The ports/ links come first, then the automatic numbering, then serial
// devices that no number reaches. A device this user may not open is marked
// with what would let them:
//
//   COM5   /dev/ttyUSB0   (cannot be opened: join group dialout, then log in again)
//
// Exit 0, also when there is nothing to list.
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "commands.h"
#include "core/settings_store.h"
#include "file_io.h"
#include "link/device_access.h"
#include "link/port_list.h"

namespace qv::cli {
namespace {

struct PortsArgs {
  std::string devRoot;
};

// Paths inside the working folder are shown relative to it ("ports/COM3").
std::string Shown(const std::string& path, const std::string& cwd) {
  return path.compare(0, cwd.size(), cwd) == 0 ? path.substr(cwd.size()) : path;
}

std::string LinkTarget(const std::string& link) {
  char buf[4096];
  const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string Hex4(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04x", v & 0xffff);
  return buf;
}

std::string UsbText(const PortEntry& e) {
  std::vector<std::string> parts;
  if (e.usb) {
    std::string head = "USB";
    if (e.usb->vendorId >= 0) head += " " + Hex4(e.usb->vendorId) + ":" + Hex4(e.usb->productId);
    if (!e.usb->manufacturer.empty()) head += " " + e.usb->manufacturer;
    if (!e.usb->product.empty()) head += " " + e.usb->product;
    parts.push_back(head);
    if (!e.usb->serial.empty()) parts.push_back("serial " + e.usb->serial);
  }
  if (!e.byId.empty()) parts.push_back(e.byId);
  std::string out;
  for (const std::string& p : parts)
    out += (out.empty() ? "" : ", ") + p;
  return out;
}

// The mark of a device this user may not open; empty when they may.
std::string AccessMark(const std::string& device) {
  const DeviceAccess a = InspectDevice(device);
  switch (AdviceFor(a)) {
    case AccessAdvice::kJoinGroup:
      return "   (cannot be opened: join group " + a.group + ", then log in again)";
    case AccessAdvice::kLogInAgain:
      return "   (cannot be opened: log in again to use group " + a.group + ")";
    case AccessAdvice::kOwnerAndMode:
      return "   (cannot be opened: owner " + a.owner + ", group " + a.group + ", " +
             ModeText(a.mode) + ")";
    case AccessAdvice::kNone:
      break;
  }
  return {};
}

int Ports(const PortsArgs& args) {
  CAppState app;
  LoadAppSettings(app);
  if (!args.devRoot.empty()) CPortNames::SetDefaultDeviceRoot(args.devRoot);
  const std::string cwd = CurrentDirectory();
  const std::vector<PortEntry> entries = ListPorts(PortNamesOf(app));
  if (entries.empty()) std::cerr << "no serial devices\n";
  for (const PortEntry& e : entries) {
    std::string number = e.port > 0 ? "COM" + std::to_string(e.port) : "-";
    std::string where;
    if (e.fromLink) {
      where = Shown(e.path, cwd) + " -> " +
              (e.device.empty() ? LinkTarget(e.path) + " (missing)" : e.device);
    } else {
      where = e.device;
    }
    std::string line = number + std::string(number.size() < 6 ? 7 - number.size() : 1, ' ') + where;
    if (const std::string usb = UsbText(e); !usb.empty()) line += "   " + usb;
    if (e.hidden)
      line +=
          "   (ports/COM" + std::to_string(e.port) + " takes COM" + std::to_string(e.port) + ")";
    if (e.port == 0) line += "   (no COM number: a link ports/COM<n> gives it one)";
    if (!e.device.empty()) line += AccessMark(e.device);
    std::cout << line << "\n";
  }
  return 0;
}

Registrar portsCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<PortsArgs>();
  auto* sub = app.add_subcommand(
      "ports",
      "List every COM number and its device: ports/COM<n> links first, then the automatic "
      "numbering (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*), with USB descriptions; a device "
      "you cannot open is marked with what would let you");
  sub->add_option("--dev-root", args->devRoot, "folder of the tty devices (default /dev)")
      ->group("");
  ExitStatusHelp(sub, "  0  always (no serial device at all is said on stderr)");
  return [args] { return Ports(*args); };
});

}  // namespace
}  // namespace qv::cli
