// Reading the catalogue: cells found by a query, a cell's history, the cells
// of a pack, a record's points and bytes.
#include <algorithm>
#include <map>

#include "catalog/catalog.h"
#include "catalog/dialect.h"
#include "catalog/filter.h"
#include "data/archive.h"
#include "data/codec.h"

namespace qv::catalog {
namespace {

// The columns ReadRecord reads, of records `r` and cells `c`; then the
// record's source: its columns of sources `s` (kSourceColumns) or only its
// number (r.source_id, FillSources).
constexpr char kSummaryColumns[] =
    "r.id, r.cell_key, c.id_text, r.date_time, r.current_a, r.current_b, r.current_c, "
    "r.cell_count, r.end_voltage, r.v1_point, r.discharge_time, r.capacity, r.energy, r.avg1, "
    "r.avg2, r.avg3, r.avg3_start, r.avg3_end, r.ir, r.pir, r.last_current, r.last_voltage, "
    "r.remark, r.point_count, ";
constexpr char kSourceColumns[] = "s.path, s.station, s.imported_at";

// A record's summary up to its source; `c` is left at the column after it.
RecordSummary ReadRecord(const Statement& st, int& c) {
  RecordSummary r;
  r.rowId = st.Int(c++);
  r.idKey = static_cast<uint32_t>(st.Int(c++));
  r.idText = st.Text(c++);
  r.dateTime = st.Text(c++);
  r.currentA = st.Real(c++);
  r.currentB = st.Real(c++);
  r.currentC = st.Real(c++);
  r.cells = static_cast<int32_t>(st.Int(c++));
  r.endVoltage = st.Real(c++);
  r.v1Point = static_cast<int32_t>(st.Int(c++));
  r.dischargeTime = static_cast<int32_t>(st.Int(c++));
  r.capacity = st.Real(c++);
  r.energy = st.Real(c++);
  r.avg1 = st.Real(c++);
  r.avg2 = st.Real(c++);
  r.avg3 = st.Real(c++);
  r.avg3Range.start = static_cast<int32_t>(st.Int(c++));
  r.avg3Range.end = static_cast<int32_t>(st.Int(c++));
  r.ir = st.Real(c++);
  r.pir = st.Real(c++);
  r.lastCurrent = st.Real(c++);
  r.lastVoltage = st.Real(c++);
  r.remark = st.Text(c++);
  r.pointCount = st.Int(c++);
  return r;
}

void ReadSource(const Statement& st, int c, RecordSummary& r) {
  r.path = st.Text(c++);
  r.station = st.Text(c++);
  r.importedAt = st.Text(c++);
}

// Cells with their newest test and its source's number: "SELECT ... FROM
// ... WHERE <conditions>", in no particular order. A search of many cells
// reads far fewer bytes without the source's texts on every row, and sorts
// them faster than the server sorts its wide rows.
std::string CellSelect(const std::string& conditions) {
  return std::string("SELECT c.state, c.pack, c.tests, ") + kSummaryColumns +
         "r.source_id FROM cells c JOIN records r ON r.id = c.newest WHERE " + conditions;
}

CellSummary ReadCell(const Statement& st, int64_t& sourceId) {
  CellSummary c;
  const std::string_view state = st.Text(0);
  if (state == "pack")
    c.place = {Place::kPack, std::string(st.Text(1))};
  else if (state == "retired")
    c.place = {Place::kRetired, {}};
  c.tests = st.Int(2);
  int col = 3;
  c.newest = ReadRecord(st, col);
  sourceId = st.Int(col);
  c.idKey = c.newest.idKey;
  c.idText = c.newest.idText;
  return c;
}

// The source texts of the cells' newest tests, `sourceIds` being theirs in
// the same order: each source read once. False on a database failure.
bool FillSources(Database& db, std::vector<CellSummary>& cells,
                 const std::vector<int64_t>& sourceIds) {
  std::map<int64_t, RecordSummary> sources;
  for (int64_t id : sourceIds)
    sources.emplace(id, RecordSummary{});
  constexpr size_t kPerQuery = 200;
  std::vector<int64_t> ids;
  for (auto& [id, unused] : sources)
    ids.push_back(id);
  for (size_t at = 0; at < ids.size(); at += kPerQuery) {
    const size_t n = std::min(kPerQuery, ids.size() - at);
    std::string sql = "SELECT id, path, station, imported_at FROM sources s WHERE id IN (?";
    for (size_t i = 1; i < n; ++i)
      sql += ", ?";
    auto st = db.Prepare(sql + ")");
    if (!st) return false;
    for (size_t i = 0; i < n; ++i)
      st->BindInt(static_cast<int>(i) + 1, ids[at + i]);
    DbStatus s;
    while ((s = st->Step()) == DbStatus::kRow)
      ReadSource(*st, 1, sources[st->Int(0)]);
    if (s != DbStatus::kDone) return false;
  }
  for (size_t i = 0; i < cells.size(); ++i) {
    const RecordSummary& from = sources[sourceIds[i]];
    RecordSummary& to = cells[i].newest;
    to.path = from.path;
    to.station = from.station;
    to.importedAt = from.importedAt;
  }
  return true;
}

// The conditions on a cell's place, with their parameters.
void PlaceCondition(const Place& place, std::string& sql, std::vector<SqlValue>& params) {
  switch (place.kind) {
    case Place::kStock:
      sql += " AND c.state = 'stock'";
      break;
    case Place::kRetired:
      sql += " AND c.state = 'retired'";
      break;
    case Place::kPack:
      sql += " AND c.state = 'pack' AND c.pack = ?";
      params.push_back(place.pack);
      break;
  }
}

}  // namespace

std::optional<std::vector<CellSummary>> Catalog::Search(const CellQuery& q) {
  message_.clear();
  std::string where = "c.id_key BETWEEN ? AND ?";
  // The key range binds as integers: a real would make the server compare
  // every key as a real, past its index and its statistics.
  std::vector<SqlValue> params;
  if (!q.since.empty()) {
    where += " AND substr(r.date_time, 1, 10) >= ?";
    params.push_back(q.since);
  }
  if (q.place) PlaceCondition(*q.place, where, params);
  if (!q.where.empty()) {
    SqlFilter filter;
    FilterError error;
    if (!ParseFilter(q.where, db_->dialect(), filter, error)) {
      Fail(FilterErrorText(q.where, error));
      return std::nullopt;
    }
    where += " AND " + filter.sql;
    params.insert(params.end(), filter.params.begin(), filter.params.end());
  }
  auto st = db_->Prepare(CellSelect(where));
  if (!st) {
    DbFail();
    return std::nullopt;
  }
  st->BindInt(1, q.fromKey);
  st->BindInt(2, q.toKey);
  BindParams(*st, params, 3);
  std::vector<CellSummary> out;
  std::vector<int64_t> sourceIds;
  DbStatus s;
  while ((s = st->Step()) == DbStatus::kRow)
    out.push_back(ReadCell(*st, sourceIds.emplace_back()));
  if (s != DbStatus::kDone || !FillSources(*db_, out, sourceIds)) {
    DbFail();
    return std::nullopt;
  }
  // By ID, which is each cell's own: the same order as the server's sort.
  auto byKey = [](const CellSummary& a, const CellSummary& b) { return a.idKey < b.idKey; };
  if (!std::is_sorted(out.begin(), out.end(), byKey)) std::sort(out.begin(), out.end(), byKey);
  return out;
}

std::optional<CellSummary> Catalog::Cell(uint32_t idKey) {
  CellQuery q;
  q.fromKey = q.toKey = idKey;
  auto found = Search(q);
  if (!found || found->empty()) return std::nullopt;
  return found->front();
}

std::vector<CellSummary> Catalog::CellsOfPack(const std::string& pack) {
  CellQuery q;
  q.place = Place{Place::kPack, pack};
  auto found = Search(q);
  return found ? std::move(*found) : std::vector<CellSummary>{};
}

std::vector<RecordSummary> Catalog::History(uint32_t idKey) {
  std::vector<RecordSummary> out;
  auto st = db_->Prepare(std::string("SELECT ") + kSummaryColumns + kSourceColumns +
                         " FROM records r JOIN cells c ON c.id_key = r.cell_key"
                         " JOIN sources s ON s.id = r.source_id"
                         " WHERE r.cell_key = ? ORDER BY r.date_time, r.id");
  if (!st) {
    DbFail();
    return out;
  }
  st->BindInt(1, idKey);
  DbStatus s;
  while ((s = st->Step()) == DbStatus::kRow) {
    int col = 0;
    out.push_back(ReadRecord(*st, col));
    ReadSource(*st, col, out.back());
  }
  if (s != DbStatus::kDone) DbFail();
  return out;
}

std::optional<int64_t> Catalog::FindRecord(uint32_t idKey, const std::string& dateTime) {
  auto st = db_->Prepare("SELECT id FROM records WHERE cell_key = ? AND date_time = ? ORDER BY id");
  if (!st) return std::nullopt;
  st->BindInt(1, idKey);
  st->BindText(2, dateTime);
  if (st->Step() != DbStatus::kRow) return std::nullopt;
  return st->Int(0);
}

bool Catalog::LoadBytes(const std::vector<int64_t>& rowIds, std::vector<RecordBytes>& out) {
  auto st = db_->Prepare("SELECT head, points FROM record_bytes WHERE record_id = ?");
  if (!st) return DbFail();
  for (int64_t id : rowIds) {
    st->Reset();
    st->BindInt(1, id);
    const DbStatus s = st->Step();
    if (s == DbStatus::kDone) return Fail(Sj("カタログに記録がありません。"));
    if (s != DbStatus::kRow) return DbFail();
    out.push_back({std::string(st->Blob(0)), std::string(st->Blob(1))});
  }
  return true;
}

bool Catalog::LoadRecord(int64_t rowId, const Avg3Range& range, CMeasureData& out) {
  std::vector<RecordBytes> bytes;
  if (!LoadBytes({rowId}, bytes)) return false;
  const std::string whole = bytes[0].head + bytes[0].points;
  ArchiveReader ar(whole.data(), whole.size());
  out.Reset();
  if (!out.Read(ar, range) || ar.Remaining() != 0)
    return Fail(Sj("カタログの記録が壊れています。"));
  return true;
}

}  // namespace qv::catalog
