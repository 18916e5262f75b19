// quorvex-cli: the application's core commands without windows.
#include <clocale>
#include <cstdio>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "commands.h"
#include "data/file_info.h"
#include "link/wire_trace.h"

namespace qv::cli {
std::vector<CommandSetup>& Registry() {
  static std::vector<CommandSetup> registry;
  return registry;
}

bool StartWireTrace(const std::string& path) {
  if (path.empty() || CWireTrace::Start(path)) return true;
  std::cerr << "quorvex-cli: cannot write the wire trace " << path << ": " << std::strerror(errno)
            << "\n";
  return false;
}
}  // namespace qv::cli

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  CLI::App app{"Quorvex command-line tool: data files and the ORVANTIS analyzer without windows"};
  app.set_version_flag("--version", "quorvex-cli " + qv::ProgramVersionText());
  app.require_subcommand(1);
  app.footer(
      "Every command lists its exit status in its --help. A command line that cannot be parsed\n"
      "exits with 100 or more before anything is done.\n"
      "QUORVEX_TRACE=FILE appends every byte sent to and received from a serial port, with\n"
      "the time and the phase of the run, to FILE.");
  std::vector<std::pair<CLI::App*, std::function<int()>>> actions;
  for (auto& setup : qv::cli::Registry()) {
    size_t before = app.get_subcommands({}).size();
    auto action = setup(app);
    auto subs = app.get_subcommands({});
    if (subs.size() > before) actions.emplace_back(subs.back(), std::move(action));
  }
  CLI11_PARSE(app, argc, argv);
  for (auto& [sub, action] : actions) {
    if (sub->parsed()) return action();
  }
  return 0;
}
