// The serial devices behind the COM numbers, as a person looks for them: the
// listing of `quorvex-cli ports`, the device line of the port setting dialog
// and of port detection, and the line that tells a user who cannot open a
// device (no permission, or another program holds it) what to do.
//
// Numbers map to devices as CPortNames resolves them (a ports/COM<n> link
// first, then the automatic numbering); the USB descriptions come from
// libserialport, the stable names from /dev/serial/by-id.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "link/serial_port.h"

namespace qv {

struct UsbDetails {
  std::string manufacturer, product, serial;  // as the device reports them (UTF-8)
  int vendorId = -1, productId = -1;          // -1: not known
};

// One COM number, or a serial device that no number reaches.
struct PortEntry {
  int port = 0;           // 1..256; 0: a serial device without a COM number
  std::string path;       // what opening the number opens: the ports/ link or the device
  std::string device;     // the device behind it, links resolved; empty for a dangling link
  bool fromLink = false;  // a ports/COM<n> link
  bool hidden = false;    // an automatic number that a ports/ link of the same number takes over
  std::optional<UsbDetails> usb;  // a USB serial adapter's description
  std::string byId;               // the device's <devRoot>/serial/by-id/ name, if any
};

// Every COM number the program would use: the ports/ links in number order,
// then the automatic numbering from COM1 (numbers a link takes over are
// listed, marked hidden), then the serial devices under the device root
// that the system knows of and no number reaches. Never fails: what cannot
// be read is left out.
std::vector<PortEntry> ListPorts(const CPortNames& names);

// The entry of the device COM `port` opens, or nothing when the number maps
// to none.
std::optional<PortEntry> DescribePort(const CPortNames& names, int port);

// The device line of the port setting dialog and of port detection (CP932):
// "/dev/ttyUSB0（FTDI FT232R USB UART）", "ports/COM3 → /dev/ttyUSB0", or
// "なし" for a number outside 1..256 or one that maps to no device.
std::string PortDeviceText(const CPortNames& names, int port);

// The COM number a file name in ports/ stands for: 1..256 for exactly the
// names Resolve forms ("COM1" .. "COM256"), 0 for any other name.
int PortLinkNumber(const std::string& name);

// The ports of the application's settings folder: its ports/ links and the
// process's device root.
CPortNames PortNamesOf(const CAppState& app);

// The line added to a message when opening devices failed for lack of
// permission or because another program holds them (CP932). It names the
// device (the first one and how many more) and what helps, as the first
// device shows it now (device_access.h): joining its group ("sudo usermod
// -aG <group> <user>", then logging in again) when that is the fix, logging
// in again when the user has joined but this session predates it, its owner,
// group and mode when the group does not help; for a device the user may
// open, that another program (named, with its process, where /proc shows
// it) is using it. Empty for no devices.
std::string PermissionHintText(const std::vector<std::string>& devices);

// The device of `port`'s last Open when that failed for lack of permission
// (EACCES) or because the device is in use (EBUSY); empty otherwise.
std::vector<std::string> DeniedDevices(const CSerialPort& port);

// `message` followed by a blank line and the hint when `devices` is not
// empty; `message` alone otherwise.
std::string WithPermissionHint(const std::string& message, const std::vector<std::string>& devices);

}  // namespace qv
