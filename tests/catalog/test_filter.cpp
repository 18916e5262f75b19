#include "catalog/catalog_fixture.h"
#include "catalog/dialect.h"
#include "catalog/filter.h"

namespace qv::test {
namespace {

using catalog::CellQuery;
using catalog::FilterError;
using catalog::SqlFilter;

class CatalogFilterTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Import("a.qd1", {{1, 1, 1, 1, 4000, 4.0, "良品"},
                     {1, 1, 2, 5, 4150, 4.4, "it's \"ok\""},
                     {1, 1, 3, 9, 4200, 5.0, ""},
                     {2, 1, 1, 12, 3900, 6.0, "x' OR 1=1 --"}});
  }
  std::vector<std::string> Where(const std::string& expr) {
    CellQuery q;
    q.where = expr;
    return Ids(q);
  }
};

TEST_F(CatalogFilterTest, ExpressionsSelectTheCellsTheySay) {
  using V = std::vector<std::string>;
  const struct {
    const char* expr;
    V ids;
  } cases[] = {
      {"capacity >= 4100 and ir < 4.5", {"001-001-002"}},
      {"capacity >= 4100 or ir > 5.5", {"001-001-002", "001-001-003", "002-001-001"}},
      {"not capacity >= 4100", {"001-001-001", "002-001-001"}},
      {"(capacity > 3950 or ir > 5.5) and not (ir >= 5)", {"001-001-001", "001-001-002"}},
      {"CAPACITY == 4000 AND IR != 5", {"001-001-001"}},
      {"capacity <> 4000 and capacity<4200", {"001-001-002", "002-001-001"}},
      {"ir <= 4.4e0", {"001-001-001", "001-001-002"}},
      {"date >= 2026-12-05 and date <= '2026/12/09'", {"001-001-002", "001-001-003"}},
      {"date = 2026/12/12", {"002-001-001"}},
      {"remark = '良品'", {"001-001-001"}},
      {"remark = 'it''s \"ok\"'", {"001-001-002"}},
      {"remark ~ \"\"\"ok\"\"\"", {"001-001-002"}},
      {"remark = \"x' OR 1=1 --\"", {"002-001-001"}},
      {"remark ~ '%'", {}},
      {"remark != ''", {"001-001-001", "001-001-002", "002-001-001"}},
      {"cells = 1 and current_a = 10 and current_b = 0.5 and current_c > 0.09",
       {"001-001-001", "001-001-002", "001-001-003", "002-001-001"}},
      {"time = 29 and avg2 < 1.21 and avg1 > 1.2 and pir = 1.5 and energy > 4900",
       {"001-001-002", "001-001-003"}},
      {"avg3 >= -1", {"001-001-001", "001-001-002", "001-001-003", "002-001-001"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Where(c.expr), c.ids) << c.expr;
}

TEST_F(CatalogFilterTest, QueryOptionsNarrowTheSearch) {
  CellQuery q;
  q.fromKey = 1001002;
  q.toKey = 1001003;
  EXPECT_EQ(Ids(q), (std::vector<std::string>{"001-001-002", "001-001-003"}));
  q = {};
  q.since = "2026/12/09";
  EXPECT_EQ(Ids(q), (std::vector<std::string>{"001-001-003", "002-001-001"}));
  q.where = "ir < 5.5";
  EXPECT_EQ(Ids(q), std::vector<std::string>{"001-001-003"});
}

TEST(CatalogFilter, MalformedExpressionsPointAtTheFault) {
  const struct {
    const char* expr;
    size_t column;
    const char* message;
  } cases[] = {
      {"", 1, "検索条件がありません。"},
      {"   ", 4, "検索条件がありません。"},
      {"capacity >=", 12, "比べる値がありません。"},
      {"capacity 4100", 10, "比較の記号（= != < <= > >= ~）がありません。"},
      {"volume > 3", 1,
       "この項目名は使えません。使える項目名は capacity, energy, avg1, avg2, avg3, ir, pir, "
       "time, cells, current_a, current_b, current_c, date, remark です。"},
      {"capacity > 41x0", 12, "数値ではありません。"},
      {"capacity > 4.1.0", 12, "数値ではありません。"},
      {"capacity > '4100'", 12, "数値ではありません。"},
      {"capacity > 1e999", 12, "数値ではありません。"},
      {"ir < 4 and", 11, "項目名がありません。"},
      {"ir < 4 ir > 3", 8, "ここで条件が終わるはずです。「and」か「or」が抜けていませんか。"},
      {"(ir < 4", 1, "「(」に対応する「)」がありません。"},
      {"(ir < 4 or (ir > 5)", 1, "「(」に対応する「)」がありません。"},
      {"ir < 4)", 7, "ここで条件が終わるはずです。「and」か「or」が抜けていませんか。"},
      {"remark = 'abc", 10, "引用符が閉じていません。"},
      {"remark = abc", 10, "文字列は引用符（' か \"）で囲んでください。"},
      {"remark > 'a'", 8, "remark には = != ~ だけが使えます。"},
      {"ir ~ 3", 4, "「~」（含む）は remark にだけ使えます。"},
      {"date > 2026-02-30", 8, "日付は 2026-01-31 の形で書いてください。"},
      {"date > 2025-02-29", 8, "日付は 2026-01-31 の形で書いてください。"},
      {"date > today", 8, "日付は 2026-01-31 の形で書いてください。"},
      {"備考 = 'x'", 1, "使えない文字です。"},
      {"remark = '備考' and ? ", 19, "使えない文字です。"},
      {"ir = 1;", 7, "使えない文字です。"},
  };
  for (const auto& c : cases) {
    SqlFilter out;
    FilterError error;
    EXPECT_FALSE(catalog::ParseFilter(c.expr, catalog::SqliteDialect(), out, error)) << c.expr;
    EXPECT_EQ(error.column, c.column) << c.expr;
    EXPECT_EQ(Cp932ToUtf8(error.message), c.message) << c.expr;
    EXPECT_TRUE(out.sql.empty() && out.params.empty()) << c.expr;
  }
}

TEST(CatalogFilter, DeepNestingIsRefusedNotRecursedWithoutEnd) {
  SqlFilter out;
  FilterError error;
  const std::string deep = std::string(100000, '(') + "ir < 1" + std::string(100000, ')');
  EXPECT_FALSE(catalog::ParseFilter(deep, catalog::SqliteDialect(), out, error));
  EXPECT_EQ(error.column, 65u);
  std::string nots;
  for (int i = 0; i < 64; ++i)
    nots += "not ";
  EXPECT_TRUE(
      catalog::ParseFilter(nots.substr(4) + "ir < 1", catalog::SqliteDialect(), out, error));
  EXPECT_FALSE(catalog::ParseFilter(nots + "ir < 1", catalog::SqliteDialect(), out, error));
}

TEST(CatalogFilter, UserTextIsBoundNeverPasted) {
  SqlFilter out;
  FilterError error;
  ASSERT_TRUE(catalog::ParseFilter("remark ~ 'a'') OR (1=1' and date >= 2026-01-02 or ir < 3",
                                   catalog::SqliteDialect(), out, error));
  EXPECT_EQ(out.sql, "((instr(r.remark, ?) > 0 AND substr(r.date_time, 1, 10) >= ?) OR r.ir < ?)");
  ASSERT_EQ(out.params.size(), 3u);
  EXPECT_EQ(std::get<std::string>(out.params[0]), "a') OR (1=1");
  EXPECT_EQ(std::get<std::string>(out.params[1]), "2026/01/02");
  EXPECT_EQ(std::get<double>(out.params[2]), 3.0);
  ASSERT_TRUE(catalog::ParseFilter("remark ~ 'a'", catalog::PostgresDialect(), out, error));
  EXPECT_EQ(out.sql, "strpos(r.remark, ?) > 0");
}

TEST(CatalogFilter, TheErrorTextShowsTheExpressionAndACaret) {
  SqlFilter out;
  FilterError error;
  ASSERT_FALSE(catalog::ParseFilter("備考 = 1", catalog::SqliteDialect(), out, error));
  EXPECT_FALSE(catalog::ParseFilter("ir < 4 ir", catalog::SqliteDialect(), out, error));
  EXPECT_EQ(Cp932ToUtf8(catalog::FilterErrorText("ir < 4 ir", error)),
            "検索条件の8文字目に誤りがあります。\n"
            "ここで条件が終わるはずです。「and」か「or」が抜けていませんか。\n"
            "ir < 4 ir\n"
            "       ^");
}

}  // namespace
}  // namespace qv::test
