// A station whose catalogue is on a server it cannot reach: saving goes on,
// the records wait in the queue, and the status bar says so, unobtrusively.
#include <QLabel>
#include <QTest>

#include "catalog/offline_queue.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "shell_test_support.h"

namespace qv::test::shell {
namespace {

TEST(CatalogWaiting, SavingWhileTheServerIsAwayShowsTheFilesWaiting) {
  TempDir files;
  WriteSampleFile(files.File("cells.qd1"), 3);
  StartedApp app(files.File("cells.qd1"));
  auto* pane = app.Frame().findChild<QLabel*>(QStringLiteral("catalogWaitingPane"));
  EXPECT_TRUE(!pane || pane->isHidden()) << "nothing waits yet";
  // A server whose socket folder does not exist: refused at once.
  const std::string away = "host=" + files.File("no-server") + " dbname=quorvex";
  app.State().settings.SetValue(keys::kCatalog, away);
  app.ui.ChooseFile(files.File("saved.qd1"));
  app.Frame().OnCommand(ui::kCmdSave);
  ASSERT_TRUE(Pump([&] {
    pane = app.Frame().findChild<QLabel*>(QStringLiteral("catalogWaitingPane"));
    return pane && pane->isVisible() && pane->text() == QString::fromUtf8("送信待ち 1");
  })) << (pane ? pane->text().toStdString() + (pane->isVisible() ? " shown" : " hidden")
               : std::string("no pane"))
      << " " << app.ui.TextsUtf8().size() << " " << app.ui.notices.size();
  EXPECT_TRUE(FileExists(files.File("saved.qd1")));
  EXPECT_TRUE(app.ui.notices.empty()) << "nothing is lost: no notice";
  catalog::DbError e;
  auto queue =
      catalog::OfflineQueue::Open(catalog::QueuePath(app.State().settings.Directory()), &e);
  ASSERT_TRUE(queue) << e.text;
  EXPECT_EQ(queue->Count(away), 1);
}

}  // namespace
}  // namespace qv::test::shell
