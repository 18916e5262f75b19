// The catalogue's cells as the user sees them: the list's columns (the data
// view's, then the place and the number of tests), a cell's history with the
// change from its first test, the CSV of a list, and a cell's newest test as
// a record for matching.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "data/measure_data.h"

namespace qv::catalog {

inline constexpr int kCellColumns = 13;

// Column titles (CP932): 登録ID, 計測日時, 備考, 放電時間[秒], 放電容量[mAh],
// 放電電力[mWh], 平均電圧1[V], 平均電圧2[V], 平均電圧3[V], 内部抵抗[mΩ], ＰＩＲ,
// 状態, 試験数.
const std::array<std::string, kCellColumns>& CellColumnTitles();
// A cell's row (CP932) in the data view's formats: seconds, capacity and
// energy truncated to whole numbers, voltages with 3 decimals, resistance
// and PIR with 1.
std::array<std::string, kCellColumns> CellRowTexts(const CellSummary& cell);

// "在庫", "パック「NAME」", "廃棄" (CP932).
std::string PlaceDisplayText(const Place& place);

// One test of a cell's history with its change from the first test, in %:
// (value / first - 1) x 100; NaN when the first value is 0.
struct HistoryRow {
  RecordSummary test;
  double capacityChange = 0.0;
  double irChange = 0.0;
};
std::vector<HistoryRow> HistoryRows(const std::vector<RecordSummary>& tests);

// The list as a CSV file in the program's CSV style: CP932, CR LF line ends,
// a title line, then a line per cell; a field holding a comma, a double
// quote, CR or LF is quoted as RFC 4180 does.
std::string CellsCsv(const std::vector<CellSummary>& cells);

// The cell's newest test as a record for the matching engine: its ID, its
// values and one point, its last, so every criterion reads as it would from
// the whole record.
std::unique_ptr<CMeasureData> MatchRecordOf(const CellSummary& cell);

}  // namespace qv::catalog
