// Printing: the print settings dialog over the stored settings, the print
// flow to a PDF file, the preview of the same pages, and the painter that
// turns the pages' drawing lists into pixels.
#include <unistd.h>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QRegularExpression>
#include <QTest>

#include "app/dialogs/print_settings_dialog.h"
#include "app/print_commands.h"
#include "app/print_painter.h"
#include "data/codec.h"
#include "shell_test_support.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

void Type(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

// Pages of a PDF file, counted by their page objects.
int PdfPageCount(const std::string& path) {
  const QString pdf = QString::fromLatin1(QByteArray::fromStdString(ReadFile(path)));
  return static_cast<int>(pdf.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))));
}

// With QV_PRINT_LOOK set to a folder, the dialog as the user sees it.
void SaveLook(QWidget& dlg, const char* name) {
  const QByteArray dir = qgetenv("QV_PRINT_LOOK");
  if (dir.isEmpty()) return;
  dlg.adjustSize();
  dlg.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/print_dialog_") +
                  QString::fromLatin1(name) + QStringLiteral(".png"));
}

struct PrintSettingsDialog : ::testing::Test {
  StartedApp app;
  CSettingsStore& Settings() { return app.State().settings; }
};

TEST_F(PrintSettingsDialog, ShowsTheStoredTextsAndTheFormsFields) {
  StoreValidSettings(Settings(), kPrintGraphs, kPrintRange);
  Settings().Set("PRINT_LABEL_H", "101");
  Settings().Set("PRINT_TOP_X", "09x");
  CPrintSettingsDialog dlg(Settings(), app.ui, &app.Frame());
  EXPECT_EQ(dlg.windowTitle().toStdString(), "各種データの印刷");
  EXPECT_EQ(dlg.TopX()->text().toStdString(), "09x");
  EXPECT_EQ(dlg.LabelH()->text().toStdString(), "101");
  EXPECT_EQ(dlg.GraphWS()->text().toStdString(), "600");
  EXPECT_EQ(dlg.IdEnd(2)->text().toStdString(), "999");
  // Typing stops at each field's limit.
  Type(dlg.LabelW(), "123");
  EXPECT_EQ(dlg.LabelW()->text().toStdString(), "12");
  Type(dlg.GraphWS(), "123456");
  EXPECT_EQ(dlg.GraphWS()->text().toStdString(), "1234");
  Type(dlg.IdStart(0), "0456");
  EXPECT_EQ(dlg.IdStart(0)->text().toStdString(), "045");
  EXPECT_TRUE(dlg.FormRadio(kPrintGraphs)->isChecked());
  EXPECT_TRUE(dlg.ChoiceRadio(kPrintRange)->isChecked());
  // Graphs: the graph width shows, the label fields hide; the range is enabled.
  EXPECT_TRUE(dlg.GraphWS()->isVisibleTo(&dlg));
  EXPECT_FALSE(dlg.LabelW()->isVisibleTo(&dlg));
  EXPECT_TRUE(dlg.TopX()->isVisibleTo(&dlg));
  EXPECT_TRUE(dlg.IdStart(0)->isEnabled());
  SaveLook(dlg, "graphs");

  dlg.FormRadio(kPrintLabels)->click();
  EXPECT_TRUE(dlg.LabelW()->isVisibleTo(&dlg));
  EXPECT_FALSE(dlg.GraphWS()->isVisibleTo(&dlg));
  dlg.FormRadio(kPrintTable)->click();
  EXPECT_FALSE(dlg.LabelW()->isVisibleTo(&dlg));
  EXPECT_FALSE(dlg.GraphWS()->isVisibleTo(&dlg));
  dlg.ChoiceRadio(kPrintAll)->click();
  EXPECT_FALSE(dlg.IdStart(0)->isEnabled());

  const char* buttons[] = {"印刷",         "印刷プレビュー", "プリンタの設定",
                           "既定値に戻す", "印刷データ適用", "閉じる"};
  QPushButton* widgets[] = {dlg.PrintButton(),    dlg.PreviewButton(), dlg.SetupButton(),
                            dlg.DefaultsButton(), dlg.ApplyButton(),   dlg.CloseButton()};
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(widgets[i]->text().toStdString(), buttons[i]);
}

TEST_F(PrintSettingsDialog, EmptySettingsAreRefusedWithTheModelsMessage) {
  WriteFile(Settings().Path(), "[QUORVEX]\r\n");  // no print settings stored
  CPrintSettingsDialog dlg(Settings(), app.ui, &app.Frame());
  EXPECT_TRUE(dlg.TopX()->text().isEmpty());
  EXPECT_TRUE(dlg.FormRadio(kPrintLabels)->isChecked());
  EXPECT_TRUE(dlg.ChoiceRadio(kPrintAll)->isChecked());
  QTest::mouseClick(dlg.PrintButton(), Qt::LeftButton);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  const Message& m = app.ui.messages[0];
  EXPECT_EQ(m.text, PrintValidationMessage(dlg.Model().ValidationLines()));
  EXPECT_EQ(Cp932ToUtf8(m.text),
            "印刷データに不正な値があります。次の項目を入力しなおしてください。\n\n"
            "左余白：3～200の範囲で設定してください。\n"
            "上余白：3～200の範囲で設定してください。\n"
            "ラベル幅：5～100の範囲で設定してください。\n"
            "ラベル高さ：5～100の範囲で設定してください。\n"
            "ラベル列数：1～100の範囲で設定してください。\n"
            "ラベル行数：1～100の範囲で設定してください。\n");
  EXPECT_EQ(Cp932ToUtf8(m.caption), "印刷データの設定");
  EXPECT_EQ(m.icon, MsgIcon::kWarning);
  EXPECT_EQ(dlg.result(), QDialog::Rejected);  // still open, nothing closed it
  EXPECT_EQ(Settings().Get("PRINT_TOP_X"), "");
}

TEST_F(PrintSettingsDialog, DefaultsThenApplySavesTheTypedValues) {
  StoreValidSettings(Settings(), kPrintTable, kPrintRange);
  Settings().Set("PRINT_TOP_X", "50");
  CPrintSettingsDialog dlg(Settings(), app.ui, &app.Frame());
  QTest::mouseClick(dlg.DefaultsButton(), Qt::LeftButton);
  EXPECT_EQ(dlg.TopX()->text().toStdString(), "9");
  EXPECT_EQ(dlg.LabelH()->text().toStdString(), "33");
  EXPECT_EQ(dlg.GraphWS()->text().toStdString(), "600");
  EXPECT_TRUE(dlg.FormRadio(kPrintLabels)->isChecked());
  EXPECT_TRUE(dlg.ChoiceRadio(kPrintRange)->isChecked());
  EXPECT_EQ(Settings().Get("PRINT_TOP_X"), "50");  // nothing saved yet
  SaveLook(dlg, "labels");

  Type(dlg.LabelH(), "40");
  Type(dlg.IdStart(1), "7");
  QTest::mouseClick(dlg.ApplyButton(), Qt::LeftButton);
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_EQ(Settings().Get("PRINT_TOP_X"), "9");
  EXPECT_EQ(Settings().Get("PRINT_LABEL_H"), "40");
  EXPECT_EQ(Settings().Get("PRINT_IDSTART2"), "007");
  EXPECT_EQ(Settings().Get("PRINT_RADIO"), "0");
}

// The print command from the menu to a PDF file, answering for the user.
struct PrintFlow : ::testing::Test {
  void SetUp() override {
    for (int i = 1; i <= 12; ++i)
      app.Doc().InsertRegistered(MakeRecord(1, 1, i, 300 + 20 * i));
    app.Doc().RefreshViews(kRefreshAll);
    app.Frame().UpdateCommandStates();
    print = CPrintCommands::Of(app.Frame());
    ASSERT_NE(print, nullptr);
    print->runSettings = [this](CPrintSettingsDialog& dlg) {
      QTest::mouseClick(
          pressed == PrintDlgResult::kPreview ? dlg.PreviewButton() : dlg.PrintButton(),
          Qt::LeftButton);
      return dlg.result();
    };
    print->runPrintDialog = [this](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      printer.setPageSize(QPageSize(QPageSize::A4));
      printer.setPageOrientation(orientation);
      return true;
    };
  }
  StartedApp app;
  CPrintCommands* print = nullptr;
  PrintDlgResult pressed = PrintDlgResult::kPrint;
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  std::string pdf = app.dir.File("print.pdf");
};

TEST_F(PrintFlow, GraphsPrintTheCoresPagesToPdf) {
  StoreValidSettings(app.State().settings, kPrintGraphs, kPrintAll);
  ASSERT_TRUE(app.Enabled(kCmdPrint));
  app.Frame().OnCommand(kCmdPrint);
  ASSERT_TRUE(FileExists(pdf));
  // 12 records, 2 x 3 graphs on a portrait A4 sheet.
  EXPECT_EQ(print->Engine().GetPageCount(), 2);
  EXPECT_EQ(PdfPageCount(pdf), 2);
  EXPECT_EQ(print->Engine().Layout().metrics.pitch, 27);
  if (const QByteArray look = qgetenv("QV_PRINT_LOOK"); !look.isEmpty())
    WriteFile(look.toStdString() + "/print_graphs.pdf", ReadFile(pdf));
}

TEST_F(PrintFlow, LandscapeGraphsAndALabelRangeFollowThePagination) {
  StoreValidSettings(app.State().settings, kPrintGraphs, kPrintAll);
  orientation = QPageLayout::Landscape;
  app.Frame().OnCommand(kCmdPrint);
  EXPECT_EQ(print->Engine().Layout().graphCX, 3);
  EXPECT_EQ(print->Engine().Layout().graphCY, 2);
  EXPECT_EQ(PdfPageCount(pdf), print->Engine().GetPageCount());

  // Labels of the range 1-1-3 to 1-1-5 after 47 blank positions: 2 on the
  // first sheet, 1 on the second.
  StoreValidSettings(app.State().settings, kPrintLabels, kPrintRange);
  app.State().settings.Set("PRINT_IDSTART3", "003");
  app.State().settings.Set("PRINT_IDEND1", "001");
  app.State().settings.Set("PRINT_IDEND2", "001");
  app.State().settings.Set("PRINT_IDEND3", "005");
  app.State().settings.Set("PRINT_LABEL_DMY", "47");
  orientation = QPageLayout::Portrait;
  app.Frame().OnCommand(kCmdPrint);
  ASSERT_EQ(print->Engine().GetPageCount(), 2);
  EXPECT_EQ(PdfPageCount(pdf), 2);
  EXPECT_EQ(print->Engine().Pages()[1].rows[0][0]->id3, 5);
  if (const QByteArray look = qgetenv("QV_PRINT_LOOK"); !look.isEmpty())
    WriteFile(look.toStdString() + "/print_labels.pdf", ReadFile(pdf));
}

TEST_F(PrintFlow, SelectionWithNothingSelectedPrintsOneBlankPage) {
  StoreValidSettings(app.State().settings, kPrintTable, kPrintSelected);
  app.Frame().OnCommand(kCmdPrint);
  EXPECT_EQ(print->Engine().GetPageCount(), 1);
  EXPECT_EQ(PdfPageCount(pdf), 1);
}

TEST_F(PrintFlow, PreviewShowsTheSamePages) {
  StoreValidSettings(app.State().settings, kPrintGraphs, kPrintAll);
  pressed = PrintDlgResult::kPreview;
  int previewPages = -1;
  print->runPreview = [&](QPrintPreviewDialog& dlg) {
    auto* widget = dlg.findChild<QPrintPreviewWidget*>();
    ASSERT_NE(widget, nullptr);
    widget->updatePreview();
    previewPages = widget->pageCount();
  };
  app.Frame().OnCommand(kCmdPrint);
  EXPECT_EQ(previewPages, 2);
  EXPECT_FALSE(FileExists(pdf));
}

// From the first start: labels of every record at once, and graphs of each
// record's whole run (673 s, longer than the 600 s of "既定値に戻す").
TEST_F(PrintFlow, AFreshInstallationPrintsEveryRecordAtOnce) {
  app.Doc().InsertRegistered(MakeRecord(2, 1, 1, 673));
  app.Frame().OnCommand(kCmdPrint);
  EXPECT_TRUE(app.ui.messages.empty());
  ASSERT_TRUE(FileExists(pdf));
  EXPECT_EQ(print->Engine().GetPageCount(), 1);  // 13 labels of 7 x 7
  ::unlink(pdf.c_str());

  print->runSettings = [](CPrintSettingsDialog& dlg) {
    dlg.FormRadio(kPrintGraphs)->click();
    EXPECT_TRUE(dlg.GraphWS()->text().isEmpty());
    QTest::mouseClick(dlg.PrintButton(), Qt::LeftButton);
    return dlg.result();
  };
  app.Frame().OnCommand(kCmdPrint);
  EXPECT_TRUE(app.ui.messages.empty());
  ASSERT_TRUE(FileExists(pdf));
  EXPECT_EQ(print->Engine().Layout().settings.graphWS, 0);
  EXPECT_EQ(print->Engine().GetPageCount(), 3);  // 2 x 3 graphs a sheet
  EXPECT_EQ(PdfPageCount(pdf), 3);
  EXPECT_EQ(print->Engine().Pages()[2].rows[0][0]->GetDischargeTime(), 673);
}

TEST_F(PrintFlow, InvalidSettingsPrintNothing) {
  app.State().settings.Set("PRINT_TOP_X", "0");
  app.Frame().OnCommand(kCmdPrint);
  EXPECT_EQ(app.ui.messages.size(), 1u);
  EXPECT_FALSE(FileExists(pdf));
}

// An image at 254 dots per inch: one pixel per 0.1 mm.
QImage Sheet(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.setDotsPerMeterX(10000);
  img.setDotsPerMeterY(10000);
  img.fill(Qt::white);
  return img;
}

bool Dark(const QImage& img, int x, int y) {
  return qGray(img.pixel(x, y)) < 128;
}

TEST(PrintPainter, PlacesPrimitivesWhereTheListSaysFromThePaperCorner) {
  PageMetrics m;
  m.offsetX = 5;  // the device's origin is 5 mm right of and 3 mm below the paper's corner
  m.offsetY = 3;
  DrawList list;
  list.fontFace = Sj("ＭＳ ゴシック");
  list.charHeight = 30;
  list.Line(500, 700, 1500, 700);
  list.Cell(200, 1000, 400, 1100, "", HAlign::kLeft, 0, true);
  QImage img = Sheet(2100, 2970);
  QPainter painter(&img);
  PaintDrawList(painter, list, PaperMapper(m, 254, 254));
  painter.end();
  EXPECT_TRUE(Dark(img, 450, 670));
  EXPECT_TRUE(Dark(img, 1440, 670));
  EXPECT_FALSE(Dark(img, 450, 672));
  EXPECT_FALSE(Dark(img, 1460, 670));
  EXPECT_TRUE(Dark(img, 150, 1020));   // the cell's left side
  EXPECT_TRUE(Dark(img, 250, 970));    // its top
  EXPECT_FALSE(Dark(img, 250, 1020));  // not filled
}

TEST(PrintPainter, DrawsATablePageOfTheEngine) {
  TempDir dir;
  CSettingsStore settings(dir.path(), "Dis.ini");
  StoreValidSettings(settings, kPrintTable, kPrintAll);
  RecordList list;
  list.push_back(MakeRecord(1, 2, 3, 600));
  PrinterDevice device{0, 0, 2100, 2970, 254, 254, 96};
  CPrintEngine engine;
  engine.BeginPrinting(settings, device, list, {}, GraphSettings{9.0, 5.0, true, 60, 0.5});
  QImage img = Sheet(2100, 2970);
  QPainter painter(&img);
  PaintDrawList(painter, engine.PrintPage(1), PaperMapper(engine.Layout().metrics, 254, 254));
  painter.end();
  // Header frame: from the left margin (9 mm) at top margin + 2 pitches.
  const int p = engine.Layout().Pitch();
  const int y = 210 + 2 * p;
  EXPECT_TRUE(Dark(img, 95, y));
  EXPECT_TRUE(Dark(img, 90, y + 5));
  EXPECT_FALSE(Dark(img, 85, y + 5));
  // Some title text is drawn inside the first line.
  int dark = 0;
  for (int x = 90; x < 1200; ++x)
    for (int yy = 212; yy < 210 + p - 2; ++yy)
      dark += Dark(img, x, yy);
  EXPECT_GT(dark, 50);
  if (const QByteArray look = qgetenv("QV_PRINT_LOOK"); !look.isEmpty())
    img.save(QString::fromLocal8Bit(look) + QStringLiteral("/print_table_page.png"));
}

}  // namespace
}  // namespace qv::test::shell
