// The desktop program's command line: quorvex [--desktop] [FILE.qd1].
//
// --desktop is what the desktop entry passes: the program then works in its
// own data folder ($XDG_DATA_HOME/quorvex) rather than in the directory the
// desktop started it in. --help and --version answer on stdout and end the
// program before any window exists.
#pragma once

#include <QStringList>
#include <optional>
#include <string>

namespace qv::ui {

inline constexpr char kDesktopOption[] = "--desktop";

// --help (-h) or --version among the arguments: prints the answer and returns
// the exit code (0); otherwise -1 and nothing is printed.
int AnswerInfoOptions(int argc, char** argv);

// True when the desktop entry started the program.
bool StartedFromDesktop(const QStringList& arguments);

// Moves the process into the desktop working folder, creating it when it is
// missing, after making `file` absolute against the directory it was named
// in. Returns the folder; empty when it could not be made or entered, and
// the program then stays in the current directory.
std::string EnterDesktopWorkFolder(std::optional<std::string>& file);

}  // namespace qv::ui
