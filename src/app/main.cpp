// quorvex [--desktop] [FILE.qd1]: the composition root of the desktop program.
#include <QApplication>
#include <QFileInfo>

#include "app/application.h"
#include "app/command_line.h"
#include "app/termination.h"
#include "core/instance_lock.h"

int main(int argc, char** argv) {
  if (const int rc = qv::ui::AnswerInfoOptions(argc, argv); rc >= 0) return rc;

  // One instance at a time; a second start ends silently.
  qv::InstanceLock lock;
  const std::string exe = QFileInfo(QString::fromLocal8Bit(argc > 0 ? argv[0] : "quorvex"))
                              .completeBaseName()
                              .toStdString();
  if (!lock.Acquire(exe.empty() ? std::string("quorvex") : exe)) return 0;

  QApplication qapp(argc, argv);
  qv::ui::SetUpApplication();

  std::optional<std::string> file = qv::ui::CommandLineFile(QApplication::arguments());
  // From the desktop the program keeps its files in a folder of its own.
  if (qv::ui::StartedFromDesktop(QApplication::arguments())) qv::ui::EnterDesktopWorkFolder(file);

  int rc = 0;
  {
    qv::ui::CBrenlowApp app(qv::ui::StartOptions{});
    app.Start(file);
    qv::ui::TerminationRequest termination(*app.Frame(), app.State(), app.Doc());
    rc = QApplication::exec();
    // The window has closed: a new start may take over at once.
    lock.Release();
  }  // the document, the window and the run's threads end here
  qv::ui::LimitTeardown(rc);
  return rc;
}
