// The registration and ID change dialogs driven through the menu commands,
// and the Qt message boxes and file choosers of the user interface port.
#include <sys/stat.h>
#include <utime.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <cstdio>
#include <ctime>

#include "app/dialogs/length_limit.h"
#include "app/dialogs/port_detect_dialog.h"
#include "app/dialogs/port_setting_dialog.h"
#include "app/dialogs/registration_dialog.h"
#include "app/dialogs/start_confirm_dialog.h"
#include "app/qt_user_interface.h"
#include "data/codec.h"
#include "link/serial_port.h"
#include "shell_test_support.h"
#include "views/data_view.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

// Types into a field as the user does (replacing what it holds).
void Type(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

struct Registration : ::testing::Test {
  void SetUp() override {
    app = std::make_unique<StartedApp>();
    FillCurrent(app->Doc().Current(), 200);
    app->Doc().RefreshViews(kRefreshAll);
    app->Frame().UpdateCommandStates();
  }
  std::unique_ptr<StartedApp> app;
};

// The widgets the Tab key visits, from the first ID field on.
std::vector<QWidget*> TabOrder(QWidget* first, int count) {
  std::vector<QWidget*> order{first};
  for (QWidget* w = first->nextInFocusChain(); w != first && static_cast<int>(order.size()) < count;
       w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(first->window())) order.push_back(w);
  }
  return order;
}

TEST_F(Registration, TabFollowsTheControlsInTheirOrder) {
  app->State().settings.Set("FLAG_NUMBTN", "1");
  CRegistrationDialog dlg(app->Doc(), app->ui, &app->Frame());
  ASSERT_TRUE(dlg.AutoAssignButton()->isVisibleTo(&dlg));
  const std::vector<QWidget*> expected = {
      dlg.Field(0),           dlg.Field(1),         dlg.Field(2),      dlg.ProposeNextBox(),
      dlg.AutoAssignButton(), dlg.RegisterButton(), dlg.CancelButton()};
  EXPECT_EQ(TabOrder(dlg.Field(0), 7), expected);
}

TEST_F(Registration, TypedIdRegistersTheMeasurement) {
  ASSERT_TRUE(app->Enabled(kCmdRegister));
  QString title, prompt;
  bool autoAssignShown = true;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CRegistrationDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    title = dlg->windowTitle();
    autoAssignShown = dlg->AutoAssignButton()->isVisibleTo(dlg);
    EXPECT_TRUE(dlg->RegisterButton()->isDefault());
    EXPECT_EQ(dlg->RegisterButton()->text().toStdString(), "登録");
    EXPECT_EQ(dlg->CancelButton()->text().toStdString(), "ｷｬﾝｾﾙ");
    Type(dlg->Field(0), "007");
    Type(dlg->Field(1), "12");
    Type(dlg->Field(2), "3");
    dlg->ProposeNextBox()->setChecked(true);
    QTest::keyClick(dlg->Field(2), Qt::Key_Return);  // the default button
  });
  app->Frame().Action(kCmdRegister)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(title.toStdString(), "計測データの登録");
  EXPECT_FALSE(autoAssignShown);

  CBrenlowDoc& doc = app->Doc();
  ASSERT_EQ(doc.Registered().size(), 1u);
  EXPECT_EQ(doc.Registered()[0]->GetIdText(), "007-012-003");
  EXPECT_EQ(doc.SlotOf(*doc.Registered()[0]), 2);
  EXPECT_TRUE(doc.Current().IsEmpty());
  EXPECT_TRUE(app->State().modified);
  const CSettingsStore& s = app->State().settings;
  EXPECT_EQ(s.Get("REGIST_ID1"), "007");
  EXPECT_EQ(s.Get("REGIST_NEXT"), "1");
  // The panes show it: a data view row and an overlay column in the result panel.
  EXPECT_EQ(app->Frame().DataView()->List()->RowCount(), 1);
  EXPECT_EQ(app->Frame().ResultView()->List()->ColumnCount(), 3);
}

TEST_F(Registration, EmptyFieldIsRefusedAndTheDialogStaysOpen) {
  bool stillOpen = false;
  QString field0;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CRegistrationDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->Field(0), "5");
    Type(dlg->Field(2), "9");
    QTest::mouseClick(dlg->RegisterButton(), Qt::LeftButton);
    stillOpen = dlg->isVisible();
    field0 = dlg->Field(0)->text();
    QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
  });
  app->Frame().Action(kCmdRegister)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(field0, "5");
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.messages[0].text,
            Sj("未記入欄があります。\n登録の際は３つのＩＤ入力欄すべてに値を入れてください。"));
  EXPECT_EQ(app->ui.messages[0].caption, Sj("登録処理"));
  // Cancel: nothing registered, no setting written.
  EXPECT_TRUE(app->Doc().Registered().empty());
  EXPECT_FALSE(app->Doc().Current().IsEmpty());
  EXPECT_EQ(app->State().settings.Get("REGIST_NEXT"), "");
}

TEST_F(Registration, FieldsHoldThreeCharacters) {
  QString typed;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CRegistrationDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    QTest::keyClicks(dlg->Field(0), "12345");
    typed = dlg->Field(0)->text();
    dlg->reject();
  });
  app->Frame().Action(kCmdRegister)->trigger();
  EXPECT_EQ(typed, "123");
}

TEST_F(Registration, ProposalAndAutoAssignFromTheSettings) {
  // Registration list holding 001-001-001 and 001-001-002; remembered 1, 1, 1.
  app->Doc().InsertRegistered(MakeRecord(1, 1, 1, 100));
  app->Doc().InsertRegistered(MakeRecord(1, 1, 2, 100));
  CSettingsStore& s = app->State().settings;
  s.Set("REGIST_NEXT", "1");
  s.Set("REGIST_ID1", "1");
  s.Set("REGIST_ID2", "1");
  s.Set("REGIST_ID3", "1");
  s.Set("FLAG_NUMBTN", "1");
  QStringList opened, assigned;
  bool boxChecked = false, buttonShown = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CRegistrationDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    for (int i = 0; i < 3; ++i)
      opened << dlg->Field(i)->text();
    boxChecked = dlg->ProposeNextBox()->isChecked();
    buttonShown = dlg->AutoAssignButton()->isVisibleTo(dlg);
    Type(dlg->Field(1), "");
    Type(dlg->Field(2), "");
    QTest::mouseClick(dlg->AutoAssignButton(), Qt::LeftButton);
    for (int i = 0; i < 3; ++i)
      assigned << dlg->Field(i)->text();
    dlg->reject();
  });
  app->Frame().Action(kCmdRegister)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(opened, QStringList({"1", "1", "3"}));
  EXPECT_TRUE(boxChecked);
  EXPECT_TRUE(buttonShown);
  EXPECT_EQ(assigned, QStringList({"1", "1", "3"}));
}

TEST(RegistrationWithRealBoxes, RefusalStandsAboveTheDialog) {
  TempDir work;
  SetUpApplication();
  CBrenlowApp app({work.path(), false, nullptr});
  app.Start(std::nullopt);
  FillCurrent(app.Doc().Current(), 100);
  app.Frame()->UpdateCommandStates();
  CRegistrationDialog* dialog = nullptr;
  QWidget* boxParent = nullptr;
  QString boxText, boxTitle;
  std::unique_ptr<ModalAnswer> inner;
  ModalAnswer outer([&](QWidget* w) {
    dialog = qobject_cast<CRegistrationDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    inner = std::make_unique<ModalAnswer>([&](QWidget* m) {
      auto* box = qobject_cast<QMessageBox*>(m);
      ASSERT_NE(box, nullptr);
      boxParent = box->parentWidget();
      boxText = box->text();
      boxTitle = box->windowTitle();
      box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(dialog->RegisterButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    dialog->reject();
  });
  app.Frame()->Action(kCmdRegister)->trigger();
  ASSERT_TRUE(outer.Answered());
  ASSERT_TRUE(inner && inner->Answered());
  EXPECT_EQ(boxParent, dialog);
  EXPECT_EQ(boxTitle.toStdString(), "登録処理");
  EXPECT_EQ(boxText.toStdString(),
            "未記入欄があります。\n登録の際は３つのＩＤ入力欄すべてに値を入れてください。");
  EXPECT_TRUE(app.Doc().Registered().empty());
}

TEST(IdChange, NewIdMovesTheRecord) {
  TempDir files;
  const std::string path = files.File("three.qd1");
  WriteSampleFile(path, 3);
  StartedApp a(path);
  CMainFrame& f = a.Frame();
  QApplication::setActiveWindow(&f);
  CReportCtrl* list = f.DataView()->List();
  list->Table()->setFocus();
  list->SelectRow(list->RowKeyAt(0));
  ASSERT_TRUE(Pump([&] { return f.DataView()->ListHasFocus(); }, 1000));
  f.UpdateCommandStates();
  ASSERT_TRUE(a.Enabled(kCmdChangeId));

  QString current;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CIdChangeDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle().toStdString(), "登録IDの変更");
    current = dlg->CurrentIdLabel()->text();
    Type(dlg->Field(0), "9");
    Type(dlg->Field(1), "8");
    Type(dlg->Field(2), "7");
    QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
  });
  a.ui.Answer(MsgResult::kOk);  // the change question
  f.Action(kCmdChangeId)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(current, "001-001-001");
  ASSERT_EQ(a.ui.messages.size(), 2u);
  EXPECT_EQ(a.ui.messages[0].text,
            Sj("登録ID 001-001-001 を 009-008-007 に変更します。\nよろしいですか？"));
  EXPECT_EQ(a.ui.messages[1].text, Sj("登録IDを変更しました。"));
  EXPECT_EQ(a.Doc().Registered().back()->GetIdText(), "009-008-007");
  EXPECT_EQ(list->CellText(list->RowKeyAt(2), 0), "009-008-007");
}

TEST(IdChange, SameIdIsRefusedInTheDialog) {
  TempDir files;
  const std::string path = files.File("one.qd1");
  WriteSampleFile(path, 1);
  StartedApp a(path);
  CMeasureData& rec = *a.Doc().Registered()[0];
  CIdChangeDialog dlg(a.Doc(), rec, a.ui, &a.Frame());
  EXPECT_EQ(dlg.CurrentIdLabel()->text(), "001-001-001");
  EXPECT_EQ(TypingLimit(dlg.Field(0)), 3);
  Type(dlg.Field(0), "1");
  Type(dlg.Field(1), "1");
  Type(dlg.Field(2), "1");
  dlg.show();
  QTest::mouseClick(dlg.OkButton(), Qt::LeftButton);
  ASSERT_EQ(a.ui.messages.size(), 1u);
  EXPECT_EQ(a.ui.messages[0].text, Sj("変更前と同じIDです。"));
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_FALSE(dlg.Accepted().has_value());
}

// --- The Qt user interface -----------------------------------------------------------

TEST(QtMessageBox, IconButtonsDefaultAndCaption) {
  QWidget owner;
  Message m{Sj("よろしいですか？"), Sj("登録データの削除"), MsgIcon::kWarning,
            MsgButtons::kOkCancel, std::nullopt};
  auto box = QtUserInterface::BuildMessageBox(m, &owner);
  EXPECT_EQ(box->windowTitle().toStdString(), "登録データの削除");
  EXPECT_EQ(box->text().toStdString(), "よろしいですか？");
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  EXPECT_EQ(box->parentWidget(), &owner);
  ASSERT_EQ(box->buttons().size(), 2);
  EXPECT_EQ(box->button(QMessageBox::Ok)->text(), "OK");
  EXPECT_EQ(box->button(QMessageBox::Cancel)->text().toStdString(), "キャンセル");
  // Without a stated default the first button is it.
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
  EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::Cancel));

  m.icon = MsgIcon::kError;
  m.buttons = MsgButtons::kYesNo;
  m.defaultButton = MsgResult::kNo;
  box = QtUserInterface::BuildMessageBox(m, nullptr);
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
  m.icon = MsgIcon::kInformation;
  EXPECT_EQ(QtUserInterface::BuildMessageBox(m, nullptr)->icon(), QMessageBox::Information);
  m.icon = MsgIcon::kQuestion;
  EXPECT_EQ(QtUserInterface::BuildMessageBox(m, nullptr)->icon(), QMessageBox::Question);
}

TEST(QtMessageBox, ShowMessageReturnsTheClickedButton) {
  QtUserInterface ui;
  ui.beforeExec = [](QDialog& d) {
    auto& box = static_cast<QMessageBox&>(d);
    QTimer::singleShot(0, &box, [&box] { box.button(QMessageBox::Yes)->click(); });
  };
  EXPECT_EQ(ui.ShowMessage({Sj("?"), Sj("x"), MsgIcon::kQuestion, MsgButtons::kYesNoCancel,
                            MsgResult::kCancel}),
            MsgResult::kYes);
  ui.beforeExec = [](QDialog& d) {
    QTimer::singleShot(0, &d, [&d] { QTest::keyClick(&d, Qt::Key_Escape); });
  };
  EXPECT_EQ(
      ui.ShowMessage({Sj("?"), Sj("x"), MsgIcon::kQuestion, MsgButtons::kYesNo, std::nullopt}),
      MsgResult::kNo);
}

TEST(QtFileChooser, FilterPairsBecomeQtFilters) {
  EXPECT_EQ(QtUserInterface::ConvertFilter(Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|")),
            QStringList({QString::fromUtf8("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)")}));
  EXPECT_EQ(QtUserInterface::ConvertFilter("CSV|*.csv;*.txt|All (*.*)|*.*|"),
            QStringList({"CSV (*.csv *.txt)", "All (*.*)"}));
  EXPECT_TRUE(QtUserInterface::ConvertFilter("").isEmpty());
}

TEST(QtFileChooser, DefaultExtensionIsAddedToABareName) {
  EXPECT_EQ(QtUserInterface::WithDefaultExtension("/d/name", ".qd1"), "/d/name.qd1");
  EXPECT_EQ(QtUserInterface::WithDefaultExtension("/d/name.qd1", ".qd1"), "/d/name.qd1");
  EXPECT_EQ(QtUserInterface::WithDefaultExtension("/d/name.bak", ".qd1"), "/d/name.bak");
  EXPECT_EQ(QtUserInterface::WithDefaultExtension("/d/name", ""), "/d/name");
}

TEST(QtFileChooser, SaveDialogStartsAtTheRememberedFile) {
  TempDir dir;
  WriteFile(dir.File("last.qd1"), "x");
  FileDialogRequest r;
  r.filter = Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|");
  r.defaultExtension = ".qd1";
  r.proposedName = "last.qd1";
  r.startDirectory = dir.File("last.qd1");  // PATH holds the full path
  r.confirmOverwrite = true;
  auto dlg = QtUserInterface::BuildFileDialog(r, true, nullptr);
  EXPECT_EQ(dlg->acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dlg->defaultSuffix(), "qd1");
  EXPECT_EQ(dlg->directory().absolutePath().toStdString(), dir.path());
  EXPECT_FALSE(dlg->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(dlg->nameFilters(), QStringList({QString::fromUtf8("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)")}));

  r.confirmOverwrite = false;
  auto open = QtUserInterface::BuildFileDialog(r, false, nullptr);
  EXPECT_EQ(open->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(open->fileMode(), QFileDialog::ExistingFile);
}

TEST(QtFileChooser, ChosenFileComesBackAsAPath) {
  TempDir dir;
  QtUserInterface ui;
  ui.beforeExec = [&](QDialog& d) {
    auto& fd = static_cast<QFileDialog&>(d);
    QTimer::singleShot(0, &fd, [&fd, &dir] {
      fd.selectFile(QString::fromStdString(dir.File("new")));
      static_cast<QDialog&>(fd).accept();
    });
  };
  FileDialogRequest r;
  r.defaultExtension = ".qd1";
  r.startDirectory = dir.path();
  auto chosen = ui.ChooseSaveFile(r);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, dir.File("new.qd1"));
}

TEST(QtFileChooser, SizesDatesAndFoldersInJapanese) {
  ui::SetUpApplication();
  TempDir dir;
  WriteFile(dir.File("a.qd1"), std::string(2000, 'x'));
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
  struct tm local = {};
  local.tm_year = 2015 - 1900;
  local.tm_mon = 5;
  local.tm_mday = 30;
  local.tm_hour = 12;
  local.tm_min = 34;
  local.tm_isdst = -1;
  const struct utimbuf times = {std::mktime(&local), std::mktime(&local)};
  ASSERT_EQ(::utime(dir.File("a.qd1").c_str(), &times), 0);

  FileDialogRequest r;
  r.startDirectory = dir.path();
  auto dlg = QtUserInterface::BuildFileDialog(r, false, nullptr);
  auto* tree = dlg->findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(tree, nullptr);
  QAbstractItemModel* m = tree->model();
  auto row = [&](const char* name) {
    const QModelIndex root = tree->rootIndex();
    for (int i = 0; i < m->rowCount(root); ++i)
      if (m->index(i, 0, root).data().toString() == QLatin1String(name))
        return m->index(i, 0, root);
    return QModelIndex();
  };
  ASSERT_TRUE(Pump([&] { return row("a.qd1").isValid() && row("sub").isValid(); }));
  const QModelIndex file = row("a.qd1");
  EXPECT_EQ(file.siblingAtColumn(1).data().toString(), QString::fromUtf8("1.95 KiB"));
  EXPECT_EQ(file.siblingAtColumn(3).data().toString(), QStringLiteral("2015/06/30 12:34"));
  EXPECT_EQ(row("sub").siblingAtColumn(1).data().toString(), QString());
  EXPECT_EQ(row("sub").siblingAtColumn(2).data().toString(), QString::fromUtf8("フォルダー"));
  // The program's own number texts keep their form.
  EXPECT_EQ(QString::number(1234.5), QStringLiteral("1234.5"));
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.1f", 1234.5);
  EXPECT_STREQ(buf, "1234.5");
}

// Enter presses the focused button (as the key does in any dialog of the
// desktop), not the default one behind it.
TEST(DialogKeys, EnterOnAFocusedButtonPressesThatButton) {
  StartedApp a;
  {
    CStartConfirmDlg dlg(&a.Frame());
    dlg.show();
    ASSERT_TRUE(dlg.StartButton()->isDefault());
    QTest::keyClick(dlg.CancelButton(), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
  }
  {
    CRegistrationDialog dlg(a.Doc(), a.ui, &a.Frame());
    dlg.show();
    QTest::keyClick(dlg.CancelButton(), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(a.ui.messages.empty());  // no registration attempted
  }
  {
    a.State().settings.Set("FLAG_NUMBTN", "1");
    CRegistrationDialog dlg(a.Doc(), a.ui, &a.Frame());
    dlg.show();
    int registered = 0;
    QObject::connect(dlg.RegisterButton(), &QPushButton::clicked, [&] { ++registered; });
    QTest::keyClick(dlg.AutoAssignButton(), Qt::Key_Return);
    EXPECT_EQ(registered, 0);
    // All fields empty: auto-assign proposes 1-1-1 rather than registering.
    EXPECT_EQ(dlg.Field(0)->text(), QStringLiteral("1"));
  }
  {
    // No serial device is visible, should a scan start after all.
    TempDir devices;
    CPortNames::SetDefaultDeviceRoot(devices.path());
    CPortSettingDlg dlg(a.Doc(), a.ui, &a.Frame());
    dlg.show();
    dlg.sleeper = [](int) {};
    bool detectOpened = false;
    dlg.runDetect = [&](CPortDetectDlg& d) {
      detectOpened = true;
      d.show();
      // Enter on 閉じる closes the detection, it does not start the scan.
      QTest::keyClick(d.CloseButton(), Qt::Key_Return);
      return d.result();
    };
    QTest::keyClick(dlg.DetectButton(), Qt::Key_Return);
    EXPECT_TRUE(detectOpened);
    EXPECT_TRUE(a.ui.messages.empty());  // no scan, so no scan result
    CPortNames::SetDefaultDeviceRoot("/dev");
  }
}

}  // namespace
}  // namespace qv::test::shell
