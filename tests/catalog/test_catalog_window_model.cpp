#include "catalog/catalog_window_model.h"

#include <sys/stat.h>

#include "catalog/catalog_fixture.h"

namespace qv::test {
namespace {

using catalog::CatalogWindowModel;

class CatalogWindowModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.File("a.qd1"),
              FileOf({{1, 1, 1, 1, 4000, 4.0}, {1, 1, 2, 2, 4200, 5.0}, {1, 1, 3, 3, 4300, 6.0}}));
    model = CatalogWindowModel::Open(dir.File("c.sqlite"), {0, 0}, ui);
    ASSERT_TRUE(model);
  }
  std::vector<std::string> Ids() const {
    std::vector<std::string> out;
    for (const auto& c : model->Cells())
      out.push_back(c.idText);
    return out;
  }

  TempDir dir;
  FakeUi ui;
  std::unique_ptr<CatalogWindowModel> model;
};

TEST_F(CatalogWindowModelTest, ImportsAFolderWithProgressAndCanStop) {
  mkdir(dir.File("more").c_str(), 0755);
  WriteFile(dir.File("more/b.qd1"), FileOf({{2, 2, 2}}));
  ui.ChooseFile(dir.path());
  std::vector<std::pair<size_t, size_t>> steps;
  ASSERT_TRUE(model->ImportFolder(ui, [&](size_t done, size_t total) {
    steps.push_back({done, total});
    return true;
  }));
  EXPECT_EQ(steps, (std::vector<std::pair<size_t, size_t>>{{0, 2}, {1, 2}, {2, 2}}));
  ASSERT_EQ(ui.TextsUtf8().size(), 1u);
  EXPECT_EQ(ui.TextsUtf8()[0],
            "取り込みました。\n\n新規 4 件、更新 0 件、変更なし 0 件、読み込めないファイル 0 件");
  EXPECT_EQ(Ids(),
            (std::vector<std::string>{"001-001-001", "001-001-002", "001-001-003", "002-002-002"}));
  // Stopped before the second file: only the first is looked at.
  ui.ChooseFile(dir.path());
  ASSERT_TRUE(model->ImportFolder(ui, [](size_t done, size_t) { return done < 1; }));
  EXPECT_EQ(ui.TextsUtf8()[1],
            "取り込みを中止しました。\n\n新規 0 件、更新 0 件、変更なし 3 件、読み込めないファイル "
            "0 件");
}

TEST_F(CatalogWindowModelTest, FilterStockMovesAndTheirMessages) {
  ui.ChooseFile(dir.path());
  ASSERT_TRUE(model->ImportFolder(ui, {}));
  EXPECT_FALSE(model->Search(ui, "capacity >"));
  EXPECT_EQ(
      ui.TextsUtf8().back(),
      "検索条件の11文字目に誤りがあります。\n比べる値がありません。\ncapacity >\n          ^");
  EXPECT_EQ(model->Cells().size(), 3u);
  ASSERT_TRUE(model->Search(ui, "capacity > 4100"));
  EXPECT_EQ(Ids(), (std::vector<std::string>{"001-001-002", "001-001-003"}));

  EXPECT_FALSE(model->Assign(ui, "P"));
  EXPECT_EQ(ui.TextsUtf8().back(), "セルを選んでください。");
  model->Select({0, 1});
  EXPECT_FALSE(model->Assign(ui, " "));
  EXPECT_EQ(ui.TextsUtf8().back(), "パック名を入力してください。");
  ASSERT_TRUE(model->Assign(ui, "P"));
  EXPECT_EQ(model->Cells()[0].place.Text(), "pack:P");
  model->Select({0});
  EXPECT_FALSE(model->Assign(ui, "Q"));
  EXPECT_EQ(ui.TextsUtf8().back(), "セル 001-001-002 はすでにパック「P」に組まれています。");
  model->Select({1});
  ASSERT_TRUE(model->Release(ui));
  EXPECT_EQ(model->Cells()[0].place.Text(), "stock");

  model->Select({0});
  ui.Answer(MsgResult::kNo);
  EXPECT_FALSE(model->Retire(ui));
  EXPECT_EQ(ui.TextsUtf8().back(), "選んだ 1 個のセルを廃棄にしますか？");
  ui.Answer(MsgResult::kYes);
  ASSERT_TRUE(model->Retire(ui));
  EXPECT_EQ(model->Cells()[0].place.Text(), "retired");
  model->Select({0});
  EXPECT_FALSE(model->Release(ui));
  EXPECT_EQ(ui.TextsUtf8().back(), "選んだセルはパックに組まれていません。");
}

TEST_F(CatalogWindowModelTest, ExportsTheSelectionAndLoadsItsCurves) {
  ui.ChooseFile(dir.path());
  ASSERT_TRUE(model->ImportFolder(ui, {}));
  model->Select({0, 2});
  ui.ChooseFile(dir.File("out.qd1"));
  ASSERT_TRUE(model->Export(ui));
  EXPECT_EQ(ui.TextsUtf8().back(), "2 件の記録を書き出しました。");
  EXPECT_EQ(ReadFile(dir.File("out.qd1")),
            FileOf({{1, 1, 1, 1, 4000, 4.0}, {1, 1, 3, 3, 4300, 6.0}}));
  auto recs = model->SelectedRecords(ui, 6);
  ASSERT_TRUE(recs);
  ASSERT_EQ(recs->size(), 2u);
  EXPECT_EQ((*recs)[1]->GetIdText(), "001-001-003");
  EXPECT_EQ((*recs)[1]->Points().size(), 30u);
  EXPECT_EQ(model->SelectedHistory().size(), 1u);
}

}  // namespace
}  // namespace qv::test
