// Feeds arbitrary text to the catalogue's filter parser: it must never crash
// or recurse without end; every filter it accepts is one valid SQL condition
// whose `?` marks match its parameters, so no text of the input reaches the
// SQL.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalog/db.h"
#include "catalog/dialect.h"
#include "catalog/filter.h"

namespace {

qv::catalog::Database& Db() {
  static auto db = [] {
    auto d = qv::catalog::OpenSqlite(":memory:", nullptr);
    if (!d || d->Exec("CREATE TABLE records (capacity, energy, avg1, avg2, avg3, ir, pir, "
                      "discharge_time, cell_count, current_a, current_b, current_c, date_time, "
                      "remark)") != qv::catalog::DbStatus::kOk)
      __builtin_trap();
    return d;
  }();
  return *db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qv::catalog::SqlFilter out;
  qv::catalog::FilterError error;
  if (!qv::catalog::ParseFilter(text, qv::catalog::SqliteDialect(), out, error)) {
    if (error.message.empty() || error.column < 1 || error.column > size + 1) __builtin_trap();
    (void)qv::catalog::FilterErrorText(text, error);
    return 0;
  }
  size_t marks = 0;
  for (char c : out.sql) {
    if (c == '?') ++marks;
    if (c == '\'' || c == '"' || c == ';') __builtin_trap();
  }
  if (marks != out.params.size()) __builtin_trap();
  auto st = Db().Prepare("SELECT 1 FROM records r WHERE " + out.sql);
  if (!st) __builtin_trap();
  qv::catalog::BindParams(*st, out.params);
  if (st->Step() != qv::catalog::DbStatus::kDone) __builtin_trap();
  return 0;
}
