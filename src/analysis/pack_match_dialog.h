// The pack matching window's model: its fields, the checks of "計算", the
// list it shows, the overlay of a selected pack on the graph and the CSV
// file. The window lays out the fields and shows the table; every check,
// message, result and file is decided here.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "analysis/pack_match.h"
#include "analysis/pack_match_report.h"
#include "core/user_interface.h"

namespace qv {

class CBrenlowDoc;

struct PackMatchDialogTexts {
  std::string caption, description, seriesLabel, parallelLabel, parallelNote, criteriaGroup,
      weightLabel, idLabel, from, to, compute, save, close, overlayNote, idColumn;
};
PackMatchDialogTexts GetPackMatchDialogTexts();

// A pack of at most this many cells can be overlaid (display slots 2 to 7).
inline constexpr size_t kMatchOverlayCells = 6;

class CPackMatchDlg {
 public:
  // Opening: 6 cells in series, 1 in parallel, capacity chosen, every weight
  // "1", the ID range 1-1-1 to 999-999-999, no result.
  void Open();

  // "計算": reads the ID fields as the CSV export does (each 1 to 999, else
  // its message, caption "登録ID指定"); for series packs at least one criterion
  // must be chosen and each chosen weight lie above 0 and up to 1000; then
  // matches the cells of the document's registration list in the range.
  // True with a new result; false after a message, with no result.
  bool Compute(IUserInterface& ui, const CBrenlowDoc& doc);
  // The same over the records of any store; a store that cannot be read is
  // told with its text (caption as the matching's other messages).
  bool Compute(IUserInterface& ui, const IRecordSource& records);

  bool HasResult() const { return result_.has_value(); }
  // The result's table; without a result, the series titles and no rows.
  const MatchResult& Result() const { return *result_; }
  const MatchTable& Table() const { return table_; }
  const std::vector<MatchCell>& Cells() const { return cells_; }

  // Whether a row of the table is a series pack of at most six cells.
  bool CanOverlay(size_t row) const;
  // Selecting a row that CanOverlay: every overlay is taken off the graph,
  // the pack's cells take slots 2 onwards in ID order and the result panel,
  // graph and data view are refreshed. A cell is the first registered
  // record of its identity (ID and date-time); cells no longer registered are
  // skipped. True when the display list changed.
  bool OverlayRow(CBrenlowDoc& doc, size_t row) const;

  // "CSV保存": asks for a file ("pack_<S>S<P>P.csv" proposed in `folder`,
  // replacing only after confirmation), writes it crash-safely and tells the
  // outcome. True when written; false when cancelled, failed or without a
  // result.
  bool SaveCsv(IUserInterface& ui, const std::string& folder) const;

  int series = 6;
  int parallel = 1;
  std::array<bool, kMatchCriterionCount> use{};
  std::array<std::string, kMatchCriterionCount> weights;  // CP932 as typed
  std::array<std::string, 3> from, to;
  double timeLimit = kMatchDefaultTime;

 private:
  void Clear();

  std::vector<MatchCell> cells_;
  std::optional<MatchResult> result_;
  MatchTable table_;
};

}  // namespace qv
