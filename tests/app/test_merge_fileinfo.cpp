// The merge window and the file information window, driven through their
// menu commands on a started application.
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <ctime>

#include "app/dialogs/file_info_dialog.h"
#include "app/dialogs/merge_dialog.h"
#include "app/file_commands.h"
#include "data/codec.h"
#include "shell_test_support.h"
#include "views/data_view.h"
#include "views/report_ctrl.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

std::string U(const QString& s) {
  return s.toStdString();
}

void Type(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

struct MergeWindow : ::testing::Test {
  void SetUp() override { app = std::make_unique<StartedApp>(); }

  // Opens the merge window from the menu and lets `work` use it; a window
  // still open afterwards is cancelled. False when no window opened.
  bool WithMergeWindow(const std::function<void(CMergeDialog*)>& work) {
    ModalAnswer answer([&](QWidget* w) {
      auto* dlg = qobject_cast<CMergeDialog*>(w);
      if (!dlg) {
        ADD_FAILURE() << "not the merge window";
        w->close();
        return;
      }
      work(dlg);
      stillOpen = dlg->isVisible();
      if (stillOpen) QTest::mouseClick(dlg->CancelButton(), Qt::LeftButton);
    });
    app->Frame().Action(kCmdMerge)->trigger();
    return answer.Answered();
  }

  std::string SourceFile(int records) {
    const std::string path = app->dir.File("source.qd1");
    WriteSampleFile(path, records);
    return path;
  }

  std::unique_ptr<StartedApp> app;
  bool stillOpen = false;
};

TEST_F(MergeWindow, OpensOnTheLastMergedFileWithItsControls) {
  app->State().settings.Set("INPORT_MERGE", Sj("/data/前回.qd1"));
  ASSERT_TRUE(WithMergeWindow([](CMergeDialog* dlg) {
    EXPECT_EQ(U(dlg->windowTitle()), "データファイルを合成");
    EXPECT_EQ(U(dlg->ExplanationLabel()->text()),
              "編集中のデータに対して、別のデータファイルの内容を合成します。");
    EXPECT_EQ(U(dlg->FileChoice()->text()), "指定のデータファイルと合成");
    EXPECT_EQ(U(dlg->FileLabel()->text()), "合成するデータファイル：");
    EXPECT_EQ(U(dlg->BrowseButton()->text()), "参照");
    EXPECT_EQ(U(dlg->BackupChoice()->text()), "バックアップファイルと合成");
    EXPECT_EQ(U(dlg->NoteLabel()->text()),
              "※　重複するデータ（登録IDと計測日時が同一のもの）がある場合は、"
              "合成ファイル側のデータで上書きされます。また計測データ欄の内容も同様に"
              "上書きされます。");
    EXPECT_EQ(U(dlg->MergeButton()->text()), "合成");
    EXPECT_EQ(U(dlg->CancelButton()->text()), "ｷｬﾝｾﾙ");
    EXPECT_TRUE(dlg->MergeButton()->isDefault());
    EXPECT_EQ(U(dlg->PathEdit()->text()), "/data/前回.qd1");
    EXPECT_TRUE(dlg->FileChoice()->isChecked());
    EXPECT_FALSE(dlg->BackupChoice()->isChecked());
    for (QWidget* w :
         {static_cast<QWidget*>(dlg->FileLabel()), static_cast<QWidget*>(dlg->PathEdit()),
          static_cast<QWidget*>(dlg->BrowseButton())})
      EXPECT_TRUE(w->isEnabled());

    // The backup choice greys the file controls and unchecks the other choice.
    dlg->BackupChoice()->click();
    EXPECT_FALSE(dlg->FileChoice()->isChecked());
    EXPECT_FALSE(dlg->FileLabel()->isEnabled());
    EXPECT_FALSE(dlg->PathEdit()->isEnabled());
    EXPECT_FALSE(dlg->BrowseButton()->isEnabled());
    dlg->FileChoice()->click();
    EXPECT_FALSE(dlg->BackupChoice()->isChecked());
    EXPECT_TRUE(dlg->PathEdit()->isEnabled());
    EXPECT_TRUE(dlg->BrowseButton()->isEnabled());
    EXPECT_EQ(U(dlg->PathEdit()->text()), "/data/前回.qd1");
  }));
  // Cancelled: nothing said, nothing changed.
  EXPECT_TRUE(app->ui.messages.empty());
  EXPECT_FALSE(app->State().modified);
}

TEST_F(MergeWindow, TabFollowsTheControlsInTheirOrder) {
  ASSERT_TRUE(WithMergeWindow([](CMergeDialog* dlg) {
    const std::vector<QWidget*> expected = {dlg->FileChoice(),   dlg->PathEdit(),
                                            dlg->BrowseButton(), dlg->BackupChoice(),
                                            dlg->MergeButton(),  dlg->CancelButton()};
    std::vector<QWidget*> order{expected.front()};
    for (QWidget* w = order.front()->nextInFocusChain();
         w != order.front() && order.size() < expected.size(); w = w->nextInFocusChain()) {
      // Labels take no focus; of the two choices Tab stops at the checked one
      // (the arrow keys move between them), so both are looked for here.
      if ((w->focusPolicy() & Qt::TabFocus) || qobject_cast<QRadioButton*>(w)) order.push_back(w);
    }
    EXPECT_EQ(order, expected);
  }));
}

TEST_F(MergeWindow, MergesTheTypedFileAndRemembersTheTrimmedPath) {
  const std::string source = SourceFile(3);
  ASSERT_TRUE(WithMergeWindow([&](CMergeDialog* dlg) {
    Type(dlg->PathEdit(), QString::fromStdString("  " + source + "  "));
    QTest::keyClick(dlg->PathEdit(), Qt::Key_Return);  // the default button
  }));
  EXPECT_FALSE(stillOpen);
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.messages[0].text, Sj("データファイルを合成しました。"));
  EXPECT_EQ(app->ui.messages[0].caption, Sj("データファイル合成完了"));
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kInformation);

  CBrenlowDoc& doc = app->Doc();
  ASSERT_EQ(doc.Registered().size(), 3u);
  EXPECT_EQ(doc.Registered()[2]->GetIdText(), "001-001-003");
  EXPECT_EQ(doc.Current().Points().size(), 301u);
  EXPECT_TRUE(app->State().modified);
  EXPECT_EQ(app->State().settings.Get("INPORT_MERGE"), source);
  // The panes show the merged records.
  EXPECT_EQ(app->Frame().DataView()->List()->RowCount(), 3);
}

TEST_F(MergeWindow, ReplacedRecordsAreListedInTheCompletionMessage) {
  app->Doc().InsertRegistered(MakeRecord(1, 1, 1, 50));     // same ID and time as the file's
  app->Doc().InsertRegistered(MakeRecord(1, 1, 2, 50, 9));  // same ID, another day
  app->State().modified = false;                            // as after a save
  const std::string source = SourceFile(2);
  ASSERT_TRUE(WithMergeWindow([&](CMergeDialog* dlg) {
    Type(dlg->PathEdit(), QString::fromStdString(source));
    QTest::mouseClick(dlg->MergeButton(), Qt::LeftButton);
  }));
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.messages[0].text,
            Sj("データファイルを合成しました。\n\n※　重複した次の登録データは上書きされました。\n"
               "　　　001-001-001 (2015/03/04 10:11:12)\n"));
  const RecordList& list = app->Doc().Registered();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0]->GetIdText(), "001-001-001");
  EXPECT_EQ(list[0]->Points().size(), 201u);  // the file's record
  EXPECT_EQ(list[1]->GetDateTimeText(), "2015/03/04 10:11:12");
  EXPECT_EQ(list[2]->GetDateTimeText(), "2015/03/09 10:11:12");
}

TEST_F(MergeWindow, EmptyPathIsRefusedAndTheWindowStays) {
  ASSERT_TRUE(WithMergeWindow([&](CMergeDialog* dlg) {
    Type(dlg->PathEdit(), "   ");
    QTest::mouseClick(dlg->MergeButton(), Qt::LeftButton);
  }));
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.messages[0].text, Sj("合成するデータファイルを指定してください。"));
  EXPECT_EQ(app->ui.messages[0].caption, Sj("合成データファイル指定"));
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kWarning);
}

TEST_F(MergeWindow, SameFileNameDeclinedKeepsTheWindowAndTheDocument) {
  const std::string source = SourceFile(2);
  app->State().fileName = "source.qd1";
  app->State().filePath = "/elsewhere/source.qd1";
  app->ui.Answer(MsgResult::kCancel);
  ASSERT_TRUE(WithMergeWindow([&](CMergeDialog* dlg) {
    Type(dlg->PathEdit(), QString::fromStdString(source));
    QTest::mouseClick(dlg->MergeButton(), Qt::LeftButton);
  }));
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.messages[0].text,
            Sj("指定したファイル名が、編集中のファイルと同じです。\nこのまま処理を継続しますか？"));
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kQuestion);
  EXPECT_TRUE(app->Doc().Registered().empty());
  EXPECT_TRUE(app->State().settings.Get("INPORT_MERGE").empty());
}

TEST_F(MergeWindow, UnsavedChangesAreAskedAboutFirst) {
  const std::string source = SourceFile(1);
  app->State().modified = true;
  app->ui.Answer(MsgResult::kCancel);
  ASSERT_TRUE(WithMergeWindow([&](CMergeDialog* dlg) {
    Type(dlg->PathEdit(), QString::fromStdString(source));
    QTest::mouseClick(dlg->MergeButton(), Qt::LeftButton);
    EXPECT_TRUE(dlg->isVisible());
    // Asked again on the next press; this time the user goes on.
    QTest::mouseClick(dlg->MergeButton(), Qt::LeftButton);
  }));
  EXPECT_FALSE(stillOpen);
  ASSERT_EQ(app->ui.messages.size(), 3u);
  EXPECT_EQ(app->ui.messages[0].text,
            Sj("変更されたデータがあります。\n保存せずにこのまま処理を継続しますか？"));
  EXPECT_EQ(app->ui.messages[0].caption, Sj("データファイルを合成"));
  EXPECT_EQ(app->ui.messages[1].text, app->ui.messages[0].text);
  EXPECT_EQ(app->ui.messages[2].caption, Sj("データファイル合成完了"));
  EXPECT_EQ(app->Doc().Registered().size(), 1u);
}

TEST_F(MergeWindow, BrowsePutsTheChosenFileIntoThePath) {
  app->ui.ChooseFile(std::string("/picked/new.qd1"));
  ASSERT_TRUE(WithMergeWindow([&](CMergeDialog* dlg) {
    Type(dlg->PathEdit(), "/some/dir/old.qd1");
    QTest::mouseClick(dlg->BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(U(dlg->PathEdit()->text()), "/picked/new.qd1");
    // A cancelled chooser keeps the path.
    QTest::mouseClick(dlg->BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(U(dlg->PathEdit()->text()), "/picked/new.qd1");
  }));
  ASSERT_EQ(app->ui.fileRequests.size(), 2u);
  const FileDialogRequest& r = app->ui.fileRequests[0];
  EXPECT_EQ(r.proposedName, "old.qd1");
  EXPECT_EQ(r.startDirectory, "/some/dir");
  EXPECT_EQ(r.filter, Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|"));
  EXPECT_EQ(r.defaultExtension, ".qd1");
  EXPECT_EQ(app->ui.fileRequests[1].proposedName, "new.qd1");
  EXPECT_TRUE(app->ui.messages.empty());
}

TEST_F(MergeWindow, MissingBackupIsReportedAndTheWindowStays) {
  app->State().settings.Set("INPORT_MERGE", "/keep/this.qd1");
  ASSERT_TRUE(WithMergeWindow([&](CMergeDialog* dlg) {
    dlg->BackupChoice()->click();
    QTest::mouseClick(dlg->MergeButton(), Qt::LeftButton);
  }));
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(app->ui.messages[0].text, Sj("データファイルが開けません。"));
  EXPECT_EQ(app->ui.messages[0].caption, Sj("データファイルを合成"));
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kError);
  EXPECT_EQ(app->State().settings.Get("INPORT_MERGE"), "/keep/this.qd1");
}

// The way back to registered records that were never saved: the backup
// written at the end of a run, merged in after a restart.
TEST(MergeBackup, RestoresUnsavedRecordsAfterARestart) {
  TempDir work;
  {
    StartedApp before(std::nullopt, work.path());
    before.State().backupMode = 0;  // the backup holds the unsaved records
    auto a = MakeRecord(5, 6, 7, 120);
    auto b = MakeRecord(5, 6, 8, 150);
    before.Doc().InsertRegistered(std::move(a));
    before.Doc().InsertRegistered(std::move(b));
    ASSERT_TRUE(before.Doc().WriteAutoBackup());
  }
  ASSERT_TRUE(FileExists(work.path() + "/tmpdata.bak"));

  StartedApp after(std::nullopt, work.path());
  after.State().settings.Set("INPORT_MERGE", "/keep/this.qd1");
  ASSERT_TRUE(after.Doc().Registered().empty());
  bool closed = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CMergeDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    dlg->BackupChoice()->click();
    QTest::mouseClick(dlg->MergeButton(), Qt::LeftButton);
    closed = !dlg->isVisible();
    if (!closed) dlg->reject();
  });
  after.Frame().Action(kCmdMerge)->trigger();
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(closed);
  ASSERT_EQ(after.Doc().Registered().size(), 2u);
  EXPECT_EQ(after.Doc().Registered()[0]->GetIdText(), "005-006-007");
  EXPECT_EQ(after.Doc().Registered()[1]->GetIdText(), "005-006-008");
  EXPECT_FALSE(after.Doc().IsSaved(*after.Doc().Registered()[0]));
  // The backup mode leaves the remembered path alone.
  EXPECT_EQ(after.State().settings.Get("INPORT_MERGE"), "/keep/this.qd1");
  ASSERT_EQ(after.ui.messages.size(), 1u);
  EXPECT_EQ(after.ui.messages[0].text, Sj("データファイルを合成しました。"));
}

// --- File information -------------------------------------------------------

// "%Y年 %m月 %d日 %a %H:%M:%S" worked out by hand, English weekday.
std::string ExpectedTime(std::time_t t) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  struct tm lt {};
  localtime_r(&t, &lt);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d年 %02d月 %02d日 %s %02d:%02d:%02d", lt.tm_year + 1900,
                lt.tm_mon + 1, lt.tm_mday, kDays[lt.tm_wday], lt.tm_hour, lt.tm_min, lt.tm_sec);
  return buf;
}

struct Texts {
  std::string title, name, path, version, created, modified;
  std::vector<std::string> labels;
  bool readOnly = false;
};

Texts OpenFileInfo(StartedApp& app) {
  Texts t;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CFileInfoDialog*>(w);
    if (!dlg) {
      ADD_FAILURE() << "not the file information window";
      w->close();
      return;
    }
    t.title = U(dlg->windowTitle());
    t.name = U(dlg->NameField()->text());
    t.path = U(dlg->PathField()->text());
    t.version = U(dlg->VersionField()->text());
    t.created = U(dlg->CreatedText()->text());
    t.modified = U(dlg->ModifiedText()->text());
    t.readOnly = dlg->NameField()->isReadOnly() && dlg->PathField()->isReadOnly() &&
                 dlg->VersionField()->isReadOnly();
    for (QLabel* l : dlg->findChildren<QLabel*>()) {
      if (l != dlg->CreatedText() && l != dlg->ModifiedText()) t.labels.push_back(U(l->text()));
    }
    EXPECT_EQ(U(dlg->OkButton()->text()), "OK");
    QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
  });
  app.Frame().Action(kCmdFileInfo)->trigger();
  EXPECT_TRUE(answer.Answered());
  return t;
}

TEST(FileInfoWindow, AllTextsAreEmptyBeforeAnyOpenOrSave) {
  StartedApp app;
  const Texts t = OpenFileInfo(app);
  EXPECT_EQ(t.title, "編集中のファイル情報");
  EXPECT_EQ(t.labels, (std::vector<std::string>{"ファイル名", "ファイルパス", "ファイルバージョン",
                                                "作成日時 ：", "更新日時 ："}));
  EXPECT_TRUE(t.readOnly);
  EXPECT_EQ(t.name, "");
  EXPECT_EQ(t.path, "");
  EXPECT_EQ(t.version, "");
  EXPECT_EQ(t.created, "");
  EXPECT_EQ(t.modified, "");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST(FileInfoWindow, ShowsTheOpenedFileAndItsTimes) {
  TempDir files;
  const std::string path = files.File("記録.qd1");
  WriteSampleFile(path, 2);
  StartedApp app(path);
  ASSERT_EQ(app.Doc().Registered().size(), 2u);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);

  const Texts t = OpenFileInfo(app);
  EXPECT_EQ(t.name, "記録.qd1");
  EXPECT_EQ(t.path, path);
  EXPECT_EQ(t.version, "101");
  EXPECT_EQ(t.modified, ExpectedTime(st.st_mtime));
  // Not every file system keeps a creation time; where one is shown it has
  // the same form and is not after the last write.
  if (!t.created.empty()) {
    EXPECT_EQ(t.created.size(), t.modified.size());
    EXPECT_LE(t.created, t.modified);
  }
  EXPECT_FALSE(app.State().modified);  // the window changes nothing
}

TEST(FileInfoWindow, DeletedFileShowsNameButNoTimes) {
  TempDir files;
  const std::string path = files.File("gone.qd1");
  WriteSampleFile(path, 1);
  StartedApp app(path);
  ASSERT_EQ(::unlink(path.c_str()), 0);
  const Texts t = OpenFileInfo(app);
  EXPECT_EQ(t.name, "gone.qd1");
  EXPECT_EQ(t.path, path);
  EXPECT_EQ(t.version, "101");
  EXPECT_EQ(t.created, "");
  EXPECT_EQ(t.modified, "");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST(FileCommands, DuringARunOnlyFileInformationIsAvailable) {
  StartedApp app;
  ASSERT_TRUE(app.Frame().HasCommand(kCmdMerge));
  ASSERT_TRUE(app.Frame().HasCommand(kCmdFileInfo));
  app.Frame().UpdateCommandStates();
  EXPECT_TRUE(app.Enabled(kCmdMerge));
  EXPECT_TRUE(app.Enabled(kCmdFileInfo));

  app.State().runActive = true;
  app.Frame().UpdateCommandStates();
  EXPECT_FALSE(app.Enabled(kCmdMerge));
  EXPECT_TRUE(app.Enabled(kCmdFileInfo));
  const Texts t = OpenFileInfo(app);
  EXPECT_EQ(t.title, "編集中のファイル情報");
  app.State().runActive = false;
  app.Frame().UpdateCommandStates();
  EXPECT_TRUE(app.Enabled(kCmdMerge));
}

}  // namespace
}  // namespace qv::test::shell
