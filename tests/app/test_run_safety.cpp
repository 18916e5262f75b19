// What keeps a run in the window safe: the start refused beside another
// program's run in the working folder, a journal that cannot be written told
// at once in the status bar and a non-modal notice, and a journal kept for
// want of a backup until the run is saved.
#include <sys/stat.h>
#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>

#include <cerrno>
#include <thread>

#include "app/qt_user_interface.h"
#include "data/codec.h"
#include "data/doc_commands.h"
#include "data/run_journal.h"
#include "data/run_lock.h"
#include "data/run_recovery.h"
#include "link/run_texts.h"
#include "shell_test_support.h"
#include "test_run_support.h"

namespace qv::test {
namespace {

using ui::CRunController;

class RunSafetyTest : public RunWindowTest {
 protected:
  void AdjustSettings(CSettingsStore& store) override { store.SetInt("COM_TIMEOUT_MS", 500); }
  std::string Journal() const { return dir_.File("runjournal.qvj"); }
};

TEST_F(RunSafetyTest, AStartBesideAnotherProgramsRunInTheFolderIsRefusedBeforeSending) {
  // Another program's run: the folder's lock and a journal being written.
  CRunFolderLock other;
  ASSERT_EQ(other.Acquire(dir_.path()), CRunFolderLock::Claim::kTaken);
  CJournalWriter journal;
  JournalHeader header;
  header.inputs = {4, 4.0, 10.0, 5.0, 1.0, 300};
  header.startMs = WallClockMs();
  journal.Start(Journal(), header);
  ASSERT_TRUE(PumpUntil([&] { return FileExists(Journal()); }, 5000));
  const std::string before = ReadFile(Journal());

  // No instrument either: a start that sent anything would fail sending.
  frame_->OnCommand(ui::kCmdStart);
  EXPECT_FALSE(runs_->IsActive());
  EXPECT_EQ(confirmations_, 0);
  ASSERT_EQ(ui_.messages.size(), 1u) << ::testing::PrintToString(Texts());
  const std::string text = Texts()[0];
  for (const std::string& part :
       {std::string("この作業フォルダーでは、ほかの放電と計測が実行中です。"),
        "作業フォルダー：" + dir_.path() + "\n",
        "（プロセス番号 " + std::to_string(::getpid()) + "）\n",
        "開始日時：" + Cp932ToUtf8(LocalDateTimeOfMs(header.startMs).Text()) + "\n",
        std::string("入力値：放電電流Ａ 10.0 A、放電電流Ｂ 5.0 A、放電電流Ｃ 1.0 A、セル数 4、"
                    "終了電圧 4.0 V、V1測定点 300 秒\n")}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(ui_.messages[0].caption, GetRunControlTexts().captionStart);
  EXPECT_EQ(ui_.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(ReadFile(Journal()), before);
  EXPECT_FALSE(FileExists(dir_.File("tmpdata.bak")));
  EXPECT_TRUE(frame_->IsCommandEnabled(ui::kCmdStart));

  // Once that run is over the window runs.
  ASSERT_TRUE(journal.Finish(true));
  other.Release();
  SimProcess sim(dir_.path(), kCom, {"--speed", "0", "--gap-ms", "1", "--capacity", "20"});
  ASSERT_TRUE(sim.WaitReady());
  ASSERT_TRUE(RunToEnd());
  EXPECT_EQ(finished_.back(), RunResult::kInstrumentStopped);
}

TEST_F(RunSafetyTest, AJournalThatCannotBeWrittenIsShownWhileTheRunGoesOn) {
  SimProcess sim(dir_.path(), kCom, {"--speed", "0", "--gap-ms", "5", "--capacity", "60"});
  ASSERT_TRUE(sim.WaitReady());
  runs_->Control().safeguard.Journal().SetFaultForTesting(0, ENOSPC, {});
  int firstPointAfterNotice = 0;
  QObject::connect(runs_, &CRunController::PointShown, [&](int index, int) {
    if (firstPointAfterNotice == 0 && !runs_->NoticePane()->text().isEmpty())
      firstPointAfterNotice = index;
  });
  ASSERT_TRUE(RunToEnd());
  const int points = static_cast<int>(app_->Doc().Current().Points().size());
  // Shown in the status bar among the first points, long before the end.
  EXPECT_GT(firstPointAfterNotice, 0);
  EXPECT_LT(firstPointAfterNotice, points / 2);
  const std::string notice = JournalLostNoticeText(Journal(), ENOSPC);
  EXPECT_EQ(runs_->NoticePane()->text(), QString::fromStdString(Cp932ToUtf8(notice)));
  ASSERT_EQ(ui_.notices.size(), 1u);
  EXPECT_EQ(ui_.notices[0].text, notice);
  EXPECT_EQ(ui_.notices[0].icon, MsgIcon::kWarning);
  // Told again at the end.
  ASSERT_EQ(ui_.messages.size(), 1u) << ::testing::PrintToString(Texts());
  EXPECT_EQ(ui_.messages[0].text, CRunSafeguard::JournalFailedText());
  // The next start clears it; that run's end takes its place.
  runs_->Control().safeguard.Journal().SetFaultForTesting(-1, 0, {});
  ui_.Answer(MsgResult::kOk);  // clear the panel
  ASSERT_TRUE(RunToEnd());
  EXPECT_FALSE(runs_->NoticePane()->text().contains(QString::fromUtf8("記録ファイル")));
  EXPECT_TRUE(runs_->NoticePane()->text().contains(QString::fromUtf8("容量 ")));
  EXPECT_EQ(ui_.notices.size(), 1u);
}

TEST_F(RunSafetyTest, WithoutABackupTheJournalStaysUntilTheDocumentIsSaved) {
  ::mkdir(dir_.File("tmpdata.bak").c_str(), 0755);  // no file can replace a folder
  SimProcess sim(dir_.path(), kCom, {"--speed", "0", "--gap-ms", "1", "--capacity", "20"});
  ASSERT_TRUE(sim.WaitReady());
  ASSERT_TRUE(RunToEnd());
  ASSERT_EQ(ui_.messages.size(), 1u) << ::testing::PrintToString(Texts());
  EXPECT_EQ(ui_.messages[0].text, BackupFailedText(dir_.File("tmpdata.bak"), true));
  EXPECT_TRUE(FileExists(Journal()));
  ASSERT_TRUE(SaveDataFile(app_->Doc(), ui_, dir_.File("run.qd1")));
  EXPECT_FALSE(FileExists(Journal()));
}

TEST(RunSafetyStartUp, AFifoInTheJournalsPlaceIsToldAndHoldsUpNothing) {
  TempDir work;
  const std::string journal = work.File("runjournal.qvj");
  ASSERT_EQ(::mkfifo(journal.c_str(), 0644), 0);
  shell::StartedApp a(std::nullopt, work.path());
  ASSERT_EQ(a.ui.messages.size(), 1u);
  EXPECT_EQ(a.ui.messages[0].text, JournalNotRegularText(journal));
  EXPECT_EQ(a.ui.messages[0].caption, RecoveryCaption());
  EXPECT_EQ(a.ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_TRUE(a.Doc().Current().IsEmpty());
}

TEST(QtNotice, ANoticeIsANonModalBoxShownWithoutWaiting) {
  QWidget owner;
  owner.show();
  ui::QtUserInterface qui(&owner);
  bool ranModally = false;
  qui.beforeExec = [&](QDialog&) { ranModally = true; };
  const Message m{Sj("計測中の記録ファイルに書き込めません。"), Sj("放電と計測"), MsgIcon::kWarning,
                  MsgButtons::kOk, std::nullopt};
  qui.Notify(m);
  auto boxes = [&] {
    return owner.findChildren<QMessageBox*>(QString::fromLatin1(ui::QtUserInterface::kNoticeName));
  };
  ASSERT_EQ(boxes().size(), 1);
  QMessageBox* box = boxes().front();
  EXPECT_FALSE(ranModally);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->windowModality(), Qt::NonModal);
  EXPECT_EQ(box->text(), QString::fromUtf8("計測中の記録ファイルに書き込めません。"));
  EXPECT_EQ(box->windowTitle(), QString::fromUtf8("放電と計測"));
  EXPECT_EQ(box->icon(), QMessageBox::Warning);
  // From another thread it is handed to the window's.
  std::thread([&] { qui.Notify(m); }).join();
  EXPECT_TRUE(PumpUntil([&] { return boxes().size() == 2; }, 5000));
  // Closed, it goes.
  box->button(QMessageBox::Ok)->click();
  EXPECT_TRUE(PumpUntil([&] { return boxes().size() == 1; }, 5000));
}

}  // namespace
}  // namespace qv::test
