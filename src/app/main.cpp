// quorvex [FILE.qd1]: the composition root of the desktop program.
#include <QApplication>
#include <QFileInfo>

#include "app/application.h"
#include "core/instance_lock.h"

int main(int argc, char** argv) {
  // One instance at a time; a second start ends silently.
  qv::InstanceLock lock;
  const std::string exe = QFileInfo(QString::fromLocal8Bit(argc > 0 ? argv[0] : "quorvex"))
                              .completeBaseName()
                              .toStdString();
  if (!lock.Acquire(exe.empty() ? std::string("quorvex") : exe)) return 0;

  QApplication qapp(argc, argv);
  qv::ui::SetUpApplication();

  qv::ui::CBrenlowApp app(qv::ui::StartOptions{});
  app.Start(qv::ui::CommandLineFile(QApplication::arguments()));
  return QApplication::exec();
}
