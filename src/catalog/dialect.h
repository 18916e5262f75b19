// The SQL that differs between the catalogue's database engines, in one
// place. Everything else the catalogue sends is the SQL both engines take:
// TEXT, BIGINT and DOUBLE PRECISION columns, INSERT ... ON CONFLICT,
// RETURNING, `?` parameters.
#pragma once

#include <string>
#include <string_view>

namespace qv::catalog {

struct Dialect {
  std::string_view name;      // "sqlite", "postgresql"
  std::string_view blobType;  // a column of bytes
  std::string_view idColumn;  // an integer primary key the engine numbers
  std::string_view realType;  // a double-precision real
  // "expression contains parameter": an exact, case-sensitive substring test
  // of a text column against one bound text, without wildcards.
  std::string_view containsFormat;  // with %s for the column
  // The names of the tables in the database (one column of rows).
  std::string_view tablesQuery;

  std::string Contains(std::string_view column) const;
};

const Dialect& SqliteDialect();
const Dialect& PostgresDialect();

}  // namespace qv::catalog
