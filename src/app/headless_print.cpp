#include "app/headless_print.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/print_painter.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "output/print_job.h"
#include "views/fonts.h"
#include "views/qt_text.h"

namespace qv::ui {
namespace {

// Messages on stderr, one text a message; nothing is asked.
class StderrUi final : public IUserInterface {
 public:
  MsgResult ShowMessage(const Message& m) override {
    std::fprintf(stderr, "%s\n", Cp932ToUtf8(m.text).c_str());
    return MsgResult::kOk;
  }
  std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> ChooseFolder(const FolderDialogRequest&) override { return {}; }
};

// Qt's own notes (a missing runtime folder of the offscreen platform, ...)
// would only bury the command's messages; its errors still show.
void QtErrorsOnly(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* v = std::getenv(name);
    if (v && *v) return true;
  }
  return false;
}

// The face the pages are set in is a Japanese one that is installed (the
// window's gothic face for "ＭＳ ゴシック"), not what fontconfig substitutes
// for a missing one.
bool PrintFaceInstalled(const std::string& face) {
  const QString wanted = face.empty() ? GothicFamily() : MapFaceName(ToQt(face));
  const QString used = QFontInfo(QFont(wanted)).family();
  return QFontDatabase::families(QFontDatabase::Japanese).contains(used, Qt::CaseInsensitive);
}

// The file name of OUT without its folder and without ".pdf".
std::string BaseName(const std::string& out) {
  std::string name = out.substr(out.find_last_of('/') + 1);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pdf") == 0)
    name.resize(name.size() - 4);
  return name;
}

bool WriteWhole(const std::string& path, const QByteArray& bytes, IUserInterface& ui) {
  const SafeWriteResult w =
      WriteFileAtomically(path, std::string_view(bytes.constData(), size_t(bytes.size())));
  if (!w.ok) ui.Tell(PrintNotWrittenText(path, w.error), PrintJobCaption(), MsgIcon::kError);
  return w.ok;
}

// The pages as the preview shows them, DIR/<OUT>-<n>.png.
bool WritePictures(const PrintJobRequest& r, const CPrintEngine& engine, const PrinterDevice& d,
                   IUserInterface& ui) {
  const double screenDpi = d.screenDpiY > 0 ? d.screenDpiY : 96;
  for (int page = 1; page <= engine.GetPageCount(); ++page) {
    const QImage img =
        PreviewPageImage(engine, page, d.paperWidth, d.paperHeight, d.dpiX, screenDpi);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    const std::string path = r.pngDir + "/" + BaseName(r.out) + "-" + std::to_string(page) + ".png";
    if (!WriteWhole(path, png, ui)) return false;
  }
  return true;
}

// Reads the file, begins the run on a PDF page and paints it; the pictures
// first, the PDF last, each written whole or not at all.
int PrintFile(const PrintJobRequest& r, IUserInterface& ui) {
  CAppState app;
  app.settings.SetDirectory(CurrentDirectory());
  // A new working folder gets the program's first settings, as the window's
  // first start writes them.
  SeedNewSettings(app.settings);
  app.LoadSettings();
  CBrenlowDoc doc(app);
  if (const int rc = LoadPrintDocument(r.file, doc, ui); rc != kPrintJobOk) return rc;

  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  SetUpPdfPaper(writer);
  writer.setCreator(QStringLiteral("Quorvex"));
  writer.setTitle(QString::fromStdString(r.file.substr(r.file.find_last_of('/') + 1)));
  const PrinterDevice device = DeviceOf(writer);
  CPrintEngine engine;
  if (const int rc = BeginPrintJob(r, app, doc.Registered(), device, ui, engine); rc != kPrintJobOk)
    return rc;
  if (!PrintFaceInstalled(engine.Layout().settings.font)) {
    ui.Tell(PrintFontMissingText(), PrintJobCaption(), MsgIcon::kError);
    return kPrintJobNoFont;
  }
  if (!r.pngDir.empty() && !WritePictures(r, engine, device, ui)) return kPrintJobNotWritten;
  if (!PaintPages(writer, engine, 1, engine.GetPageCount())) {
    ui.Tell(PrintNotWrittenText(r.out, 0), PrintJobCaption(), MsgIcon::kError);
    return kPrintJobNotWritten;
  }
  buffer.close();
  return WriteWhole(r.out, pdf, ui) ? kPrintJobOk : kPrintJobNotWritten;
}

}  // namespace

bool HeadlessPrintRequested(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], kPrintOption) == 0) return true;
  return false;
}

int RunHeadlessPrint(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], kPrintOption) != 0) args.emplace_back(argv[i]);
  std::string error;
  const std::optional<PrintJobRequest> request = ParsePrintJobArguments(args, error);
  if (!request) {
    std::fprintf(stderr, "quorvex --print: %s\nTry 'quorvex --print --help'.\n", error.c_str());
    return kPrintJobUsage;
  }
  if (request->help) {
    std::fputs(PrintJobHelpText().c_str(), stdout);
    return kPrintJobOk;
  }
  // The files are named against the directory the command was started in.
  StartArguments start;
  start.dir = request->dir;
  start.files = {request->file.empty() ? "." : request->file, request->out,
                 request->pngDir.empty() ? "." : request->pngDir};
  EnterWorkFolder(start, std::getenv("QUORVEX_DIR"), error);
  if (!error.empty()) {
    std::fprintf(stderr, "quorvex --print: %s\n", error.c_str());
    return kPrintJobMissing;
  }
  PrintJobRequest r = *request;
  if (!r.file.empty()) r.file = start.files[0];
  r.out = start.files[1];
  if (!r.pngDir.empty()) r.pngDir = start.files[2];

  if (!HasDisplay() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QtErrorsOnly);
  int qtArgc = 1;
  QGuiApplication qapp(qtArgc, argv);
  std::setlocale(LC_NUMERIC, "C");
  StderrUi ui;
  return PrintFile(r, ui);
}

}  // namespace qv::ui
