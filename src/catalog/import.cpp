// Filling the catalogue: the registered records of a data file, one file in
// one transaction.
#include <set>

#include "catalog/catalog.h"
#include "core/safe_file.h"
#include "data/codec.h"

namespace qv::catalog {
namespace {

// The record columns written by an import, in the order they are bound.
constexpr char kRecordColumns[] =
    "date_time, current_a, current_b, current_c, cell_count, end_voltage, v1_point, "
    "discharge_time, capacity, energy, avg1, avg2, avg3, avg3_start, avg3_end, ir, pir, "
    "last_current, last_voltage, remark, point_count, source_id";
constexpr int kRecordColumnCount = 22;

// Binds the record's values at positions first .. first + 21.
void BindRecord(Statement& st, int first, const CMeasureData& r, const Avg3Range& range,
                int64_t sourceId) {
  const CMeasurePoint* last = r.FindPoint(-1);
  int p = first;
  st.BindText(p++, r.GetDateTimeText());
  st.BindReal(p++, r.currentA);
  st.BindReal(p++, r.currentB);
  st.BindReal(p++, r.currentC);
  st.BindInt(p++, r.cells);
  st.BindReal(p++, r.endVoltage);
  st.BindInt(p++, r.v1Point);
  st.BindInt(p++, r.GetDischargeTime());
  st.BindReal(p++, last ? last->capacity : 0.0);
  st.BindReal(p++, last ? last->capacity * last->avgVoltage : 0.0);
  st.BindReal(p++, r.avgVoltage1);
  st.BindReal(p++, last ? last->avgVoltage : 0.0);
  st.BindReal(p++, r.avgVoltage3);
  st.BindInt(p++, range.start);
  st.BindInt(p++, range.end);
  st.BindReal(p++, r.internalResistance);
  st.BindReal(p++, r.pir);
  st.BindReal(p++, last ? last->current : 0.0);
  st.BindReal(p++, last ? last->voltage : 0.0);
  st.BindText(p++, Cp932ToUtf8(r.remark));
  st.BindInt(p++, static_cast<int64_t>(r.Points().size()));
  st.BindInt(p++, sourceId);
}

std::string Placeholders(int n) {
  std::string s;
  for (int i = 0; i < n; ++i)
    s += i ? ", ?" : "?";
  return s;
}

// The statements of one file's import, prepared once for all its records.
class Importer {
 public:
  Importer(Database& db, const std::string& path, const std::string& station,
           const Avg3Range& range)
      : db_(db), path_(path), station_(station), range_(range) {}

  bool Prepare() {
    cell_ = db_.Prepare(
        "INSERT INTO cells (id_key, id_text, id1, id2, id3) VALUES (?, ?, ?, ?, ?) "
        "ON CONFLICT (id_key) DO NOTHING");
    find_ = db_.Prepare(
        "SELECT r.id, b.head, b.points FROM records r JOIN record_bytes b ON b.record_id = r.id "
        "WHERE r.cell_key = ? AND r.date_time = ?");
    insert_ = db_.Prepare(std::string("INSERT INTO records (cell_key, ") + kRecordColumns +
                          ") VALUES (" + Placeholders(kRecordColumnCount + 1) + ") RETURNING id");
    bytes_ = db_.Prepare("INSERT INTO record_bytes (record_id, head, points) VALUES (?, ?, ?)");
    update_ = db_.Prepare(std::string("UPDATE records SET (") + kRecordColumns + ") = (" +
                          Placeholders(kRecordColumnCount) + ") WHERE id = ?");
    rebytes_ = db_.Prepare("UPDATE record_bytes SET head = ?, points = ? WHERE record_id = ?");
    return cell_ && find_ && insert_ && bytes_ && update_ && rebytes_;
  }

  // One scanned record into the catalogue. False on a database failure.
  bool Add(const ScannedRecord& s, ImportCounts& counts) {
    const CMeasureData& r = s.record;
    const uint32_t key = r.GetIdKey();
    if (key == 0 || r.id1 < 1 || r.id2 < 1 || r.id3 < 1) return true;
    if (!AddCell(r, key)) return false;
    find_->Reset();
    find_->BindInt(1, key);
    find_->BindText(2, r.GetDateTimeText());
    const DbStatus found = find_->Step();
    if (found == DbStatus::kRow) {
      if (find_->Blob(1) == s.head && find_->Blob(2) == s.points) {
        ++counts.unchanged;
        return true;
      }
      const int64_t id = find_->Int(0);
      find_->Reset();
      if (!Update(id, s)) return false;
      ++counts.updated;
    } else if (found == DbStatus::kDone) {
      if (!Insert(key, s)) return false;
      ++counts.added;
    } else {
      return false;
    }
    touched_.insert(key);
    return true;
  }

  // The newest test and the number of tests of every cell the file changed.
  bool Finish() {
    auto st = db_.Prepare(
        "UPDATE cells SET newest = (SELECT id FROM records WHERE cell_key = cells.id_key "
        "ORDER BY date_time DESC, id LIMIT 1), "
        "tests = (SELECT count(*) FROM records WHERE cell_key = cells.id_key) WHERE id_key = ?");
    if (!st) return false;
    for (uint32_t key : touched_) {
      st->Reset();
      st->BindInt(1, key);
      if (!RunToEnd(*st)) return false;
    }
    return true;
  }

 private:
  bool AddCell(const CMeasureData& r, uint32_t key) {
    cell_->Reset();
    cell_->BindInt(1, key);
    cell_->BindText(2, r.GetIdText());
    cell_->BindInt(3, r.id1);
    cell_->BindInt(4, r.id2);
    cell_->BindInt(5, r.id3);
    return RunToEnd(*cell_);
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

  bool Insert(uint32_t key, const ScannedRecord& s) {
    if (!Source()) return false;
    insert_->Reset();
    insert_->BindInt(1, key);
    BindRecord(*insert_, 2, s.record, range_, sourceId_);
    if (insert_->Step() != DbStatus::kRow) return false;
    const int64_t id = insert_->Int(0);
    if (!RunToEnd(*insert_)) return false;
    bytes_->Reset();
    bytes_->BindInt(1, id);
    bytes_->BindBlob(2, s.head);
    bytes_->BindBlob(3, s.points);
    return RunToEnd(*bytes_);
  }

  bool Update(int64_t id, const ScannedRecord& s) {
    if (!Source()) return false;
    update_->Reset();
    BindRecord(*update_, 1, s.record, range_, sourceId_);
    update_->BindInt(kRecordColumnCount + 1, id);
    if (!RunToEnd(*update_)) return false;
    rebytes_->Reset();
    rebytes_->BindBlob(1, s.head);
    rebytes_->BindBlob(2, s.points);
    rebytes_->BindInt(3, id);
    return RunToEnd(*rebytes_);
  }

  Database& db_;
  const std::string& path_;
  const std::string& station_;
  const Avg3Range& range_;
  std::unique_ptr<Statement> cell_, find_, insert_, bytes_, update_, rebytes_;
  int64_t sourceId_ = 0;
  std::set<uint32_t> touched_;
};

}  // namespace

// Scans records into the catalogue inside the caller's transaction. False
// with `dbFailed` set on a database failure, false alone for a file refused.
bool Catalog::ScanInto(const Scan& scan, const std::string& path, const std::string& station,
                       const Avg3Range& range, ImportCounts& counts, DataFileReadResult& read,
                       bool& dbFailed) {
  Importer importer(*db_, path, station, range);
  if (!importer.Prepare()) return !(dbFailed = true);
  read = scan([&](const ScannedRecord& r) {
    if (importer.Add(r, counts)) return true;
    dbFailed = true;
    return false;
  });
  if (dbFailed) return false;
  // A refused or damaged file adds nothing: the transaction is dropped.
  if (!read.ok()) return false;
  return importer.Finish() || !(dbFailed = true);
}

bool Catalog::ImportScan(const Scan& scan, const std::string& path, const std::string& station,
                         const Avg3Range& range, ImportCounts& counts) {
  ImportCounts file;
  DataFileReadResult read;
  bool dbFailed = false;
  const DbStatus s = InTransaction(
      *db_, [&] { return ScanInto(scan, path, station, range, file, read, dbFailed); });
  if (s == DbStatus::kOk) {
    counts += file;
    return true;
  }
  if (!dbFailed && s == DbStatus::kError && !read.ok()) {
    ++counts.refused;
    message_ = Sj(path) + ": " + read.error;
    return true;
  }
  return DbFail();
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
  ImportCounts counts;
  DataFileReadResult read;
  bool dbFailed = false;
  if (ScanInto(RecordsScan(one), path, station, range, counts, read, dbFailed)) return true;
  return DbFail();
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
