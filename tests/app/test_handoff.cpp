// A later start in a folder whose window runs: its files open in that
// window, which comes to the front; two folders are two stations.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDialog>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <cstdlib>
#include <optional>

#include "app/command_line.h"
#include "app/handoff.h"
#include "app/run_controller.h"
#include "core/instance_lock.h"
#include "core/open_request.h"
#include "data/codec.h"
#include "shell_test_support.h"

namespace qv::test::shell {
namespace {

// XDG_RUNTIME_DIR of this process set for the life of the object.
class RuntimeDir {
 public:
  explicit RuntimeDir(const std::string& path) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) saved_ = old;
    setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
  }
  ~RuntimeDir() {
    if (saved_)
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }

 private:
  std::optional<std::string> saved_;
};

QString Program() {
  return QStringLiteral(QV_BIN_DIR "/quorvex");
}

Message OpenQuestion() {
  return {Sj("変更されたデータがあります。\n保存せずにデータファイルを開きますか？"),
          Sj("データファイルを開く"), MsgIcon::kQuestion, MsgButtons::kOkCancel, std::nullopt};
}

bool Same(const Message& a, const Message& b) {
  return a.text == b.text && a.caption == b.caption && a.icon == b.icon && a.buttons == b.buttons;
}

struct Window : StartedApp {
  Window() : handed(new ui::HandedFiles(Frame(), Doc(), ui, [] { return true; })) {
    QObject::connect(handed, &ui::HandedFiles::Opened, [this](const std::string& path, bool read) {
      opened.push_back({path, read});
    });
  }
  ui::HandedFiles* handed;
  std::vector<std::pair<std::string, bool>> opened;
};

TEST(HandedFiles, OpenEachInTurnAsOpenDoesAskingBeforeChangesAreLost) {
  TempDir files;
  WriteSampleFile(files.File("two.qd1"), 2);
  WriteSampleFile(files.File("three.qd1"), 3);
  Window w;
  w.State().modified = true;
  w.ui.Answer(MsgResult::kOk);
  w.handed->Take({files.File("two.qd1"), files.File("missing.qd1"), files.File("three.qd1")});
  ASSERT_TRUE(Pump([&] { return w.opened.size() == 3; }));
  EXPECT_EQ(w.opened, (std::vector<std::pair<std::string, bool>>{{files.File("two.qd1"), true},
                                                                 {files.File("missing.qd1"), false},
                                                                 {files.File("three.qd1"), true}}));
  // Asked once (the changes), told once (the missing file).
  ASSERT_EQ(w.ui.messages.size(), 2u) << w.ui.TextsUtf8().back();
  EXPECT_TRUE(Same(w.ui.messages[0], OpenQuestion()));
  EXPECT_EQ(w.ui.messages[1].text, Sj("データファイルが開けません。"));
  EXPECT_EQ(w.Doc().Registered().size(), 3u);
  EXPECT_EQ(w.State().fileName, "three.qd1");

  // Cancel keeps the changes and the file stays unopened.
  w.State().modified = true;
  w.ui.Answer(MsgResult::kCancel);
  w.handed->Take({files.File("two.qd1")});
  ASSERT_TRUE(Pump([&] { return w.opened.size() == 4; }));
  EXPECT_FALSE(w.opened.back().second);
  EXPECT_EQ(w.Doc().Registered().size(), 3u);
  EXPECT_TRUE(w.State().modified);
}

TEST(HandedFiles, DuringARunNothingOpensAndTheWindowSaysWhy) {
  TempDir files;
  WriteSampleFile(files.File("two.qd1"), 2);
  Window w;
  w.State().runActive = true;
  w.handed->Take({files.File("two.qd1"), files.File("two.qd1")});
  Pump([] { return false; }, 200);
  w.State().runActive = false;
  EXPECT_TRUE(w.opened.empty());
  EXPECT_TRUE(w.ui.messages.empty());
  ASSERT_EQ(w.ui.notices.size(), 1u);
  EXPECT_TRUE(Same(w.ui.notices[0],
                   {Sj("放電と計測の実行中は、この操作はできません。\n\n（※放電と計測が終わって"
                       "から、もう一度行ってください。）"),
                    Sj("データファイルを開く"), MsgIcon::kWarning, MsgButtons::kOk, std::nullopt}));
  EXPECT_TRUE(w.Doc().Registered().empty());
}

TEST(HandedFiles, WaitWhileAModalWindowIsOpen) {
  TempDir files;
  WriteSampleFile(files.File("two.qd1"), 2);
  Window w;
  QDialog dialog(&w.Frame());
  bool openedWhileModal = false;
  QTimer::singleShot(0, &dialog, [&] {
    w.handed->Take({files.File("two.qd1")});
    Pump([] { return false; }, 300);
    openedWhileModal = !w.opened.empty();
    dialog.reject();
  });
  dialog.exec();
  EXPECT_FALSE(openedWhileModal);
  ASSERT_TRUE(Pump([&] { return w.opened.size() == 1; }));
  EXPECT_EQ(w.Doc().Registered().size(), 2u);
}

TEST(HandedFiles, TheWindowComesToTheFront) {
  Window w;
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(Pump([&] { return other.isActiveWindow(); }));
  w.Frame().showMinimized();
  w.handed->Take({});
  EXPECT_TRUE(Pump([&] { return w.Frame().isActiveWindow(); }));
  EXPECT_FALSE(w.Frame().isMinimized());
}

// The environment of a started program: off screen (or on `display`), its
// runtime folder, no working folder from outside.
QProcessEnvironment ProgramEnvironment(const TempDir& runtime, const QString& display = {}) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", display.isEmpty() ? "offscreen" : "xcb");
  if (!display.isEmpty()) env.insert("DISPLAY", display);
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
  env.remove("QUORVEX_DIR");
  return env;
}

// The real second start: `quorvex --dir FOLDER a b` while this process holds
// FOLDER and listens as the window would.
TEST(HandOff, ASecondStartHandsAllItsFilesToTheWindowAndEnds) {
  if (!QFileInfo::exists(Program())) GTEST_SKIP() << "the program is not built";
  TempDir runtime, files;
  WriteSampleFile(files.File("two.qd1"), 2);
  WriteSampleFile(files.File("three.qd1"), 3);
  Window w;
  const std::string folder = w.dir.path();
  RuntimeDir env(runtime.path());
  InstanceLock lock;
  ASSERT_TRUE(lock.Acquire("quorvex", folder));
  ui::HandOffServer server(HandOffAddress(InstanceLock::InstanceName("quorvex", folder)));
  ASSERT_TRUE(server.IsListening());
  QObject::connect(&server, &ui::HandOffServer::FilesHanded, w.handed, &ui::HandedFiles::Take);

  QProcess second;
  second.setProcessEnvironment(ProgramEnvironment(runtime));
  second.setWorkingDirectory(QString::fromStdString(files.path()));
  second.start(Program(), {"--dir", QString::fromStdString(folder), "two.qd1", "three.qd1"});
  ASSERT_TRUE(Pump([&] { return second.state() == QProcess::NotRunning; }, 15000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(second.readAllStandardError().isEmpty());
  ASSERT_TRUE(Pump([&] { return w.opened.size() == 2; }));
  EXPECT_EQ(w.opened, (std::vector<std::pair<std::string, bool>>{{files.File("two.qd1"), true},
                                                                 {files.File("three.qd1"), true}}));
  EXPECT_EQ(w.Doc().Registered().size(), 3u);
}

// Starts `quorvex --dir folder` and waits until its window has started up.
void StartStation(QProcess& p, const TempDir& runtime, const std::string& folder,
                  const QString& display = {}) {
  p.setProcessEnvironment(ProgramEnvironment(runtime, display));
  p.start(Program(), {"--dir", QString::fromStdString(folder)});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(Pump(
      [&] { return ReadFile(folder + "/Dis.ini").find("RUNCNT=1") != std::string::npos; }, 15000))
      << p.readAllStandardError().toStdString();
}

void Stop(QProcess& p) {
  p.kill();
  p.waitForFinished();
}

// Two windows in two folders run side by side; a file given to a start in
// one folder opens in that folder's window and in no other.
void TwoStations(const QString& display) {
  TempDir runtime, a, b, files;
  WriteSampleFile(files.File("two.qd1"), 2);
  QProcess first, second, third;
  StartStation(first, runtime, a.path(), display);
  StartStation(second, runtime, b.path(), display);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(second.state(), QProcess::Running);
  // What ./run.sh asks before it starts a station.
  QProcess station;
  station.setProcessEnvironment(ProgramEnvironment(runtime, display));
  station.setWorkingDirectory(QString::fromStdString(a.path()));
  station.start(QStringLiteral(QV_BIN_DIR "/quorvex-cli"), {"station"});
  ASSERT_TRUE(station.waitForFinished(10000));
  EXPECT_EQ(station.exitCode(), 0);
  EXPECT_EQ(
      station.readAllStandardOutput().toStdString(),
      "quorvex running in " + a.path() + "/ (process " + std::to_string(first.processId()) + ")\n");

  third.setProcessEnvironment(ProgramEnvironment(runtime, display));
  third.start(Program(),
              {"--dir", QString::fromStdString(b.path()), files.File("two.qd1").c_str()});
  ASSERT_TRUE(third.waitForFinished(15000));
  EXPECT_EQ(third.exitCode(), 0) << third.readAllStandardError().toStdString();
  EXPECT_TRUE(
      Pump([&] { return ReadFile(b.File("Dis.ini")).find("FILE=two.qd1") != std::string::npos; }));
  EXPECT_EQ(ReadFile(a.File("Dis.ini")).find("FILE=two.qd1"), std::string::npos);
  EXPECT_EQ(first.state(), QProcess::Running);
  EXPECT_EQ(second.state(), QProcess::Running);
  Stop(first);
  Stop(second);
}

TEST(HandOff, TwoFoldersAreTwoStationsSideBySide) {
  if (!QFileInfo::exists(Program())) GTEST_SKIP() << "the program is not built";
  TwoStations({});
}

// The same on an X server (Xvfb), where the window really comes forward.
TEST(HandOff, TwoStationsOnAnXServer) {
  if (!QFileInfo::exists(Program())) GTEST_SKIP() << "the program is not built";
  const QString xvfb = QStandardPaths::findExecutable("Xvfb");
  if (xvfb.isEmpty()) GTEST_SKIP() << "Xvfb is not installed";
  QProcess server;
  server.setProcessChannelMode(QProcess::SeparateChannels);
  // -displayfd 1: the server writes its display number on stdout once ready.
  server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
  ASSERT_TRUE(server.waitForStarted());
  ASSERT_TRUE(Pump([&] { return server.canReadLine(); }, 15000)) << "Xvfb did not start";
  const QString display = ":" + QString::fromLatin1(server.readLine()).trimmed();
  TwoStations(display);
  server.terminate();
  server.waitForFinished();
}

// A window that holds the folder but never answers: the later start waits
// a bounded time, names the holder and ends with status 1.
TEST(HandOff, AWindowThatDoesNotAnswerIsNamed) {
  if (!QFileInfo::exists(Program())) GTEST_SKIP() << "the program is not built";
  TempDir runtime, folder;
  RuntimeDir env(runtime.path());
  InstanceLock lock;
  ASSERT_TRUE(lock.Acquire("quorvex", folder.path()));
  QProcess p;
  p.setProcessEnvironment(ProgramEnvironment(runtime));
  p.start(Program(), {"--dir", QString::fromStdString(folder.path()), "/x/a.qd1"});
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_EQ(p.readAllStandardError().toStdString(),
            "quorvex: a Quorvex window already works in " + folder.path() + "/ (process " +
                std::to_string(getpid()) + ") but does not take requests; nothing was opened\n");
}

// A run that ends while the user works in another window gets a desktop
// notice; one that ends in front of the user does not.
TEST(RunEnd, ANoticeGoesToTheDesktopOnlyWhileTheWindowIsNotInFront) {
  StartedApp a;
  FillCurrent(a.Doc().Current(), 300);
  a.Doc().Current().cells = 6;
  a.Doc().Current().endVoltage = 6.5;
  ui::CRunController* run = ui::CRunController::Of(a.Frame());
  ASSERT_NE(run, nullptr);
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(Pump([&] { return other.isActiveWindow(); }));
  emit run->RunFinished(RunResult::kInstrumentStopped);
  ASSERT_EQ(a.desktopNotices.size(), 1u);
  EXPECT_EQ(a.desktopNotices[0].summary, "Quorvex：放電と計測の終了");
  EXPECT_EQ(a.desktopNotices[0].body, "終止電圧に達しました。容量 84 mAh、放電時間 5分00秒");
  emit run->RunFinished(RunResult::kNoRun);  // nothing took place
  EXPECT_EQ(a.desktopNotices.size(), 1u);

  ui::BringToFront(a.Frame());
  ASSERT_TRUE(Pump([&] { return a.Frame().isActiveWindow(); }));
  emit run->RunFinished(RunResult::kCommFailure);
  EXPECT_EQ(a.desktopNotices.size(), 1u);
}

TEST(CommandLine, DirAndQuorvexDirNameTheWorkingFolder) {
  char prog[] = "quorvex", dir[] = "--dir", folder[] = "st2", file[] = "a.qd1",
       platform[] = "-platform", offscreen[] = "offscreen", desktop[] = "--desktop";
  char* argv[] = {prog, platform, offscreen, dir, folder, desktop, file, nullptr};
  ui::StartArguments args = ui::ParseStartArguments(7, argv);
  EXPECT_TRUE(args.error.empty());
  EXPECT_TRUE(args.desktop);
  EXPECT_EQ(args.dir, "st2");
  EXPECT_EQ(args.files, std::vector<std::string>{"a.qd1"});
  char* missing[] = {prog, dir, nullptr};
  EXPECT_EQ(ui::ParseStartArguments(2, missing).error, "--dir needs a folder");
}

}  // namespace
}  // namespace qv::test::shell
