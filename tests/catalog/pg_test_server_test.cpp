// The tests' PostgreSQL server itself: what the catalogue's tests stand on.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/pg_test_db.h"

namespace qv::test {
namespace {

TEST(PgTestServer, GivesEachTestADatabaseOfItsOwnThatGoesWithIt) {
  QV_REQUIRE_PG();
  std::string gone;
  {
    PgTestDatabase a, b;
    ASSERT_EQ(PgRun(a.Conninfo(), "CREATE TABLE t (x int); INSERT INTO t VALUES (7)"), "");
    EXPECT_EQ(PgValue(a.Conninfo(), "SELECT x FROM t"), "7");
    EXPECT_NE(PgRun(b.Conninfo(), "SELECT x FROM t"), "");
    EXPECT_EQ(PgValue(a.Conninfo(), "SELECT current_database()"), a.name());
    gone = a.name();
  }
  EXPECT_EQ(PgValue(PgServerConninfo(),
                    "SELECT count(*) FROM pg_database WHERE datname = '" + gone + "'"),
            "0");
}

TEST(PgTestServer, ConninfoWithReplacesOneKeyOfAUriOrAKeyValueString) {
  EXPECT_EQ(PgConninfoWith("postgresql://u@%2Ftmp%2Fs/db", "dbname", "x"),
            "user='u' host='/tmp/s' dbname='x'");
  EXPECT_EQ(PgConninfoWith("host=/tmp/s dbname=db", "user", "o'k"),
            "dbname='db' host='/tmp/s' user='o\\'k'");
  EXPECT_THROW(PgConninfoWith("host='unclosed", "user", "u"), std::runtime_error);
}

TEST(PgTestServer, APrivateServerKeepsItsDataWhileItIsDown) {
  QV_REQUIRE_PG();
  PgPrivateServer server;
  ASSERT_EQ(PgRun(server.Conninfo(), "CREATE TABLE t (x int); INSERT INTO t VALUES (1)"), "");
  server.Down();
  EXPECT_THROW(PgValue(server.Conninfo(), "SELECT 1"), std::runtime_error);
  server.Up();
  EXPECT_EQ(PgValue(server.Conninfo(), "SELECT x FROM t"), "1");
}

}  // namespace
}  // namespace qv::test
