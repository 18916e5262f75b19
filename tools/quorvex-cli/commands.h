// Sub-commands of quorvex-cli register themselves here, one file each.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

namespace qv::cli {

// Exit codes shared by the commands that read data files.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUnreadable = 1;
inline constexpr int kExitMissing = 2;

// The exit code of measure and scan when their --trace file cannot be written.
inline constexpr int kExitTraceFile = 3;

// Makes `path` the wire trace of this run (nothing for an empty path). False,
// with the reason on stderr, when the file cannot be written.
bool StartWireTrace(const std::string& path);

// Ends a command's --help with its exit codes, one "  N  meaning" a line
// (a line that starts with two spaces and a word would read as a
// sub-command to packaging/man/commands.sh).
inline void ExitStatusHelp(CLI::App* command, const std::string& lines) {
  command->footer("Exit status:\n" + lines);
}

// A command adds its sub-command to the app and returns the action to run
// when that sub-command was chosen.
using CommandSetup = std::function<std::function<int()>(CLI::App& app)>;

std::vector<CommandSetup>& Registry();

struct Registrar {
  explicit Registrar(CommandSetup setup) { Registry().push_back(std::move(setup)); }
};

}  // namespace qv::cli
