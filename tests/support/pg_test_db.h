// The tests' PostgreSQL server: a fresh database per test on the server
// that ./test.sh or ctest's fixture started (scripts/pg_test_server.sh), and
// private servers for the tests that stop one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace qv::test {

// The connection string of the tests' server: QV_TEST_PG when set (./test.sh
// sets it, a developer may name any server a superuser can use), else the
// one ctest's server fixture gives (QV_TEST_PG_CTEST); empty without both.
std::string PgServerConninfo();

// Whether the catalogue's tests run on the server this time rather than on
// SQLite files: QV_TEST_CATALOG_ENGINE=postgresql (ctest runs them a second
// time so, as pg.CatalogTest.*).
bool CatalogTestsOnServer();

// `conninfo` (a URI or key/value string) with `key` set to `value`, as a
// key/value string. Throws std::runtime_error when it does not parse.
std::string PgConninfoWith(const std::string& conninfo, const std::string& key,
                           const std::string& value);

// Runs `sql` (one or more statements) on `conninfo`; the server's error
// message when it fails, "" when it succeeded.
std::string PgRun(const std::string& conninfo, const std::string& sql);

// The first column of the first row `sql` returns; "" without rows. Throws
// std::runtime_error on failure.
std::string PgValue(const std::string& conninfo, const std::string& sql);

// Runs the SQL script `path` with psql (so psql's variables work), stopping
// at the first error; `vars` are name=value pairs for -v. psql's error
// output when it fails, "" when it succeeded.
std::string PgRunScript(const std::string& conninfo, const std::string& path,
                        const std::vector<std::string>& vars = {});

// A database of its own for one test, made on construction and dropped
// (with any connection still open to it) at destruction. Tests that hold one
// run in parallel without seeing each other's tables. Roles are the
// server's, shared by every database: a test names its own (Role()).
class PgTestDatabase {
 public:
  PgTestDatabase();  // throws std::runtime_error when the server refuses
  ~PgTestDatabase();
  PgTestDatabase(const PgTestDatabase&) = delete;
  PgTestDatabase& operator=(const PgTestDatabase&) = delete;

  const std::string& name() const { return name_; }
  // Connection string of the database as the server's superuser, or as
  // `user` (local connections are trusted).
  std::string Conninfo(const std::string& user = "") const;
  // A role name unique to this database ("<database>_<base>"), dropped with
  // it when made through MakeLoginRole.
  std::string Role(const std::string& base) const { return name_ + "_" + base; }
  // Makes the login role Role(base), member of the roles `memberOf`.
  std::string MakeLoginRole(const std::string& base, const std::vector<std::string>& memberOf);
  // Role(base), to be dropped with the database (made by a script).
  std::string OwnRole(const std::string& base) {
    roles_.push_back(Role(base));
    return roles_.back();
  }

 private:
  std::string server_;
  std::string name_;
  std::vector<std::string> roles_;
};

// A server of the test's own in a fresh folder, for tests that stop and start
// it; stopped and removed at destruction.
class PgPrivateServer {
 public:
  PgPrivateServer();  // throws std::runtime_error when it does not start
  ~PgPrivateServer();
  PgPrivateServer(const PgPrivateServer&) = delete;
  PgPrivateServer& operator=(const PgPrivateServer&) = delete;

  const std::string& Conninfo() const { return conninfo_; }
  void Down();  // stops it; its data stays
  void Up();    // starts it again on the same socket

 private:
  std::string dir_;
  std::string conninfo_;
};

}  // namespace qv::test

// Skips the test, saying why, when no server is named.
#define QV_REQUIRE_PG()                                                                 \
  do {                                                                                  \
    if (::qv::test::PgServerConninfo().empty())                                         \
      GTEST_SKIP() << "no PostgreSQL server: set QV_TEST_PG to a connection string "    \
                      "(./test.sh and ctest start one with scripts/pg_test_server.sh)"; \
  } while (0)
