// Pictures of the windows for a person to look at (scripts/screenshot.sh).
// Skipped unless QV_SCREENSHOT_DIR names the folder to write them into.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>

#include "app/about_dialog.h"
#include "app/dialogs/registration_dialog.h"
#include "app/qt_user_interface.h"
#include "data/codec.h"
#include "shell_test_support.h"
#include "views/data_view.h"
#include "views/graph_view.h"
#include "views/report_ctrl.h"

namespace qv::test::shell {
namespace {

QString ShotDir() {
  return qEnvironmentVariable("QV_SCREENSHOT_DIR");
}

bool Save(QWidget& w, const char* name) {
  QApplication::processEvents();
  return w.grab().save(ShotDir() + "/" + name);
}

TEST(Screens, MainWindowWithOverlays) {
  if (ShotDir().isEmpty()) GTEST_SKIP() << "QV_SCREENSHOT_DIR not set";
  const std::string file = qEnvironmentVariable("QV_SCREENSHOT_FILE").toStdString();
  ASSERT_FALSE(file.empty());
  StartedApp a(file);
  ui::CMainFrame& f = a.Frame();
  f.resize(1000, 720);
  // Two overlays, as double-clicks would make them, and a selected row.
  ui::CReportCtrl* list = f.DataView()->List();
  for (int pos : {1, 3}) {
    if (pos < list->RowCount()) f.DataView()->ToggleOverlay(list->RowKeyAt(pos));
  }
  if (list->RowCount() > 0) list->SelectRow(list->RowKeyAt(0));
  f.GraphView()->CursorUpdate(300);
  EXPECT_TRUE(Save(f, "main_overlays.png"));
  // The smallest window the user can make.
  f.resize(300, 200);
  EXPECT_TRUE(Save(f, "main_smallest.png"));
  f.resize(1000, 720);

  // Every control of the registration dialog, the auto-assign button too.
  a.State().settings.Set("FLAG_NUMBTN", "1");
  ui::CRegistrationDialog reg(a.Doc(), a.ui, &f);
  EXPECT_TRUE(Save(reg, "register.png"));
  ui::CIdChangeDialog idc(a.Doc(), *a.Doc().Registered().at(0), a.ui, &f);
  EXPECT_TRUE(Save(idc, "idchange.png"));
  ui::CAboutDialog about(&f);
  EXPECT_TRUE(Save(about, "about.png"));
  auto box = ui::QtUserInterface::BuildMessageBox(
      {Sj("選択中の登録データ\n　ID 001-001-001 (2015/03/04 10:11:12)\nを削除します。よろしいですか"
          "？\n（削除したデータは元に戻せません）"),
       Sj("登録データの削除"), MsgIcon::kWarning, MsgButtons::kOkCancel, std::nullopt},
      &f);
  EXPECT_TRUE(Save(*box, "message.png"));
  FileDialogRequest req;
  req.filter = Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|");
  req.defaultExtension = ".qd1";
  req.proposedName = "sample.qd1";
  req.startDirectory = file;
  req.confirmOverwrite = true;
  auto chooser = ui::QtUserInterface::BuildFileDialog(req, true, &f);
  chooser->show();
  Pump([] { return false; }, 300);  // the folder is read in the background
  EXPECT_TRUE(Save(*chooser, "save_chooser.png"));
  QMenu* edit = f.menuBar()->actions()[2]->menu();
  emit edit->aboutToShow();
  edit->adjustSize();
  EXPECT_TRUE(Save(*edit, "menu_edit.png"));
  QMenu* fileMenu = f.menuBar()->actions()[0]->menu();
  emit fileMenu->aboutToShow();
  fileMenu->adjustSize();
  EXPECT_TRUE(Save(*fileMenu, "menu_file.png"));
}

}  // namespace
}  // namespace qv::test::shell
