// The window on a catalogue server (the tests' PostgreSQL server): the
// catalogue window sees another station's records by itself, and files that
// waited while the server was away go out by themselves when it is back.
#include <QLabel>
#include <QTest>

#include "app/catalog_retry.h"
#include "app/dialogs/catalog_window.h"
#include "catalog/catalog.h"
#include "catalog/station.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "shell_test_support.h"
#include "support/pg_test_db.h"

namespace qv::test::shell {
namespace {

catalog::CatalogTarget ServerTarget(StartedApp& app, const std::string& conninfo,
                                    const std::string& station = "st1") {
  app.State().settings.SetValue(keys::kCatalog, conninfo);
  catalog::CatalogTarget t = catalog::TargetOf(app.State().settings);
  t.station = station;
  return t;
}

TEST(CatalogOnServer, TheWindowShowsAnotherStationsRecordsWithinTwoSeconds) {
  QV_REQUIRE_PG();
  PgTestDatabase db;
  TempDir files;
  StartedApp app;
  const catalog::CatalogTarget t = ServerTarget(app, db.Conninfo());
  std::string why;
  auto admin = catalog::InitTarget(t, &why);
  ASSERT_TRUE(admin) << Cp932ToUtf8(why);
  std::vector<std::unique_ptr<CMeasureData>> held;
  for (int i = 1; i <= 3; ++i)
    held.push_back(MakeRecord(5, 5, i, 20));
  catalog::ImportCounts counts;
  ASSERT_TRUE(admin->ImportRecords({held[0].get(), held[1].get(), held[2].get()},
                                   files.File("cells.qd1"), "st1", {0, 0}, counts));

  auto model = catalog::CatalogWindowModel::Open(t, {0, 0}, app.ui);
  ASSERT_TRUE(model);
  ui::CatalogOverlays overlays;
  ui::CCatalogWindow win(std::move(model), app.Doc(), app.ui, overlays, &app.Frame());
  ASSERT_EQ(win.List()->rowCount(), 3);
  const size_t reads = win.Model().ListReads();
  win.List()->selectRow(2);
  const QString chosen = win.List()->item(2, 0)->text();

  // Another station registers two cells, one of them before those shown.
  auto other = catalog::OpenTarget(ServerTarget(app, db.Conninfo(), "st-2"), &why);
  ASSERT_TRUE(other) << Cp932ToUtf8(why);
  auto first = MakeRecord(1, 1, 1, 20), last = MakeRecord(9, 9, 9, 20);
  ASSERT_TRUE(other->ImportRecords({first.get(), last.get()}, files.File("st2.qd1"), "st-2", {0, 0},
                                   counts))
      << Cp932ToUtf8(other->LastMessage());
  QTRY_COMPARE_WITH_TIMEOUT(win.List()->rowCount(), 5, 2000);
  EXPECT_EQ(win.List()->item(0, 0)->text(), QStringLiteral("001-001-001"));
  EXPECT_EQ(win.List()->item(4, 0)->text(), QStringLiteral("009-009-009"));
  EXPECT_EQ(win.Model().ListReads(), reads) << "only the new cells were read";
  ASSERT_EQ(win.List()->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(win.List()->item(win.List()->selectionModel()->selectedRows()[0].row(), 0)->text(),
            chosen)
      << "the selected cell stays selected";
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST(CatalogOnServer, FilesSavedWhileTheServerWasAwayGoOutByThemselvesWhenItIsBack) {
  QV_REQUIRE_PG();
  PgPrivateServer server;
  TempDir files;
  WriteSampleFile(files.File("cells.qd1"), 3);
  StartedApp app(files.File("cells.qd1"));
  const catalog::CatalogTarget t = ServerTarget(app, server.Conninfo());
  std::string why;
  ASSERT_TRUE(catalog::InitTarget(t, &why)) << Cp932ToUtf8(why);
  auto* retry = app.Frame().findChild<ui::CCatalogRetry*>(QStringLiteral("catalogRetry"));
  ASSERT_TRUE(retry);
  retry->SetIntervals({std::chrono::milliseconds(50), std::chrono::milliseconds(200)});

  server.Down();
  app.ui.ChooseFile(files.File("saved.qd1"));
  app.Frame().OnCommand(ui::kCmdSave);
  QLabel* pane = nullptr;
  ASSERT_TRUE(Pump([&] {
    pane = app.Frame().findChild<QLabel*>(QStringLiteral("catalogWaitingPane"));
    return pane && pane->isVisible();
  }));
  EXPECT_EQ(pane->text(), QString::fromUtf8("送信待ち 1"));

  server.Up();
  // No save, no sync, no window opened: the window's own tries send it.
  EXPECT_TRUE(Pump([&] { return pane->isHidden(); })) << pane->text().toStdString();
  EXPECT_EQ(catalog::WaitingCount(t), 0);
  EXPECT_EQ(PgValue(server.Conninfo(), "SELECT count(*) FROM records"), "3");
  EXPECT_TRUE(app.ui.notices.empty());
}

}  // namespace
}  // namespace qv::test::shell
