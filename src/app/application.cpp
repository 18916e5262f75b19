#include "app/application.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <clocale>

#include "app/command_line.h"
#include "app/main_frame.h"
#include "app/run_controller.h"
#include "app/splash_window.h"
#include "data/codec.h"
#include "data/doc_commands.h"
#include "data/run_recovery.h"
#include "views/fonts.h"

namespace qv::ui {

void SetUpApplication() {
  std::setlocale(LC_NUMERIC, "C");
  // Qt's own dialogs write sizes and dates in Japanese, as every text of the
  // program is. The program's numbers do not depend on it: the core formats
  // them itself, and Qt's number texts (QString::number) ignore the locale.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  QApplication::setApplicationName(QStringLiteral("Quorvex"));
  // The desktop entry's name (so that the window gets its icon there) and
  // the same icon for windows and the task bar.
  QGuiApplication::setDesktopFileName(QStringLiteral("quorvex"));
  // Qt's own texts (file choosers, the replace question) in Japanese, like
  // every other text of the program, where the translations are installed.
  static QTranslator* qtTexts = nullptr;
  if (!qtTexts) {
    qtTexts = new QTranslator(qApp);
    if (qtTexts->load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      QApplication::installTranslator(qtTexts);
  }
}

void SetApplicationFont() {
  QApplication::setFont(GothicFont(12));
}

void SetApplicationIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/quorvex/icons/quorvex-%1.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
}

std::optional<std::string> CommandLineFile(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String(kDesktopOption)) continue;
    if (!arguments[i].isEmpty()) return QFile::encodeName(arguments[i]).toStdString();
  }
  return std::nullopt;
}

CBrenlowApp::CBrenlowApp(StartOptions options) : options_(std::move(options)) {
  ui_ = options_.ui ? options_.ui : &qtUi_;
}

CBrenlowApp::~CBrenlowApp() {
  frame_.reset();
}

void CBrenlowApp::Start(const std::optional<std::string>& file) {
  state_.settings.SetDirectory(options_.workDir.empty() ? CurrentDirectory() : options_.workDir);
  SeedNewSettings(state_.settings);

  // With the splash (a real start) the bare window reaches the screen first;
  // the font, the contents, the splash and the icon follow from the event
  // loop at once.
  const bool later = options_.splash;
  if (!later) SetApplicationFont();
  frame_ = std::make_unique<CMainFrame>(
      state_, doc_, *ui_, nullptr,
      later ? CMainFrame::Contents::kLater : CMainFrame::Contents::kNow);
  qtUi_.SetOwner(frame_.get());
  frame_->show();
  if (!later) {
    FinishStartup(file);
    return;
  }
  QTimer::singleShot(0, frame_.get(), [this, file] {
    SetApplicationFont();
    frame_->BuildContents();
    SetApplicationIcon();
    auto* splash = new CSplashWindow(frame_.get());
    QObject::connect(splash, &CSplashWindow::Finished, frame_.get(),
                     [this, file] { FinishStartup(file); });
    splash->Start();
  });
}

void CBrenlowApp::FinishStartup(const std::optional<std::string>& file) {
  if (startupDone_) return;
  startupDone_ = true;
  // A file that cannot be read is reported and leaves the document empty.
  if (file) OpenDataFile(doc_, *ui_, *file);
  if (!state_.ProbeSettingsWritable()) {
    ui_->Tell(Sj("設定値の書き込みができません。\n\nマニュアルを参照し、管理者権限で起動し直してく"
                 "ださい。"),
              Sj("起動エラー"), MsgIcon::kWarning);
  }
  // The journal of a run that did not end normally is written out, and the
  // run is offered for the measurement panel.
  RecoverAtStartup(doc_, *ui_);
  NoticeRunEndsWhileAway();
  if (frame_) frame_->UpdateCommandStates();
}

void CBrenlowApp::NoticeRunEndsWhileAway() {
  CRunController* run = frame_ ? CRunController::Of(*frame_) : nullptr;
  if (!run) return;
  QObject::connect(run, &CRunController::RunFinished, frame_.get(), [this](RunResult result) {
    if (frame_->isActiveWindow()) return;
    DesktopNotice notice;
    {
      std::lock_guard<std::mutex> g(doc_.Lock());
      notice = RunEndNotice(result, doc_.Current());
    }
    if (notice.summary.empty()) return;
    if (options_.sendNotice)
      options_.sendNotice(notice);
    else
      SendDesktopNotice(notice);
  });
}

}  // namespace qv::ui
