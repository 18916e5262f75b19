// quorvex-cli station: whether a Quorvex window works in the current folder
// (holds its instance lock), as ./run.sh asks before it starts another one.
//
//   quorvex running in /home/lab/station2/ (process 4711)
#include <iostream>

#include "commands.h"
#include "core/instance_lock.h"
#include "core/settings_store.h"

namespace qv::cli {
namespace {

int Station() {
  const std::string folder = CurrentDirectory();
  const pid_t pid = InstanceLock::Holder("quorvex", folder);
  if (pid <= 0) {
    std::cout << "no quorvex window in " << folder << "\n";
    return 1;
  }
  std::cout << "quorvex running in " << folder << " (process " << pid << ")\n";
  return 0;
}

Registrar stationCommand([](CLI::App& app) -> std::function<int()> {
  auto* sub = app.add_subcommand(
      "station", "Tell whether a Quorvex window works in the current folder, and its process");
  ExitStatusHelp(sub,
                 "  0  a window works here (its process is printed)\n"
                 "  1  none does");
  return [] { return Station(); };
});

}  // namespace
}  // namespace qv::cli
