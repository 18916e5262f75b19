#include "link/port_list.h"

#include <dirent.h>
#include <libserialport.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "data/codec.h"
#include "link/device_access.h"

namespace qv {
namespace {

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// The file a path finally names, or empty when it cannot be resolved.
std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : std::string();
}

// "ports/COM3": the link as it is named beside the settings file.
std::string LinkName(const CPortNames& names, int port) {
  std::string dir = names.PortsDir();
  while (dir.size() > 1 && dir.back() == '/')
    dir.pop_back();
  const size_t slash = dir.find_last_of('/');
  return (slash == std::string::npos ? dir : dir.substr(slash + 1)) + "/COM" + std::to_string(port);
}

// USB vendor, product and serial number from libserialport, for devices
// under /dev that it knows as USB serial adapters.
std::optional<UsbDetails> UsbDetailsOf(const std::string& device) {
  if (device.compare(0, 5, "/dev/") != 0) return std::nullopt;
  sp_port* port = nullptr;
  if (sp_get_port_by_name(device.c_str(), &port) != SP_OK) return std::nullopt;
  std::optional<UsbDetails> out;
  if (sp_get_port_transport(port) == SP_TRANSPORT_USB) {
    UsbDetails usb;
    if (const char* s = sp_get_port_usb_manufacturer(port)) usb.manufacturer = s;
    if (const char* s = sp_get_port_usb_product(port)) usb.product = s;
    if (const char* s = sp_get_port_usb_serial(port)) usb.serial = s;
    int vid = 0, pid = 0;
    if (sp_get_port_usb_vid_pid(port, &vid, &pid) == SP_OK) {
      usb.vendorId = vid;
      usb.productId = pid;
    }
    out = usb;
  }
  sp_free_port(port);
  return out;
}

// Resolved device -> its by-id link, for every link in <root>/serial/by-id.
std::map<std::string, std::string> ByIdNames(const std::string& devRoot) {
  std::map<std::string, std::string> out;
  const std::string dir = WithSlash(devRoot) + "serial/by-id/";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return out;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string target = RealPath(dir + name);
    // Several names for one device: keep the first in name order.
    if (!target.empty() && (!out.count(target) || dir + name < out[target]))
      out[target] = dir + name;
  }
  ::closedir(d);
  return out;
}

void Describe(PortEntry& e, const std::map<std::string, std::string>& byId) {
  if (e.device.empty()) return;
  e.usb = UsbDetailsOf(e.device);
  const auto it = byId.find(e.device);
  if (it != byId.end()) e.byId = it->second;
}

std::string UserName() {
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found && pw.pw_name[0])
    return pw.pw_name;
  return "$USER";
}

}  // namespace

std::vector<PortEntry> ListPorts(const CPortNames& names) {
  std::vector<PortEntry> out;
  const auto byId = ByIdNames(names.DevRoot());

  // ports/ links, in number order.
  std::set<int> linked;
  if (!names.PortsDir().empty()) {
    if (DIR* d = ::opendir(names.PortsDir().c_str())) {
      while (const dirent* e = ::readdir(d)) {
        if (const int n = PortLinkNumber(e->d_name)) linked.insert(n);
      }
      ::closedir(d);
    }
  }
  std::set<std::string> reached;  // devices a link or a number reaches
  for (int n : linked) {
    PortEntry e;
    e.port = n;
    e.path = names.LinkPath(n);
    e.device = RealPath(e.path);
    e.fromLink = true;
    Describe(e, byId);
    reached.insert(e.device);
    out.push_back(std::move(e));
  }

  // The automatic numbering.
  const std::vector<std::string> devices = names.Enumerate();
  for (size_t i = 0; i < devices.size(); ++i) {
    PortEntry e;
    e.port = static_cast<int>(i) + 1;
    e.path = devices[i];
    e.device = RealPath(devices[i]);
    if (e.device.empty()) e.device = devices[i];
    e.hidden = linked.count(e.port) > 0;
    Describe(e, byId);
    reached.insert(e.device);
    out.push_back(std::move(e));
  }

  // Serial devices of the system that no number reaches (other families,
  // such as ttyAMA or ttyXRUSB): a ports/ link can give them one.
  const std::string root = WithSlash(RealPath(names.DevRoot()));
  sp_port** list = nullptr;
  if (root.size() > 1 && sp_list_ports(&list) == SP_OK) {
    for (sp_port** p = list; *p; ++p) {
      const std::string device = RealPath(sp_get_port_name(*p));
      if (device.empty() || device.compare(0, root.size(), root) != 0) continue;
      if (reached.count(device)) continue;
      PortEntry e;
      e.path = device;
      e.device = device;
      Describe(e, byId);
      out.push_back(std::move(e));
    }
    sp_free_port_list(list);
  }
  return out;
}

std::optional<PortEntry> DescribePort(const CPortNames& names, int port) {
  const std::string path = names.Resolve(port);
  if (path.empty()) return std::nullopt;
  PortEntry e;
  e.port = port;
  e.path = path;
  e.fromLink = path == names.LinkPath(port);
  e.device = RealPath(path);
  if (e.device.empty() && !e.fromLink) e.device = path;
  Describe(e, ByIdNames(names.DevRoot()));
  return e;
}

std::string PortDeviceText(const CPortNames& names, int port) {
  const std::optional<PortEntry> e = DescribePort(names, port);
  if (!e) return Sj("なし");
  std::string text;
  if (e->fromLink) {
    text = LinkName(names, port) + Sj(" → ") +
           (e->device.empty() ? Sj("（リンク先がありません）") : e->device);
  } else {
    text = e->device;
  }
  if (e->usb) {
    std::string name = e->usb->manufacturer;
    if (!e->usb->product.empty()) name += (name.empty() ? "" : " ") + e->usb->product;
    if (!name.empty()) text += Sj("（") + Utf8ToCp932(name) + Sj("）");
  }
  return text;
}

int PortLinkNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0 || name[3] == '0')
    return 0;
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n <= CPortNames::kMaxPort ? n : 0;
}

CPortNames PortNamesOf(const CAppState& app) {
  return CPortNames(app.settings.Directory() + "ports", CPortNames::DefaultDeviceRoot());
}

namespace {

// The line for a device that is in use, naming the holder when /proc shows it.
std::string BusyText(const std::string& who, const std::string& device) {
  const std::optional<DeviceHolder> holder = FindHolder(device);
  std::string by;
  if (holder) {
    by = Sj("（") + (holder->program.empty() ? std::string() : holder->program + Sj("、")) +
         Sj("プロセス ") + std::to_string(holder->pid) + Sj("）");
  }
  return who + Sj(" は別のプログラム") + by +
         Sj("が使用中です。そのプログラムを終了してから、もう一度行ってください。");
}

}  // namespace

std::string PermissionHintText(const std::vector<std::string>& devices) {
  if (devices.empty()) return {};
  const DeviceAccess a = InspectDevice(devices.front());
  std::string who = a.device;
  if (devices.size() > 1)
    who += Sj(" など ") + std::to_string(devices.size()) + Sj(" 個のデバイス");
  const std::string denied = who + Sj(" を開く権限がありません");
  switch (AdviceFor(a)) {
    case AccessAdvice::kJoinGroup:
      return denied + Sj("。") + a.group + Sj(" グループに入り（sudo usermod -aG ") + a.group +
             " " + UserName() + Sj("）、ログインし直してください。");
    case AccessAdvice::kLogInAgain:
      return denied + Sj("。") + UserName() + Sj(" は ") + a.group +
             Sj(" グループに入っていますが、今のログインはその前からのものです。ログインし直してく"
                "ださい。");
    case AccessAdvice::kOwnerAndMode:
      return denied + Sj("（所有者 ") + a.owner + Sj("、グループ ") + a.group + Sj("、") +
             ModeText(a.mode) +
             Sj("）。グループに入っても開けないため、デバイスの所有者かモードを変える必要があります"
                "（管理者に相談してください）。");
    case AccessAdvice::kNone:
      break;
  }
  // Examined and open to this user: the open failed because the device is
  // in use.
  if (a.known && a.mayOpen) return BusyText(who, a.device);
  return denied + Sj("。");
}

std::vector<std::string> DeniedDevices(const CSerialPort& port) {
  const int e = port.LastOpenError();
  if ((e != EACCES && e != EBUSY) || port.LastOpenPath().empty()) return {};
  return {port.LastOpenPath()};
}

std::string WithPermissionHint(const std::string& message,
                               const std::vector<std::string>& devices) {
  if (devices.empty()) return message;
  return message + "\n\n" + PermissionHintText(devices);
}

}  // namespace qv
