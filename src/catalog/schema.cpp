#include "catalog/schema.h"

#include <string>
#include <vector>

#include "catalog/dialect.h"
#include "data/codec.h"

namespace qv::catalog {
namespace {

// Replaces ${ID}, ${BLOB} and ${REAL} with the engine's words.
std::string Expand(std::string sql, const Dialect& d) {
  const std::pair<std::string_view, std::string_view> words[] = {
      {"${ID}", d.idColumn}, {"${BLOB}", d.blobType}, {"${REAL}", d.realType}};
  for (const auto& [mark, word] : words) {
    for (size_t at = sql.find(mark); at != std::string::npos; at = sql.find(mark, at))
      sql.replace(at, mark.size(), word);
  }
  return sql;
}

// Schema version 1. The README of this folder describes every column.
constexpr std::string_view kVersion1[] = {
    "CREATE TABLE cells ("
    " id_key BIGINT PRIMARY KEY,"
    " id_text TEXT NOT NULL UNIQUE,"
    " id1 BIGINT NOT NULL, id2 BIGINT NOT NULL, id3 BIGINT NOT NULL,"
    " state TEXT NOT NULL DEFAULT 'stock' CHECK (state IN ('stock', 'pack', 'retired')),"
    " pack TEXT CHECK ((state = 'pack') = (pack IS NOT NULL)),"
    " newest BIGINT,"
    " tests BIGINT NOT NULL DEFAULT 0)",
    "CREATE INDEX cells_place ON cells (state, pack)",
    "CREATE TABLE sources ("
    " id ${ID},"
    " path TEXT NOT NULL,"
    " station TEXT NOT NULL,"
    " imported_at TEXT NOT NULL)",
    "CREATE TABLE records ("
    " id ${ID},"
    " cell_key BIGINT NOT NULL REFERENCES cells (id_key),"
    " date_time TEXT NOT NULL,"
    " current_a ${REAL} NOT NULL, current_b ${REAL} NOT NULL, current_c ${REAL} NOT NULL,"
    " cell_count BIGINT NOT NULL, end_voltage ${REAL} NOT NULL, v1_point BIGINT NOT NULL,"
    " discharge_time BIGINT NOT NULL, capacity ${REAL} NOT NULL, energy ${REAL} NOT NULL,"
    " avg1 ${REAL} NOT NULL, avg2 ${REAL} NOT NULL, avg3 ${REAL} NOT NULL,"
    " avg3_start BIGINT NOT NULL, avg3_end BIGINT NOT NULL,"
    " ir ${REAL} NOT NULL, pir ${REAL} NOT NULL,"
    " last_current ${REAL} NOT NULL, last_voltage ${REAL} NOT NULL,"
    " remark TEXT NOT NULL,"
    " point_count BIGINT NOT NULL,"
    " source_id BIGINT NOT NULL REFERENCES sources (id),"
    " UNIQUE (cell_key, date_time))",
    "CREATE TABLE record_bytes ("
    " record_id BIGINT PRIMARY KEY REFERENCES records (id) ON DELETE CASCADE,"
    " head ${BLOB} NOT NULL,"
    " points ${BLOB} NOT NULL)",
    "CREATE TABLE moves ("
    " id ${ID},"
    " cell_key BIGINT NOT NULL REFERENCES cells (id_key),"
    " at TEXT NOT NULL,"
    " from_place TEXT NOT NULL,"
    " to_place TEXT NOT NULL)",
    "CREATE INDEX moves_cell ON moves (cell_key, id)",
};

struct Migration {
  int to;
  const std::string_view* begin;
  const std::string_view* end;
};

const std::vector<Migration>& Migrations() {
  static const std::vector<Migration> m = {
      {1, std::begin(kVersion1), std::end(kVersion1)},
  };
  return m;
}

bool Run(Database& db, std::string_view sql) {
  auto st = db.Prepare(sql);
  return st && RunToEnd(*st);
}

// -1 on a database failure, 0 for a database without the catalogue's
// tables, -2 for one that holds other tables (foreign), else the version.
int ReadVersion(Database& db) {
  auto tables = db.Prepare(db.dialect().tablesQuery);
  if (!tables) return -1;
  bool any = false, meta = false;
  DbStatus s;
  while ((s = tables->Step()) == DbStatus::kRow) {
    any = true;
    if (tables->Text(0) == "catalog_meta") meta = true;
  }
  if (s != DbStatus::kDone) return -1;
  if (!meta) return any ? -2 : 0;
  auto st = db.Prepare("SELECT value FROM catalog_meta WHERE name = 'schema_version'");
  if (!st) return -1;
  s = st->Step();
  if (s == DbStatus::kDone) return -2;
  if (s != DbStatus::kRow) return -1;
  const std::string text(st->Text(0));
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || v > 100000) return -2;
    v = v * 10 + (c - '0');
  }
  return text.empty() ? -2 : v;
}

bool Migrate(Database& db, int from) {
  if (from == 0) {
    if (!Run(db, "CREATE TABLE catalog_meta (name TEXT PRIMARY KEY, value TEXT NOT NULL)") ||
        !Run(db, "INSERT INTO catalog_meta (name, value) VALUES ('schema_version', '0')"))
      return false;
  }
  for (const Migration& m : Migrations()) {
    if (m.to <= from) continue;
    for (const std::string_view* sql = m.begin; sql != m.end; ++sql)
      if (!Run(db, Expand(std::string(*sql), db.dialect()))) return false;
  }
  auto st = db.Prepare("UPDATE catalog_meta SET value = ? WHERE name = 'schema_version'");
  if (!st) return false;
  st->BindText(1, std::to_string(kLatestSchema));
  return RunToEnd(*st);
}

}  // namespace

SchemaResult EnsureSchema(Database& db) {
  // Read first without the write lock: an up-to-date catalogue (the usual
  // case) is opened without waiting for a writer.
  int version = ReadVersion(db);
  if (version == kLatestSchema) return {SchemaOutcome::kReady, version};
  if (version < -1) return {SchemaOutcome::kForeign, version};
  if (version > kLatestSchema) return {SchemaOutcome::kNewer, version};
  if (version == -1) return {SchemaOutcome::kFailed, version};
  // Created or migrated under the write lock; the version is read again
  // inside it, since another program may have done it meanwhile.
  if (db.Begin() != DbStatus::kOk) return {SchemaOutcome::kFailed, version};
  version = ReadVersion(db);
  SchemaOutcome out = SchemaOutcome::kReady;
  if (version < -1) out = SchemaOutcome::kForeign;
  if (version > kLatestSchema) out = SchemaOutcome::kNewer;
  if (version == -1 ||
      (out == SchemaOutcome::kReady && version < kLatestSchema && !Migrate(db, version))) {
    db.Rollback();
    return {SchemaOutcome::kFailed, version};
  }
  if (out != SchemaOutcome::kReady) {
    db.Rollback();
    return {out, version};
  }
  if (db.Commit() != DbStatus::kOk) {
    db.Rollback();
    return {SchemaOutcome::kFailed, version};
  }
  return {SchemaOutcome::kReady, kLatestSchema};
}

}  // namespace qv::catalog
