#include "catalog/filter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "catalog/db.h"
#include "catalog/dialect.h"
#include "data/codec.h"

namespace qv::catalog {
namespace {

enum class Kind { kNumber, kDay, kText };

struct Column {
  std::string_view name;
  std::string_view sql;
  Kind kind;
};

// The names a filter may use and the record columns behind them.
constexpr Column kColumns[] = {
    {"capacity", "r.capacity", Kind::kNumber},
    {"energy", "r.energy", Kind::kNumber},
    {"avg1", "r.avg1", Kind::kNumber},
    {"avg2", "r.avg2", Kind::kNumber},
    {"avg3", "r.avg3", Kind::kNumber},
    {"ir", "r.ir", Kind::kNumber},
    {"pir", "r.pir", Kind::kNumber},
    {"time", "r.discharge_time", Kind::kNumber},
    {"cells", "r.cell_count", Kind::kNumber},
    {"current_a", "r.current_a", Kind::kNumber},
    {"current_b", "r.current_b", Kind::kNumber},
    {"current_c", "r.current_c", Kind::kNumber},
    {"date", "substr(r.date_time, 1, 10)", Kind::kDay},
    {"remark", "r.remark", Kind::kText},
};

constexpr int kMaxDepth = 64;

enum class Tok { kEnd, kWord, kNumberish, kString, kOp, kOpen, kClose, kBad };

struct Token {
  Tok tok = Tok::kEnd;
  size_t at = 0;     // byte offset
  std::string text;  // the word, the run, the unquoted string or the operator
};

bool IsWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (c >= '0' && c <= '9');
}
bool IsRunChar(char c) {
  return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == '/' || c == 'e' ||
         c == 'E';
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

class Parser {
 public:
  Parser(std::string_view text, const Dialect& dialect, SqlFilter& out)
      : s_(text), dialect_(dialect), out_(out) {}

  bool Run(FilterError& error) {
    Next();
    if (cur_.tok == Tok::kEnd)
      Fail(cur_.at, "検索条件がありません。");
    else if (Or(0) && cur_.tok == Tok::kBad)
      BadToken();
    else if (cur_.tok != Tok::kEnd)
      Fail(cur_.at, "ここで条件が終わるはずです。「and」か「or」が抜けていませんか。");
    error = error_;
    return error_.message.empty();
  }

 private:
  bool Fail(size_t at, std::string_view utf8) {
    if (error_.message.empty()) {
      error_.column = CharColumn(at);
      error_.message = Sj(utf8);
    }
    return false;
  }

  size_t CharColumn(size_t byteAt) const {
    size_t chars = 0;
    for (size_t i = 0; i < byteAt && i < s_.size(); ++i)
      if ((static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80) ++chars;
    return chars + 1;
  }

  void Next() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
    cur_ = Token{Tok::kEnd, pos_, {}};
    if (pos_ >= s_.size()) return;
    const char c = s_[pos_];
    if (c == '(' || c == ')') {
      cur_.tok = c == '(' ? Tok::kOpen : Tok::kClose;
      ++pos_;
    } else if (c == '\'' || c == '"') {
      LexString(c);
    } else if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
      size_t end = pos_;
      while (end < s_.size() && (IsRunChar(s_[end]) || IsWordChar(s_[end])))
        ++end;
      cur_ = {Tok::kNumberish, pos_, std::string(s_.substr(pos_, end - pos_))};
      pos_ = end;
    } else if (IsWordChar(c)) {
      size_t end = pos_;
      while (end < s_.size() && IsWordChar(s_[end]))
        ++end;
      cur_ = {Tok::kWord, pos_, Lower(std::string(s_.substr(pos_, end - pos_)))};
      pos_ = end;
    } else {
      LexOperator();
    }
  }

  void LexString(char quote) {
    std::string text;
    size_t i = pos_ + 1;
    for (;;) {
      if (i >= s_.size()) {
        cur_ = {Tok::kBad, pos_, "unclosed"};
        pos_ = s_.size();
        return;
      }
      if (s_[i] == quote) {
        if (i + 1 < s_.size() && s_[i + 1] == quote) {
          text += quote;
          i += 2;
          continue;
        }
        break;
      }
      text += s_[i++];
    }
    cur_ = {Tok::kString, pos_, std::move(text)};
    pos_ = i + 1;
  }

  void LexOperator() {
    static constexpr std::string_view kOps[] = {"==", "!=", "<>", "<=", ">=", "=", "<", ">", "~"};
    for (std::string_view op : kOps) {
      if (s_.substr(pos_, op.size()) == op) {
        cur_ = {Tok::kOp, pos_, std::string(op)};
        pos_ += op.size();
        return;
      }
    }
    cur_ = {Tok::kBad, pos_, "char"};
    pos_ = s_.size();
  }

  bool IsKeyword(std::string_view k) const { return cur_.tok == Tok::kWord && cur_.text == k; }

  bool Or(int depth) {
    if (!And(depth)) return false;
    while (IsKeyword("or")) {
      Next();
      out_.sql.insert(0, "(");
      out_.sql += " OR ";
      if (!And(depth)) return false;
      out_.sql += ")";
    }
    return true;
  }

  // Conditions are appended to out_.sql as they are parsed; a group is
  // opened by putting "(" in front of what the level has produced so far.
  bool And(int depth) {
    const size_t start = out_.sql.size();
    if (!Not(depth)) return false;
    while (IsKeyword("and")) {
      Next();
      out_.sql.insert(start, "(");
      out_.sql += " AND ";
      if (!Not(depth)) return false;
      out_.sql += ")";
    }
    return true;
  }

  bool Not(int depth) {
    if (depth >= kMaxDepth) return Fail(cur_.at, "括弧や「not」の重なりが深すぎます。");
    if (IsKeyword("not")) {
      Next();
      out_.sql += "NOT (";
      if (!Not(depth + 1)) return false;
      out_.sql += ")";
      return true;
    }
    if (cur_.tok == Tok::kOpen) {
      const size_t open = cur_.at;
      Next();
      // The nested expression is built alone and then put in place, so the
      // group marks of the inner levels stay inside it.
      std::string outer = std::move(out_.sql);
      out_.sql.clear();
      const bool ok = Or(depth + 1);
      std::string inner = std::move(out_.sql);
      out_.sql = std::move(outer) + "(" + inner + ")";
      if (!ok) return false;
      if (cur_.tok != Tok::kClose) {
        Fail(cur_.tok == Tok::kEnd ? open : cur_.at, "「(」に対応する「)」がありません。");
        return false;
      }
      Next();
      return true;
    }
    return Comparison();
  }

  bool Comparison() {
    if (cur_.tok == Tok::kBad) return BadToken();
    if (cur_.tok != Tok::kWord) return Fail(cur_.at, "項目名がありません。");
    const Column* col = nullptr;
    for (const Column& c : kColumns)
      if (c.name == cur_.text) col = &c;
    if (!col)
      return Fail(cur_.at,
                  "この項目名は使えません。使える項目名は capacity, energy, avg1, avg2, avg3, ir, "
                  "pir, time, cells, current_a, current_b, current_c, date, remark です。");
    Next();
    if (cur_.tok == Tok::kBad) return BadToken();
    if (cur_.tok != Tok::kOp) return Fail(cur_.at, "比較の記号（= != < <= > >= ~）がありません。");
    std::string op = cur_.text;
    const size_t opAt = cur_.at;
    if (op == "==") op = "=";
    if (op == "!=") op = "<>";
    Next();
    if (op == "~" && col->kind != Kind::kText)
      return Fail(opAt, "「~」（含む）は remark にだけ使えます。");
    if (col->kind == Kind::kText && op != "=" && op != "<>" && op != "~")
      return Fail(opAt, "remark には = != ~ だけが使えます。");
    std::optional<SqlValue> value = Value(*col);
    if (!value) return false;
    if (op == "~")
      out_.sql += dialect_.Contains(col->sql);
    else
      out_.sql += std::string(col->sql) + " " + op + " ?";
    out_.params.push_back(std::move(*value));
    return true;
  }

  std::optional<SqlValue> Value(const Column& col) {
    const Token t = cur_;
    if (t.tok == Tok::kBad) {
      BadToken();
      return std::nullopt;
    }
    if (t.tok == Tok::kEnd || t.tok == Tok::kOp || t.tok == Tok::kOpen || t.tok == Tok::kClose) {
      Fail(t.at, "比べる値がありません。");
      return std::nullopt;
    }
    Next();
    switch (col.kind) {
      case Kind::kNumber: {
        double v = 0.0;
        const char* b = t.text.data();
        const char* e = b + t.text.size();
        auto [p, ec] = std::from_chars(b, e, v);
        if (t.tok != Tok::kNumberish || ec != std::errc() || p != e || !std::isfinite(v)) {
          Fail(t.at, "数値ではありません。");
          return std::nullopt;
        }
        return SqlValue(v);
      }
      case Kind::kDay: {
        std::string day = t.tok == Tok::kWord ? std::string() : DayText(t.text);
        if (day.empty()) {
          Fail(t.at, "日付は 2026-01-31 の形で書いてください。");
          return std::nullopt;
        }
        return SqlValue(day);
      }
      case Kind::kText:
        if (t.tok != Tok::kString) {
          Fail(t.at, "文字列は引用符（' か \"）で囲んでください。");
          return std::nullopt;
        }
        return SqlValue(t.text);
    }
    return std::nullopt;
  }

  bool BadToken() {
    if (cur_.text == "unclosed") return Fail(cur_.at, "引用符が閉じていません。");
    return Fail(cur_.at, "使えない文字です。");
  }

  std::string_view s_;
  const Dialect& dialect_;
  SqlFilter& out_;
  size_t pos_ = 0;
  Token cur_;
  FilterError error_;
};

}  // namespace

bool ParseFilter(std::string_view utf8, const Dialect& dialect, SqlFilter& out,
                 FilterError& error) {
  out = {};
  Parser p(utf8, dialect, out);
  if (p.Run(error)) return true;
  out = {};
  return false;
}

std::string FilterErrorText(std::string_view utf8, const FilterError& error) {
  char head[64];
  std::snprintf(head, sizeof head, "%zu", error.column);
  std::string caret(error.column > 0 ? error.column - 1 : 0, ' ');
  return Sj("検索条件の") + head + Sj("文字目に誤りがあります。\n") + error.message + "\n" +
         Utf8ToCp932(utf8) + "\n" + caret + "^";
}

std::string DayText(std::string_view t) {
  if (t.size() != 10) return {};
  const char sep = t[4];
  if ((sep != '-' && sep != '/') || t[7] != sep) return {};
  int parts[3] = {0, 0, 0};
  const size_t starts[3] = {0, 5, 8}, lens[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    for (size_t k = starts[i]; k < starts[i] + lens[i]; ++k) {
      if (t[k] < '0' || t[k] > '9') return {};
      parts[i] = parts[i] * 10 + (t[k] - '0');
    }
  }
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int y = parts[0], m = parts[1], d = parts[2];
  if (m < 1 || m > 12 || d < 1 || d > kDays[m - 1]) return {};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (m == 2 && d == 29 && !leap) return {};
  std::string day(t);
  day[4] = day[7] = '/';
  return day;
}

void BindParams(Statement& st, const std::vector<SqlValue>& params, int first) {
  int pos = first;
  for (const SqlValue& v : params) {
    if (const double* d = std::get_if<double>(&v))
      st.BindReal(pos++, *d);
    else
      st.BindText(pos++, std::get<std::string>(v));
  }
}

}  // namespace qv::catalog
