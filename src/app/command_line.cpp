#include "app/command_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/settings_store.h"
#include "core/work_folder.h"
#include "data/file_info.h"

namespace qv::ui {

int AnswerInfoOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quorvex %s\n", ProgramVersionText().c_str());
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf(
          "Usage: quorvex [--desktop] [--dir FOLDER] [FILE.qd1...]\n"
          "       quorvex --print FILE.qd1 --layout labels|graph|table --out OUT.pdf ...\n"
          "Measure battery discharge curves with the ORVANTIS analyzer and keep,\n"
          "compare, export and print them. One window works in a folder at a time:\n"
          "a later start in the same folder hands its files to that window, which\n"
          "comes to the front and opens them, and ends.\n"
          "\n"
          "The working folder holds the settings (Dis.ini), the automatic backup\n"
          "(tmpdata.bak), the preset files (Inpset.ini, Graset.ini), the journal\n"
          "of a run (runjournal.qvj) and the ports/ folder, whose links COM<n>\n"
          "name the serial device of COM number n (see quorvex-cli ports).\n"
          "\n"
          "Options:\n"
          "  FILE.qd1      data files to open, one after the other\n"
          "  --dir FOLDER  work in FOLDER (created when missing): a second station,\n"
          "                with its own settings, port and backup, beside the first\n"
          "  --desktop     work in $XDG_DATA_HOME/quorvex (~/.local/share/quorvex),\n"
          "                created when missing, instead of the current directory;\n"
          "                the desktop entry starts the program this way\n"
          "  --help        show this help and exit\n"
          "  --version     show the version and exit\n"
          "  --print ...   print labels, graph sheets or a table into a PDF file\n"
          "                without a window (quorvex --print --help)\n"
          "\n"
          "Environment:\n"
          "  QUORVEX_DIR=FOLDER  the working folder when --dir is not given\n"
          "  QUORVEX_TRACE=FILE  append every byte sent to and received from the\n"
          "                      analyzer, with its time and the phase of the run,\n"
          "                      to FILE (a wire trace to send in when a real\n"
          "                      instrument behaves unlike the simulator)\n"
          "\n"
          "Exit status: 0 when the window closed or the files were handed to the\n"
          "window of the folder; 1 when that window did not take them; 2 for a\n"
          "bad option or a working folder that cannot be used.\n");
      return 0;
    }
  }
  return -1;
}

bool StartedFromDesktop(const QStringList& arguments) {
  return arguments.size() > 1 && arguments.mid(1).contains(QLatin1String(kDesktopOption));
}

namespace {

// Qt's command-line options that take a value (QGuiApplication, xcb).
bool QtOptionWithValue(const std::string& arg) {
  static const char* const kOptions[] = {
      "-platform",     "-platformpluginpath", "-platformtheme", "-plugin",     "-qwindowgeometry",
      "-qwindowtitle", "-qwindowicon",        "-style",         "-stylesheet", "-session",
      "-display",      "-geometry",           "-title",         "-name",       "-visual",
      "-reverse"};
  for (const char* o : kOptions) {
    if (arg == o) return std::strcmp(o, "-reverse") != 0;
  }
  return false;
}

}  // namespace

StartArguments ParseStartArguments(int argc, char** argv) {
  StartArguments args;
  const std::string dirEq = std::string(kDirOption) + "=";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == kDesktopOption) {
      args.desktop = true;
    } else if (a == kDirOption) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        args.error = "--dir needs a folder";
        return args;
      }
      args.dir = argv[++i];
    } else if (a.rfind(dirEq, 0) == 0) {
      args.dir = a.substr(dirEq.size());
      if (args.dir.empty()) args.error = "--dir needs a folder";
    } else if (!a.empty() && a[0] == '-') {
      if (QtOptionWithValue(a) && i + 1 < argc) ++i;
    } else if (!a.empty()) {
      args.files.push_back(a);
    }
  }
  return args;
}

std::string EnterWorkFolder(StartArguments& args, const char* quorvexDir, std::string& error) {
  const std::string here = CurrentDirectory();
  std::string folder = args.dir;
  if (folder.empty() && quorvexDir && *quorvexDir) folder = quorvexDir;
  const bool named = !folder.empty();
  if (!named && args.desktop)
    folder = DesktopWorkFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  if (!folder.empty() && folder.front() != '/') folder = here + folder;
  for (std::string& f : args.files) {
    if (f.front() != '/') f = here + f;
  }
  if (folder.empty()) return here;
  if (!MakeFolders(folder) || ::chdir(folder.c_str()) != 0) {
    if (named) error = "cannot work in " + folder + ": " + std::strerror(errno);
    return here;
  }
  return CurrentDirectory();
}

}  // namespace qv::ui
