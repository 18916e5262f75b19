// quorvex [--desktop] [--dir FOLDER] [FILE.qd1...]: the composition root of
// the desktop program. quorvex --print ... prints without a window.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/application.h"
#include "app/command_line.h"
#include "app/handoff.h"
#include "app/headless_print.h"
#include "app/termination.h"
#include "core/instance_lock.h"
#include "core/open_request.h"

namespace {

// How long a start tries to reach the window that holds its folder.
constexpr int kClaimWaitMs = 10000;

}  // namespace

int main(int argc, char** argv) {
  if (qv::ui::HeadlessPrintRequested(argc, argv)) return qv::ui::RunHeadlessPrint(argc, argv);
  if (const int rc = qv::ui::AnswerInfoOptions(argc, argv); rc >= 0) return rc;

  qv::ui::StartArguments args = qv::ui::ParseStartArguments(argc, argv);
  std::string error = args.error;
  const std::string folder =
      error.empty() ? qv::ui::EnterWorkFolder(args, std::getenv("QUORVEX_DIR"), error) : "";
  if (!error.empty()) {
    std::fprintf(stderr, "quorvex: %s\n", error.c_str());
    return 2;
  }

  // One window per working folder: a later start there hands its files to
  // that window and ends.
  const std::string exe = argc > 0 && argv[0][0] ? argv[0] : "quorvex";
  qv::InstanceLock lock;
  std::string note;
  const qv::FolderClaim claim = qv::ClaimFolder(lock, exe, folder, args.files, kClaimWaitMs, note);
  if (!note.empty()) std::fprintf(stderr, "quorvex: %s\n", note.c_str());
  if (claim == qv::FolderClaim::kHandedOver) return 0;
  if (claim == qv::FolderClaim::kNotTaken) return 1;

  QApplication qapp(argc, argv);
  qv::ui::SetUpApplication();
  qv::ui::HandOffServer handOffs(qv::HandOffAddress(qv::InstanceLock::InstanceName(exe, folder)));

  int rc = 0;
  {
    qv::ui::CBrenlowApp app(qv::ui::StartOptions{});
    app.Start(args.files.empty() ? std::nullopt : std::optional<std::string>(args.files.front()));
    // Owned by the window. Several files: the first opens at start-up, the
    // others after it.
    auto* handed = new qv::ui::HandedFiles(*app.Frame(), app.Doc(), app.Ui(),
                                           [&app] { return app.StartupDone(); });
    if (args.files.size() > 1) handed->Take({args.files.begin() + 1, args.files.end()});
    QObject::connect(&handOffs, &qv::ui::HandOffServer::FilesHanded, handed,
                     &qv::ui::HandedFiles::Take);
    qv::ui::TerminationRequest termination(*app.Frame(), app.State(), app.Doc());
    rc = QApplication::exec();
    // The window has closed: a new start may take over at once.
    handOffs.Close();
    lock.Release();
  }  // the document, the window and the run's threads end here
  qv::ui::LimitTeardown(rc);
  return rc;
}
