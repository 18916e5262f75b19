#include <sys/stat.h>

#include "catalog/catalog.h"
#include "catalog/catalog_feeder.h"
#include "catalog/catalog_fixture.h"
#include "catalog/schema.h"
#include "core/settings_keys.h"

namespace qv::test {
namespace {

using catalog::Catalog;
using catalog::CellQuery;
using catalog::ImportCounts;
using catalog::Place;

void ExpectCounts(const ImportCounts& c, int added, int updated, int unchanged, int refused) {
  EXPECT_EQ(c.added, added);
  EXPECT_EQ(c.updated, updated);
  EXPECT_EQ(c.unchanged, unchanged);
  EXPECT_EQ(c.refused, refused);
}

TEST_F(CatalogTest, ImportIsIdempotentAndAChangedRemarkUpdates) {
  const std::vector<CellSpec> cells = {{1, 1, 1, 1, 4000}, {1, 1, 2, 1, 4100}, {1, 1, 3, 2, 4200}};
  ExpectCounts(Import("a.qd1", cells), 3, 0, 0, 0);
  ExpectCounts(Import("a.qd1", cells), 0, 0, 3, 0);
  std::vector<CellSpec> changed = cells;
  changed[1].remark = "再測定 \"特\" 'x'";
  ExpectCounts(Import("b.qd1", changed), 0, 1, 2, 0);
  auto cell = cat->Cell(1001002);
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->tests, 1);
  EXPECT_EQ(cell->newest.remark, "再測定 \"特\" 'x'");
  EXPECT_EQ(cell->newest.path, dir.File("b.qd1"));
  EXPECT_EQ(cell->newest.station, "st1");
  EXPECT_EQ(cell->newest.dateTime, "2026/12/01 10:00:00");
  EXPECT_DOUBLE_EQ(cell->newest.capacity, 4100);
  EXPECT_EQ(cell->newest.pointCount, 30);
}

// Files of many records go in by batches: a record twice in one file, a
// cell tested several times in one file, records on both sides of a
// batch's end, and a file imported again with some remarks changed.
TEST_F(CatalogTest, ALongFileCountsEveryRecordOnceAcrossItsBatches) {
  std::vector<CellSpec> cells;
  for (int i = 1; i <= 250; ++i)
    cells.push_back({7, 1 + i / 100, i % 100 + 1, 1 + i % 3, 3000.0 + i});
  const std::vector<CellSpec> first = cells;
  // The same record again, the same cell on another day, and the first
  // record again with another remark: held, added, updated.
  CellSpec later = cells[10];
  later.day = 28;
  later.capacity = 3500;
  cells.push_back(cells[10]);
  cells.push_back(later);
  cells.push_back(cells[0]);
  cells.back().remark = "再";
  ExpectCounts(Import("long.qd1", cells), 251, 1, 1, 0);
  EXPECT_EQ(cat->Search({})->size(), 250u);
  const auto twice = cat->Cell(CellRecord(cells[10])->GetIdKey());
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->tests, 2);
  EXPECT_EQ(twice->newest.dateTime, "2026/12/28 10:00:00");
  EXPECT_EQ(cat->Cell(CellRecord(cells[0])->GetIdKey())->newest.remark, "再");

  // Again with a remark changed in each batch: the rest unchanged.
  std::vector<CellSpec> again = first;
  for (int i : {5, 150, 249})
    again[i].remark = "変更 " + std::to_string(i);
  again[0].remark = "再";
  ExpectCounts(Import("again.qd1", again), 0, 3, 247, 0);
  for (int i : {5, 150, 249})
    EXPECT_EQ(cat->Cell(CellRecord(again[i])->GetIdKey())->newest.remark, again[i].remark);

  // Every record's bytes are its own.
  std::vector<int64_t> rows;
  for (const CellSpec& c : again)
    rows.push_back(cat->Cell(CellRecord(c)->GetIdKey())->newest.rowId);
  std::vector<catalog::RecordBytes> bytes;
  ASSERT_TRUE(cat->LoadBytes(rows, bytes));
  std::vector<CellSpec> newest = again;
  newest[10] = later;
  EXPECT_TRUE(catalog::DataFileOfRecordBytes(bytes) == FileOf(newest));
}

// A search gives cells by ID whatever order they came in, each with its own
// file and station.
TEST_F(CatalogTest, SearchGivesCellsByIdWithTheirOwnSources) {
  Import("b.qd1", {{5, 5, 9}, {5, 5, 2}});
  ImportCounts counts;
  auto r = CellRecord({5, 5, 4});
  ASSERT_TRUE(cat->ImportRecords({r.get()}, "/x/a.qd1", "st2", {0, 0}, counts));
  const auto found = cat->Search({});
  ASSERT_TRUE(found);
  std::vector<std::string> seen;
  for (const auto& c : *found)
    seen.push_back(c.idText + " " + c.newest.path + " " + c.newest.station);
  const std::string b = dir.File("b.qd1");
  EXPECT_EQ(seen, (std::vector<std::string>{"005-005-002 " + b + " st1", "005-005-004 /x/a.qd1 st2",
                                            "005-005-009 " + b + " st1"}));
  EXPECT_EQ(found->front().newest.importedAt.size(), 20u);
}

TEST_F(CatalogTest, ADamagedFileAddsNothingAndIsCountedRefused) {
  std::string bytes = FileOf({{1, 1, 1}, {1, 1, 2}});
  bytes.resize(bytes.size() - 5);
  WriteFile(dir.File("cut.qd1"), bytes);
  ImportCounts counts;
  ASSERT_TRUE(cat->ImportFile(dir.File("cut.qd1"), "st1", {}, counts));
  ExpectCounts(counts, 0, 0, 0, 1);
  EXPECT_EQ(cat->LastMessage(), Sj(dir.File("cut.qd1")) + ": " + DataFileCorruptText());
  EXPECT_TRUE(cat->Search({})->empty());
  ASSERT_TRUE(cat->ImportFile(dir.File("missing.qd1"), "st1", {}, counts));
  ExpectCounts(counts, 0, 0, 0, 2);
}

TEST_F(CatalogTest, HistoryListsTestsInDateOrderAndTheNewestCounts) {
  Import("a.qd1", {{2, 2, 2, 20, 3800, 6.0}, {2, 2, 2, 3, 4000, 5.0}});
  Import("b.qd1", {{2, 2, 2, 10, 3900, 5.5}});
  const auto history = cat->History(2002002);
  ASSERT_EQ(history.size(), 3u);
  EXPECT_EQ(history[0].dateTime, "2026/12/03 10:00:00");
  EXPECT_EQ(history[1].dateTime, "2026/12/10 10:00:00");
  EXPECT_EQ(history[2].dateTime, "2026/12/20 10:00:00");
  auto cell = cat->Cell(2002002);
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->tests, 3);
  EXPECT_DOUBLE_EQ(cell->newest.capacity, 3800);
  EXPECT_TRUE(cat->History(9009009).empty());
}

TEST_F(CatalogTest, ExportGivesTheImportedBytesBack) {
  const std::vector<CellSpec> cells = {{1, 2, 3, 1, 4000, 5, "備考, \"引用\""}, {4, 5, 6, 2}};
  const std::string original = FileOf(cells);
  Import("a.qd1", cells);
  std::vector<int64_t> rows;
  const auto found = cat->Search({});
  ASSERT_TRUE(found);
  for (const auto& c : *found)
    rows.push_back(c.newest.rowId);
  std::vector<catalog::RecordBytes> bytes;
  ASSERT_TRUE(cat->LoadBytes(rows, bytes));
  EXPECT_EQ(catalog::DataFileOfRecordBytes(bytes), original);
  CMeasureData loaded;
  ASSERT_TRUE(cat->LoadRecord(rows[0], {0, 0}, loaded));
  auto expected = CellRecord(cells[0]);
  EXPECT_EQ(loaded.Points(), expected->Points());
  EXPECT_EQ(loaded.remark, expected->remark);
}

TEST_F(CatalogTest, RecordsSavedFromMemoryMatchTheirFile) {
  auto a = CellRecord({3, 3, 3});
  ImportCounts counts;
  ASSERT_TRUE(cat->ImportRecords({a.get()}, "/x/saved.qd1", "st2", {0, 0}, counts));
  ExpectCounts(counts, 1, 0, 0, 0);
  WriteFile(dir.File("saved.qd1"), FileOf({{3, 3, 3}}));
  counts = {};
  ASSERT_TRUE(cat->ImportFile(dir.File("saved.qd1"), "st1", {0, 0}, counts));
  ExpectCounts(counts, 0, 0, 1, 0);
}

TEST_F(CatalogTest, StockMovesAreWholeOrRefused) {
  Import("a.qd1", {{1, 1, 1}, {1, 1, 2}, {1, 1, 3}});
  ASSERT_TRUE(cat->MoveCells({1001001, 1001002}, {Place::kPack, "P1"}));
  // One cell already in a pack: nothing moves.
  EXPECT_FALSE(cat->MoveCells({1001003, 1001002}, {Place::kPack, "P2"}));
  EXPECT_EQ(cat->LastMessage(), Sj("セル 001-001-002 はすでにパック「P1」に組まれています。"));
  EXPECT_EQ(cat->Cell(1001003)->place, Place{});
  EXPECT_FALSE(cat->MoveCells({1001003, 9009009}, {Place::kPack, "P2"}));
  EXPECT_EQ(cat->LastMessage(), Sj("セル 009-009-009 はカタログにありません。"));
  EXPECT_FALSE(cat->MoveCells({1001003, 1001003}, {Place::kPack, "P2"}));
  EXPECT_EQ(cat->LastMessage(), Sj("セル 001-001-003 が二度指定されています。"));
  EXPECT_EQ(cat->Cell(1001003)->place, Place{});

  EXPECT_EQ(cat->CellsOfPack("P1").size(), 2u);
  CellQuery stock;
  stock.place = Place{};
  EXPECT_EQ(Ids(stock), std::vector<std::string>{"001-001-003"});

  ASSERT_TRUE(cat->MoveCells({1001003}, {Place::kRetired, {}}));
  EXPECT_FALSE(cat->MoveCells({1001003}, {Place::kRetired, {}}));
  EXPECT_EQ(cat->LastMessage(), Sj("セル 001-001-003 は廃棄済みです。"));
  int moved = 0;
  ASSERT_TRUE(cat->ReleasePack("P1", &moved));
  EXPECT_EQ(moved, 2);
  EXPECT_FALSE(cat->ReleasePack("P1"));
  EXPECT_EQ(cat->LastMessage(), Sj("パック「P1」に組まれたセルはありません。"));

  const auto moves = cat->Moves(1001001);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].from.Text(), "stock");
  EXPECT_EQ(moves[0].to.Text(), "pack:P1");
  EXPECT_EQ(moves[1].from.Text(), "pack:P1");
  EXPECT_EQ(moves[1].to.Text(), "stock");
  EXPECT_EQ(moves[1].at.size(), 20u);
}

TEST(CatalogOpen, RefusesForeignDamagedAndNewerFiles) {
  TempDir dir;
  std::string why;
  WriteFile(dir.File("junk.sqlite"), std::string(4096, 'x'));
  EXPECT_FALSE(Catalog::Open(dir.File("junk.sqlite"), &why));
  EXPECT_EQ(Cp932ToUtf8(why),
            "カタログ " + dir.File("junk.sqlite") +
                " を開けません。\nカタログのファイルが壊れているか、カタログのファイルではありま"
                "せん。\n（file is not a database）");
  {
    auto db = catalog::OpenSqlite(dir.File("other.sqlite"), nullptr);
    ASSERT_TRUE(db);
    ASSERT_EQ(db->Exec("CREATE TABLE t (x)"), catalog::DbStatus::kOk);
  }
  EXPECT_FALSE(Catalog::Open(dir.File("other.sqlite"), &why));
  EXPECT_EQ(Cp932ToUtf8(why),
            "カタログ " + dir.File("other.sqlite") +
                " を開けません。\nこのファイルはカタログのファイルではありません。");
  ASSERT_TRUE(Catalog::Open(dir.File("new.sqlite"), &why));
  {
    auto db = catalog::OpenSqlite(dir.File("new.sqlite"), nullptr);
    ASSERT_EQ(db->Exec("UPDATE catalog_meta SET value = '7' WHERE name = 'schema_version'"),
              catalog::DbStatus::kOk);
  }
  EXPECT_FALSE(Catalog::Open(dir.File("new.sqlite"), &why));
  EXPECT_EQ(Cp932ToUtf8(why),
            "カタログ " + dir.File("new.sqlite") +
                " を開けません。\nこのカタログは新しいバージョンのプログラムで作られています（スキ"
                "ーマ 7）。");
  EXPECT_EQ(ReadFile(dir.File("junk.sqlite")), std::string(4096, 'x'));
}

TEST(CatalogOpen, NewCatalogIsWalWithTheSchemaVersion) {
  TempDir dir;
  ASSERT_TRUE(Catalog::Open(dir.File("c.sqlite"), nullptr));
  auto db = catalog::OpenSqlite(dir.File("c.sqlite"), nullptr);
  auto st = db->Prepare("PRAGMA journal_mode");
  ASSERT_EQ(st->Step(), catalog::DbStatus::kRow);
  EXPECT_EQ(st->Text(0), "wal");
  st = db->Prepare("SELECT value FROM catalog_meta WHERE name = 'schema_version'");
  ASSERT_EQ(st->Step(), catalog::DbStatus::kRow);
  EXPECT_EQ(st->Text(0), std::to_string(catalog::kLatestSchema));
  // Foreign keys are on: a record of no cell is refused.
  st = db->Prepare("INSERT INTO moves (cell_key, at, from_place, to_place) VALUES (1, '', '', '')");
  EXPECT_EQ(st->Step(), catalog::DbStatus::kConstraint);
}

TEST(CatalogOpen, PathComesFromTheCatalogKeyOrTheWorkingFolder) {
  TempDir dir;
  CSettingsStore settings(dir.path(), "Dis.ini");
  EXPECT_EQ(catalog::CatalogPath(settings), dir.path() + "/quorvex-catalog.sqlite");
  settings.SetValue(keys::kCatalog, "sub/c.sqlite");
  EXPECT_EQ(catalog::CatalogPath(settings), dir.path() + "/sub/c.sqlite");
  settings.SetValue(keys::kCatalog, "/elsewhere/c.sqlite");
  EXPECT_EQ(catalog::CatalogPath(settings), "/elsewhere/c.sqlite");
}

TEST(CatalogOpen, AReadOnlyFolderGetsAClearMessage) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
  std::string why;
  EXPECT_FALSE(Catalog::Open(dir.File("c.sqlite"), &why));
  EXPECT_NE(why.find(Sj("を開けません。")), std::string::npos);
  chmod(dir.path().c_str(), 0755);
}

// On a filesystem that fills up: the import that does not fit is told and
// adds nothing, the data file is untouched, a save's import is told once,
// and once there is room again the catalogue holds what it held and takes
// the rest.
TEST(CatalogOpen, AFullDiskIsToldAndTheCatalogueKeepsWhatItHad) {
  TempDir data;
  TempDir disk;
  std::vector<CellSpec> many;
  for (int i = 1; i <= 20; ++i)
    many.push_back({2, 1, i, 1, 4000, 5.0, "", 1000});
  const std::string big = FileOf(many);
  WriteFile(data.File("a.qd1"), FileOf({{1, 1, 1}}));
  WriteFile(data.File("b.qd1"), big);
  const std::string full = Sj("ディスクがいっぱいで、カタログに書き込めません。");
  const auto outcome = OnSmallFilesystem(disk.path(), 4 << 20, [&] {
    std::string why;
    auto cat = Catalog::Open(disk.File("c.sqlite"), &why);
    ASSERT_TRUE(cat) << Cp932ToUtf8(why);
    ImportCounts counts;
    ASSERT_TRUE(cat->ImportFile(data.File("a.qd1"), "st1", {}, counts));
    ASSERT_TRUE(FillDisk(disk.File("filler")));

    EXPECT_FALSE(cat->ImportFile(data.File("b.qd1"), "st1", {}, counts));
    EXPECT_NE(cat->LastMessage().find(full), std::string::npos) << Cp932ToUtf8(cat->LastMessage());
    std::vector<std::string> notices;
    {
      catalog::CatalogFeeder feeder([&](const std::string& t) { notices.push_back(t); });
      for (int i = 0; i < 2; ++i)
        feeder.FileSaved(disk.File("c.sqlite"), data.File("b.qd1"), {0, 0}, "st1");
      feeder.WaitIdle();
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(full), std::string::npos) << Cp932ToUtf8(notices[0]);
    EXPECT_EQ(ReadFile(data.File("b.qd1")), big);

    ASSERT_EQ(unlink(disk.File("filler").c_str()), 0);
    cat = Catalog::Open(disk.File("c.sqlite"), &why);
    ASSERT_TRUE(cat) << Cp932ToUtf8(why);
    EXPECT_EQ(cat->Search({})->size(), 1u);
    ASSERT_TRUE(cat->ImportFile(data.File("b.qd1"), "st1", {}, counts))
        << Cp932ToUtf8(cat->LastMessage());
    EXPECT_EQ(cat->Search({})->size(), 21u);
  });
  if (outcome == SmallFsOutcome::kNoFilesystem) GTEST_SKIP() << "no tmpfs can be mounted here";
  EXPECT_EQ(outcome, SmallFsOutcome::kPassed);
}

}  // namespace
}  // namespace qv::test
