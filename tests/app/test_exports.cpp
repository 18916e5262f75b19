// The CSV export and bitmap export windows driven through their File menu
// commands: their texts, and the files their buttons make.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>

#include "app/dialogs/bitmap_export_dialog.h"
#include "app/dialogs/csv_export_dialog.h"
#include "app/dialogs/length_limit.h"
#include "data/codec.h"
#include "output/csv_export.h"
#include "shell_test_support.h"
#include "views/graph_view.h"

namespace qv::test::shell {
namespace {

using namespace qv::ui;

void Type(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

std::string Utf8(const std::string& cp932) {
  return Cp932ToUtf8(cp932);
}

struct Exports : ::testing::Test {
  void SetUp() override {
    app = std::make_unique<StartedApp>();
    app->Frame().UpdateCommandStates();
  }
  CMeasureData* Register(int a, int b, int c, int seconds) {
    return app->Doc().InsertRegistered(MakeRecord(a, b, c, seconds));
  }
  std::unique_ptr<StartedApp> app;
  TempDir out;
};

// --- CSV export ----------------------------------------------------------------

// A new installation's dialog shows the whole ID range.
TEST_F(Exports, CsvDialogShowsItsTextsAndTheLastFolder) {
  app->State().settings.Set("EXPORT_CSV", out.path());
  ASSERT_TRUE(app->Enabled(kCmdExportCsv));
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CCsvExportDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle().toStdString(), "CSV形式でデータ出力");
    EXPECT_EQ(dlg->FolderField()->text().toStdString(), out.path());
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(dlg->FromField(i)->text().toStdString(), "001");
      EXPECT_EQ(dlg->ToField(i)->text().toStdString(), "999");
      EXPECT_EQ(TypingLimit(dlg->FromField(i)), 3);
    }
    EXPECT_EQ(dlg->NoteLabel()->text().toStdString(),
              "※指定のフォルダ内に登録IDをもとにしたファイル名\n"
              "　で出力されます。　（例：\"qd1_001001001.csv\"）\n"
              "　上書き確認は行われませんのでご注意ください。");
    EXPECT_EQ(dlg->BrowseButton()->text().toStdString(), "参照");
    EXPECT_EQ(dlg->ExportButton()->text().toStdString(), "ファイル出力");
    EXPECT_TRUE(dlg->ExportButton()->isDefault());
    EXPECT_EQ(dlg->CloseButton()->text().toStdString(), "閉じる");
    const QList<QLabel*> labels = dlg->findChildren<QLabel*>();
    QStringList texts;
    for (QLabel* l : labels)
      texts << l->text();
    for (const char* t : {"出力先フォルダ", "登録ID", "から", "をファイル出力", "－"})
      EXPECT_TRUE(texts.contains(QString::fromUtf8(t))) << t;
    dlg->CloseButton()->click();
  });
  app->Frame().OnCommand(kCmdExportCsv);
  EXPECT_TRUE(answer.Answered());
  EXPECT_TRUE(app->ui.messages.empty());  // closing reports nothing
}

TEST_F(Exports, CsvExportWritesTheRecordsInRangeAndReportsTheCount) {
  const CMeasureData* a = Register(1, 2, 3, 30);
  const CMeasureData* b = Register(1, 2, 3, 40);  // same ID: a second name
  Register(2, 1, 1, 50);                          // outside the range
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CCsvExportDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->FolderField(), QString::fromStdString(out.path()));
    const char* from[] = {"1", "1", "1"};
    const char* to[] = {"1", "999", "999"};
    for (int i = 0; i < 3; ++i) {
      Type(dlg->FromField(i), from[i]);
      Type(dlg->ToField(i), to[i]);
    }
    QTest::keyClick(dlg->ToField(2), Qt::Key_Return);  // Enter exports
  });
  app->Frame().OnCommand(kCmdExportCsv);
  ASSERT_TRUE(answer.Answered());
  EXPECT_EQ(ReadFile(out.File("qd1_001002003.csv")), CsvFileBytes(*a));
  EXPECT_EQ(ReadFile(out.File("qd1_001002003_1.csv")), CsvFileBytes(*b));
  EXPECT_FALSE(FileExists(out.File("qd1_002001001.csv")));
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(app->ui.messages[0].text), "2 個のデータファイルを出力しました。");
  EXPECT_EQ(Utf8(app->ui.messages[0].caption), "ファイル出力完了");
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kInformation);
  EXPECT_EQ(app->State().settings.Get("EXPORT_CSV"), out.path());
}

TEST_F(Exports, CsvRefusalsKeepTheDialogOpenWithItsFields) {
  Register(1, 1, 1, 30);
  bool stillOpen = false;
  QString kept;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CCsvExportDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->FolderField(), QString::fromStdString(out.path()));
    Type(dlg->FromField(0), "1");
    Type(dlg->FromField(1), "0");  // 0 is not an ID part
    dlg->ExportButton()->click();
    kept = dlg->FromField(1)->text();
    // A missing folder is refused too once the IDs are right.
    for (int i = 0; i < 3; ++i) {
      Type(dlg->FromField(i), "1");
      Type(dlg->ToField(i), "9");
    }
    Type(dlg->FolderField(), QString::fromStdString(out.File("missing")));
    dlg->ExportButton()->click();
    stillOpen = dlg->isVisible();
    dlg->CloseButton()->click();
  });
  app->Frame().OnCommand(kCmdExportCsv);
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(kept, "0");
  ASSERT_EQ(app->ui.messages.size(), 2u);
  EXPECT_EQ(app->ui.messages[0].text, IdRefusalText());
  EXPECT_EQ(Utf8(app->ui.messages[0].caption), "登録ID指定");
  EXPECT_EQ(app->ui.messages[1].text, CsvFolderMissingText());
  EXPECT_EQ(Utf8(app->ui.messages[1].caption), "出力先フォルダ指定");
  EXPECT_FALSE(FileExists(out.File("qd1_001001001.csv")));
  EXPECT_TRUE(app->State().settings.Get("EXPORT_CSV").empty());
}

TEST_F(Exports, CsvBrowseOffersTheFolderAndTakesTheChoice) {
  app->ui.ChooseFile(out.path());
  QString shown;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CCsvExportDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->FolderField(), "/tmp");
    dlg->BrowseButton()->click();
    shown = dlg->FolderField()->text();
    dlg->CloseButton()->click();
  });
  app->Frame().OnCommand(kCmdExportCsv);
  ASSERT_TRUE(answer.Answered());
  ASSERT_EQ(app->ui.folderRequests.size(), 1u);
  EXPECT_EQ(Utf8(app->ui.folderRequests[0].title), "出力先フォルダを指定してください。");
  EXPECT_EQ(app->ui.folderRequests[0].startDirectory, "/tmp");
  EXPECT_EQ(shown.toStdString(), out.path());
}

// --- Bitmap export -------------------------------------------------------------

// A BMP file's little-endian fields and pixels (32 bits, rows bottom-up).
struct Bmp {
  explicit Bmp(std::string b) : bytes(std::move(b)) {}
  uint32_t U32(size_t at) const {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  }
  uint16_t U16(size_t at) const {
    uint16_t v = 0;
    std::memcpy(&v, bytes.data() + at, 2);
    return v;
  }
  int Width() const { return static_cast<int>(U32(18)); }
  int Height() const { return static_cast<int>(U32(22)); }
  // 0xRRGGBB at (x, y), y from the top.
  uint32_t Pixel(int x, int y) const {
    const size_t row = static_cast<size_t>(Height() - 1 - y);
    const size_t at = U32(10) + row * static_cast<size_t>(Width()) * 4 + static_cast<size_t>(x) * 4;
    return U32(at) & 0xFFFFFFu;
  }
  int Count(uint32_t colour, int y0, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < Width(); ++x)
        n += Pixel(x, y) == colour;
    return n;
  }
  std::string bytes;
};

struct BitmapExports : Exports {
  void SetUp() override {
    Exports::SetUp();
    // One registered record of 600 s on the graph, at one pixel a second.
    CMeasureData* r = Register(1, 1, 1, 600);
    app->Doc().ToggleOverlay(r);
    app->State().graph = {12.0, 0.0, true, 1, 1.0};
    app->Frame().GraphView()->ApplySettings(app->State().graph);
    app->Doc().RefreshViews(kRefreshAll);
  }
  // Runs the command, sets the dialog's fields and presses "ファイル出力".
  void Export(const std::string& path, bool table, bool white) {
    ModalAnswer answer([&](QWidget* w) {
      auto* dlg = qobject_cast<CBitmapExportDialog*>(w);
      ASSERT_NE(dlg, nullptr);
      Type(dlg->PathField(), QString::fromStdString(path));
      dlg->DataTableBox()->setChecked(table);
      dlg->WhiteBackgroundBox()->setChecked(white);
      dlg->ExportButton()->click();
    });
    app->Frame().OnCommand(kCmdExportBitmap);
    ASSERT_TRUE(answer.Answered());
  }
};

TEST_F(BitmapExports, DialogShowsItsTextsAndTheSettings) {
  app->State().settings.Set("EXPORT_BMP", "/x/graph.bmp");
  app->State().settings.Set("EXPORT_BMP_PUTDATA", "1");
  app->State().settings.Set("EXPORT_BMP_BGWHITE", "0");
  ASSERT_TRUE(app->Enabled(kCmdExportBitmap));
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CBitmapExportDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle().toStdString(), "グラフビューを画像出力");
    EXPECT_EQ(dlg->PathField()->text().toStdString(), "/x/graph.bmp");
    EXPECT_TRUE(dlg->DataTableBox()->isChecked());
    EXPECT_FALSE(dlg->WhiteBackgroundBox()->isChecked());
    EXPECT_EQ(dlg->DataTableBox()->text().toStdString(), "データ内容を簡易表示する");
    EXPECT_EQ(dlg->WhiteBackgroundBox()->text().toStdString(), "背景を白色にする");
    EXPECT_EQ(dlg->ExportButton()->text().toStdString(), "ファイル出力");
    EXPECT_TRUE(dlg->ExportButton()->isDefault());
    EXPECT_EQ(dlg->CancelButton()->text().toStdString(), "ｷｬﾝｾﾙ");
    EXPECT_EQ(dlg->BrowseButton()->text().toStdString(), "参照");
    QStringList texts;
    for (QLabel* l : dlg->findChildren<QLabel*>())
      texts << l->text();
    EXPECT_TRUE(texts.contains(QString::fromUtf8(
        "表示中のグラフビューの内容を、ビットマップ形式の画像ファイルとして出力します。")));
    EXPECT_TRUE(texts.contains(QString::fromUtf8("出力ファイル名：")));
    dlg->CancelButton()->click();
  });
  app->Frame().OnCommand(kCmdExportBitmap);
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(app->ui.messages.empty());
}

TEST_F(BitmapExports, WritesTheGraphAtTheCoreGeometry) {
  const std::string path = out.File("graph.bmp");
  Export(path, false, false);
  ASSERT_EQ(app->ui.messages.size(), 1u);
  EXPECT_EQ(Utf8(app->ui.messages[0].text), "画像ファイルを出力しました。");
  EXPECT_EQ(Utf8(app->ui.messages[0].caption), "ファイル出力完了");
  const Bmp bmp(ReadFile(path));
  ASSERT_GE(bmp.bytes.size(), 66u);
  EXPECT_EQ(bmp.bytes.substr(0, 2), "BM");
  EXPECT_EQ(bmp.Width(), 680);
  EXPECT_EQ(bmp.Height(), 330);
  EXPECT_EQ(bmp.U16(28), 32);   // bits per pixel
  EXPECT_EQ(bmp.U32(10), 66u);  // pixel data after the 52-byte header block
  EXPECT_EQ(bmp.U32(2), bmp.bytes.size());
  EXPECT_EQ(bmp.bytes.size(), 66u + 680u * 4u * 330u);
  // The curve in its slot colour across the plot, on black.
  EXPECT_GT(bmp.Count(0xFF00FF, 0, 300), 500);
  EXPECT_EQ(bmp.Pixel(600, 100), 0x000000u);
  EXPECT_EQ(bmp.Pixel(679, 329), 0x000000u);
  EXPECT_EQ(app->State().settings.Get("EXPORT_BMP"), path);
  EXPECT_EQ(app->State().settings.Get("EXPORT_BMP_PUTDATA"), "0");
}

TEST_F(BitmapExports, TheTableGoesUnderTheGraphOnWhite) {
  const std::string path = out.File("table.bmp");
  Export("  " + path + " ", true, true);  // blanks around the path are dropped
  const Bmp bmp(ReadFile(path));
  ASSERT_GE(bmp.bytes.size(), 66u);
  EXPECT_EQ(bmp.Width(), 680);
  EXPECT_EQ(bmp.Height(), 374);
  EXPECT_EQ(bmp.bytes.size(), 66u + 680u * 4u * 374u);
  EXPECT_EQ(bmp.Pixel(600, 100), 0xFFFFFFu);             // white background
  EXPECT_GT(bmp.Count(0xFF00FF, 0, 300), 500);           // the curve keeps its colour
  EXPECT_GT(bmp.Count(0x7F7F7F, 330, 374), 200);         // grey cell borders
  EXPECT_GT(bmp.Count(0xFF00FF, 374 - 16, 374 - 2), 5);  // the ID in the slot colour
  EXPECT_GT(bmp.Count(0x000000, 330, 374), 50);          // black texts
  EXPECT_EQ(app->State().settings.Get("EXPORT_BMP"), path);
  EXPECT_EQ(app->State().settings.Get("EXPORT_BMP_PUTDATA"), "1");
  EXPECT_EQ(app->State().settings.Get("EXPORT_BMP_BGWHITE"), "1");
}

TEST_F(BitmapExports, BlankPathIsRefusedAndUnwritableFileReported) {
  bool stillOpen = false;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CBitmapExportDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->PathField(), "   ");
    dlg->ExportButton()->click();
    stillOpen = dlg->isVisible();
    Type(dlg->PathField(), QString::fromStdString(out.File("no/such/folder.bmp")));
    dlg->ExportButton()->click();
  });
  app->Frame().OnCommand(kCmdExportBitmap);
  ASSERT_TRUE(answer.Answered());
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(app->ui.messages.size(), 2u);
  EXPECT_EQ(Utf8(app->ui.messages[0].text), "出力ファイル名を設定してください。");
  EXPECT_EQ(Utf8(app->ui.messages[0].caption), "出力ファイル名設定");
  EXPECT_EQ(app->ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(Utf8(app->ui.messages[1].text), "画像ファイルの出力に失敗しました。");
  EXPECT_EQ(app->ui.messages[1].icon, MsgIcon::kError);
}

TEST_F(BitmapExports, BrowseOffersTheFolderAndName) {
  app->ui.ChooseFile(out.File("chosen.bmp"));
  QString shown;
  ModalAnswer answer([&](QWidget* w) {
    auto* dlg = qobject_cast<CBitmapExportDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    Type(dlg->PathField(), "/tmp/old.bmp");
    dlg->BrowseButton()->click();
    shown = dlg->PathField()->text();
    dlg->CancelButton()->click();
  });
  app->Frame().OnCommand(kCmdExportBitmap);
  ASSERT_TRUE(answer.Answered());
  ASSERT_EQ(app->ui.fileRequests.size(), 1u);
  EXPECT_EQ(app->ui.fileRequests[0].proposedName, "old.bmp");
  EXPECT_EQ(app->ui.fileRequests[0].startDirectory, "/tmp/");
  EXPECT_TRUE(app->ui.fileRequests[0].confirmOverwrite);
  EXPECT_EQ(shown.toStdString(), out.File("chosen.bmp"));
  EXPECT_TRUE(app->ui.messages.empty());
}

}  // namespace
}  // namespace qv::test::shell
