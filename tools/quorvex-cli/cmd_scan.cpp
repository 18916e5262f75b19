// quorvex-cli scan: finds the port the ORVANTIS answers on.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "file_io.h"
#include "link/analyzer_link.h"
#include "link/port_list.h"
#include "link/port_scan.h"
#include "link/serial_port.h"

namespace qv::cli {
namespace {

struct ScanArgs {
  bool verbose = false;
  bool save = false;
  std::string devRoot;
  std::string trace;
};

int Scan(const ScanArgs& args) {
  if (!StartWireTrace(args.trace)) return kExitTraceFile;
  CAppState app;
  LoadAppSettings(app);
  if (!args.devRoot.empty()) CPortNames::SetDefaultDeviceRoot(args.devRoot);
  const LinkSettings settings = LinkSettingsOf(app);
  ScanProgress progress;
  if (args.verbose) {
    progress = [&names = settings.ports](int port, const std::string& text) {
      if (!text.empty()) std::cerr << Cp932ToUtf8(text + " " + PortDeviceText(names, port)) << "\n";
    };
  }
  std::vector<std::string> denied;
  const int found = ScanPorts(settings, progress, {}, &denied);
  if (found < 1) {
    std::cerr << Cp932ToUtf8(ScanRetryText().substr(0, ScanRetryText().find('\n'))) << "\n";
    if (denied.empty()) return 1;
    std::cerr << Cp932ToUtf8(PermissionHintText(denied)) << "\n";
    return 2;
  }
  if (args.save) app.settings.SetValue(keys::kComPort, found);
  std::printf("COM%d\n", found);
  return 0;
}

Registrar scanCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<ScanArgs>();
  auto* sub = app.add_subcommand("scan", "Find the ORVANTIS on COM1..COM256 and print COM<n>");
  ExitStatusHelp(sub,
                 "  0  found\n"
                 "  1  no port answers\n"
                 "  2  no port answers and a device could not be opened for lack of permission\n"
                 "  3  the --trace file cannot be written");
  sub->add_flag("-v,--verbose", args->verbose, "show each port as it is tried");
  sub->add_flag("--save", args->save, "write the port found to COMPORT in Dis.ini");
  sub->add_option("--trace", args->trace,
                  "append every byte sent and received, with its time, to this file");
  sub->add_option("--dev-root", args->devRoot, "folder of the tty devices (default /dev)")
      ->group("");
  return [args] { return Scan(*args); };
});

}  // namespace
}  // namespace qv::cli
