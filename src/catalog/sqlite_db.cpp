// The catalogue's engine on one computer: SQLite through its C API.
#include <sqlite3.h>

#include "catalog/db.h"
#include "catalog/dialect.h"

namespace qv::catalog {
namespace {

DbStatus StatusOf(int rc) {
  switch (rc & 0xff) {
    case SQLITE_OK:
      return DbStatus::kOk;
    case SQLITE_ROW:
      return DbStatus::kRow;
    case SQLITE_DONE:
      return DbStatus::kDone;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DbStatus::kBusy;
    case SQLITE_CONSTRAINT:
      return DbStatus::kConstraint;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return DbStatus::kDamaged;
    case SQLITE_FULL:
      return DbStatus::kFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return DbStatus::kReadOnly;
    case SQLITE_CANTOPEN:
      return DbStatus::kCantOpen;
    default:
      return DbStatus::kError;
  }
}

class SqliteStatement : public Statement {
 public:
  SqliteStatement(sqlite3_stmt* st, DbError* last) : st_(st), last_(last) {}
  ~SqliteStatement() override { sqlite3_finalize(st_); }

  void BindNull(int pos) override { Note(sqlite3_bind_null(st_, pos)); }
  void BindInt(int pos, int64_t v) override { Note(sqlite3_bind_int64(st_, pos, v)); }
  void BindReal(int pos, double v) override { Note(sqlite3_bind_double(st_, pos, v)); }
  void BindText(int pos, std::string_view s) override {
    Note(sqlite3_bind_text64(st_, pos, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  }
  void BindBlob(int pos, std::string_view b) override {
    // An empty blob is still a blob, not NULL: SQLite binds a null pointer as NULL.
    static const char kEmpty = 0;
    Note(sqlite3_bind_blob64(st_, pos, b.empty() ? &kEmpty : b.data(), b.size(), SQLITE_TRANSIENT));
  }

  DbStatus Step() override {
    if (bindFailed_ != SQLITE_OK) return Fail(bindFailed_);
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return StatusOf(rc);
    return Fail(rc);
  }
  void Reset() override {
    sqlite3_reset(st_);
    bindFailed_ = SQLITE_OK;
  }

  bool IsNull(int col) const override { return sqlite3_column_type(st_, col) == SQLITE_NULL; }
  int64_t Int(int col) const override { return sqlite3_column_int64(st_, col); }
  double Real(int col) const override { return sqlite3_column_double(st_, col); }
  std::string_view Text(int col) const override {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(st_, col)))
             : std::string_view();
  }
  std::string_view Blob(int col) const override {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(st_, col));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(st_, col)))
             : std::string_view();
  }

 private:
  void Note(int rc) {
    if (rc != SQLITE_OK && bindFailed_ == SQLITE_OK) bindFailed_ = rc;
  }
  DbStatus Fail(int rc) {
    // The statement's reset reports the real error code of a failed step.
    sqlite3* db = sqlite3_db_handle(st_);
    last_->status = StatusOf(rc);
    last_->text = sqlite3_errmsg(db);
    return last_->status;
  }

  sqlite3_stmt* st_;
  DbError* last_;
  int bindFailed_ = SQLITE_OK;
};

class SqliteDatabase : public Database {
 public:
  explicit SqliteDatabase(sqlite3* db) : db_(db) {}
  ~SqliteDatabase() override { sqlite3_close_v2(db_); }

  const Dialect& dialect() const override { return SqliteDialect(); }

  std::unique_ptr<Statement> Prepare(std::string_view sql) override {
    sqlite3_stmt* st = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &st, nullptr);
    if (rc != SQLITE_OK) {
      Note(rc);
      sqlite3_finalize(st);
      return nullptr;
    }
    last_ = {};
    return std::make_unique<SqliteStatement>(st, &last_);
  }

  DbStatus Exec(std::string_view sql) override {
    const std::string text(sql);
    return Note(sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr));
  }

  // IMMEDIATE takes the write lock now, inside the busy time-out, rather
  // than at the first write, where a second writer could only fail.
  DbStatus Begin() override { return Exec("BEGIN IMMEDIATE"); }
  DbStatus Commit() override { return Exec("COMMIT"); }
  void Rollback() override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

  DbError LastError() const override { return last_; }

  DbStatus Note(int rc) {
    last_.status = StatusOf(rc);
    last_.text = rc == SQLITE_OK ? std::string() : std::string(sqlite3_errmsg(db_));
    return last_.status;
  }

 private:
  sqlite3* db_;
  DbError last_;
};

}  // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path, DbError* error, int busyMs) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    if (error) *error = {StatusOf(rc), raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)};
    sqlite3_close_v2(raw);
    return nullptr;
  }
  sqlite3_extended_result_codes(raw, 0);
  sqlite3_busy_timeout(raw, busyMs);
  auto db = std::make_unique<SqliteDatabase>(raw);
  // journal_mode reads the file's first page: a foreign file fails here.
  // FULL synchronous: a commit is on disk when Commit returns.
  DbStatus s =
      db->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;");
  if (s != DbStatus::kOk) {
    if (error) *error = db->LastError();
    return nullptr;
  }
  return db;
}

}  // namespace qv::catalog
