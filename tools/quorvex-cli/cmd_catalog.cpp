// quorvex-cli catalog ...: the cell catalogue of the working folder (the
// file the CATALOG key of Dis.ini names, else quorvex-catalog.sqlite; or
// --catalog FILE): import data files, search cells, a cell's history,
// matching cells in stock, packs, retirement and export as a data file.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "analysis/pack_match.h"
#include "analysis/pack_match_report.h"
#include "catalog/catalog.h"
#include "catalog/catalog_window_model.h"
#include "catalog/cell_texts.h"
#include "catalog/dialect.h"
#include "catalog/filter.h"
#include "catalog_cli.h"
#include "commands.h"
#include "core/numtext.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "file_io.h"
#include "id_arg.h"

namespace qv::cli {

using catalog::Catalog;
using catalog::CellSummary;
using catalog::Place;

int Say(const std::string& cp932, int code) {
  std::cerr << Cp932ToUtf8(cp932) << "\n";
  return code;
}

std::unique_ptr<Catalog> OpenCatalog(const CatalogArgs& a, CAppState& app) {
  const catalog::CatalogTarget t = TargetOfArgs(a, app);
  std::string why;
  auto cat = catalog::OpenTarget(t, &why);
  if (!cat) {
    Say(why, kExitCatalog);
    return cat;
  }
  // A successful connection sends what waited; what still waits stays for
  // the next (catalog status tells).
  if (t.server) catalog::SendQueued(t, *cat);
  return cat;
}

std::string DumpJson(const nlohmann::ordered_json& j) {
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

namespace {

// The data files of the paths: files as given, folders searched (below
// too) for *.qd1.
std::vector<std::string> DataFilesOf(const std::vector<std::string>& paths) {
  std::vector<std::string> out;
  for (const std::string& p : paths) {
    std::error_code ec;
    if (!std::filesystem::is_directory(p, ec)) {
      out.push_back(p);
      continue;
    }
    const std::vector<std::string> found = catalog::DataFilesBelow(p);
    out.insert(out.end(), found.begin(), found.end());
  }
  return out;
}

int Import(const CatalogArgs& a) {
  if (a.paths.empty()) return Say(Sj("データファイルかフォルダを指定してください。"), kExitRefused);
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  const std::string station =
      a.station.empty() ? catalog::TargetOf(app.settings, a.catalog).station : a.station;
  catalog::ImportCounts counts;
  for (const std::string& path : DataFilesOf(a.paths)) {
    const int refusedBefore = counts.refused;
    std::error_code ec;
    const std::string full = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (!cat->ImportFile(ec ? path : full, station, app.avg3, counts))
      return Say(cat->LastMessage(), kExitCatalog);
    if (counts.refused > refusedBefore) Say(cat->LastMessage(), kExitRefused);
  }
  std::cout << Cp932ToUtf8(catalog::ImportCountsText(counts)) << "\n";
  return counts.refused > 0 ? kExitRefused : kExitOk;
}

nlohmann::ordered_json CellJson(const CellSummary& c) {
  const catalog::RecordSummary& r = c.newest;
  return {{"id", c.idText},
          {"state", c.place.Text()},
          {"tests", c.tests},
          {"date", r.dateTime},
          {"remark", r.remark},
          {"time", r.dischargeTime},
          {"capacity", r.capacity},
          {"energy", r.energy},
          {"avg1", r.avg1},
          {"avg2", r.avg2},
          {"avg3", r.avg3},
          {"ir", r.ir},
          {"pir", r.pir},
          {"cells", r.cells},
          {"current_a", r.currentA},
          {"current_b", r.currentB},
          {"current_c", r.currentC}};
}

int Search(const CatalogArgs& a) {
  if (a.json && a.csv) return Say(Sj("--json と --csv は一緒に使えません。"), kExitRefused);
  catalog::CellQuery q;
  int code = kExitOk;
  if (!MakeQuery(a, q, code)) return code;
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  auto cells = cat->Search(q);
  if (!cells) return Say(cat->LastMessage(), kExitCatalog);
  if (a.json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const CellSummary& c : *cells)
      list.push_back(CellJson(c));
    std::cout << DumpJson(list) << "\n";
  } else if (a.csv) {
    std::cout << catalog::CellsCsv(*cells);
  } else {
    std::string header;
    for (const std::string& t : catalog::CellColumnTitles())
      header += (header.empty() ? "" : "\t") + t;
    std::cout << Cp932ToUtf8(header) << "\n";
    for (const CellSummary& c : *cells) {
      std::string line;
      for (const std::string& t : catalog::CellRowTexts(c))
        line += (line.empty() ? "" : "\t") + t;
      std::cout << Cp932ToUtf8(line) << "\n";
    }
  }
  return kExitOk;
}

std::string ChangeText(double v) {
  return std::isnan(v) ? std::string("-") : FixedText(v, 1);
}

int History(const CatalogArgs& a) {
  if (a.ids.size() != 1) return Say(Sj("登録IDを一つ指定してください。"), kExitRefused);
  const std::optional<RegistrationId> id = IdArgument(a.ids[0]);
  if (!id) return kExitBadId;
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  const std::optional<CellSummary> cell = cat->Cell(id->Key());
  if (!cell) return Say(Sj("このセルはカタログにありません。"), kExitRefused);
  const auto rows = catalog::HistoryRows(cat->History(id->Key()));
  if (a.json) {
    nlohmann::ordered_json tests = nlohmann::ordered_json::array();
    for (const auto& r : rows)
      tests.push_back({{"date", r.test.dateTime},
                       {"capacity", r.test.capacity},
                       {"energy", r.test.energy},
                       {"avg2", r.test.avg2},
                       {"ir", r.test.ir},
                       {"capacity_change", std::isnan(r.capacityChange)
                                               ? nlohmann::ordered_json()
                                               : nlohmann::ordered_json(r.capacityChange)},
                       {"ir_change", std::isnan(r.irChange) ? nlohmann::ordered_json()
                                                            : nlohmann::ordered_json(r.irChange)}});
    std::cout << DumpJson({{"id", cell->idText}, {"state", cell->place.Text()}, {"tests", tests}})
              << "\n";
    return kExitOk;
  }
  std::cout << Cp932ToUtf8(Sj("計測日時\t放電容量[mAh]\t放電電力[mWh]\t平均電圧2[V]\t内部抵抗[mΩ]\t"
                              "容量の変化[%]\t内部抵抗の変化[%]"))
            << "\n";
  for (const auto& r : rows)
    std::cout << r.test.dateTime << "\t" << FixedText(r.test.capacity, 1) << "\t"
              << FixedText(r.test.energy, 1) << "\t" << FixedText(r.test.avg2, 3) << "\t"
              << FixedText(r.test.ir, 1) << "\t" << ChangeText(r.capacityChange) << "\t"
              << ChangeText(r.irChange) << "\n";
  return kExitOk;
}

// Adds the query options shared by search, match and export.
void QueryOptions(CLI::App* sub, CatalogArgs& a, bool withState) {
  sub->add_option("--where", a.where,
                  "filter, e.g. \"capacity >= 4100 and ir < 4.5\" (capacity, energy, avg1, avg2, "
                  "avg3, ir, pir, time, cells, current_a/b/c, date, remark; = != < <= > >= ~, "
                  "and, or, not, parentheses)");
  sub->add_option("--from", a.from, "first registration ID, P1-P2-P3 (default 1-1-1)");
  sub->add_option("--to", a.to, "last registration ID, P1-P2-P3 (default 999-999-999)");
  sub->add_option("--since", a.since, "newest test on or after this day, YYYY-MM-DD");
  if (withState) sub->add_option("--state", a.state, "stock, pack:NAME or retired");
}

const char kExitLines[] =
    "  0  done\n"
    "  1  a bad option or filter, a refused file, move or match\n"
    "  2  the catalogue cannot be opened, or failed\n"
    "  3  a registration ID not of the form P1-P2-P3 (1 to 999 each)\n";

// The sub-commands of catalog, each with the action it runs.
using Action = std::function<int(const CatalogArgs&)>;
std::vector<std::pair<CLI::App*, Action>> AddCommands(CLI::App* cat, CatalogArgs& a) {
  std::vector<std::pair<CLI::App*, Action>> subs;
  auto add = [&](const char* name, const char* what, Action act) {
    CLI::App* sub = cat->add_subcommand(name, what);
    ExitStatusHelp(sub, kExitLines);
    subs.emplace_back(sub, std::move(act));
    return sub;
  };
  CLI::App* s =
      add("import", "Import the registered records of data files (folders: every *.qd1)", Import);
  s->add_option("PATH", a.paths, "data files or folders")->required();
  s->add_option("--station", a.station,
                "station recorded with the records (default: CATALOG_STATION of Dis.ini, else the "
                "host name)");
  s = add("search", "Cells found by a filter, with their newest test", Search);
  QueryOptions(s, a, true);
  s->add_flag("--json", a.json, "print a JSON list, one object per cell");
  s->add_flag("--csv", a.csv, "print CSV (Shift-JIS, CR LF)");
  s = add("history", "Every test of a cell in date order, with the change from its first", History);
  s->add_option("ID", a.ids, "registration ID, P1-P2-P3")->required();
  s->add_flag("--json", a.json, "print one JSON object");
  s = add("match", "Match cells in stock into packs", CatalogMatch);
  s->add_option("--series", a.series, "cells in series (1 to 999)")->required();
  s->add_option("--parallel", a.parallel, "cells in parallel (default 1: series packs)");
  s->add_option("--by", a.by, "criteria with weights, e.g. capacity,ir:0.5 (as match)");
  s->add_option("--time-limit", a.timeLimit, "seconds for the series-parallel search (default 2)");
  s->add_option("--assign", a.assign,
                "move the matched cells into pack NAME (NAME-1, ... for several)");
  s->add_flag("--json", a.json, "print one JSON object");
  QueryOptions(s, a, true);
  s = add("assign", "Move cells in stock into a pack", CatalogAssign);
  s->add_option("NAME", a.pack, "pack name")->required();
  s->add_option("ID", a.ids, "registration IDs")->required();
  s = add("release", "Put the cells of a pack back in stock", CatalogRelease);
  s->add_option("NAME", a.pack, "pack name")->required();
  s = add("retire", "Retire cells", CatalogRetire);
  s->add_option("ID", a.ids, "registration IDs")->required();
  s = add("export", "Write the tests of the chosen cells as a data file, as imported",
          CatalogExport);
  QueryOptions(s, a, true);
  s->add_option("--pack", a.pack, "the cells of this pack");
  s->add_option("--out", a.out, "the data file to write")->required();
  s->add_flag("--newest", a.newest, "only each cell's newest test");
  add("init", "Create the catalogue or upgrade its schema (on a server: its change notices too)",
      CatalogInit);
  add("status", "The catalogue, the station, and the files waiting to be sent to the server",
      CatalogStatus);
  add("sync", "Send the files waiting for the server now", CatalogSync);
  // --catalog may also follow the sub-command's name.
  for (auto& [sub, act] : subs)
    sub->fallthrough();
  return subs;
}

Registrar catalogCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<CatalogArgs>();
  CLI::App* cat = app.add_subcommand("catalog", "The cell catalogue of the working folder");
  cat->require_subcommand(1);
  cat->add_option("--catalog", args->catalog,
                  "the catalogue file, or a PostgreSQL server: a URI or key/value connection "
                  "string without a password (default: CATALOG of Dis.ini, else "
                  "quorvex-catalog.sqlite)");
  auto subs = std::make_shared<std::vector<std::pair<CLI::App*, Action>>>(AddCommands(cat, *args));
  return [args, subs] {
    args->byGiven = !args->by.empty();
    for (auto& [sub, act] : *subs)
      if (sub->parsed()) return act(*args);
    return kExitRefused;
  };
});

}  // namespace

bool MakeQuery(const CatalogArgs& a, catalog::CellQuery& q, int& code) {
  const std::optional<RegistrationId> from = IdArgument(a.from);
  const std::optional<RegistrationId> to = from ? IdArgument(a.to) : std::nullopt;
  if (!from || !to) {
    code = kExitBadId;
    return false;
  }
  q.fromKey = from->Key();
  q.toKey = to->Key();
  q.where = a.where;
  code = kExitRefused;
  if (!a.where.empty()) {
    catalog::SqlFilter filter;
    catalog::FilterError error;
    if (!catalog::ParseFilter(a.where, catalog::SqliteDialect(), filter, error))
      return Say(catalog::FilterErrorText(a.where, error), false);
  }
  if (!a.since.empty()) {
    q.since = catalog::DayText(a.since);
    if (q.since.empty()) return Say(Sj("日付は 2026-01-31 の形で書いてください。"), false);
  }
  if (!a.state.empty()) {
    q.place = Place::FromText(a.state);
    if (!q.place) return Say(Sj("状態は stock、pack:パック名、retired のどれかです。"), false);
  }
  return true;
}

}  // namespace qv::cli
