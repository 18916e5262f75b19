// The catalogue's filter language, turned into an SQL condition with bound
// parameters. The user's text never reaches the SQL: names come from a fixed
// table of columns, values become parameters.
//
//   expr  := term { "or" term }
//   term  := factor { "and" factor }
//   factor:= "not" factor | "(" expr ")" | NAME OP VALUE
//   OP    := = == != <> < <= > >= ~
//
// Names: capacity, energy, avg1, avg2, avg3, ir, pir, time (the criteria of
// matching), cells, current_a, current_b, current_c (numbers: 4100, -1.5,
// 3e2), date (a day, 2026-01-31 or 2026/01/31, bare or quoted; compared by
// day) and remark (a quoted text, '...' or "...", a quote doubled inside;
// `~` is "contains"). Keywords and names are case-insensitive. Nesting is
// limited to 64 levels.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qv::catalog {

class Statement;
struct Dialect;

using SqlValue = std::variant<double, std::string>;

struct SqlFilter {
  std::string sql;               // a condition over the records table `r`
  std::vector<SqlValue> params;  // bound in order of their `?`
};

struct FilterError {
  size_t column = 0;    // 1-based character (not byte) of the UTF-8 text
  std::string message;  // CP932, names what is wrong there
};

// Parses `utf8`. True with `out` filled; false with `error` set. An empty
// or blank text is refused too (the caller leaves the filter out instead).
bool ParseFilter(std::string_view utf8, const Dialect& dialect, SqlFilter& out, FilterError& error);

// The message of a refused filter for the user (CP932): the message with its
// column, the text, and a caret under the character at fault.
std::string FilterErrorText(std::string_view utf8, const FilterError& error);

// "YYYY-MM-DD" or "YYYY/MM/DD" (a real day) as the catalogue's day text
// "YYYY/MM/DD"; empty when it is not one.
std::string DayText(std::string_view text);

// Binds `params` from position `first` on.
void BindParams(Statement& st, const std::vector<SqlValue>& params, int first = 1);

}  // namespace qv::catalog
