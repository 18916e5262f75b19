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
#include "app/print_catalog.h"
#include "app/print_painter.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "data/text_format.h"
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

// The file name of `path` without its folder and without its extension.
std::string BaseName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
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
bool WritePictures(const PrintJobRequest& r, const std::vector<PrintedPage>& pages,
                   const PrinterDevice& d, IUserInterface& ui) {
  const double screenDpi = d.screenDpiY > 0 ? d.screenDpiY : 96;
  for (size_t i = 0; i < pages.size(); ++i) {
    const QImage img = PreviewPageImage(pages[i], d.paperWidth, d.paperHeight, d.dpiX, screenDpi);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    const std::string path =
        r.pngDir + "/" + BaseName(r.out) + "-" + std::to_string(i + 1) + ".png";
    if (!WriteWhole(path, png, ui)) return false;
  }
  return true;
}

// A pack's graph sheets: its cells in order, kPackCurvesPerSheet overlaid on
// each sheet.
void AddPackSheets(const CPrintEngine& engine, const RecordList& list, const PrintJobRequest& r,
                   std::vector<PrintedPage>& out) {
  const std::vector<const CMeasureData*> cells =
      FilterPrintRecords(list, engine.Layout().settings, {});
  const size_t sheets = (cells.size() + kPackCurvesPerSheet - 1) / kPackCurvesPerSheet;
  for (size_t i = 0; i < sheets; ++i) {
    const auto first = cells.begin() + static_cast<std::ptrdiff_t>(i * kPackCurvesPerSheet);
    const auto last = i + 1 < sheets ? first + kPackCurvesPerSheet : cells.end();
    const std::string title =
        Sj("パック ") + Utf8ToCp932(r.pack) +
        Format(Sj("（%d／%d）"), static_cast<int>(i + 1), static_cast<int>(sheets));
    out.push_back(
        {PackGraphPageList(engine.Layout(), {first, last}, title), engine.Layout().metrics});
  }
}

// The records to print: the data file's registered records as the window
// opens them, or the cells of the catalogue.
int ReadRecords(const PrintJobRequest& r, CBrenlowDoc& doc, RecordList& catalogRecords,
                const RecordList*& list, IUserInterface& ui) {
  if (r.catalog) {
    list = &catalogRecords;
    return CatalogRecords(r, doc.App(), catalogRecords, ui);
  }
  list = &doc.Registered();
  return LoadPrintDocument(r.file, doc, ui);
}

// Begins a run for each document (one form, or a pack's three) on `device`
// and collects their pages, each headed by `header` when given.
int CollectPages(const PrintJobRequest& r, const CAppState& app, const RecordList& list,
                 const PrinterDevice& device, const std::string& header, IUserInterface& ui,
                 std::vector<PrintedPage>& pages, std::string& font) {
  const std::vector<int> forms = r.form >= 0
                                     ? std::vector<int>{r.form}
                                     : std::vector<int>{kPrintLabels, kPrintGraphs, kPrintTable};
  for (int form : forms) {
    PrintJobRequest one = r;
    one.form = form;
    CPrintEngine engine;
    if (const int rc = BeginPrintJob(one, app, list, device, ui, engine); rc != kPrintJobOk)
      return rc;
    font = engine.Layout().settings.font;
    const size_t first = pages.size();
    if (!r.pack.empty() && form == kPrintGraphs)
      AddPackSheets(engine, list, r, pages);
    else
      for (PrintedPage& page : PagesOf(engine, 1, engine.GetPageCount()))
        pages.push_back(std::move(page));
    if (header.empty()) continue;
    for (size_t i = first; i < pages.size(); ++i)
      DrawPageHeader(pages[i].list, engine.Layout(), header);
  }
  return kPrintJobOk;
}

// Reads the records, lays out the pages on a PDF page and paints them; the
// pictures first, the PDF last, each written whole or not at all.
int PrintFile(const PrintJobRequest& r, IUserInterface& ui) {
  CAppState app;
  app.settings.SetDirectory(CurrentDirectory());
  // A new working folder gets the program's first settings, as the window's
  // first start writes them.
  SeedNewSettings(app.settings);
  app.LoadSettings();
  CBrenlowDoc doc(app);
  RecordList catalogRecords;
  const RecordList* list = nullptr;
  if (const int rc = ReadRecords(r, doc, catalogRecords, list, ui); rc != kPrintJobOk) return rc;
  std::string header;
  if (!r.pack.empty()) {
    const std::optional<std::string> line = PackHeaderText(r.pack, *list, r.parallel, ui);
    if (!line) return kPrintJobCatalog;
    header = *line;
  }

  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  SetUpPdfPaper(writer);
  writer.setCreator(QStringLiteral("Quorvex"));
  writer.setTitle(QString::fromStdString(r.catalog ? r.pack : BaseName(r.file)));
  const PrinterDevice device = DeviceOf(writer);
  std::vector<PrintedPage> pages;
  std::string font;
  if (const int rc = CollectPages(r, app, *list, device, header, ui, pages, font);
      rc != kPrintJobOk)
    return rc;
  if (!PrintFaceInstalled(font)) {
    ui.Tell(PrintFontMissingText(), PrintJobCaption(), MsgIcon::kError);
    return kPrintJobNoFont;
  }
  if (!r.pngDir.empty() && !WritePictures(r, pages, device, ui)) return kPrintJobNotWritten;
  if (!PaintPages(writer, pages)) {
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
