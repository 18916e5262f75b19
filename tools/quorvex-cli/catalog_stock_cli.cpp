// catalog match, assign, release, retire and export.
#include <iostream>

#include "analysis/pack_match.h"
#include "analysis/pack_match_report.h"
#include "catalog/cell_texts.h"
#include "catalog_cli.h"
#include "commands.h"
#include "core/numtext.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "id_arg.h"
#include "match_output.h"

namespace qv::cli {

using catalog::Catalog;
using catalog::CellSummary;
using catalog::Place;

namespace {

// The keys of typed IDs; nothing after the refusal when one is malformed.
std::optional<std::vector<uint32_t>> Keys(const std::vector<std::string>& ids) {
  std::vector<uint32_t> keys;
  for (const std::string& text : ids) {
    const std::optional<RegistrationId> id = IdArgument(text);
    if (!id) return std::nullopt;
    keys.push_back(id->Key());
  }
  return keys;
}

// The cells of the matched packs, each group to its pack: NAME for one
// pack, NAME-1, NAME-2, ... for several.
std::vector<Catalog::CellGroupMove> PackMoves(const MatchResult& r,
                                              const std::vector<MatchCell>& cells,
                                              const std::string& name) {
  std::vector<std::vector<size_t>> packs;
  if (r.parallelPack) {
    packs.emplace_back();
    for (const auto& g : r.parallelPack->groups)
      packs.back().insert(packs.back().end(), g.begin(), g.end());
  } else {
    for (const SeriesPack& p : r.packs)
      packs.push_back(p.cells);
  }
  std::vector<Catalog::CellGroupMove> moves;
  for (size_t i = 0; i < packs.size(); ++i) {
    Catalog::CellGroupMove m;
    m.to = {Place::kPack, packs.size() == 1 ? name : name + "-" + std::to_string(i + 1)};
    for (size_t c : packs[i])
      m.idKeys.push_back(cells[c].idKey);
    moves.push_back(std::move(m));
  }
  return moves;
}

}  // namespace

int CatalogMatch(const CatalogArgs& a) {
  MatchRequest req;
  if (!MakeMatchRequest({a.series, a.parallel, a.by, a.byGiven, a.timeLimit}, req))
    return kExitRefused;
  CatalogArgs stock = a;
  if (stock.state.empty()) stock.state = "stock";
  catalog::CellQuery q;
  int code = kExitOk;
  if (!MakeQuery(stock, q, code)) return code;
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  auto found = cat->Search(q);
  if (!found) return Say(cat->LastMessage(), kExitCatalog);
  RecordList records;
  for (const CellSummary& c : *found)
    records.push_back(catalog::MatchRecordOf(c));
  const std::vector<MatchCell> cells = CollectMatchCells({&records}, 0, 999999999);
  const MatchResult result = MatchPacks(cells, req);
  if (result.status != MatchStatus::kOk) return Say(MatchRefusalMessage(result).text, kExitRefused);
  std::vector<std::string> assigned;
  if (!a.assign.empty()) {
    const auto moves = PackMoves(result, cells, a.assign);
    if (!cat->MoveCellGroups(moves)) return Say(cat->LastMessage(), kExitRefused);
    for (const auto& m : moves)
      assigned.push_back(m.to.pack);
  }
  if (a.json) {
    nlohmann::ordered_json j = MatchResultJson(result, cells);
    if (!a.assign.empty()) j["assigned"] = assigned;
    std::cout << DumpJson(j) << "\n";
    return kExitOk;
  }
  for (const std::string& line : MatchTableLines(result, MakeMatchTable(result, cells)))
    std::cout << Cp932ToUtf8(line) << "\n";
  for (const std::string& name : assigned)
    std::cout << Cp932ToUtf8(Sj("パック「") + Utf8ToCp932(name) + Sj("」に組みました。")) << "\n";
  return kExitOk;
}

int CatalogAssign(const CatalogArgs& a) {
  if (a.pack.empty() || a.ids.empty())
    return Say(Sj("パック名と登録IDを指定してください。"), kExitRefused);
  const auto keys = Keys(a.ids);
  if (!keys) return kExitBadId;
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  if (!cat->MoveCells(*keys, {Place::kPack, a.pack})) return Say(cat->LastMessage(), kExitRefused);
  return kExitOk;
}

int CatalogRelease(const CatalogArgs& a) {
  if (a.pack.empty()) return Say(Sj("パック名を指定してください。"), kExitRefused);
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  int moved = 0;
  if (!cat->ReleasePack(a.pack, &moved)) return Say(cat->LastMessage(), kExitRefused);
  std::cout << Cp932ToUtf8(IntText(moved) + Sj(" 個のセルを在庫に戻しました。")) << "\n";
  return kExitOk;
}

int CatalogRetire(const CatalogArgs& a) {
  if (a.ids.empty()) return Say(Sj("登録IDを指定してください。"), kExitRefused);
  const auto keys = Keys(a.ids);
  if (!keys) return kExitBadId;
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  if (!cat->MoveCells(*keys, {Place::kRetired, {}})) return Say(cat->LastMessage(), kExitRefused);
  return kExitOk;
}

int CatalogExport(const CatalogArgs& a) {
  if (a.out.empty()) return Say(Sj("出力するファイルを --out で指定してください。"), kExitRefused);
  if (!a.pack.empty() && !a.where.empty())
    return Say(Sj("--where と --pack は一緒に使えません。"), kExitRefused);
  catalog::CellQuery q;
  int code = kExitOk;
  if (!MakeQuery(a, q, code)) return code;
  if (!a.pack.empty()) q.place = Place{Place::kPack, a.pack};
  CAppState app;
  auto cat = OpenCatalog(a, app);
  if (!cat) return kExitCatalog;
  auto cells = cat->Search(q);
  if (!cells) return Say(cat->LastMessage(), kExitCatalog);
  if (cells->empty()) return Say(Sj("条件に合うセルがありません。"), kExitRefused);
  std::vector<int64_t> rows;
  for (const CellSummary& c : *cells) {
    if (a.newest) {
      rows.push_back(c.newest.rowId);
      continue;
    }
    for (const catalog::RecordSummary& r : cat->History(c.idKey))
      rows.push_back(r.rowId);
  }
  std::vector<catalog::RecordBytes> bytes;
  if (!cat->LoadBytes(rows, bytes)) return Say(cat->LastMessage(), kExitCatalog);
  const SafeWriteResult w = WriteFileAtomically(a.out, catalog::DataFileOfRecordBytes(bytes));
  if (!w.ok) {
    std::cerr << Cp932ToUtf8(Sj("データファイルが保存できませんでした。")) << " " << a.out << ": "
              << std::strerror(w.error) << "\n";
    return kExitRefused;
  }
  std::cout << Cp932ToUtf8(IntText(static_cast<long long>(rows.size())) +
                           Sj(" 件の記録を書き出しました。"))
            << "\n";
  return kExitOk;
}

}  // namespace qv::cli
