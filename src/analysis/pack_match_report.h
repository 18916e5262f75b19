// Texts of a pack matching result (CP932): the headline, the table that the
// command-line tool prints and the matching window lists, the CSV file and
// the refusal messages.
#pragma once

#include <string>
#include <vector>

#include "analysis/pack_match.h"
#include "core/user_interface.h"

namespace qv {

struct MatchTableRow {
  std::vector<std::string> fields;  // one text per leading column
  std::vector<std::string> ids;     // the cells' ID texts, ascending
  int pack = -1;                    // index into MatchResult::packs, or -1
  bool leftOver = false;            // the row of the usable cells in no pack
  bool unusable = false;            // the row of the cells that cannot be matched
};

struct MatchTable {
  // Titles of the leading columns; the IDs follow in one more column
  // ("登録ID") or, in the CSV file, one column per cell ("セル1", ...).
  std::vector<std::string> titles;
  // Packs or groups in result order, then the left-over and the unusable row.
  std::vector<MatchTableRow> rows;
  std::vector<std::string> notes;  // lines shown under the table
};

// The IDs of a row joined by single spaces, as the table and the window show them.
std::string MatchIdsText(const std::vector<std::string>& ids);

// "直列 6 セルのパック 83 組（対象 500 セル）　基準: 放電容量[mAh]" and the like.
std::string MatchHeadline(const MatchResult& r);
// A spread in the criterion's decimals, or three decimals when normalised.
std::string MatchSpreadText(const MatchResult& r, double spread);

// Series packs: "パック", "パック容量[mAh]", "ばらつき[unit]"; series-parallel:
// "グループ", "容量計[mAh]", "内部抵抗差[mΩ]". The left-over row is "余り",
// the row of the unusable cells "除外" (with a note saying why); each is left
// out when it would be empty.
MatchTable MakeMatchTable(const MatchResult& r, const std::vector<MatchCell>& cells);

// The headline, the table with aligned columns (a double-byte character is
// two columns wide, as on a terminal) and its notes, one text per line.
std::vector<std::string> MatchTableLines(const MatchResult& r, const MatchTable& table);

// The CSV file: "Quorvexパックマッチング", the headline, an empty line, the
// titles with one "セルn" column per cell of the widest row, the rows, an
// empty line and the notes. Fields are not quoted; CR LF line ends.
std::string MatchCsvBytes(const MatchResult& r, const MatchTable& table);

// The message of a result whose status is not kOk (caption "パックマッチング",
// exclamation icon).
Message MatchRefusalMessage(const MatchResult& r);

// The caption of every message of the matching.
std::string MatchCaption();

}  // namespace qv
