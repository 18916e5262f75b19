// quorvex-cli settings get|set|init: single keys of "Dis.ini" (section
// QUORVEX) in the working directory, through the program's own settings store.
// Values are Shift-JIS in the file and UTF-8 on the command line.
//
//   get KEY         prints the value; exit 1 and nothing on stdout when the
//                   file, section or key is missing (keys ignore case)
//   set KEY VALUE   writes the key, creating the file and section; exit 1 when
//                   the file cannot be written
//   init            writes the program's first values when there is no
//                   settings file yet (an existing one is left alone); exit 1
//                   when a new file cannot be written
#include <sys/stat.h>

#include <iostream>

#include "commands.h"
#include "core/app_state.h"
#include "core/settings_store.h"
#include "data/codec.h"

namespace qv::cli {
namespace {

struct SettingsArgs {
  std::string key, value;
};

CSettingsStore WorkingStore() {
  return CSettingsStore(CurrentDirectory(), "Dis.ini");
}

int Get(const SettingsArgs& a) {
  std::optional<std::string> value = WorkingStore().Find(a.key);
  if (!value) return 1;
  std::cout << Cp932ToUtf8(*value) << "\n";
  return 0;
}

int Set(const SettingsArgs& a) {
  CSettingsStore store = WorkingStore();
  if (store.Set(a.key, Utf8ToCp932(a.value))) return 0;
  std::cerr << "quorvex-cli: cannot write " << a.key << " to " << store.Path() << "\n";
  return 1;
}

int Init() {
  CSettingsStore store = WorkingStore();
  struct stat st {};
  if (::stat(store.Path().c_str(), &st) == 0 || SeedNewSettings(store)) return 0;
  std::cerr << "quorvex-cli: cannot write " << store.Path() << "\n";
  return 1;
}

Registrar settingsCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<SettingsArgs>();
  auto* sub = app.add_subcommand("settings", "Read or write one key of Dis.ini in this folder");
  sub->require_subcommand(1);
  sub->footer("Exit status: that of get, set or init.");
  auto* get = sub->add_subcommand("get", "Print a key's value");
  get->add_option("KEY", args->key, "settings key, any case")->required();
  ExitStatusHelp(get,
                 "  0  printed\n"
                 "  1  the file, the section or the key is missing");
  auto* set = sub->add_subcommand("set", "Write a key, creating the file when needed");
  set->add_option("KEY", args->key, "settings key")->required();
  set->add_option("VALUE", args->value, "value (UTF-8; stored as Shift-JIS)")->required();
  ExitStatusHelp(set,
                 "  0  written\n"
                 "  1  the key is invalid or the file cannot be written");
  auto* init = sub->add_subcommand("init", "Write the first values into a new Dis.ini");
  ExitStatusHelp(init,
                 "  0  written, or Dis.ini exists already (it is left as it is)\n"
                 "  1  the file cannot be written");
  return [args, get, set, init] {
    if (get->parsed()) return Get(*args);
    if (set->parsed()) return Set(*args);
    if (init->parsed()) return Init();
    return 1;
  };
});

}  // namespace
}  // namespace qv::cli
