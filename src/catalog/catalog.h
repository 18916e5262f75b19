// The cell catalogue: every registered record seen, identified as the
// program identifies a measurement (registration ID text and date-time
// text), with its values, its bytes exactly as imported and where it came
// from. A cell is a registration ID: its tests are its records in date
// order, its current values those of its newest test. Each cell is in stock,
// in a named pack or retired, with a history of its moves.
//
// Texts kept in the database (remarks, pack names, paths, stations) are
// UTF-8; the API takes and gives them as UTF-8 too. Messages for the user
// are CP932, as everywhere in the core.
//
// Every call either does its whole work or none of it: each import of a
// file, each move of cells, is one transaction. A failure returns false (or
// nothing) with a message in LastMessage(); the database is left as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalog/db.h"
#include "catalog/qd1_scan.h"
#include "core/conditions.h"
#include "core/settings_store.h"
#include "data/measure_data.h"

namespace qv::catalog {

inline constexpr char kCatalogFileName[] = "quorvex-catalog.sqlite";

// The catalogue of a working folder: the file the CATALOG key names
// (relative to the folder when not absolute), else "quorvex-catalog.sqlite"
// in the folder.
std::string CatalogPath(const CSettingsStore& settings);

// Where a cell is.
struct Place {
  enum Kind { kStock, kPack, kRetired };
  Kind kind = kStock;
  std::string pack;  // UTF-8 name for kPack, empty otherwise

  // "stock", "pack:NAME", "retired".
  std::string Text() const;
  // The text form back; nothing for another text or an empty pack name.
  static std::optional<Place> FromText(const std::string& text);
  bool operator==(const Place&) const = default;
};

// One record as the catalogue keeps it, without its points.
struct RecordSummary {
  int64_t rowId = 0;
  uint32_t idKey = 0;
  std::string idText;    // "001-002-003"
  std::string dateTime;  // "2026/12/09 10:00:00"
  double currentA = 0, currentB = 0, currentC = 0, endVoltage = 0;
  int32_t cells = 0, v1Point = 0;
  int32_t dischargeTime = 0;  // s, of the last point
  // Of the last point: capacity (mAh), energy (capacity x average voltage,
  // mWh, unrounded), average voltage 2 and the point's current and voltage.
  double capacity = 0, energy = 0, avg2 = 0, lastCurrent = 0, lastVoltage = 0;
  double avg1 = 0, avg3 = 0, ir = 0, pir = 0;
  Avg3Range avg3Range;  // the range average voltage 3 was computed over
  std::string remark;   // UTF-8
  int64_t pointCount = 0;
  std::string path, station, importedAt;  // where it came from and when
};

struct CellSummary {
  uint32_t idKey = 0;
  std::string idText;
  Place place;
  int64_t tests = 0;
  RecordSummary newest;
};

// What search looks for. The filter is the catalogue's filter language
// (filter.h) over a cell's newest test.
struct CellQuery {
  std::string where;  // UTF-8; empty: every cell
  uint32_t fromKey = 0, toKey = 999999999;
  std::string since;           // "YYYY/MM/DD": newest test on or after that day
  std::optional<Place> place;  // nothing: any place
};

struct ImportCounts {
  int added = 0, updated = 0, unchanged = 0;
  int refused = 0;  // files refused or not read
  ImportCounts& operator+=(const ImportCounts& o);
};

// "新規 N 件、更新 N 件、変更なし N 件、読み込めないファイル N 件" (CP932).
std::string ImportCountsText(const ImportCounts& counts);

struct Move {
  std::string at;  // UTC, "2026-12-09T10:00:00Z"
  Place from, to;
};

class Catalog {
 public:
  // Opens the catalogue at `path` (SQLite), creating the file and its schema
  // when missing and migrating an older schema. nullptr with a message
  // (CP932) for a file that is damaged or not a catalogue, of a newer
  // schema, or that cannot be opened or written.
  static std::unique_ptr<Catalog> Open(const std::string& path, std::string* message);
  // Over an open database of any engine.
  static std::unique_ptr<Catalog> Over(std::unique_ptr<Database> db, std::string* message);

  // The message of the last failure (CP932).
  const std::string& LastMessage() const { return message_; }
  Database& db() { return *db_; }

  // Imports the registered records of the data file image `bytes` read from
  // `path` (recorded with `station` and the time) in one transaction: a
  // record already held with the same bytes is unchanged, one held with
  // other bytes (a changed remark) is updated, any other is added. A file
  // refused or damaged adds nothing (refused 1; the message names the file).
  // Records without a registration ID are left out. False only for a
  // database failure.
  bool ImportBytes(std::string_view bytes, const std::string& path, const std::string& station,
                   const Avg3Range& range, ImportCounts& counts);
  // The same for the file at `path` (its whole content read first).
  bool ImportFile(const std::string& path, const std::string& station, const Avg3Range& range,
                  ImportCounts& counts);
  // The same for records in memory (the window's registered records when it
  // saves a data file): their bytes as the data file holds them.
  // `range` is the one their average voltage 3 was computed over.
  bool ImportRecords(const std::vector<const CMeasureData*>& records, const std::string& path,
                     const std::string& station, const Avg3Range& range, ImportCounts& counts);

  // The cells the query finds, by ID. Nothing (with the filter's message,
  // FilterErrorText) for a bad filter or on a database failure.
  std::optional<std::vector<CellSummary>> Search(const CellQuery& query);
  // One cell, or nothing when it is not in the catalogue.
  std::optional<CellSummary> Cell(uint32_t idKey);
  // Its tests in date order (empty for an unknown cell).
  std::vector<RecordSummary> History(uint32_t idKey);
  // The cells in a pack, by ID.
  std::vector<CellSummary> CellsOfPack(const std::string& pack);
  // The record with its points, read from its stored bytes.
  bool LoadRecord(int64_t rowId, const Avg3Range& range, CMeasureData& out);
  // The stored bytes of records, in the order given.
  bool LoadBytes(const std::vector<int64_t>& rowIds, std::vector<RecordBytes>& out);

  // Moves cells to `to` in one transaction. Every cell must be in the
  // catalogue and in stock for a pack, or not yet retired for kRetired, and
  // named once; otherwise nothing moves and the message names the first
  // cell refused.
  bool MoveCells(const std::vector<uint32_t>& idKeys, const Place& to);
  // Several such moves (matched packs into their packs) in one transaction,
  // every cell named once over all of them.
  struct CellGroupMove {
    std::vector<uint32_t> idKeys;
    Place to;
  };
  bool MoveCellGroups(const std::vector<CellGroupMove>& groups);
  // Puts every cell of the pack back in stock; false when the pack holds no
  // cell. Returns the number moved in `moved`.
  bool ReleasePack(const std::string& pack, int* moved = nullptr);
  std::vector<Move> Moves(uint32_t idKey);

  // Inside a transaction the caller holds (db().Begin()): one record put as
  // an import puts it, and every record of an identity removed (`found`
  // says whether there was one). False on a database failure.
  bool PutRecord(const CMeasureData& record, const std::string& path, const std::string& station,
                 const Avg3Range& range);
  bool RemoveRecord(uint32_t idKey, const std::string& dateTime, bool* found);
  // The row of the first record of an identity, or nothing.
  std::optional<int64_t> FindRecord(uint32_t idKey, const std::string& dateTime);

  // A walk over records handing each to its callback (as ScanDataFile).
  using Scan = std::function<DataFileReadResult(const std::function<bool(const ScannedRecord&)>&)>;

 private:
  explicit Catalog(std::unique_ptr<Database> db) : db_(std::move(db)) {}
  bool Fail(const std::string& cp932);
  bool DbFail();
  bool ImportScan(const Scan& scan, const std::string& path, const std::string& station,
                  const Avg3Range& range, ImportCounts& counts);

  std::unique_ptr<Database> db_;
  std::string message_;
};

// The user's message for a database failure (CP932).
std::string DbMessage(const DbError& error);

// The current UTC time as "2026-12-09T10:00:00Z".
std::string UtcNowText();
// This computer's name, the station recorded with an import by default.
std::string HostStation();

}  // namespace qv::catalog
