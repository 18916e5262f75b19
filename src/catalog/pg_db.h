// The catalogue's engine on a server: PostgreSQL through libpq, behind the
// same interface as SQLite (db.h).
//
// Every value goes to the server as a bound parameter of a prepared
// statement (the `?` of the shared SQL become $1, $2, ...). A write
// transaction takes the catalogue's one write lock at Begin (an advisory lock
// of the transaction), as SQLite's writer lock does: two stations writing at
// once take turns, each seeing what the other committed, so a stock move
// checked and made in one transaction cannot give a cell to two packs.
// Waiting for that lock, or any other, ends after the busy time-out (kBusy).
// An INSERT is prepared on the server once a connection for its SQL and the
// types of its values, and stays prepared for the next statements of the
// same SQL; the least recently run beyond kMaxPreparedStatements are
// dropped from the server, and prepared again when run again. Any other
// statement is planned by the server for its values at every run.
// A lost connection fails every later call with kCantOpen; the caller opens
// a new one.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "catalog/db.h"

namespace qv::catalog {

// The seconds a connection attempt may take before it counts as "no server"
// (libpq's connect_timeout, which the location cannot raise): saving a data
// file never waits longer for the catalogue.
inline constexpr int kConnectTimeoutSeconds = 2;

inline constexpr size_t kMaxPreparedStatements = 64;

// True when `location` names a PostgreSQL server rather than a file: a URI
// (postgresql://, postgres://) or a key/value connection string
// ("service=quorvex", "host=lab-server dbname=quorvex").
bool IsServerLocation(std::string_view location);

// The reason `location` (a server location) is refused before connecting:
// it does not parse, or it holds a password (passwords belong in ~/.pgpass,
// the service file or PGPASSWORD, never in Dis.ini or on a command line).
// "" when it is fine. The text is libpq's own for a parse error.
std::string ServerLocationProblem(const std::string& location);

// The server location as it may be shown: host (or socket folder), port and
// database, as libpq resolves them, without a password.
std::string DescribeServer(const std::string& location);

// Connects to the server `conninfo` names (a URI or key/value string; what
// it leaves out comes from libpq's PG* variables and service file, the
// password from ~/.pgpass). The connection talks UTF-8, gives up after
// kConnectTimeoutSeconds, and waits for locks at most `busyMs`. nullptr on
// failure, with the reason in `error` (kCantOpen for no server or a refused
// login).
std::unique_ptr<Database> OpenPostgres(const std::string& conninfo, DbError* error,
                                       int busyMs = 10000);

// The shared SQL's `?` parameters numbered for PostgreSQL ($1, $2, ...),
// leaving question marks inside quotes and comments as they are.
std::string NumberedParameters(std::string_view sql);

}  // namespace qv::catalog
