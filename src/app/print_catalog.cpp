#include "app/print_catalog.h"

#include "analysis/pack_match.h"
#include "catalog/catalog.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "data/text_format.h"

namespace qv::ui {

int CatalogRecords(const PrintJobRequest& request, const CAppState& app, RecordList& out,
                   IUserInterface& ui) {
  std::string message;
  const std::unique_ptr<catalog::Catalog> cat =
      catalog::Catalog::Open(catalog::CatalogPath(app.settings), &message);
  if (!cat) {
    ui.Tell(message, PrintJobCaption(), MsgIcon::kError);
    return kPrintJobCatalog;
  }
  std::optional<std::vector<catalog::CellSummary>> cells;
  if (request.pack.empty()) {
    catalog::CellQuery query;
    query.where = request.where;
    cells = cat->Search(query);
  } else {
    cells = cat->CellsOfPack(request.pack);
  }
  if (!cells) {
    ui.Tell(cat->LastMessage(), PrintJobCaption(), MsgIcon::kWarning);
    return kPrintJobCatalog;
  }
  for (const catalog::CellSummary& cell : *cells) {
    auto record = std::make_unique<CMeasureData>();
    if (!cat->LoadRecord(cell.newest.rowId, app.avg3, *record)) {
      ui.Tell(cat->LastMessage(), PrintJobCaption(), MsgIcon::kError);
      return kPrintJobCatalog;
    }
    out.push_back(std::move(record));
  }
  if (out.empty()) {
    ui.Tell(request.pack.empty()
                ? PrintNothingToPrintText()
                : Sj("パック「") + Utf8ToCp932(request.pack) + Sj("」にはセルがありません。"),
            PrintJobCaption(), MsgIcon::kWarning);
    return kPrintJobEmpty;
  }
  return kPrintJobOk;
}

std::optional<std::string> PackHeaderText(const std::string& name, const RecordList& cells,
                                          int parallel, IUserInterface& ui) {
  const int count = static_cast<int>(cells.size());
  const std::vector<MatchCell> matchCells = CollectMatchCells({&cells}, 0, 999999999);
  MatchResult result;
  if (parallel >= 1 && count % parallel == 0 && int(matchCells.size()) == count) {
    MatchRequest request;
    request.series = count / parallel;
    request.parallel = parallel;
    result = MatchPacks(matchCells, request);
  } else {
    result.status = MatchStatus::kTooFewCells;
  }
  double capacity = 0, spread = 0;
  if (result.status == MatchStatus::kOk && parallel == 1 && result.packs.size() == 1) {
    capacity = result.packs[0].capacity;
    spread = result.packs[0].spread;
  } else if (result.status == MatchStatus::kOk && parallel > 1 && result.parallelPack) {
    capacity = result.parallelPack->capacity;
    spread = result.parallelPack->range;
  } else {
    ui.Tell(Format(Sj("パックのセル %d 個は、%d 並列のパックになりません。\n（容量のない"
                      "セルや同じIDのセルがないか、並列数を確かめてください。）"),
                   count, parallel),
            PrintJobCaption(), MsgIcon::kWarning);
    return std::nullopt;
  }
  return Sj("パック ") + Utf8ToCp932(name) + Sj("　") +
         Format("%dS%dP", count / parallel, parallel) + Sj("　容量 ") +
         IntText(TruncInt(capacity)) + Sj(" mAh　ばらつき ") +
         FixedText(spread, MatchCriterionDecimals(MatchCriterion::kCapacity)) + Sj(" mAh");
}

}  // namespace qv::ui
