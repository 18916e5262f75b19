// The record store over a list in memory and over a data file on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/safe_file.h"
#include "data/codec.h"
#include "data/data_file.h"
#include "data/data_file_store.h"
#include "support/test_support.h"

namespace qv {
namespace {

std::unique_ptr<CMeasureData> Rec(RegistrationId id, int day, double capacity = 1000.0,
                                  const char* remark = "") {
  auto r = std::make_unique<CMeasureData>();
  r->SetId(id);
  r->dateTime = COleDateTime::FromParts({2021, 3, day, 9, 0, 0});
  r->remark = remark;
  r->AppendPoint({0, 2.0, 1.3, 0.0, 1.3});
  r->AppendPoint({600, 2.0, 1.1, capacity, 1.2});
  return r;
}

// "ID date remark" of each summary.
std::vector<std::string> Names(const std::vector<RecordSummary>& list) {
  std::vector<std::string> out;
  for (const RecordSummary& s : list)
    out.push_back(s.id.Text() + " " + s.dateTime.substr(8, 2) + " " + s.remark);
  return out;
}

std::string ReadAll(const std::string& path) {
  std::string bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
      bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

class RecordListStore : public ::testing::Test {
 protected:
  void SetUp() override {
    list.push_back(Rec({2, 1, 1}, 5, 1000.0, "b"));
    list.push_back(Rec({1, 1, 1}, 7, 1000.0, "a7"));
    list.push_back(Rec({1, 1, 1}, 9, 1000.0, "a9"));
    list.push_back(Rec({1, 1, 1}, 9, 1000.0, "a9-second"));
    list.push_back(Rec({1, 1, 1}, 3, 1000.0, "a3"));
    list.push_back(std::make_unique<CMeasureData>());  // no ID
    list.push_back(Rec({3, 1, 1}, 1, 1000.0, "c"));
  }
  RecordList list;
};

TEST_F(RecordListStore, ListsByIdRangeOrderedByIdThenDateThenStoreOrder) {
  struct Case {
    RecordQuery query;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {{},
       {"001-001-001 03 a3", "001-001-001 07 a7", "001-001-001 09 a9", "001-001-001 09 a9-second",
        "002-001-001 05 b", "003-001-001 01 c"}},
      {{RegistrationId{1, 1, 1}.Key(), RegistrationId{999, 999, 999}.Key(), true},
       {"001-001-001 09 a9", "002-001-001 05 b", "003-001-001 01 c"}},
      {{RegistrationId{2, 1, 1}.Key(), RegistrationId{3, 1, 1}.Key(), false},
       {"002-001-001 05 b", "003-001-001 01 c"}},
      {{RegistrationId{3, 1, 1}.Key(), RegistrationId{2, 1, 1}.Key(), false}, {}},  // reversed
      {{INT64_MIN, INT64_MAX, false},                                               // no unset ID
       {"001-001-001 03 a3", "001-001-001 07 a7", "001-001-001 09 a9", "001-001-001 09 a9-second",
        "002-001-001 05 b", "003-001-001 01 c"}},
  };
  const CRecordListSource source(list);
  for (const Case& c : cases) {
    std::vector<RecordSummary> out{SummaryOf(*list[0])};  // replaced, not appended to
    ASSERT_TRUE(source.List(c.query, out).ok());
    EXPECT_EQ(Names(out), c.names) << c.query.fromKey << ".." << c.query.toKey;
  }
}

TEST_F(RecordListStore, SummariesHoldTheResultsOfTheLastPoint) {
  CMeasureData& r = *list[0];
  r.avgVoltage1 = 1.25;
  r.avgVoltage3 = 1.15;
  r.internalResistance = 12.5;
  r.pir = 3.5;
  r.cells = 4;
  const RecordSummary s = SummaryOf(r);
  EXPECT_EQ(s.Identity(), (RecordIdentity{{2, 1, 1}, "2021/03/05 09:00:00"}));
  EXPECT_EQ(s.results, (RecordResults{600, 1000.0, 1000.0 * 1.2, 1.25, 1.2, 1.15, 12.5, 3.5}));
  EXPECT_EQ(s.inputs, r.Inputs());
  EXPECT_EQ(s.remark, "b");
  EXPECT_EQ(ResultsOf(CMeasureData()), RecordResults{});  // no points
}

TEST_F(RecordListStore, LoadGivesTheFirstRecordOfAnIdentityWhole) {
  const CRecordListSource source(list);
  CMeasureData out;
  ASSERT_TRUE(source.Load({{1, 1, 1}, "2021/03/09 09:00:00"}, out).ok());
  EXPECT_EQ(out, *list[2]);
  CMeasureData untouched = *list[6];
  EXPECT_EQ(source.Load({{1, 1, 1}, "2021/03/10 09:00:00"}, untouched).status,
            StoreStatus::kNotFound);
  EXPECT_EQ(untouched, *list[6]);
}

class DataFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    current.AppendPoint({0, 1.0, 1.2, 0.0, 1.2});
    records.push_back(Rec({1, 1, 1}, 1, 900.0));
    records.push_back(Rec({1, 1, 5}, 1, 950.0));
    WriteAll(path, DataFileBytes(current, records, DataFileForm::kFull));
  }
  std::unique_ptr<CDataFileStore> Open() {
    StoreResult r;
    auto store = CDataFileStore::Open(path, {}, r);
    EXPECT_TRUE(r.ok()) << Cp932ToUtf8(r.message);
    return store;
  }
  std::vector<std::string> Listed(const IRecordSource& s) {
    std::vector<RecordSummary> out;
    EXPECT_TRUE(s.List({}, out).ok());
    return Names(out);
  }

  test::TempDir dir;
  std::string path = dir.File("cells.qd1");
  CMeasureData current;
  RecordList records;
};

TEST_F(DataFileStoreTest, CommitWritesTheWholeFileWithTheChangesInPlace) {
  auto store = Open();
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->Begin().ok());
  ASSERT_TRUE(store->Put(*Rec({1, 1, 3}, 2, 990.0, "new")).ok());
  ASSERT_TRUE(store->Put(*Rec({1, 1, 1}, 1, 905.0, "again")).ok());  // replaces, keeps its place
  EXPECT_EQ(store->Remove({{9, 9, 9}, "2021/03/01 09:00:00"}).status, StoreStatus::kNotFound);
  ASSERT_TRUE(store->Remove({{1, 1, 5}, "2021/03/01 09:00:00"}).ok());
  // This store sees its changes, another reader of the file does not yet.
  EXPECT_EQ(Listed(*store),
            (std::vector<std::string>{"001-001-001 01 again", "001-001-003 02 new"}));
  EXPECT_EQ(Listed(*Open()), (std::vector<std::string>{"001-001-001 01 ", "001-001-005 01 "}));
  ASSERT_TRUE(store->Commit().ok());

  RecordList expected;
  expected.push_back(Rec({1, 1, 1}, 1, 905.0, "again"));
  expected.push_back(Rec({1, 1, 3}, 2, 990.0, "new"));
  EXPECT_EQ(ReadAll(path), DataFileBytes(current, expected, DataFileForm::kFull));
  EXPECT_EQ(Listed(*Open()), Listed(*store));
  EXPECT_EQ(store->Commit().status, StoreStatus::kNoTransaction);  // closed by the commit
}

TEST_F(DataFileStoreTest, WritesNeedOneOpenTransactionAndAValidId) {
  auto store = Open();
  ASSERT_TRUE(store);
  EXPECT_EQ(store->Put(*Rec({1, 1, 2}, 1)).status, StoreStatus::kNoTransaction);
  EXPECT_EQ(store->Remove({{1, 1, 1}, "2021/03/01 09:00:00"}).status, StoreStatus::kNoTransaction);
  EXPECT_EQ(store->Commit().status, StoreStatus::kNoTransaction);
  ASSERT_TRUE(store->Begin().ok());
  EXPECT_EQ(store->Begin().status, StoreStatus::kInTransaction);
  const StoreResult refused = store->Put(*Rec({1, 0, 1}, 1));
  EXPECT_EQ(refused.status, StoreStatus::kRefused);
  EXPECT_EQ(refused.message, IdRefusalText());
  EXPECT_EQ(store->Put(CMeasureData()).status, StoreStatus::kRefused);  // no ID
  ASSERT_TRUE(store->Commit().ok());  // still open after the refusals
  EXPECT_EQ(Listed(*store), (std::vector<std::string>{"001-001-001 01 ", "001-001-005 01 "}));
}

TEST_F(DataFileStoreTest, RollbackAndAFailedCommitLeaveTheStoreAsBeforeBegin) {
  const std::string before = ReadAll(path);
  auto store = Open();
  ASSERT_TRUE(store);
  const std::vector<std::string> listed = Listed(*store);
  store->Rollback();  // without a transaction: nothing
  ASSERT_TRUE(store->Begin().ok());
  ASSERT_TRUE(store->Put(*Rec({5, 5, 5}, 1)).ok());
  store->Rollback();
  EXPECT_EQ(Listed(*store), listed);
  EXPECT_EQ(store->Commit().status, StoreStatus::kNoTransaction);

  // The file's folder goes away: the commit cannot write.
  const std::string inner = dir.File("gone");
  ASSERT_EQ(::mkdir(inner.c_str(), 0755), 0);
  const std::string innerPath = inner + "/cells.qd1";
  WriteAll(innerPath, before);
  StoreResult opened;
  auto doomed = CDataFileStore::Open(innerPath, {}, opened);
  ASSERT_TRUE(doomed);
  ASSERT_EQ(::unlink(innerPath.c_str()), 0);
  ASSERT_EQ(::rmdir(inner.c_str()), 0);
  ASSERT_TRUE(doomed->Begin().ok());
  ASSERT_TRUE(doomed->Remove({{1, 1, 1}, "2021/03/01 09:00:00"}).ok());
  const StoreResult failed = doomed->Commit();
  EXPECT_EQ(failed.status, StoreStatus::kFailed);
  EXPECT_EQ(failed.message, Sj("データファイルが保存できませんでした。"));
  EXPECT_EQ(Listed(*doomed), listed);
  EXPECT_TRUE(doomed->Begin().ok());  // the failed commit closed its transaction

  // A store dropped with a transaction open writes nothing.
  ASSERT_TRUE(store->Begin().ok());
  ASSERT_TRUE(store->Remove({{1, 1, 1}, "2021/03/01 09:00:00"}).ok());
  store.reset();
  EXPECT_EQ(ReadAll(path), before);
}

TEST_F(DataFileStoreTest, OpenTellsAMissingOrDamagedFile) {
  StoreResult r;
  EXPECT_FALSE(CDataFileStore::Open(dir.File("none.qd1"), {}, r));
  EXPECT_EQ(r.status, StoreStatus::kFailed);
  EXPECT_EQ(r.message, Sj("データファイルが開けません。"));
  const std::string whole = ReadAll(path);
  WriteAll(path, whole.substr(0, whole.size() - 3));
  EXPECT_FALSE(CDataFileStore::Open(path, {}, r));
  EXPECT_EQ(r.status, StoreStatus::kFailed);
  EXPECT_EQ(r.message, DataFileCorruptText());
}

}  // namespace
}  // namespace qv
