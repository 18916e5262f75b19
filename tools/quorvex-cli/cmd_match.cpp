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
#include "core/numtext.h"
#include "data/codec.h"
#include "data/data_file_store.h"
#include "file_io.h"
#include "id_arg.h"

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

// A count of one to three digits, or -1.
int Count(const std::string& text) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  return AtoI(text);
}

// A plain decimal real (digits with at most one point), or -1.
double Seconds(const std::string& text) {
  return IsPlainReal(text) ? AtoF(text) : -1.0;
}

// "capacity, energy, …": every criterion's name.
std::string CriterionNames() {
  std::string names;
  for (MatchCriterion c : AllMatchCriteria())
    names += (names.empty() ? "" : ", ") + std::string(MatchCriterionName(c));
  return names;
}

// The refusal text of a status.
std::string StatusText(MatchStatus status) {
  MatchResult r;
  r.status = status;
  return MatchRefusalMessage(r).text;
}

nlohmann::ordered_json Ids(const std::vector<MatchCell>& cells, const std::vector<size_t>& idx) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (size_t i : idx)
    out.push_back(cells[i].idText);
  return out;
}

nlohmann::ordered_json Json(const MatchResult& r, const std::vector<MatchCell>& cells) {
  nlohmann::ordered_json j;
  j["series"] = r.series;
  j["parallel"] = r.parallel;
  j["criteria"] = nlohmann::ordered_json::array();
  for (const WeightedCriterion& w : r.criteria)
    j["criteria"].push_back({{"name", MatchCriterionName(w.criterion)}, {"weight", w.weight}});
  j["optimal"] = r.optimal;
  j["packs"] = nlohmann::ordered_json::array();
  if (r.parallelPack) {
    j["range"] = r.parallelPack->range;
    nlohmann::ordered_json groups = nlohmann::ordered_json::array();
    for (const auto& g : r.parallelPack->groups)
      groups.push_back(Ids(cells, g));
    j["packs"].push_back({{"groups", groups}, {"group_sums", r.parallelPack->groupSums}});
  } else {
    for (const SeriesPack& p : r.packs)
      j["packs"].push_back({{"cells", Ids(cells, p.cells)}, {"spread", p.spread}});
  }
  j["left"] = Ids(cells, r.left);
  j["unusable"] = Ids(cells, r.unusable);
  return j;
}

int Match(const MatchArgs& a) {
  if (!a.extras.empty()) {
    std::cerr << "unknown option or argument: " << a.extras[0] << "\n";
    return kExitBadOption;
  }
  if (a.files.empty()) return Refuse(Sj("データファイルを指定してください。"));
  MatchRequest req;
  req.series = Count(a.series);
  req.parallel = Count(a.parallel);
  req.timeLimit = Seconds(a.timeLimit);
  if (req.series < 1 || req.parallel < 1) return Refuse(StatusText(MatchStatus::kBadCount));
  if (req.timeLimit <= 0.0 || req.timeLimit > kMatchMaxTime)
    return Refuse(StatusText(MatchStatus::kBadTime));
  if (a.byGiven) {
    std::string error;
    auto criteria = ParseMatchCriteria(a.by, &error);
    if (!criteria) return Refuse(error);
    // A series-parallel pack goes by capacity: asking for it is no fault.
    if (req.parallel > 1 &&
        !(criteria->size() == 1 && (*criteria)[0].criterion == MatchCriterion::kCapacity))
      return Refuse(Sj("並列数が2以上のときは、基準を指定できません（容量で組み合わせます）。"));
    if (req.parallel == 1) req.criteria = std::move(*criteria);
  }
  const std::optional<RegistrationId> from = IdArgument(a.from);
  if (!from) return kExitBadId;
  const std::optional<RegistrationId> to = IdArgument(a.to);
  if (!to) return kExitBadId;

  CAppState app;
  LoadAppSettings(app);
  std::vector<std::unique_ptr<LoadedFile>> files;
  std::vector<std::unique_ptr<CRecordListSource>> sources;
  std::vector<const IRecordSource*> read;
  for (const std::string& path : a.files) {
    files.push_back(std::make_unique<LoadedFile>());
    if (ReadDataFileAt(path, app, *files.back(), true) != kExitOk) return kExitBadFile;
    sources.push_back(std::make_unique<CRecordListSource>(files.back()->records));
    read.push_back(sources.back().get());
  }
  // Lists in memory cannot fail.
  std::vector<MatchCell> cells;
  CollectMatchCells(read, from->Key(), to->Key(), cells);
  const MatchResult result = MatchPacks(cells, req);
  if (result.status != MatchStatus::kOk) return Refuse(MatchRefusalMessage(result).text);
  if (a.json) {
    std::cout << Json(result, cells)
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
                  "criteria with weights, e.g. capacity,ir:0.5 (" + CriterionNames() +
                      "; default capacity; with --parallel only capacity)");
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
