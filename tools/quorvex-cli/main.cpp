// quorvex-cli: the application's core commands without windows.
#include <clocale>
#include <cstdio>

#include "commands.h"
#include "data/file_info.h"

namespace qv::cli {
std::vector<CommandSetup>& Registry() {
  static std::vector<CommandSetup> registry;
  return registry;
}
}  // namespace qv::cli

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  CLI::App app{"Quorvex command-line tool: data files and the ORVANTIS analyzer without windows"};
  app.set_version_flag("--version", "quorvex-cli " + qv::ProgramVersionText());
  app.require_subcommand(1);
  app.footer(
      "Every command lists its exit status in its --help. A command line that cannot be parsed\n"
      "exits with 100 or more before anything is done.");
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
