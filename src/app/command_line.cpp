#include "app/command_line.h"

#include <unistd.h>

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
          "Usage: quorvex [--desktop] [FILE.qd1]\n"
          "Measure battery discharge curves with the ORVANTIS analyzer and keep,\n"
          "compare, export and print them. One instance runs at a time.\n"
          "\n"
          "The working folder holds the settings (Dis.ini), the automatic backup\n"
          "(tmpdata.bak), the preset files (Inpset.ini, Graset.ini) and the ports/\n"
          "folder, whose links COM<n> name the serial device of COM number n\n"
          "(see quorvex-cli ports).\n"
          "\n"
          "Options:\n"
          "  FILE.qd1    data file to open at start-up\n"
          "  --desktop   work in $XDG_DATA_HOME/quorvex (~/.local/share/quorvex),\n"
          "              created when missing, instead of the current directory;\n"
          "              the desktop entry starts the program this way\n"
          "  --help      show this help and exit\n"
          "  --version   show the version and exit\n"
          "\n"
          "Environment:\n"
          "  QUORVEX_TRACE=FILE  append every byte sent to and received from the\n"
          "                      analyzer, with its time and the phase of the run,\n"
          "                      to FILE (a wire trace to send in when a real\n"
          "                      instrument behaves unlike the simulator)\n");
      return 0;
    }
  }
  return -1;
}

bool StartedFromDesktop(const QStringList& arguments) {
  return arguments.size() > 1 && arguments.mid(1).contains(QLatin1String(kDesktopOption));
}

std::string EnterDesktopWorkFolder(std::optional<std::string>& file) {
  const std::string folder = DesktopWorkFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  if (folder.empty() || !MakeFolders(folder)) return {};
  if (file && !file->empty() && file->front() != '/') *file = CurrentDirectory() + *file;
  if (::chdir(folder.c_str()) != 0) return {};
  return folder;
}

}  // namespace qv::ui
