#include "catalog/pg_notice.h"

#include <libpq-fe.h>
#include <poll.h>

#include <chrono>

#include "catalog/pg_db.h"

namespace qv::catalog {

namespace {

// One statement-level trigger per table: a transaction of many records
// sends one notice (the server folds equal notices of a transaction).
constexpr char kNoticeSql[] =
    "CREATE OR REPLACE FUNCTION quorvex_notify_change() RETURNS trigger "
    "LANGUAGE plpgsql AS $$ BEGIN PERFORM pg_notify('quorvex_catalog', TG_TABLE_NAME); "
    "RETURN NULL; END $$;"
    "DROP TRIGGER IF EXISTS quorvex_notify_change ON records;"
    "CREATE TRIGGER quorvex_notify_change AFTER INSERT OR UPDATE ON records "
    "FOR EACH STATEMENT EXECUTE FUNCTION quorvex_notify_change();"
    "DROP TRIGGER IF EXISTS quorvex_notify_change ON cells;"
    "CREATE TRIGGER quorvex_notify_change AFTER UPDATE ON cells "
    "FOR EACH STATEMENT EXECUTE FUNCTION quorvex_notify_change();";

}  // namespace

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
    PQfreemem(n);
  }
  return any;
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
