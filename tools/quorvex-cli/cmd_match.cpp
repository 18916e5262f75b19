// quorvex-cli match FILE... --series S [--parallel P] [--by LIST]
// [--from ID --to ID] [--time-limit SEC] [--json]: the cells of the
// registered records of data files matched into series packs, or into one
// series-parallel pack, as the matching window does it. A table for people,
// or one JSON object (with whether the answer is proven best, the range of a
// series-parallel pack's group sums and the cells that cannot be matched).
// Exit 1 for a bad option or too few cells, 2 for a data file that cannot be
// read (named in the message), 3 for a registration ID not of the form
// P1-P2-P3.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "analysis/pack_match.h"
#include "analysis/pack_match_report.h"
#include "commands.h"
#include "data/codec.h"
#include "file_io.h"
#include "id_arg.h"
#include "match_output.h"
#include "output/csv_export.h"

namespace qv::cli {
namespace {

inline constexpr int kExitBadOption = 1;
inline constexpr int kExitBadFile = 2;

struct MatchArgs {
  std::vector<std::string> files;
  std::string series;
  std::string parallel = "1";
  std::string by;
  bool byGiven = false;
  std::string from = "1-1-1";
  std::string to = "999-999-999";
  std::string timeLimit = "2";
  bool json = false;
  std::vector<std::string> extras;
};

int Refuse(const std::string& cp932) {
  std::cerr << Cp932ToUtf8(cp932) << "\n";
  return kExitBadOption;
}

int Match(const MatchArgs& a) {
  if (!a.extras.empty()) {
    std::cerr << "unknown option or argument: " << a.extras[0] << "\n";
    return kExitBadOption;
  }
  if (a.files.empty()) return Refuse(Sj("データファイルを指定してください。"));
  MatchRequest req;
  if (!MakeMatchRequest({a.series, a.parallel, a.by, a.byGiven, a.timeLimit}, req))
    return kExitBadOption;
  const std::optional<RegistrationId> from = IdArgument(a.from);
  if (!from) return kExitBadId;
  const std::optional<RegistrationId> to = IdArgument(a.to);
  if (!to) return kExitBadId;

  CAppState app;
  LoadAppSettings(app);
  std::vector<std::unique_ptr<LoadedFile>> files;
  std::vector<const RecordList*> lists;
  for (const std::string& path : a.files) {
    files.push_back(std::make_unique<LoadedFile>());
    if (ReadDataFileAt(path, app, *files.back(), true) != kExitOk) return kExitBadFile;
    lists.push_back(&files.back()->records);
  }
  const std::vector<MatchCell> cells = CollectMatchCells(lists, from->Key(), to->Key());
  const MatchResult result = MatchPacks(cells, req);
  if (result.status != MatchStatus::kOk) return Refuse(MatchRefusalMessage(result).text);
  if (a.json) {
    std::cout << MatchResultJson(result, cells)
                     .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << "\n";
  } else {
    for (const std::string& line : MatchTableLines(result, MakeMatchTable(result, cells)))
      std::cout << Cp932ToUtf8(line) << "\n";
  }
  return kExitOk;
}

Registrar matchCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<MatchArgs>();
  auto* sub = app.add_subcommand(
      "match",
      "Match the cells of registered records into series packs or one series-parallel pack");
  sub->allow_extras();
  sub->add_option("FILE", args->files, "data files to read (the newest record of each ID counts)");
  sub->add_option("--series", args->series, "cells in series (1 to 999)");
  sub->add_option("--parallel", args->parallel, "cells in parallel (default 1: series packs)");
  sub->add_option("--by", args->by,
                  "criteria with weights, e.g. capacity,ir:0.5 (capacity, energy, avg1, avg2, "
                  "avg3, ir, pir, time; default capacity; with --parallel only capacity)");
  sub->add_option("--from", args->from, "first registration ID, P1-P2-P3 (default 1-1-1)");
  sub->add_option("--to", args->to, "last registration ID, P1-P2-P3 (default 999-999-999)");
  sub->add_option("--time-limit", args->timeLimit,
                  "seconds for the series-parallel search above 12 cells (default 2)");
  sub->add_flag("--json", args->json, "print one JSON object");
  ExitStatusHelp(sub,
                 "  0  the packs were printed\n"
                 "  1  a bad option, an unknown criterion or too few cells\n"
                 "  2  a data file that cannot be read\n"
                 "  3  a registration ID not of the form P1-P2-P3 (1 to 999 each)\n");
  // An option given without its value is a bad option of this command (exit
  // 1 with its message), not a parse error of the tool.
  for (const char* name : {"--series", "--parallel", "--by", "--from", "--to", "--time-limit"})
    sub->get_option(name)->expected(0, 1);
  return [args, sub] {
    args->extras = sub->remaining();
    args->byGiven = sub->count("--by") > 0;
    return Match(*args);
  };
});

}  // namespace
}  // namespace qv::cli
