// The catalogue in the window: the Operation menu opens it (not during a
// run), a saved data file's records reach it, and its list, history plot and
// overlays follow what the catalogue holds.
#include <QTest>

#include "app/dialogs/catalog_window.h"
#include "catalog/catalog.h"
#include "data/codec.h"
#include "shell_test_support.h"

namespace qv::test::shell {
namespace {

class CatalogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteSampleFile(files.File("cells.qd1"), 3);
    app = std::make_unique<StartedApp>(files.File("cells.qd1"));
  }
  ui::CMainFrame& Frame() { return app->Frame(); }
  std::string CatalogFile() { return app->State().settings.Directory() + "quorvex-catalog.sqlite"; }

  TempDir files;
  std::unique_ptr<StartedApp> app;
};

TEST_F(CatalogWindowTest, SavingPutsTheRecordsIntoTheCatalogue) {
  app->ui.ChooseFile(files.File("saved.qd1"));
  Frame().OnCommand(ui::kCmdSave);
  std::unique_ptr<catalog::Catalog> cat;
  size_t cells = 0;
  // The import runs on a worker thread after the save.
  ASSERT_TRUE(Pump([&] {
    cat = catalog::Catalog::Open(CatalogFile(), nullptr);
    auto found = cat ? cat->Search({}) : std::nullopt;
    cells = found ? found->size() : 0;
    return cells == 3;
  }));
  EXPECT_EQ(cat->Search({})->front().newest.path, files.File("saved.qd1"));
  EXPECT_TRUE(app->ui.messages.empty());
}

TEST_F(CatalogWindowTest, TheOperationMenuOpensItButNotDuringARun) {
  ASSERT_TRUE(app->Enabled(ui::kCmdCatalog));
  bool opened = false;
  ModalAnswer close([&opened](QWidget* w) {
    auto* win = qobject_cast<ui::CCatalogWindow*>(w);
    opened = win != nullptr;
    if (win) win->Button(ui::CCatalogWindow::kClose)->click();
  });
  Frame().Action(ui::kCmdCatalog)->trigger();
  EXPECT_TRUE(opened);
  app->State().runActive = true;
  Frame().UpdateCommandStates();
  EXPECT_FALSE(app->Enabled(ui::kCmdCatalog));
  app->State().runActive = false;
}

TEST_F(CatalogWindowTest, ListsCellsPlotsTheHistoryAndOverlaysCurves) {
  {
    auto cat = catalog::Catalog::Open(CatalogFile(), nullptr);
    ASSERT_TRUE(cat);
    catalog::ImportCounts counts;
    ASSERT_TRUE(cat->ImportFile(files.File("cells.qd1"), "st", {0, 0}, counts));
  }
  auto model = catalog::CatalogWindowModel::Open(CatalogFile(), {0, 0}, app->ui);
  ASSERT_TRUE(model);
  ui::CatalogOverlays overlays;
  ui::CCatalogWindow win(std::move(model), app->Doc(), app->ui, overlays, &Frame());
  EXPECT_EQ(win.List()->rowCount(), 3);
  EXPECT_EQ(win.List()->horizontalHeaderItem(12)->text(), QString::fromUtf8("試験数"));
  EXPECT_EQ(win.List()->item(0, 11)->text(), QString::fromUtf8("在庫"));
  win.FilterField()->setText(QStringLiteral("capacity >"));
  win.Button(ui::CCatalogWindow::kSearch)->click();
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(win.List()->rowCount(), 3);
  win.List()->selectRow(1);
  EXPECT_EQ(win.Plot()->History().size(), 1u);
  const size_t shown = app->Doc().DisplayList().size();
  win.List()->selectAll();
  win.Button(ui::CCatalogWindow::kOverlay)->click();
  EXPECT_EQ(app->Doc().DisplayList().size(), shown + 3);
  overlays.Show(app->Doc(), {});
  EXPECT_EQ(app->Doc().DisplayList().size(), shown);
  win.PackField()->setText(QStringLiteral("P1"));
  win.Button(ui::CCatalogWindow::kAssign)->click();
  EXPECT_EQ(win.List()->item(0, 11)->text(), QString::fromUtf8("パック「P1」"));
}

}  // namespace
}  // namespace qv::test::shell
