// The desktop program's command line:
//   quorvex [--desktop] [--dir FOLDER] [FILE.qd1...]
//
// The working folder (Dis.ini, tmpdata.bak, ports/) is FOLDER of --dir, else
// $QUORVEX_DIR, else with --desktop (what the desktop entry passes) the
// program's own data folder ($XDG_DATA_HOME/quorvex), else the current
// directory. Each folder is a station of its own: one window per folder.
// --help and --version answer on stdout and end the program before any
// window exists.
#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace qv::ui {

inline constexpr char kDesktopOption[] = "--desktop";
inline constexpr char kDirOption[] = "--dir";

// What the command line asks for, read before Qt sees it. Qt's own options
// ("-platform offscreen", "-style X", ...) are passed over with their values.
struct StartArguments {
  bool desktop = false;
  std::string dir;                 // --dir FOLDER or --dir=FOLDER; empty: none
  std::vector<std::string> files;  // as given, in order
  std::string error;               // a usage error (English), empty when none
};
StartArguments ParseStartArguments(int argc, char** argv);

// Moves the process into the working folder `args` and the environment
// (`quorvexDir`, the value of QUORVEX_DIR or null) name, creating it when it
// is missing, after making the files absolute against the current
// directory. Returns the folder. A folder named by --dir or QUORVEX_DIR that
// cannot be made or entered fills `error` (English, with the reason); the
// desktop's folder that cannot be made leaves the program in the current
// directory, as does no folder at all.
std::string EnterWorkFolder(StartArguments& args, const char* quorvexDir, std::string& error);

// --help (-h) or --version among the arguments: prints the answer and returns
// the exit code (0); otherwise -1 and nothing is printed.
int AnswerInfoOptions(int argc, char** argv);

// True when the desktop entry started the program.
bool StartedFromDesktop(const QStringList& arguments);

}  // namespace qv::ui
