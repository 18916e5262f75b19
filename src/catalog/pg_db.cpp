// The catalogue's engine on a server: PostgreSQL through libpq.
#include "catalog/pg_db.h"

#include <libpq-fe.h>

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "catalog/dialect.h"

namespace qv::catalog {
namespace {

// Type numbers of the server's built-in types (pg_type.oid), which never
// change.
constexpr Oid kBoolOid = 16;
constexpr Oid kByteaOid = 17;
constexpr Oid kInt8Oid = 20;
constexpr Oid kTextOid = 25;
constexpr Oid kFloat8Oid = 701;

// The key of the catalogue's one write lock (pg_advisory_xact_lock):
// "QVCATLOG" in ASCII.
constexpr long long kWriteLockKey = 0x5156434154'4c4f47;

// A failure's kind from its SQLSTATE class and code.
DbStatus StatusOfState(const char* state) {
  const std::string s = state ? state : "";
  if (s.size() != 5) return DbStatus::kError;
  const std::string cls = s.substr(0, 2);
  if (cls == "23") return DbStatus::kConstraint;
  if (cls == "08" || s == "57P01" || s == "57P02" || s == "57P03" || cls == "28")
    return DbStatus::kCantOpen;
  if (s == "55P03" || s == "40P01" || s == "40001") return DbStatus::kBusy;
  if (s == "53100" || s == "54000") return DbStatus::kFull;
  if (s == "25006" || s == "42501") return DbStatus::kReadOnly;
  if (cls == "XX" && (s == "XX001" || s == "XX002")) return DbStatus::kDamaged;
  return DbStatus::kError;
}

struct ResultCloser {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultCloser>;

// One bound value: its text (or bytes), whether it is NULL, its type for
// the server (0: the server infers it from where it stands) and format.
struct Param {
  std::string value;
  bool null = true;
  Oid type = 0;
  int format = 0;  // 0 text, 1 binary
};

// The connection shared by a database and its statements.
struct Connection {
  PGconn* conn = nullptr;
  DbError last;
  unsigned nextName = 0;

  // INSERTs stay prepared on the server, by their parameter types and SQL:
  // an import runs the same few for every file, and each prepare (and its
  // end) would cost a round trip and the server's parsing and planning. A
  // query or an update is not kept: the server would soon plan it once for
  // any values and keep that plan, blind to a search's values, or made while
  // an import's tables were nearly empty (scans where keys should be looked
  // up).
  struct Prepared {
    std::string name;
    uint64_t used = 0;
  };
  std::unordered_map<std::string, Prepared> prepared;  // by parameter types and SQL
  uint64_t uses = 0;

  // Drops the least recently used statement when there are too many.
  void Trim() {
    if (prepared.size() <= kMaxPreparedStatements) return;
    auto oldest = prepared.begin();
    for (auto it = prepared.begin(); it != prepared.end(); ++it)
      if (it->second.used < oldest->second.used) oldest = it;
    // Inside a failed transaction the server refuses it; the statement then
    // lives on until the connection ends, which is harmless.
    PQclear(PQexec(conn, ("DEALLOCATE " + oldest->second.name).c_str()));
    prepared.erase(oldest);
  }

  // Notes how `r` ended; kOk for a command or rows, else the failure.
  DbStatus Note(const PGresult* r) {
    const ExecStatusType st = PQresultStatus(r);
    if (r && (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK)) {
      last = {};
      return DbStatus::kOk;
    }
    last.text = r ? PQresultErrorMessage(r) : PQerrorMessage(conn);
    if (last.text.empty()) last.text = PQerrorMessage(conn);
    while (!last.text.empty() && last.text.back() == '\n')
      last.text.pop_back();
    last.status = PQstatus(conn) == CONNECTION_BAD
                      ? DbStatus::kCantOpen
                      : StatusOfState(r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr);
    return last.status;
  }
};

std::string HexDecode(const char* text, size_t len) {
  // bytea's text form: "\x" and two hex digits per byte.
  std::string out;
  if (len < 2 || text[0] != '\\' || text[1] != 'x') return out;
  out.reserve((len - 2) / 2);
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (size_t i = 2; i + 1 < len; i += 2)
    out.push_back(static_cast<char>(nibble(text[i]) << 4 | nibble(text[i + 1])));
  return out;
}

// Whether `sql` is an INSERT.
bool IsInsert(std::string_view sql) {
  const size_t at = sql.find_first_not_of(" \t\n");
  if (at == std::string_view::npos || sql.size() - at < 6) return false;
  for (size_t i = 0; i < 6; ++i)
    if (std::toupper(static_cast<unsigned char>(sql[at + i])) != "INSERT"[i]) return false;
  return true;
}

// Runs `send` (a prepare, or a run of SQL, with parameter types) with the
// types of the values bound, so that a parameter standing where the server
// cannot infer a type (`? IS NULL`) still has one; a text or NULL where
// nothing tells its type is sent again as a text.
template <typename Send>
Result WithTypes(const std::vector<Oid>& types, Send&& send) {
  Result r(send(types));
  const char* state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
  if (state && std::strcmp(state, "42P18") == 0) {
    std::vector<Oid> texts = types;
    for (Oid& t : texts)
      if (t == 0) t = kTextOid;
    r.reset(send(texts));
  }
  return r;
}

class PgStatement : public Statement {
 public:
  PgStatement(std::shared_ptr<Connection> c, std::string sql)
      : c_(std::move(c)), sql_(std::move(sql)), kept_(IsInsert(sql_)) {}

  void BindNull(int pos) override { Set(pos, {}); }
  void BindInt(int pos, int64_t v) override { Set(pos, {std::to_string(v), false, kInt8Oid, 0}); }
  void BindReal(int pos, double v) override {
    char buf[32];
    // Shortest text that reads back as exactly v; inf and nan as the server spells them.
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string text = ec == std::errc() ? std::string(buf, end) : "NaN";
    if (text == "inf") text = "Infinity";
    if (text == "-inf") text = "-Infinity";
    if (text == "nan" || text == "-nan") text = "NaN";
    Set(pos, {text, false, kFloat8Oid, 0});
  }
  void BindText(int pos, std::string_view s) override { Set(pos, {std::string(s), false, 0, 0}); }
  void BindBlob(int pos, std::string_view b) override {
    Set(pos, {std::string(b), false, kByteaOid, 1});
  }

  DbStatus Step() override;
  void Reset() override {
    result_.reset();
    row_ = -1;
  }

  bool IsNull(int col) const override { return PQgetisnull(result_.get(), row_, col) != 0; }
  // Numbers are read with from_chars: exact as strtod, blind to the locale,
  // and faster, which a search of many cells feels.
  int64_t Int(int col) const override {
    const std::string_view v = Text(col);
    if (PQftype(result_.get(), col) == kBoolOid) return !v.empty() && v[0] == 't' ? 1 : 0;
    int64_t n = 0;
    std::from_chars(v.data(), v.data() + v.size(), n);
    return n;
  }
  double Real(int col) const override {
    const std::string_view v = Text(col);
    double d = 0;
    if (std::from_chars(v.data(), v.data() + v.size(), d).ec != std::errc())
      d = std::strtod(PQgetvalue(result_.get(), row_, col), nullptr);
    return d;
  }
  std::string_view Text(int col) const override {
    return {PQgetvalue(result_.get(), row_, col),
            static_cast<size_t>(PQgetlength(result_.get(), row_, col))};
  }
  std::string_view Blob(int col) const override;

 private:
  void Set(int pos, Param p) {
    if (pos < 1) return;
    if (params_.size() < static_cast<size_t>(pos)) params_.resize(static_cast<size_t>(pos));
    params_[static_cast<size_t>(pos) - 1] = std::move(p);
  }
  DbStatus Prepare(const std::vector<Oid>& types);

  std::shared_ptr<Connection> c_;
  std::string sql_;
  // An INSERT stays prepared (its plan has nothing to choose, so the server's
  // plan for any values is as good as one for these); anything else is
  // planned for its values and the tables as they are at every run, unnamed.
  bool kept_;
  std::string name_;  // the server's name of the statement as last run
  std::vector<Param> params_;
  Result result_;
  int row_ = -1;
  mutable std::vector<std::string> blobs_;  // decoded blobs of the current row
  mutable int blobRow_ = -1;
};

// Prepared on the first run with the types of the values bound (WithTypes),
// and again when later values have other types. The connection keeps what
// was prepared: the same SQL with the same types is prepared once a
// connection.
DbStatus PgStatement::Prepare(const std::vector<Oid>& types) {
  std::string key = std::to_string(types.size()) + ":";
  key.append(reinterpret_cast<const char*>(types.data()), types.size() * sizeof(Oid));
  key += sql_;
  if (auto it = c_->prepared.find(key); it != c_->prepared.end()) {
    it->second.used = ++c_->uses;
    name_ = it->second.name;
    return DbStatus::kOk;
  }
  const std::string name = "qv" + std::to_string(c_->nextName++);
  Result r = WithTypes(types, [&](const std::vector<Oid>& t) {
    return PQprepare(c_->conn, name.c_str(), sql_.c_str(), static_cast<int>(t.size()), t.data());
  });
  const DbStatus s = c_->Note(r.get());
  if (s != DbStatus::kOk) return s;
  c_->prepared[key] = {name, ++c_->uses};
  c_->Trim();
  name_ = name;
  return s;
}

DbStatus PgStatement::Step() {
  // After its end a statement runs again, as SQLite's does.
  if (result_ && row_ >= PQntuples(result_.get())) result_.reset();
  if (!result_) {
    std::vector<Oid> types;
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (const Param& p : params_) {
      types.push_back(p.type);
      values.push_back(p.null ? nullptr : p.value.data());
      lengths.push_back(static_cast<int>(p.value.size()));
      formats.push_back(p.format);
    }
    const int n = static_cast<int>(values.size());
    if (kept_) {
      const DbStatus s = Prepare(types);
      if (s != DbStatus::kOk) return s;
      result_.reset(PQexecPrepared(c_->conn, name_.c_str(), n, values.data(), lengths.data(),
                                   formats.data(), 0));
    } else {
      result_ = WithTypes(types, [&](const std::vector<Oid>& t) {
        return PQexecParams(c_->conn, sql_.c_str(), n, t.data(), values.data(), lengths.data(),
                            formats.data(), 0);
      });
    }
    const DbStatus run = c_->Note(result_.get());
    if (run != DbStatus::kOk) {
      result_.reset();
      return run;
    }
    row_ = -1;
    blobRow_ = -1;
  }
  if (++row_ < PQntuples(result_.get())) return DbStatus::kRow;
  row_ = PQntuples(result_.get());
  return DbStatus::kDone;
}

std::string_view PgStatement::Blob(int col) const {
  if (IsNull(col)) return {};
  if (PQftype(result_.get(), col) != kByteaOid) return Text(col);
  if (blobRow_ != row_) {
    blobs_.assign(static_cast<size_t>(PQnfields(result_.get())), std::string());
    blobRow_ = row_;
  }
  std::string& b = blobs_[static_cast<size_t>(col)];
  if (b.empty())
    b = HexDecode(PQgetvalue(result_.get(), row_, col),
                  static_cast<size_t>(PQgetlength(result_.get(), row_, col)));
  return b;
}

class PgDatabase : public Database {
 public:
  explicit PgDatabase(std::shared_ptr<Connection> c) : c_(std::move(c)) {}
  ~PgDatabase() override { PQfinish(c_->conn); }

  const Dialect& dialect() const override { return PostgresDialect(); }

  std::unique_ptr<Statement> Prepare(std::string_view sql) override {
    if (PQstatus(c_->conn) != CONNECTION_OK) {
      c_->last = {DbStatus::kCantOpen, PQerrorMessage(c_->conn)};
      return nullptr;
    }
    c_->last = {};
    return std::make_unique<PgStatement>(c_, NumberedParameters(sql));
  }

  DbStatus Exec(std::string_view sql) override {
    Result r(PQexec(c_->conn, std::string(sql).c_str()));
    return c_->Note(r.get());
  }

  // The transaction and its lock in one round trip.
  DbStatus Begin() override {
    const DbStatus locked =
        Exec("BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(kWriteLockKey) + ")");
    if (locked != DbStatus::kOk) Rollback();
    return locked;
  }
  DbStatus Commit() override { return Exec("COMMIT"); }
  void Rollback() override {
    if (PQtransactionStatus(c_->conn) == PQTRANS_IDLE) return;
    const DbError keep = c_->last;  // the reason the caller rolls back
    Result(PQexec(c_->conn, "ROLLBACK"));
    c_->last = keep;
  }

  DbError LastError() const override { return c_->last; }

 private:
  std::shared_ptr<Connection> c_;
};

// The options of a connection string (nullptr when it does not parse, with
// libpq's reason in `why`).
struct OptionsCloser {
  void operator()(PQconninfoOption* o) const { PQconninfoFree(o); }
};
using Options = std::unique_ptr<PQconninfoOption, OptionsCloser>;

Options Parse(const std::string& conninfo, std::string* why) {
  char* err = nullptr;
  Options opts(PQconninfoParse(conninfo.c_str(), &err));
  if (!opts && why) *why = err ? err : "out of memory";
  PQfreemem(err);
  if (why)
    while (!why->empty() && why->back() == '\n')
      why->pop_back();
  return opts;
}

}  // namespace

bool IsServerLocation(std::string_view location) {
  const size_t start = location.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  location.remove_prefix(start);
  if (location.starts_with("postgresql://") || location.starts_with("postgres://")) return true;
  // key=value: a libpq keyword (letters and '_') before the first '='.
  size_t i = 0;
  while (i < location.size() &&
         (std::isalpha(static_cast<unsigned char>(location[i])) || location[i] == '_'))
    ++i;
  while (i < location.size() && (location[i] == ' ' || location[i] == '\t'))
    ++i;
  return i > 0 && i < location.size() && location[i] == '=';
}

std::string ServerLocationProblem(const std::string& location) {
  std::string why;
  const Options opts = Parse(location, &why);
  if (!opts) return why;
  for (const PQconninfoOption* o = opts.get(); o->keyword; ++o)
    if (std::strcmp(o->keyword, "password") == 0 && o->val && *o->val)
      return "a password in the connection string (use ~/.pgpass or the service file)";
  return "";
}

std::string DescribeServer(const std::string& location) {
  const Options opts = Parse(location, nullptr);
  if (!opts) return location;
  std::string host, port, db, service;
  for (const PQconninfoOption* o = opts.get(); o->keyword; ++o) {
    const std::string k = o->keyword;
    const std::string v = o->val ? o->val : "";
    if (k == "host" || (k == "hostaddr" && host.empty())) host = v;
    if (k == "port") port = v;
    if (k == "dbname") db = v;
    if (k == "service") service = v;
  }
  std::string out = service.empty() ? "" : "service=" + service + " ";
  out += host.empty() ? "(local socket)" : host;
  if (!port.empty()) out += ":" + port;
  if (!db.empty()) out += "/" + db;
  return out;
}

std::unique_ptr<Database> OpenPostgres(const std::string& conninfo, DbError* error, int busyMs) {
  const std::string problem = ServerLocationProblem(conninfo);
  if (!problem.empty()) {
    if (error) *error = {DbStatus::kCantOpen, problem};
    return nullptr;
  }
  // The location is expanded in place of dbname; the options after it win
  // over what it says.
  const std::string timeout = std::to_string(kConnectTimeoutSeconds);
  const char* keys[] = {"application_name", "dbname", "connect_timeout", "client_encoding",
                        nullptr};
  const char* values[] = {"quorvex", conninfo.c_str(), timeout.c_str(), "UTF8", nullptr};
  auto c = std::make_shared<Connection>();
  c->conn = PQconnectdbParams(keys, values, 1);
  if (!c->conn || PQstatus(c->conn) != CONNECTION_OK) {
    std::string why = c->conn ? PQerrorMessage(c->conn) : "out of memory";
    while (!why.empty() && why.back() == '\n')
      why.pop_back();
    if (error) *error = {DbStatus::kCantOpen, why};
    PQfinish(c->conn);
    return nullptr;
  }
  auto db = std::make_unique<PgDatabase>(c);
  // Notices (NOTICE: relation exists, skipping) are not the user's business.
  PQsetNoticeProcessor(
      c->conn, [](void*, const char*) {}, nullptr);
  const DbStatus s = db->Exec("SET lock_timeout = " + std::to_string(busyMs));
  if (s != DbStatus::kOk) {
    if (error) *error = db->LastError();
    return nullptr;
  }
  return db;
}

std::string NumberedParameters(std::string_view sql) {
  std::string out;
  out.reserve(sql.size() + 16);
  int n = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char ch = sql[i];
    if (ch == '\'' || ch == '"') {
      // A quoted text or name, its doubled quotes included, goes as it is.
      const size_t end = sql.find(ch, i + 1);
      const size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
      out.append(sql.substr(i, stop - i));
      i = stop - 1;
    } else if (ch == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const size_t end = sql.find('\n', i);
      const size_t stop = end == std::string_view::npos ? sql.size() : end;
      out.append(sql.substr(i, stop - i));
      i = stop - 1;
    } else if (ch == '?') {
      out += "$" + std::to_string(++n);
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace qv::catalog
