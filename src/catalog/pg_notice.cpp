#include "catalog/pg_notice.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <utility>

#include "catalog/pg_db.h"

namespace qv::catalog {

namespace {

// Every change of records ends in an update of its cells' rows (their newest
// test and number of tests), as every stock move does: the cells' updates
// are what the notices tell. Each statement notes the keys it updated in a
// setting of the transaction; a trigger deferred to the commit sends the
// notes once, as one notice, and clears them (the later rows' firings find
// nothing left to send). Notes past a notice's size become "*".
constexpr char kNoticeSql[] =
    "CREATE OR REPLACE FUNCTION quorvex_note_cells() RETURNS trigger "
    "LANGUAGE plpgsql AS $$ DECLARE noted text; keys text; BEGIN "
    "noted := coalesce(current_setting('quorvex.changed_cells', true), ''); "
    "IF noted = '*' THEN RETURN NULL; END IF; "
    "SELECT string_agg(id_key::text, ',') INTO keys FROM changed; "
    "IF keys IS NULL THEN RETURN NULL; END IF; "
    "noted := CASE WHEN noted = '' THEN keys ELSE noted || ',' || keys END; "
    "IF length(noted) > 7900 THEN noted := '*'; END IF; "
    "PERFORM set_config('quorvex.changed_cells', noted, true); "
    "RETURN NULL; END $$;"
    "CREATE OR REPLACE FUNCTION quorvex_send_cells() RETURNS trigger "
    "LANGUAGE plpgsql AS $$ DECLARE noted text; BEGIN "
    "noted := current_setting('quorvex.changed_cells', true); "
    "IF noted IS NOT NULL AND noted <> '' THEN "
    "PERFORM set_config('quorvex.changed_cells', '', true); "
    "PERFORM pg_notify('quorvex_catalog', noted); END IF; "
    "RETURN NULL; END $$;"
    // The table-named notices of before.
    "DROP TRIGGER IF EXISTS quorvex_notify_change ON records;"
    "DROP TRIGGER IF EXISTS quorvex_notify_change ON cells;"
    "DROP FUNCTION IF EXISTS quorvex_notify_change();"
    "DROP TRIGGER IF EXISTS quorvex_note_cells ON cells;"
    "CREATE TRIGGER quorvex_note_cells AFTER UPDATE ON cells REFERENCING NEW TABLE AS changed "
    "FOR EACH STATEMENT EXECUTE FUNCTION quorvex_note_cells();"
    "DROP TRIGGER IF EXISTS quorvex_send_cells ON cells;"
    "CREATE CONSTRAINT TRIGGER quorvex_send_cells AFTER UPDATE ON cells "
    "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION quorvex_send_cells();";

}  // namespace

void AddChangeNotice(std::string_view payload, CatalogChanges& into) {
  if (into.all) return;
  std::set<uint32_t> keys;
  size_t at = 0;
  while (at <= payload.size()) {
    const size_t end = std::min(payload.find(',', at), payload.size());
    const std::string_view key = payload.substr(at, end - at);
    uint32_t value = 0;
    const auto [rest, ec] = std::from_chars(key.data(), key.data() + key.size(), value);
    if (key.empty() || ec != std::errc() || rest != key.data() + key.size() || value > 999999999) {
      into.all = true;
      into.cells.clear();
      return;
    }
    keys.insert(value);
    at = end + 1;
  }
  into.cells.merge(keys);
}

DbStatus InstallChangeNotices(Database& db) {
  return InTransaction(db, [&] { return db.Exec(kNoticeSql) == DbStatus::kOk; });
}

struct ChangeListener::Conn {
  PGconn* conn = nullptr;
  ~Conn() { PQfinish(conn); }
};

ChangeListener::ChangeListener(std::unique_ptr<Conn> c) : c_(std::move(c)) {}
ChangeListener::~ChangeListener() = default;

std::unique_ptr<ChangeListener> ChangeListener::Open(const std::string& location, DbError* error) {
  const std::string problem = ServerLocationProblem(location);
  if (!problem.empty()) {
    if (error) *error = {DbStatus::kCantOpen, problem};
    return nullptr;
  }
  const std::string timeout = std::to_string(kConnectTimeoutSeconds);
  const char* keys[] = {"application_name", "dbname", "connect_timeout", nullptr};
  const char* values[] = {"quorvex", location.c_str(), timeout.c_str(), nullptr};
  auto c = std::make_unique<Conn>();
  c->conn = PQconnectdbParams(keys, values, 1);
  PGresult* r = nullptr;
  if (c->conn && PQstatus(c->conn) == CONNECTION_OK)
    r = PQexec(c->conn, (std::string("LISTEN ") + kChangeChannel).c_str());
  const bool ok = r && PQresultStatus(r) == PGRES_COMMAND_OK;
  PQclear(r);
  if (!ok) {
    std::string why = c->conn ? PQerrorMessage(c->conn) : "out of memory";
    while (!why.empty() && why.back() == '\n')
      why.pop_back();
    if (error) *error = {DbStatus::kCantOpen, why};
    return nullptr;
  }
  PQsetnonblocking(c->conn, 1);
  return std::unique_ptr<ChangeListener>(new ChangeListener(std::move(c)));
}

int ChangeListener::Socket() const {
  return Connected() ? PQsocket(c_->conn) : -1;
}

bool ChangeListener::Connected() const {
  return PQstatus(c_->conn) == CONNECTION_OK;
}

bool ChangeListener::Poll() {
  if (!Connected() || !PQconsumeInput(c_->conn)) return false;
  bool any = false;
  while (PGnotify* n = PQnotifies(c_->conn)) {
    any = true;
    AddChangeNotice(n->extra ? n->extra : "", pending_);
    PQfreemem(n);
  }
  return any;
}

CatalogChanges ChangeListener::TakeChanges() {
  return std::exchange(pending_, {});
}

bool ChangeListener::Wait(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (Poll()) return true;
    if (!Connected()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return false;
    pollfd p{PQsocket(c_->conn), POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(left));
  }
}

}  // namespace qv::catalog
