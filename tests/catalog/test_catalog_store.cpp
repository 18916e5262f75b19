#include "catalog/catalog_store.h"

#include "analysis/pack_match.h"
#include "catalog/catalog_fixture.h"
#include "data/data_file_store.h"

namespace qv::test {
namespace {

using catalog::CatalogRecordStore;

class CatalogStoreTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    Import("a.qd1", {{1, 1, 1, 1, 4000, 4.0, "a"},
                     {1, 1, 1, 5, 3950, 4.2, "b"},
                     {1, 1, 2, 2, 4100, 5.0},
                     {2, 1, 1, 3, 4200, 6.0}});
  }
};

TEST_F(CatalogStoreTest, ListsAsTheDataFileStoreListsTheSameRecords) {
  RecordList list;
  for (const CellSpec& c : std::vector<CellSpec>{{1, 1, 1, 1, 4000, 4.0, "a"},
                                                 {1, 1, 1, 5, 3950, 4.2, "b"},
                                                 {1, 1, 2, 2, 4100, 5.0},
                                                 {2, 1, 1, 3, 4200, 6.0}})
    list.push_back(CellRecord(c));
  for (auto& r : list)
    r->UpdateAvgVolt3({0, 0});
  CRecordListSource file(list);
  CatalogRecordStore store(*cat, {0, 0});
  for (bool newest : {false, true}) {
    RecordQuery q;
    q.newestPerId = newest;
    q.toKey = 1001002;
    std::vector<RecordSummary> fromFile, fromCatalog;
    ASSERT_TRUE(file.List(q, fromFile).ok());
    ASSERT_TRUE(store.List(q, fromCatalog).ok());
    EXPECT_EQ(fromCatalog, fromFile) << newest;
  }
  CMeasureData loaded;
  ASSERT_TRUE(store.Load({{1, 1, 1}, "2026/12/05 10:00:00"}, loaded).ok());
  EXPECT_EQ(loaded, *list[1]);
  EXPECT_EQ(store.Load({{1, 1, 1}, "2026/12/06 10:00:00"}, loaded).status, StoreStatus::kNotFound);
}

TEST_F(CatalogStoreTest, WritesAreTransactionsAndMatchingSeesTheStockOnly) {
  CatalogRecordStore store(*cat, {0, 0}, "/store", "st9");
  auto extra = CellRecord({3, 3, 3, 7, 4150, 4.1});
  EXPECT_EQ(store.Put(*extra).status, StoreStatus::kNoTransaction);
  ASSERT_TRUE(store.Begin().ok());
  EXPECT_EQ(store.Begin().status, StoreStatus::kInTransaction);
  ASSERT_TRUE(store.Put(*extra).ok());
  ASSERT_TRUE(store.Remove({{2, 1, 1}, "2026/12/03 10:00:00"}).ok());
  EXPECT_EQ(store.Remove({{2, 1, 1}, "2026/12/03 10:00:00"}).status, StoreStatus::kNotFound);
  store.Rollback();
  EXPECT_FALSE(cat->Cell(3003003));
  ASSERT_TRUE(store.Begin().ok());
  ASSERT_TRUE(store.Put(*extra).ok());
  ASSERT_TRUE(store.Remove({{2, 1, 1}, "2026/12/03 10:00:00"}).ok());
  ASSERT_TRUE(store.Commit().ok());
  EXPECT_EQ(cat->Cell(3003003)->newest.station, "st9");
  EXPECT_FALSE(cat->Cell(2001001));

  ASSERT_TRUE(cat->MoveCells({1001002}, {catalog::Place::kPack, "P"}));
  catalog::CellQuery stock;
  stock.place = catalog::Place{};
  store.Limit(stock);
  std::vector<MatchCell> cells;
  ASSERT_TRUE(CollectMatchCells({&store}, 1, 999999999, cells).ok());
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0].idText, "001-001-001");
  EXPECT_EQ(cells[0].summary.dateTime, "2026/12/05 10:00:00");
  EXPECT_EQ(cells[1].idText, "003-003-003");
}

}  // namespace
}  // namespace qv::test
