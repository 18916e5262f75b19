// Filling the catalogue: the registered records of a data file, one file in
// one transaction.
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <variant>
#include <vector>

#include "catalog/catalog.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "data/record_store.h"

namespace qv::catalog {
namespace {

// The record columns written by an import, in the order they are bound.
constexpr char kRecordColumns[] =
    "date_time, current_a, current_b, current_c, cell_count, end_voltage, v1_point, "
    "discharge_time, capacity, energy, avg1, avg2, avg3, avg3_start, avg3_end, ir, pir, "
    "last_current, last_voltage, remark, point_count, source_id";
constexpr int kRecordColumnCount = 22;

// The records written with one statement: a file of a few hundred records
// takes a handful of round trips to a server, and the parameters of one
// statement (23 a record) stay far below either engine's limit.
constexpr size_t kBatch = 100;

// One registered record as the import writes it: its cell and identity,
// its values in the order of kRecordColumns (the source aside) and its
// bytes.
using Value = std::variant<int64_t, double, std::string>;
struct Row {
  uint32_t key = 0;
  int64_t id1 = 0, id2 = 0, id3 = 0;
  std::string idText, dateTime;
  std::vector<Value> values;
  std::string head, points;
};

// The row of a scanned record; nothing for one without a registration ID.
std::optional<Row> RowOf(const ScannedRecord& s, const Avg3Range& range) {
  const CMeasureData& r = s.record;
  const uint32_t key = r.GetIdKey();
  if (key == 0 || r.id1 < 1 || r.id2 < 1 || r.id3 < 1) return std::nullopt;
  const CMeasurePoint* last = r.FindPoint(-1);
  const RecordResults v = ResultsOf(r);
  Row w{key, r.id1, r.id2, r.id3, r.GetIdText(), r.GetDateTimeText(), {}, {}, {}};
  w.values = {w.dateTime,
              r.currentA,
              r.currentB,
              r.currentC,
              int64_t{r.cells},
              r.endVoltage,
              int64_t{r.v1Point},
              int64_t{v.dischargeTime},
              v.capacity,
              v.energy,
              v.avgVoltage1,
              v.avgVoltage2,
              v.avgVoltage3,
              int64_t{range.start},
              int64_t{range.end},
              v.internalResistance,
              v.pir,
              last ? last->current : 0.0,
              last ? last->voltage : 0.0,
              Cp932ToUtf8(r.remark),
              static_cast<int64_t>(r.Points().size())};
  w.head = s.head;
  w.points = s.points;
  return w;
}

// Binds the row's values and `sourceId` at positions p .. p + 21; p is left
// after them.
void BindRecord(Statement& st, int& p, const Row& w, int64_t sourceId) {
  for (const Value& v : w.values) {
    if (const auto* i = std::get_if<int64_t>(&v))
      st.BindInt(p++, *i);
    else if (const auto* d = std::get_if<double>(&v))
      st.BindReal(p++, *d);
    else
      st.BindText(p++, std::get<std::string>(v));
  }
  st.BindInt(p++, sourceId);
}

// "(?, ?), (?, ?), ..." of `rows` tuples of `width` parameters.
std::string Tuples(size_t rows, int width) {
  std::string one = "(";
  for (int i = 0; i < width; ++i)
    one += i ? ", ?" : "?";
  one += ")";
  std::string s;
  for (size_t r = 0; r < rows; ++r)
    s += (r ? ", " : "") + one;
  return s;
}

bool Run(Database& db, const std::string& sql, const std::function<void(Statement&)>& bind) {
  auto st = db.Prepare(sql);
  if (!st) return false;
  bind(*st);
  return RunToEnd(*st);
}

// A record identity, and what the import knows of it: whether the
// catalogue held it before the batch, its row (0: none yet), its bytes
// there, whether the batch named it already, and the row to write (nullptr:
// nothing to write).
using Identity = std::pair<uint32_t, std::string>;
struct Known {
  bool held = false;
  int64_t id = 0;
  std::string head, points;
  bool seen = false;
  const Row* write = nullptr;
};

// Writes one file's rows, batch by batch.
class Importer {
 public:
  Importer(Database& db, const std::string& path, const std::string& station)
      : db_(db), path_(path), station_(station) {}

  // The rows in file order: a record already held with the same bytes is
  // unchanged, one held with other bytes is updated, any other is added (a
  // record twice in the file counts as held the second time). False on a
  // database failure.
  bool Write(const std::vector<Row>& rows, ImportCounts& counts) {
    for (size_t at = 0; at < rows.size(); at += kBatch) {
      const size_t n = std::min(kBatch, rows.size() - at);
      if (!WriteBatch(&rows[at], n, counts)) return false;
    }
    return Finish();
  }

 private:
  bool WriteBatch(const Row* rows, size_t n, ImportCounts& counts) {
    std::map<Identity, Known> known;
    std::vector<Known*> order;  // as first named: new records are numbered in file order
    for (size_t i = 0; i < n; ++i) {
      auto [it, added] = known.emplace(Identity{rows[i].key, rows[i].dateTime}, Known{});
      if (added) order.push_back(&it->second);
    }
    if (!AddCells(rows, n) || !FindHeld(known)) return false;
    for (size_t i = 0; i < n; ++i) {
      const Row& r = rows[i];
      Known& k = known[{r.key, r.dateTime}];
      const bool before = k.held || k.seen;
      k.seen = true;
      const std::string& head = k.write ? k.write->head : k.head;
      const std::string& points = k.write ? k.write->points : k.points;
      if (before && head == r.head && points == r.points) {
        ++counts.unchanged;
        continue;
      }
      ++(before ? counts.updated : counts.added);
      k.write = &r;
      touched_.insert(r.key);
    }
    return Insert(known, order) && Update(order);
  }

  // The cells of the batch, those not yet in the catalogue added.
  bool AddCells(const Row* rows, size_t n) {
    std::map<uint32_t, const Row*> cells;
    for (size_t i = 0; i < n; ++i)
      cells.emplace(rows[i].key, &rows[i]);
    return Run(db_,
               "INSERT INTO cells (id_key, id_text, id1, id2, id3) VALUES " +
                   Tuples(cells.size(), 5) + " ON CONFLICT (id_key) DO NOTHING",
               [&](Statement& st) {
                 int p = 1;
                 for (const auto& [key, r] : cells) {
                   st.BindInt(p++, key);
                   st.BindText(p++, r->idText);
                   st.BindInt(p++, r->id1);
                   st.BindInt(p++, r->id2);
                   st.BindInt(p++, r->id3);
                 }
               });
  }

  // The rows and bytes the catalogue holds of the identities: a join of
  // their list (whose columns both engines name column1, column2) with the
  // records' unique key, which plans far faster than as many ORs.
  bool FindHeld(std::map<Identity, Known>& known) {
    auto st =
        db_.Prepare("SELECT r.id, r.cell_key, r.date_time, b.head, b.points FROM (VALUES " +
                    Tuples(known.size(), 2) +
                    ") v JOIN records r ON r.cell_key = v.column1 AND r.date_time = v.column2 "
                    "JOIN record_bytes b ON b.record_id = r.id");
    if (!st) return false;
    int p = 1;
    for (const auto& [identity, k] : known) {
      st->BindInt(p++, identity.first);
      st->BindText(p++, identity.second);
    }
    DbStatus s;
    while ((s = st->Step()) == DbStatus::kRow) {
      auto it = known.find({static_cast<uint32_t>(st->Int(1)), std::string(st->Text(2))});
      if (it == known.end()) continue;
      it->second.held = true;
      it->second.id = st->Int(0);
      it->second.head = st->Blob(3);
      it->second.points = st->Blob(4);
    }
    return s == DbStatus::kDone;
  }

  // The file's origin row, made when its first record is written.
  bool Source() {
    if (sourceId_ != 0) return true;
    auto st = db_.Prepare(
        "INSERT INTO sources (path, station, imported_at) VALUES (?, ?, ?) RETURNING id");
    if (!st) return false;
    st->BindText(1, path_);
    st->BindText(2, station_);
    st->BindText(3, UtcNowText());
    if (st->Step() != DbStatus::kRow) return false;
    sourceId_ = st->Int(0);
    return RunToEnd(*st);
  }

  // The new records of the batch and their bytes, each in one statement.
  bool Insert(std::map<Identity, Known>& known, const std::vector<Known*>& order) {
    std::vector<Known*> added;
    for (Known* k : order)
      if (!k->held && k->write) added.push_back(k);
    if (added.empty()) return true;
    if (!Source()) return false;
    auto st = db_.Prepare(std::string("INSERT INTO records (cell_key, ") + kRecordColumns +
                          ") VALUES " + Tuples(added.size(), kRecordColumnCount + 1) +
                          " RETURNING id, cell_key, date_time");
    if (!st) return false;
    int p = 1;
    for (const Known* k : added) {
      st->BindInt(p++, k->write->key);
      BindRecord(*st, p, *k->write, sourceId_);
    }
    DbStatus s;
    while ((s = st->Step()) == DbStatus::kRow) {
      auto it = known.find({static_cast<uint32_t>(st->Int(1)), std::string(st->Text(2))});
      if (it == known.end()) return false;
      it->second.id = st->Int(0);
    }
    if (s != DbStatus::kDone) return false;
    return Run(
        db_, "INSERT INTO record_bytes (record_id, head, points) VALUES " + Tuples(added.size(), 3),
        [&](Statement& bytes) {
          int q = 1;
          for (const Known* k : added) {
            bytes.BindInt(q++, k->id);
            bytes.BindBlob(q++, k->write->head);
            bytes.BindBlob(q++, k->write->points);
          }
        });
  }

  // Records held with other bytes (a changed remark), one by one: rare.
  bool Update(const std::vector<Known*>& order) {
    for (const Known* k : order) {
      if (!k->held || !k->write) continue;
      if (!Source()) return false;
      const bool ok = Run(db_,
                          std::string("UPDATE records SET (") + kRecordColumns +
                              ") = " + Tuples(1, kRecordColumnCount) + " WHERE id = ?",
                          [&](Statement& st) {
                            int p = 1;
                            BindRecord(st, p, *k->write, sourceId_);
                            st.BindInt(p, k->id);
                          }) &&
                      Run(db_, "UPDATE record_bytes SET head = ?, points = ? WHERE record_id = ?",
                          [&](Statement& st) {
                            st.BindBlob(1, k->write->head);
                            st.BindBlob(2, k->write->points);
                            st.BindInt(3, k->id);
                          });
      if (!ok) return false;
    }
    return true;
  }

  // The newest test and the number of tests of every cell the file changed.
  bool Finish() {
    const std::vector<uint32_t> keys(touched_.begin(), touched_.end());
    for (size_t at = 0; at < keys.size(); at += kBatch) {
      const size_t n = std::min(kBatch, keys.size() - at);
      const bool ok =
          Run(db_,
              "UPDATE cells SET newest = (SELECT id FROM records WHERE cell_key = cells.id_key "
              "ORDER BY date_time DESC, id LIMIT 1), "
              "tests = (SELECT count(*) FROM records WHERE cell_key = cells.id_key) "
              "WHERE id_key IN " +
                  Tuples(1, static_cast<int>(n)),
              [&](Statement& st) {
                for (size_t i = 0; i < n; ++i)
                  st.BindInt(static_cast<int>(i) + 1, keys[at + i]);
              });
      if (!ok) return false;
    }
    return true;
  }

  Database& db_;
  const std::string& path_;
  const std::string& station_;
  int64_t sourceId_ = 0;
  std::set<uint32_t> touched_;
};

// The rows of a scan; the scan's result says whether it read the whole
// file.
DataFileReadResult Collect(const Catalog::Scan& scan, const Avg3Range& range,
                           std::vector<Row>& rows) {
  return scan([&](const ScannedRecord& r) {
    if (auto row = RowOf(r, range)) rows.push_back(std::move(*row));
    return true;
  });
}

}  // namespace

// The file is read whole before the transaction: the catalogue's write lock
// is held only while the rows go in.
bool Catalog::ImportScan(const Scan& scan, const std::string& path, const std::string& station,
                         const Avg3Range& range, ImportCounts& counts) {
  std::vector<Row> rows;
  const DataFileReadResult read = Collect(scan, range, rows);
  if (!read.ok()) {
    // A refused or damaged file adds nothing.
    ++counts.refused;
    message_ = Sj(path) + ": " + read.error;
    return true;
  }
  ImportCounts file;
  Importer importer(*db_, path, station);
  if (InTransaction(*db_, [&] { return importer.Write(rows, file); }) != DbStatus::kOk)
    return DbFail();
  counts += file;
  return true;
}

bool Catalog::ImportBytes(std::string_view bytes, const std::string& path,
                          const std::string& station, const Avg3Range& range,
                          ImportCounts& counts) {
  message_.clear();
  return ImportScan([&](const auto& fn) { return ScanDataFile(bytes, range, fn); }, path, station,
                    range, counts);
}

bool Catalog::ImportFile(const std::string& path, const std::string& station,
                         const Avg3Range& range, ImportCounts& counts) {
  message_.clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    ++counts.refused;
    message_ = Sj(path) + Sj(": ファイルを読み込めません。");
    return true;
  }
  return ImportBytes(bytes, path, station, range, counts);
}

namespace {

// A scan of records in memory: each record's bytes exactly as the data file
// holds them.
Catalog::Scan RecordsScan(const std::vector<const CMeasureData*>& records) {
  return [&records](const std::function<bool(const ScannedRecord&)>& fn) {
    std::string bytes;
    for (const CMeasureData* r : records) {
      const auto [head, points] = WriteRecordBytes(*r, bytes);
      if (!fn({*r, head, points})) break;
    }
    return DataFileReadResult{};
  };
}

}  // namespace

bool Catalog::ImportRecords(const std::vector<const CMeasureData*>& records,
                            const std::string& path, const std::string& station,
                            const Avg3Range& range, ImportCounts& counts) {
  message_.clear();
  return ImportScan(RecordsScan(records), path, station, range, counts);
}

bool Catalog::PutRecord(const CMeasureData& record, const std::string& path,
                        const std::string& station, const Avg3Range& range) {
  message_.clear();
  const std::vector<const CMeasureData*> one = {&record};
  std::vector<Row> rows;
  Collect(RecordsScan(one), range, rows);
  ImportCounts counts;
  Importer importer(*db_, path, station);
  return importer.Write(rows, counts) || DbFail();
}

bool Catalog::RemoveRecord(uint32_t idKey, const std::string& dateTime, bool* found) {
  message_.clear();
  *found = false;
  auto find = db_->Prepare("SELECT id FROM records WHERE cell_key = ? AND date_time = ?");
  if (!find) return DbFail();
  find->BindInt(1, idKey);
  find->BindText(2, dateTime);
  std::vector<int64_t> ids;
  DbStatus s;
  while ((s = find->Step()) == DbStatus::kRow)
    ids.push_back(find->Int(0));
  if (s != DbStatus::kDone) return DbFail();
  auto bytes = db_->Prepare("DELETE FROM record_bytes WHERE record_id = ?");
  auto rec = db_->Prepare("DELETE FROM records WHERE id = ?");
  auto cell = db_->Prepare(
      "UPDATE cells SET newest = (SELECT id FROM records WHERE cell_key = cells.id_key "
      "ORDER BY date_time DESC, id LIMIT 1), "
      "tests = (SELECT count(*) FROM records WHERE cell_key = cells.id_key) WHERE id_key = ?");
  if (!bytes || !rec || !cell) return DbFail();
  for (int64_t id : ids) {
    bytes->Reset();
    bytes->BindInt(1, id);
    rec->Reset();
    rec->BindInt(1, id);
    if (!RunToEnd(*bytes) || !RunToEnd(*rec)) return DbFail();
  }
  cell->BindInt(1, idKey);
  if (!RunToEnd(*cell)) return DbFail();
  *found = !ids.empty();
  return true;
}

}  // namespace qv::catalog
