// The one small interface the catalogue speaks to its database engine
// through: open, prepare a statement with bound parameters, step through its
// rows, read columns, transactions and the last error. SQLite (this folder's
// sqlite_db.cpp) implements it on one computer; a server engine implements
// the same interface.
//
// SQL handed to Prepare and Exec is the shared, portable SQL of the
// catalogue; what differs between the engines comes from the Dialect
// (dialect.h). Parameters are written `?` and bound by their 1-based
// position in the text; an engine whose server numbers them otherwise
// rewrites them itself. Every value from outside the program is bound, never
// pasted into the SQL text.
//
// Nothing here throws. A failed call returns an error status (or nullptr for
// Prepare) and leaves its reason in LastError() until the next call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qv::catalog {

struct Dialect;

// What a call ended with. kRow and kDone are the two good ends of Step; the
// rest are failures, sorted by what the user can do about them.
enum class DbStatus {
  kOk,
  kRow,         // Step: a row is ready for the column getters
  kDone,        // Step: the statement ran to its end
  kBusy,        // another program held the database longer than the time-out
  kConstraint,  // a unique, foreign key or check constraint refused the change
  kDamaged,     // the file is damaged or is not a database of this engine
  kFull,        // the disk (or the server's quota) is full
  kReadOnly,    // the database or its folder cannot be written
  kCantOpen,    // the database cannot be opened or reached at all
  kError,       // anything else (a fault of the SQL, an engine fault)
};

// A failure as the engine reported it: its kind and the engine's own text
// (not for the user as it stands; callers word the message).
struct DbError {
  DbStatus status = DbStatus::kOk;
  std::string text;
  bool ok() const { return status == DbStatus::kOk; }
};

// A prepared statement. Bind calls take 1-based parameter positions; column
// getters 0-based column numbers of the current row, valid after Step gave
// kRow. Texts and blobs returned stay valid until the next Step, Reset or
// the statement's end.
class Statement {
 public:
  virtual ~Statement() = default;

  virtual void BindNull(int pos) = 0;
  virtual void BindInt(int pos, int64_t value) = 0;
  virtual void BindReal(int pos, double value) = 0;
  virtual void BindText(int pos, std::string_view utf8) = 0;
  virtual void BindBlob(int pos, std::string_view bytes) = 0;

  // kRow, kDone, or a failure (a failure of a Bind shows here too).
  virtual DbStatus Step() = 0;
  // Ready to run again; the bound values stay until bound anew.
  virtual void Reset() = 0;

  virtual bool IsNull(int col) const = 0;
  virtual int64_t Int(int col) const = 0;
  virtual double Real(int col) const = 0;
  virtual std::string_view Text(int col) const = 0;
  virtual std::string_view Blob(int col) const = 0;
};

class Database {
 public:
  virtual ~Database() = default;

  // The engine's SQL differences.
  virtual const Dialect& dialect() const = 0;

  // A statement of one SQL command, or nullptr (LastError says why).
  virtual std::unique_ptr<Statement> Prepare(std::string_view sql) = 0;
  // Runs SQL without parameters (several commands separated by ';').
  virtual DbStatus Exec(std::string_view sql) = 0;

  // A write transaction. Begin takes the write lock at once, waiting up to
  // the busy time-out for another writer (so two programs importing at once
  // take turns instead of failing halfway).
  virtual DbStatus Begin() = 0;
  virtual DbStatus Commit() = 0;
  // Never fails from the caller's view: a rollback of no transaction is
  // harmless.
  virtual void Rollback() = 0;

  virtual DbError LastError() const = 0;
};

// Runs a transaction around `work` (which returns true to commit): Begin,
// then Commit when it returns true, Rollback otherwise or when the commit
// fails. Returns kOk on a commit, the failing status otherwise (kError when
// `work` said no without a database failure).
template <typename Work>
DbStatus InTransaction(Database& db, Work&& work) {
  DbStatus s = db.Begin();
  if (s != DbStatus::kOk) return s;
  if (!work()) {
    DbStatus why = db.LastError().status;
    db.Rollback();
    return why == DbStatus::kOk ? DbStatus::kError : why;
  }
  s = db.Commit();
  if (s != DbStatus::kOk) db.Rollback();
  return s;
}

// Steps a statement that returns no rows (or whose rows do not matter) to
// its end: true for kDone.
inline bool RunToEnd(Statement& st) {
  DbStatus s;
  while ((s = st.Step()) == DbStatus::kRow) {
  }
  return s == DbStatus::kDone;
}

// Opens (creating when missing) the SQLite database file at `path`: WAL
// journal, foreign keys on, a busy time-out of `busyMs` milliseconds.
// nullptr on failure, with the reason in `error`. A file that is not a
// SQLite database is refused here (kDamaged), not at the first query.
std::unique_ptr<Database> OpenSqlite(const std::string& path, DbError* error, int busyMs = 10000);

}  // namespace qv::catalog
