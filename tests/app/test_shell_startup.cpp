// Start-up: the data file named on the command line, the settings of a new
// installation, the settings write probe, the recovery of an interrupted run
// and the splash window.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QThread>

#include <cstdio>

#include "app/command_line.h"
#include "app/splash_window.h"
#include "app/termination.h"
#include "core/instance_lock.h"
#include "data/codec.h"
#include "data/run_journal.h"
#include "data/run_recovery.h"
#include "shell_test_support.h"
#include "views/data_view.h"
#include "views/fonts.h"
#include "views/graph_view.h"
#include "views/report_ctrl.h"
#include "views/result_view.h"

namespace qv::test::shell {
namespace {

using ui::CommandLineFile;

TEST(CommandLine, FirstArgumentIsTheDataFile) {
  EXPECT_FALSE(CommandLineFile({"quorvex"}).has_value());
  EXPECT_EQ(CommandLineFile({"quorvex", "/data/a b.qd1"}).value(), "/data/a b.qd1");
  EXPECT_EQ(CommandLineFile({"quorvex", "x.qd1", "y.qd1"}).value(), "x.qd1");
}

TEST(StartUp, FileOnCommandLineFillsThePanes) {
  TempDir files;
  const std::string path = files.File("three.qd1");
  WriteSampleFile(path, 3);

  StartedApp a(path);
  EXPECT_TRUE(a.ui.messages.empty()) << a.ui.TextsUtf8().front();
  EXPECT_EQ(a.Doc().Registered().size(), 3u);
  EXPECT_FALSE(a.State().modified);
  EXPECT_EQ(a.State().fileVersion, "101");
  EXPECT_EQ(a.State().fileName, "three.qd1");

  // Data view: eleven columns, one row per record in list order.
  ui::CReportCtrl* data = a.Frame().DataView()->List();
  EXPECT_EQ(data->ColumnCount(), 11);
  ASSERT_EQ(data->RowCount(), 3);
  EXPECT_EQ(data->CellText(data->RowKeyAt(0), 0), "001-001-001");
  EXPECT_EQ(data->CellText(data->RowKeyAt(2), 0), "001-001-003");
  EXPECT_EQ(data->CellText(data->RowKeyAt(1), 3), "250");

  // Result panel: labels and the current measurement's column, 19 rows.
  ui::CReportCtrl* result = a.Frame().ResultView()->List();
  EXPECT_EQ(result->ColumnCount(), 2);
  EXPECT_EQ(result->RowCount(), 19);
  EXPECT_EQ(result->CellText(result->RowKeyAt(3), 1), "300");

  // The graph is as wide as the current measurement's curve.
  EXPECT_EQ(a.Frame().windowTitle(), "Quorvex");
  EXPECT_TRUE(a.Frame().isVisible());
}

TEST(StartUp, UnreadableFileIsReportedAndTheDocumentStaysEmpty) {
  TempDir files;
  StartedApp a(files.File("missing.qd1"));
  ASSERT_EQ(a.ui.messages.size(), 1u);
  EXPECT_EQ(a.ui.messages[0].text, Sj("データファイルが開けません。"));
  EXPECT_EQ(a.ui.messages[0].caption, Sj("データファイルを開く"));
  EXPECT_EQ(a.ui.messages[0].icon, MsgIcon::kError);
  EXPECT_TRUE(a.Doc().Registered().empty());
  EXPECT_TRUE(a.Doc().Current().IsEmpty());
  EXPECT_EQ(a.Frame().DataView()->List()->RowCount(), 0);
  EXPECT_TRUE(a.app->StartupDone());
}

TEST(StartUp, DamagedFileIsReportedAndTheProgramRuns) {
  TempDir files;
  const std::string path = files.File("cut.qd1");
  WriteSampleFile(path, 2);
  std::string bytes = ReadFile(path);
  WriteFile(path, bytes.substr(0, bytes.size() / 2));

  StartedApp a(path);
  ASSERT_EQ(a.ui.messages.size(), 1u);
  EXPECT_EQ(a.ui.messages[0].caption, Sj("データファイル読み込み"));
  EXPECT_TRUE(a.Frame().isVisible());
}

TEST(StartUp, WriteProbeCountsStarts) {
  TempDir work;
  { StartedApp a(std::nullopt, work.path()); }
  { StartedApp a(std::nullopt, work.path()); }
  CSettingsStore s(work.path(), "Dis.ini");
  EXPECT_EQ(s.Get("RUNCNT"), "2");
}

TEST(StartUp, UnwritableSettingsShowTheStartError) {
  TempDir work;
  // A settings folder that does not exist, and a read-only Dis.ini (for
  // every user, root included).
  WriteFile(work.File("Dis.ini"), "[QUORVEX]\r\nRUNCNT=3\r\n");
  ASSERT_EQ(chmod(work.File("Dis.ini").c_str(), 0444), 0);
  for (const std::string& folder : {work.File("no/such/folder"), work.path()}) {
    StartedApp a(std::nullopt, folder);
    ASSERT_EQ(a.ui.messages.size(), 1u) << folder;
    EXPECT_EQ(a.ui.messages[0].text,
              Sj("設定値の書き込みができません。\n\nマニュアルを参照し、管理者権限で起動し直して"
                 "ください。"));
    EXPECT_EQ(a.ui.messages[0].caption, Sj("起動エラー"));
    EXPECT_EQ(a.ui.messages[0].icon, MsgIcon::kWarning);
    EXPECT_EQ(a.ui.messages[0].buttons, MsgButtons::kOk);
    EXPECT_TRUE(a.Frame().isVisible());
  }
  EXPECT_EQ(ReadFile(work.File("Dis.ini")), "[QUORVEX]\r\nRUNCNT=3\r\n");
}

TEST(StartUp, NewInstallationGetsUsableFirstSettings) {
  StartedApp a;
  CSettingsStore& s = a.State().settings;
  EXPECT_EQ(s.Get("GRAPH_MAXV"), "12.0");
  EXPECT_EQ(s.Get("GRAPH_GAPX"), "3");
  EXPECT_EQ(s.Get("DATA_DEF_APO1"), "100");
  EXPECT_DOUBLE_EQ(a.State().graph.maxV, 12.0);
  EXPECT_EQ(a.Frame().GraphView()->GetScale().timeScale, 3);
  // The measurement panel starts from the loaded input defaults.
  EXPECT_DOUBLE_EQ(a.Doc().Current().currentA, 1.0);
  EXPECT_EQ(a.Doc().Current().v1Point, 100);
  EXPECT_EQ(a.Doc().SlotOf(a.Doc().Current()), 1);
}

TEST(StartUp, ExistingSettingsAreLoadedNotSeeded) {
  TempDir work;
  CSettingsStore s(work.path(), "Dis.ini");
  s.Set("GRAPH_MAXV", "9.5");
  s.Set("GRAPH_GAPX", "5");
  s.Set("DATA_DEF_DISA", "2.5");
  s.Set("DATA_DEF_APO1", "250");
  StartedApp a(std::nullopt, work.path());
  EXPECT_EQ(s.Get("GRAPH_MINV"), "");  // not written into an existing file
  EXPECT_EQ(a.Frame().GraphView()->GetScale().timeScale, 5);
  EXPECT_DOUBLE_EQ(a.Frame().GraphView()->GetScale().maxV, 9.5);
  EXPECT_DOUBLE_EQ(a.Doc().Current().currentA, 2.5);
  EXPECT_EQ(a.Doc().Current().v1Point, 200);
  EXPECT_FALSE(a.State().modified);
}

TEST(StartUp, AnInterruptedRunIsWrittenOutAndLoadedIntoThePanel) {
  TempDir work;
  const std::string journal = work.File("runjournal.qvj");
  JournalHeader h;
  h.inputs = {4, 4.0, 10.0, 5.0, 1.0, 300};
  h.startMs = WallClockMs() - 600 * 1000;
  std::string bytes = EncodeJournalHeader(h);
  for (int i = 0; i < 130; ++i)
    bytes += EncodeJournalEntry(static_cast<uint32_t>(i),
                                {h.startMs + 1000 * i, {i, 10.0, 5.0 - 0.001 * i, 2.7 * i, 5.0}});
  WriteFile(journal, bytes);
  // Named after the run's end, its last point's arrival.
  const std::string saved = DefaultRecoveredPath(journal, LocalDateTimeOfMs(h.startMs + 129000));

  // The question is answered with its first button, Yes.
  StartedApp a(std::nullopt, work.path());
  ASSERT_EQ(a.ui.messages.size(), 1u);
  EXPECT_EQ(a.ui.messages[0].text, RecoveredAtStartupText(130, saved));
  EXPECT_EQ(Cp932ToUtf8(a.ui.messages[0].caption), "計測データの復旧");
  EXPECT_EQ(a.ui.messages[0].icon, MsgIcon::kQuestion);
  EXPECT_EQ(a.ui.messages[0].buttons, MsgButtons::kYesNo);
  EXPECT_TRUE(FileExists(saved));
  EXPECT_FALSE(FileExists(journal));
  EXPECT_EQ(a.Doc().Current().Points().size(), 130u);
  EXPECT_EQ(a.Doc().Current().cells, 4);
  EXPECT_TRUE(a.Doc().Current().IsMeasured());
  EXPECT_TRUE(a.State().modified);
  ui::CReportCtrl* result = a.Frame().ResultView()->List();
  EXPECT_EQ(result->CellText(result->RowKeyAt(3), 1), "129");
}

TEST(Splash, KeyPressClosesItAndStartUpGoesOn) {
  TempDir work, files;
  const std::string path = files.File("two.qd1");
  WriteSampleFile(path, 2);
  FakeUi fake;
  ui::CBrenlowApp app({work.path(), true, &fake});
  app.Start(path);
  // The splash comes up from the event loop, once the main window is shown.
  ASSERT_TRUE(Pump([&] { return app.Frame()->findChild<ui::CSplashWindow*>() != nullptr; }));
  auto* splash = app.Frame()->findChild<ui::CSplashWindow*>();
  EXPECT_TRUE(splash->isVisible());
  EXPECT_FALSE(splash->Image().isNull());
  EXPECT_EQ(splash->size(), splash->Image().size());
  // The file waits for the splash to go.
  EXPECT_FALSE(app.StartupDone());
  EXPECT_TRUE(app.Doc().Registered().empty());

  QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(app.Frame(), &press);
  EXPECT_TRUE(app.StartupDone());
  EXPECT_EQ(app.Doc().Registered().size(), 2u);
  EXPECT_TRUE(Pump([&] { return app.Frame()->findChild<ui::CSplashWindow*>() == nullptr; }));
}

TEST(Splash, MouseButtonClosesIt) {
  TempDir work;
  FakeUi fake;
  ui::CBrenlowApp app({work.path(), true, &fake});
  app.Start(std::nullopt);
  ASSERT_TRUE(Pump([&] { return app.Frame()->findChild<ui::CSplashWindow*>() != nullptr; }));
  ASSERT_FALSE(app.StartupDone());
  QTest::mouseClick(app.Frame()->GraphView()->viewport(), Qt::LeftButton);
  EXPECT_TRUE(app.StartupDone());
  EXPECT_EQ(ui::CSplashWindow::kShowMs, 1500);
}

TEST(Look, WindowsUseTheJapaneseGothicFaceAndJapaneseQtTexts) {
  ui::SetUpApplication();
  ui::SetUpApplication();  // a second call changes nothing
  // Numbers keep the decimal point whatever the user's locale.
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.1f", 1.5);
  EXPECT_STREQ(buf, "1.5");

  // Start-up maps the bare window and builds its contents, in the gothic
  // face, right after.
  TempDir work;
  FakeUi fake;
  ui::CBrenlowApp app({work.path(), true, &fake});
  app.Start(std::nullopt);
  EXPECT_TRUE(app.Frame()->isVisible());
  EXPECT_FALSE(app.Frame()->HasContents());
  ASSERT_TRUE(Pump([&] { return app.Frame()->HasContents(); }));
  EXPECT_EQ(QFontInfo(QApplication::font()).family(), ui::GothicFamily());
  EXPECT_EQ(QApplication::font().pixelSize(), 12);
  EXPECT_EQ(QFontInfo(app.Frame()->Menus()->font()).family(), ui::GothicFamily());
  EXPECT_TRUE(app.Frame()->Action(ui::kCmdOpen)->isEnabled());

  if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
    GTEST_SKIP() << "Qt's Japanese translations are not installed";
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:").toStdString(),
            "ファイル名(&N):");
}

TEST(SingleInstance, SecondStartInTheSameFolderEndsSilently) {
  const QString exe = QStringLiteral(QV_BIN_DIR "/quorvex");
  if (!QFileInfo::exists(exe)) GTEST_SKIP() << "the program is not built";
  TempDir work;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(work.path()));
  QProcess first, second;
  for (QProcess* p : {&first, &second}) {
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(QString::fromStdString(work.path()));
  }
  first.start(exe, {});
  ASSERT_TRUE(first.waitForStarted());
  // The first holds the lock once it has written its settings.
  ASSERT_TRUE(Pump([&] { return FileExists(work.File("Dis.ini")); }, 10000));
  second.start(exe, {});
  ASSERT_TRUE(second.waitForFinished(10000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(second.readAllStandardError().isEmpty());
  EXPECT_EQ(first.state(), QProcess::Running);
  first.kill();
  first.waitForFinished();
}

// Milliseconds on `clock` until another process could take the lock file,
// or -1 after two seconds.
qint64 MsUntilLockIsFree(const std::string& path, const QElapsedTimer& clock) {
  while (clock.elapsed() < 2000) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) {
      const bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
      ::close(fd);
      if (free) return clock.elapsed();
    }
    QThread::msleep(1);
  }
  return -1;
}

// Closing the window ends the process at once, even when a library's
// teardown would take seconds, and a start right after runs.
TEST(SingleInstance, ClosingEndsTheProcessAtOnceAndANewStartRuns) {
  const QString exe = QStringLiteral(QV_BIN_DIR "/quorvex");
  if (!QFileInfo::exists(exe)) GTEST_SKIP() << "the program is not built";
  for (const bool slowLibrary : {false, true}) {
    TempDir work;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(work.path()));
    if (slowLibrary) env.insert("LD_PRELOAD", QStringLiteral(QV_SLOW_TEARDOWN_LIB));
    auto startedUp = [&](int runs) {
      return ReadFile(work.File("Dis.ini")).find("RUNCNT=" + std::to_string(runs)) !=
             std::string::npos;
    };
    QProcess first, second;
    for (QProcess* p : {&first, &second}) {
      p->setProcessEnvironment(env);
      p->setWorkingDirectory(QString::fromStdString(work.path()));
    }
    first.start(exe, {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(Pump([&] { return startedUp(1); }, 10000)) << slowLibrary;
    // SIGTERM closes the window as its close command does.
    QElapsedTimer closing;
    closing.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(first.processId()), SIGTERM), 0);
    // The instance lock is free once the window has closed, before the
    // libraries' teardown.
    const qint64 lockFree = MsUntilLockIsFree(
        work.File(InstanceLock::InstanceName("quorvex", work.path()) + ".lock"), closing);
    ASSERT_TRUE(first.waitForFinished(5000));
    const qint64 ms = closing.elapsed();
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit) << slowLibrary;
    EXPECT_EQ(first.exitCode(), 0) << slowLibrary;
    EXPECT_LT(ms, 1000) << slowLibrary;
    // With the slow library the lock is free before its teardown is cut short.
    if (slowLibrary) {
      EXPECT_GE(lockFree, 0);
      EXPECT_LT(lockFree, ui::kTeardownGraceMs);
    }

    second.start(exe, {});
    ASSERT_TRUE(second.waitForStarted());
    EXPECT_TRUE(Pump([&] { return startedUp(2); }, 10000)) << slowLibrary;
    EXPECT_EQ(second.state(), QProcess::Running) << slowLibrary;
    second.kill();
    second.waitForFinished();
  }
}

}  // namespace
}  // namespace qv::test::shell

namespace qv::test::shell {
namespace {

TEST(CommandLine, TheDesktopOptionIsNoFile) {
  EXPECT_FALSE(CommandLineFile({"quorvex", "--desktop"}).has_value());
  EXPECT_EQ(CommandLineFile({"quorvex", "--desktop", "/data/a.qd1"}).value(), "/data/a.qd1");
  EXPECT_TRUE(ui::StartedFromDesktop({"quorvex", "--desktop", "/data/a.qd1"}));
  EXPECT_FALSE(ui::StartedFromDesktop({"quorvex", "/data/a.qd1"}));
  EXPECT_FALSE(ui::StartedFromDesktop({"--desktop"}));
}

QString Program() {
  return QStringLiteral(QV_BIN_DIR "/quorvex");
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    env.remove(name);
  p.setProcessEnvironment(env);
  p.start(Program(), {"--version"});
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_EQ(p.readAllStandardOutput().toStdString(),
            std::string("quorvex ") + QV_VERSION_TEXT + "\n");
  p.start(Program(), {"--help"});
  ASSERT_TRUE(p.waitForFinished(10000));
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_TRUE(p.readAllStandardOutput().startsWith(
      "Usage: quorvex [--desktop] [--dir FOLDER] [FILE.qd1...]\n"));
}

// Started by the desktop entry, with a data file named relative to the
// directory the desktop started it in.
TEST(StartUp, FromTheDesktopItWorksInItsOwnDataFolder) {
  TempDir work;
  ::mkdir(work.File("home").c_str(), 0755);
  WriteSampleFile(work.File("home/two.qd1"), 2);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(work.path()));
  env.insert("XDG_DATA_HOME", QString::fromStdString(work.File("data")));
  env.insert("HOME", QString::fromStdString(work.File("home")));
  QProcess p;
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(QString::fromStdString(work.File("home")));
  p.start(Program(), {"--desktop", "two.qd1"});
  ASSERT_TRUE(p.waitForStarted());
  const std::string ini = work.File("data/quorvex/Dis.ini");
  // The folder was made; the settings and the opened file are remembered there.
  EXPECT_TRUE(Pump([&] { return ReadFile(ini).find("PATH=") != std::string::npos; }, 10000))
      << p.readAllStandardError().toStdString();
  EXPECT_NE(ReadFile(ini).find("PATH=" + work.File("home/two.qd1")), std::string::npos);
  EXPECT_FALSE(FileExists(work.File("home/Dis.ini")));
  p.kill();
  p.waitForFinished();
}

}  // namespace
}  // namespace qv::test::shell
