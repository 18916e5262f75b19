#include "catalog/catalog_feeder.h"

#include <cstdio>
#include <mutex>

#include "catalog/catalog_fixture.h"

namespace qv::test {
namespace {

TEST(CatalogFeeder, SavedFilesReachTheCatalogue) {
  TempDir dir;
  std::vector<std::string> notices;
  {
    catalog::CatalogFeeder feeder([&](const std::string& t) { notices.push_back(t); });
    WriteFile(dir.File("a.qd1"), FileOf({{1, 1, 1}, {1, 1, 2}}));
    feeder.FileSaved(dir.File("c.sqlite"), dir.File("a.qd1"), {0, 0}, "st");
    // Saved again as the program saves, replaced whole: the worker may be
    // reading the first save meanwhile.
    WriteFile(dir.File("a.qd1.new"), FileOf({{1, 1, 1}, {1, 1, 2}, {1, 1, 3}}));
    ASSERT_EQ(std::rename(dir.File("a.qd1.new").c_str(), dir.File("a.qd1").c_str()), 0);
    feeder.FileSaved(dir.File("c.sqlite"), dir.File("a.qd1"), {0, 0}, "st");
    feeder.WaitIdle();
  }
  EXPECT_TRUE(notices.empty()) << (notices.empty() ? "" : Cp932ToUtf8(notices[0]));
  auto cat = catalog::Catalog::Open(dir.File("c.sqlite"), nullptr);
  ASSERT_TRUE(cat);
  EXPECT_EQ(cat->Search({})->size(), 3u);
  EXPECT_EQ(cat->Cell(1001003)->newest.station, "st");
}

TEST(CatalogFeeder, AFailureIsToldOnceAndTheFileStaysAsSaved) {
  TempDir dir;
  std::mutex mu;
  std::vector<std::string> notices;
  WriteFile(dir.File("junk.sqlite"), std::string(1024, 'z'));
  const std::string saved = FileOf({{1, 1, 1}});
  WriteFile(dir.File("a.qd1"), saved);
  catalog::CatalogFeeder feeder([&](const std::string& t) {
    std::lock_guard<std::mutex> lock(mu);
    notices.push_back(t);
  });
  for (int i = 0; i < 3; ++i)
    feeder.FileSaved(dir.File("junk.sqlite"), dir.File("a.qd1"), {0, 0}, "st");
  feeder.WaitIdle();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(Cp932ToUtf8(notices[0]),
            "データファイルは保存しましたが、カタログに登録できませんでした。\n\nカタログ " +
                dir.File("junk.sqlite") +
                " を開けません。\nカタログのファイルが壊れているか、カタログのファイルではありま"
                "せん。\n（file is not a database）");
  EXPECT_EQ(ReadFile(dir.File("a.qd1")), saved);
  EXPECT_EQ(ReadFile(dir.File("junk.sqlite")), std::string(1024, 'z'));
}

}  // namespace
}  // namespace qv::test
