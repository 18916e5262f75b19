// quorvex --print: the program run without a display on a data file the
// window holds, its PDF read back with poppler (pdftotext, pdfinfo,
// pdftoppm) against the window's own pagination and print preview, and its
// refusals, which leave no PDF behind.
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <QBuffer>
#include <QFile>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <algorithm>
#include <filesystem>

#include "app/print_commands.h"
#include "app/print_painter.h"
#include "catalog/catalog.h"
#include "data/codec.h"
#include "data/registration_id.h"
#include "output/print_job.h"
#include "shell_test_support.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

// The standard output of a shell command.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
      out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

// The text without its spaces and line ends (pdftotext breaks a line at a
// full-width space).
std::string Squeezed(std::string text) {
  for (const std::string gap : {" ", "\n", "\f", "\u3000"})
    for (size_t at = text.find(gap); at != std::string::npos; at = text.find(gap, at))
      text.erase(at, gap.size());
  return text;
}

int PdfPages(const std::string& pdf) {
  const std::string info = Capture("pdfinfo '" + pdf + "'");
  const size_t at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// Environment variables unset (or set) while a test runs the program.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Where one page has ink (a pixel darker than `ink` grey) and the other has
// none within one pixel, as a fraction of both pages' ink: strokes and glyphs
// at the same places count as equal however dark each rasteriser draws them
// (a 0.1 mm line is a third of a pixel at the screen's resolution: Qt greys
// it, poppler blackens it), a missing or moved stroke does not.
double InkMismatch(const QImage& a, const QImage& b, int ink = 224) {
  const QImage ga = a.convertToFormat(QImage::Format_Grayscale8);
  const QImage gb = b.convertToFormat(QImage::Format_Grayscale8);
  const int w = std::min(ga.width(), gb.width()), h = std::min(ga.height(), gb.height());
  long bad = 0, inked = 0;
  for (const auto& [from, to] : {std::pair{&ga, &gb}, std::pair{&gb, &ga}}) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if (from->constScanLine(y)[x] >= ink) continue;
        ++inked;
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy)
          for (int dx = -1; dx <= 1 && !near; ++dx) {
            const int xx = std::clamp(x + dx, 0, w - 1), yy = std::clamp(y + dy, 0, h - 1);
            near = to->constScanLine(yy)[xx] < ink;
          }
        bad += !near;
      }
    }
  }
  return inked ? static_cast<double>(bad) / inked : 0.0;
}

int DarkPixels(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      n += qGray(img.pixel(x, y)) < 128;
  return n;
}

// Fourteen records in the window's document, saved as the command's file;
// the print settings of the working folder are valid.
struct HeadlessPrint : ::testing::Test {
  void SetUp() override {
    for (int i = 1; i <= 14; ++i)
      app.Doc().InsertRegistered(MakeRecord(1, 1, i, 300 + 20 * i));
    ASSERT_TRUE(app.Doc().Save(file).ok);
    print = CPrintCommands::Of(app.Frame());
    ASSERT_NE(print, nullptr);
  }
  void Store(int form) { StoreValidSettings(app.State().settings, form, kPrintAll); }

  // The program as a user without a screen runs it.
  ProgramOutcome Run(std::vector<std::string> args) {
    ScopedEnv noDisplay("DISPLAY", nullptr), noWayland("WAYLAND_DISPLAY", nullptr),
        noPlatform("QT_QPA_PLATFORM", nullptr);
    args.insert(args.begin(), kPrintOption);
    return RunProgram("quorvex", args, app.dir.path());
  }

  // The pages the window's preview shows, as its scene draws them at the
  // preview's actual size (zoom 1: the screen's resolution).
  std::vector<QImage> PreviewPages() {
    std::vector<QImage> pages;
    print->runPreview = [&](QPrintPreviewDialog& dlg) {
      auto* widget = dlg.findChild<QPrintPreviewWidget*>();
      ASSERT_NE(widget, nullptr);
      widget->updatePreview();
      auto* view = widget->findChild<QGraphicsView*>();
      ASSERT_NE(view, nullptr);
      QPrinter& printer = print->Printer();
      const QSizeF paper = printer.paperRect(QPrinter::DevicePixel).size();
      previewDpi = widget->logicalDpiY();
      const double scale = double(previewDpi) / printer.logicalDpiY();
      QList<QGraphicsItem*> items = view->scene()->items();
      std::sort(items.begin(), items.end(),
                [](QGraphicsItem* a, QGraphicsItem* b) { return a->pos().y() < b->pos().y(); });
      for (QGraphicsItem* item : items) {
        QImage img(int(std::ceil(paper.width() * scale)), int(std::ceil(paper.height() * scale)),
                   QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter painter(&img);
        painter.setRenderHints(view->renderHints());
        view->scene()->render(&painter, QRectF(QPointF(0, 0), paper * scale),
                              item->mapRectToScene(QRectF(QPointF(0, 0), paper)));
        painter.end();
        pages.push_back(img);
      }
    };
    print->RunPreview();
    return pages;
  }

  // The pagination of the print path for the command's paper.
  int PredictedPages(int form, int64_t first = 1001001, int64_t last = 999999999) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    SetUpPdfPaper(writer);
    CPrintEngine engine;
    PrintSettings s = ReadPrintSettings(app.State().settings);
    s.form = form;
    s.choice = kPrintRange;
    s.firstKey = first;
    s.lastKey = last;
    engine.BeginPrinting(s, DeviceOf(writer), app.Doc().Registered(), {}, app.State().graph);
    return engine.GetPageCount();
  }

  TempDir data;
  std::string file = data.File("cells.qd1");
  StartedApp app;
  CPrintCommands* print = nullptr;
  int previewDpi = 0;
  std::string pdf = app.dir.File("out.pdf");
};

TEST_F(HeadlessPrint, EachLayoutShowsItsRecordsOnThePagesThePaginationPredicts) {
  const struct {
    const char* layout;
    int form;
    std::vector<std::string> args;
    std::vector<std::string> found, absent;
    int64_t first = 1001001, last = 999999999;
  } cases[] = {
      // Labels 1-1-3 to 1-1-12 of 7 x 7: one sheet; an ID, the seconds and
      // the capacity of the first record in range.
      {"labels",
       kPrintLabels,
       {"--from", "1-1-3", "--to", "1-1-12"},
       {"001-001-003", "001-001-012", "SEC 360", "mAh 100"},
       {"001-001-002", "001-001-013"},
       1001003,
       1001012},
      // 2 x 3 graphs a sheet: three sheets, each titled by its record.
      {"graph",
       kPrintGraphs,
       {},
       {"登録ID:001-001-001", "登録ID:001-001-014", "放電時間（秒）", "電池電圧（V）"},
       {}},
      {"table",
       kPrintTable,
       {},
       {"計測データ一覧表", "001-001-001", "001-001-014", "(Page 1/1)"},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.layout);
    Store(c.form);
    std::vector<std::string> args = {file, "--layout", c.layout, "--out", "out.pdf"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramOutcome run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string text = Capture("pdftotext '" + pdf + "' -");
    for (const std::string& s : c.found)
      EXPECT_NE(text.find(s), std::string::npos) << s;
    for (const std::string& s : c.absent)
      EXPECT_EQ(text.find(s), std::string::npos) << s;
    EXPECT_EQ(PdfPages(pdf), PredictedPages(c.form, c.first, c.last));
  }
  EXPECT_EQ(PredictedPages(kPrintGraphs), 3);
}

// pdftoppm at the preview's resolution (thin lines by their shape, as Qt
// draws them) against the preview's own page: at most 1.5 % of the ink may
// lie more than a pixel from the other's ink (measured: graph sheets 0.04 %,
// the table 0.02 %, labels 0.7 %, where the logo's scaled bitmap and the
// small glyphs rasterise a little differently). A missing frame, text line
// or curve, or a page shifted by two pixels, is far above it. The command's
// own pictures (painted straight, not replayed) put all their ink within a
// pixel of the preview's (measured: 0).
TEST_F(HeadlessPrint, APdfPageShowsWhatThePreviewShows) {
  for (int form : {kPrintGraphs, kPrintTable, kPrintLabels}) {
    SCOPED_TRACE(form);
    Store(form);
    const std::vector<QImage> preview = PreviewPages();
    ASSERT_EQ(int(preview.size()), print->Engine().GetPageCount());
    const char* layouts[] = {"labels", "graph", "table"};
    const ProgramOutcome run =
        Run({file, "--layout", layouts[form], "--out", "out.pdf", "--png", app.dir.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(PdfPages(pdf), int(preview.size()));
    Capture("pdftoppm -r " + std::to_string(previewDpi) + " -thinlinemode shape -png '" + pdf +
            "' '" + app.dir.File("poppler") + "'");
    for (size_t i = 0; i < preview.size(); ++i) {
      SCOPED_TRACE(i + 1);
      QImage poppler;
      for (const char* pattern : {"%s-%zu.png", "%s-%02zu.png"}) {
        char name[512];
        std::snprintf(name, sizeof name, pattern, app.dir.File("poppler").c_str(), i + 1);
        if (poppler.load(QString::fromLocal8Bit(name))) break;
      }
      ASSERT_FALSE(poppler.isNull());
      EXPECT_EQ(poppler.size(), preview[i].size());
      EXPECT_GT(DarkPixels(preview[i]), 1000);
      EXPECT_LT(InkMismatch(poppler, preview[i]), 0.015);
      // The command's own pictures are the preview's page.
      const QImage own(
          QString::fromStdString(app.dir.File("out-" + std::to_string(i + 1) + ".png")));
      EXPECT_LT(InkMismatch(own, preview[i]), 0.001);
      if (const QByteArray look = qgetenv("QV_PRINT_LOOK"); !look.isEmpty() && i == 0) {
        poppler.save(QString::fromLocal8Bit(look) + QStringLiteral("/pdf_%1.png").arg(form));
        preview[i].save(QString::fromLocal8Bit(look) + QStringLiteral("/preview_%1.png").arg(form));
      }
    }
  }
}

TEST_F(HeadlessPrint, WithoutTheGothicFaceNothingIsPrinted) {
  Store(kPrintTable);
  const std::string conf = app.dir.File("fonts.conf");
  WriteFile(conf,
            "<?xml version=\"1.0\"?><fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir>"
            "<cachedir>" +
                app.dir.File("fc") + "</cachedir></fontconfig>");
  ScopedEnv fonts("FONTCONFIG_FILE", conf.c_str());
  const ProgramOutcome run = Run({file, "--layout", "table", "--out", "out.pdf"});
  EXPECT_EQ(run.exitCode, kPrintJobNoFont);
  EXPECT_EQ(run.err, Cp932ToUtf8(PrintFontMissingText()) + "\n");
  EXPECT_FALSE(FileExists(pdf));
}

// A refused or failed run leaves OUT.pdf as it was, and no temporary file.
TEST_F(HeadlessPrint, ARefusedRunLeavesNoPdfBehind) {
  Store(kPrintTable);
  WriteFile(pdf, "the earlier PDF");
  const struct {
    std::vector<std::string> args;
    int exit;
    std::string err;
  } cases[] = {
      {{"--from", "2-1-1"}, kPrintJobEmpty, Cp932ToUtf8(PrintNothingToPrintText()) + "\n"},
      {{"--from", "1-1-5", "--to", "1-1-4"},
       kPrintJobBadId,
       Cp932ToUtf8(PrintIdOrderText()) + "\n"},
      {{"--to", "1-1"}, kPrintJobBadId, Cp932ToUtf8(IdRefusalText()) + "\n"},
      {{"--png", "no/such/folder"},
       kPrintJobNotWritten,
       Cp932ToUtf8(PrintNotWrittenText(app.dir.File("no/such/folder/out-1.png"), ENOENT)) + "\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {file, "--layout", "table", "--out", "out.pdf"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramOutcome run = Run(args);
    EXPECT_EQ(run.exitCode, c.exit) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(ReadFile(pdf), "the earlier PDF");
  }
  const ProgramOutcome missing = Run({file, "--layout", "table", "--out", "no/o.pdf"});
  EXPECT_EQ(missing.exitCode, kPrintJobNotWritten);
  EXPECT_EQ(missing.err, Cp932ToUtf8(PrintNotWrittenText(app.dir.File("no/o.pdf"), ENOENT)) + "\n");
  const ProgramOutcome usage = Run({file, "--layout", "table"});
  EXPECT_EQ(usage.exitCode, kPrintJobUsage);
  EXPECT_EQ(usage.err,
            "quorvex --print: --out OUT.pdf is required\n"
            "Try 'quorvex --print --help'.\n");
  for (const auto& entry : std::filesystem::directory_iterator(app.dir.path()))
    EXPECT_EQ(entry.path().filename().string().find(".qvtmp-"), std::string::npos) << entry.path();
}

// Twelve cells of the catalogue in one series pack: their labels, two graph
// sheets of six overlaid curves each (the graph's six overlay slots), and
// the table, every page headed by the pack's line.
TEST_F(HeadlessPrint, APackOfTwelveCellsPrintsItsDocuments) {
  Store(kPrintTable);
  {
    std::string why;
    auto cat = catalog::Catalog::Open(app.dir.File("quorvex-catalog.sqlite"), &why);
    ASSERT_TRUE(cat) << why;
    catalog::ImportCounts counts;
    ASSERT_TRUE(cat->ImportFile(file, "station", app.State().avg3, counts));
    std::vector<uint32_t> keys;
    for (uint32_t i = 1; i <= 12; ++i)
      keys.push_back(1001000 + i);
    ASSERT_TRUE(cat->MoveCells(keys, {catalog::Place::kPack, "R12"}));
  }
  const ProgramOutcome run =
      Run({"--catalog", "--pack", "R12", "--out", "out.pdf", "--png", app.dir.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(PdfPages(pdf), 1 + 2 + 1);
  const std::string text = Squeezed(Capture("pdftotext '" + pdf + "' -"));
  // Smallest cell 321 points of 1/3.6 mAh (89.2), largest 541 (150.3).
  const std::string header = Squeezed("パック R12　12S1P　容量 89 mAh　ばらつき 61.1 mAh");
  size_t headers = 0;
  for (size_t at = text.find(header); at != std::string::npos; at = text.find(header, at + 1))
    ++headers;
  EXPECT_EQ(headers, 4u) << text;
  for (const char* s :
       {"パックR12（1／2）", "パックR12（2／2）", "001-001-001", "001-001-012", "計測データ一覧表"})
    EXPECT_NE(text.find(s), std::string::npos) << s;
  EXPECT_EQ(text.find("001-001-013"), std::string::npos);
  if (const QByteArray look = qgetenv("QV_PRINT_LOOK"); !look.isEmpty())
    QFile::copy(QString::fromStdString(app.dir.File("out-2.png")),
                QString::fromLocal8Bit(look) + QStringLiteral("/pack_sheet.png"));

  // One sheet only, filtered from the catalogue, and the refusals.
  const ProgramOutcome found =
      Run({"--catalog", "--where", "capacity >= 140", "--layout", "table", "--out", "out.pdf"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  const std::string table = Capture("pdftotext '" + pdf + "' -");
  EXPECT_NE(table.find("001-001-011"), std::string::npos);
  EXPECT_NE(table.find("001-001-014"), std::string::npos);
  EXPECT_EQ(table.find("001-001-010"), std::string::npos);
  const ProgramOutcome five =
      Run({"--catalog", "--pack", "R12", "--parallel", "5", "--out", "out.pdf"});
  EXPECT_EQ(five.exitCode, kPrintJobCatalog);
  EXPECT_NE(five.err.find("5 並列のパックになりません"), std::string::npos) << five.err;
  const ProgramOutcome none = Run({"--catalog", "--pack", "R13", "--out", "out.pdf"});
  EXPECT_EQ(none.exitCode, kPrintJobEmpty);
  EXPECT_EQ(none.err, "パック「R13」にはセルがありません。\n");
  const ProgramOutcome bad =
      Run({"--catalog", "--where", "capacity >>", "--layout", "table", "--out", "out.pdf"});
  EXPECT_EQ(bad.exitCode, kPrintJobCatalog);
}

// The README's picture of a pack's sheet (scripts/screenshot.sh --readme):
// the cells of the sample file in one pack, printed by the command.
TEST(HeadlessPrintReadme, PackSheetOfTheSampleFile) {
  const QByteArray shots = qgetenv("QV_README_SHOTS"), sample = qgetenv("QV_SCREENSHOT_FILE");
  if (shots.isEmpty() || sample.isEmpty()) GTEST_SKIP() << "only for scripts/screenshot.sh";
  TempDir dir;
  CSettingsStore settings(dir.path(), "Dis.ini");
  SeedNewSettings(settings);
  StoreValidSettings(settings, kPrintGraphs, kPrintAll);
  std::string why;
  auto cat = catalog::Catalog::Open(dir.File("quorvex-catalog.sqlite"), &why);
  ASSERT_TRUE(cat) << why;
  catalog::ImportCounts counts;
  ASSERT_TRUE(cat->ImportFile(sample.toStdString(), "station", Avg3Range{}, counts));
  const std::optional<std::vector<catalog::CellSummary>> cells = cat->Search({});
  ASSERT_TRUE(cells);
  std::vector<uint32_t> keys;
  for (const catalog::CellSummary& c : *cells)
    keys.push_back(c.idKey);
  ASSERT_TRUE(cat->MoveCells(keys, {catalog::Place::kPack, "RACE-6"}));
  cat.reset();
  const ProgramOutcome run = RunProgram("quorvex",
                                        {kPrintOption, "--catalog", "--pack", "RACE-6", "--layout",
                                         "graph", "--out", "pack.pdf", "--png", dir.path()},
                                        dir.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ASSERT_TRUE(QFile::copy(QString::fromStdString(dir.File("pack-1.png")),
                          QString::fromLocal8Bit(shots) + QStringLiteral("/pack_sheet.png")));
}

}  // namespace
}  // namespace qv::test::shell
