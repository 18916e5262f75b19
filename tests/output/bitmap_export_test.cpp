#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>

#include "core/settings_store.h"
#include "data/codec.h"
#include "output/bitmap_export.h"
#include "output/bmp_writer.h"
#include "output_test_util.h"
#include "support/test_support.h"

namespace qv {
namespace {

using test::AddPoints;
using test::MakeRecord;

uint32_t U32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
uint16_t U16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

TEST(BmpWriter, ThirtyTwoBitsHasMasksAndPixelsAt66) {
  // 3 x 2 image, top row red, bottom row blue (bytes B, G, R, X).
  std::vector<uint8_t> px = {0,   0, 255, 0, 0,   0, 255, 0, 0,   0, 255, 0,
                             255, 0, 0,   0, 255, 0, 0,   0, 255, 0, 0,   0};
  BmpSource img;
  img.width = 3;
  img.height = 2;
  img.bitsPerPixel = 32;
  img.stride = 12;
  img.pixels = px.data();
  std::string b = BmpFileBytes(img);
  ASSERT_EQ(b.size(), 66u + 24u);
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(U32(b, 2), 90u);   // file size
  EXPECT_EQ(U32(b, 6), 0u);    // reserved
  EXPECT_EQ(U32(b, 10), 66u);  // pixel data offset
  EXPECT_EQ(U32(b, 14), 40u);
  EXPECT_EQ(U32(b, 18), 3u);
  EXPECT_EQ(U32(b, 22), 2u);
  EXPECT_EQ(U16(b, 26), 1u);
  EXPECT_EQ(U16(b, 28), 32u);
  EXPECT_EQ(U32(b, 30), 3u);  // bit fields
  EXPECT_EQ(U32(b, 34), 24u);
  EXPECT_EQ(U32(b, 54), 0x00FF0000u);
  EXPECT_EQ(U32(b, 58), 0x0000FF00u);
  EXPECT_EQ(U32(b, 62), 0x000000FFu);
  // Bottom row first.
  EXPECT_EQ(static_cast<uint8_t>(b[66]), 255);
  EXPECT_EQ(static_cast<uint8_t>(b[66 + 12 + 2]), 255);
}

TEST(BmpWriter, EightBitsHasColourTableAndPixelsAt1078) {
  std::vector<uint8_t> px = {1, 2, 3, 9, 4, 5, 6, 9};  // 3 x 2, stride 4
  BmpSource img;
  img.width = 3;
  img.height = 2;
  img.bitsPerPixel = 8;
  img.stride = 4;
  img.pixels = px.data();
  img.colorTable = {0x000000, 0x112233};
  std::string b = BmpFileBytes(img);
  EXPECT_EQ(BmpHeaderBlockSize(8), 1064);
  EXPECT_EQ(U32(b, 10), 1078u);
  ASSERT_EQ(b.size(), 1078u + 8u);
  EXPECT_EQ(U32(b, 30), 0u);
  EXPECT_EQ(U32(b, 54 + 4), 0x112233u);
  EXPECT_EQ(U32(b, 54 + 8), 0u);
  // Rows padded to four bytes, bottom row first, padding zero.
  EXPECT_EQ(b.substr(1078), std::string("\x04\x05\x06\x00\x01\x02\x03\x00", 8));
}

TEST(BmpWriter, HeaderBlockSizes) {
  EXPECT_EQ(BmpHeaderBlockSize(1), 48);
  EXPECT_EQ(BmpHeaderBlockSize(4), 104);
  EXPECT_EQ(BmpHeaderBlockSize(16), 52);
  EXPECT_EQ(BmpHeaderBlockSize(32), 52);
  EXPECT_EQ(BmpRowBytes(680, 32), 2720);
  EXPECT_EQ(BmpRowBytes(3, 16), 8);
  EXPECT_EQ(BmpRowBytes(9, 1), 4);
}

TEST(BmpWriter, WritesTheFile) {
  test::TempDir dir;
  std::vector<uint8_t> px(4 * 2 * 2, 0x7F);
  BmpSource img{2, 2, 32, 8, true, px.data(), {}, {0x00FF0000u, 0x0000FF00u, 0x000000FFu}};
  const std::string path = dir.File("g.bmp");
  test::WriteFile(path, std::string(5000, 'x'));
  EXPECT_EQ(WriteBmp(img, path), kBmpWritten);
  EXPECT_EQ(test::ReadFile(path), BmpFileBytes(img));
}

TEST(BmpWriter, TwentyFourBitsRefusedWithoutFile) {
  test::TempDir dir;
  std::vector<uint8_t> px(12, 0);
  BmpSource img{2, 2, 24, 8, true, px.data(), {}, {0, 0, 0}};
  EXPECT_EQ(WriteBmp(img, dir.File("g.bmp")), kBmpUnsupported);
  EXPECT_FALSE(test::FileExists(dir.File("g.bmp")));
}

TEST(BmpWriter, FailuresGiveOne) {
  test::TempDir dir;
  std::vector<uint8_t> px(16, 0);
  BmpSource img{2, 2, 32, 8, true, px.data(), {}, {0, 0, 0}};
  EXPECT_EQ(WriteBmp(img, dir.File("missing/g.bmp")), kBmpFailed);
  if (test::FileExists("/dev/full")) {
    EXPECT_EQ(WriteBmp(img, "/dev/full"), kBmpFailed);
  }
}

TEST(BmpWriter, FailedWriteLeavesThePartlyWrittenFile) {
  test::TempDir dir;
  std::vector<uint8_t> px(4 * 10 * 10, 0x55);
  BmpSource img{10, 10, 32, 40, true, px.data(), {}, {0, 0, 0}};
  // A file size limit of 100 bytes: the headers fit, the pixels do not.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  int rc = WriteBmp(img, dir.File("part.bmp"));
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(rc, kBmpFailed);
  std::string bytes = test::ReadFile(dir.File("part.bmp"));
  EXPECT_EQ(bytes.size(), 100u);
  EXPECT_EQ(bytes, BmpFileBytes(img).substr(0, 100));
}

std::vector<CMeasureData*> Ptrs(const std::vector<std::unique_ptr<CMeasureData>>& v) {
  std::vector<CMeasureData*> out;
  for (const auto& r : v)
    out.push_back(r.get());
  return out;
}

// The records drawn in the given display slots, in order.
std::vector<GraphCurve> Drawn(const std::vector<std::unique_ptr<CMeasureData>>& v,
                              const std::vector<int>& slots) {
  std::vector<GraphCurve> out;
  for (size_t i = 0; i < v.size(); ++i)
    out.push_back({v[i].get(), slots[i]});
  return out;
}

TEST(BitmapGeometry, SixHundredSecondsAtScaleOne) {
  std::vector<std::unique_ptr<CMeasureData>> recs;
  recs.push_back(std::make_unique<CMeasureData>());  // empty current measurement
  recs.push_back(MakeRecord(1, 1, 1));
  AddPoints(*recs.back(), 600, 10);
  BitmapGeometry off = ComputeBitmapGeometry(Ptrs(recs), 1, false);
  EXPECT_EQ(off.records, 1);
  EXPECT_EQ(off.curveWidth, 600);
  EXPECT_EQ(off.width, 680);
  EXPECT_EQ(off.height, 330);
  EXPECT_EQ(ComputeBitmapGeometry(Ptrs(recs), 1, true).height, 374);
  EXPECT_EQ(ComputeBitmapGeometry(Ptrs(recs), 3, false).width, 1880);
}

TEST(BitmapGeometry, AtLeast510Wide) {
  std::vector<std::unique_ptr<CMeasureData>> recs;
  recs.push_back(MakeRecord(1, 1, 1));
  AddPoints(*recs.back(), 100, 10);
  EXPECT_EQ(ComputeBitmapGeometry(Ptrs(recs), 1, false).width, 510);
  EXPECT_EQ(ComputeBitmapGeometry({}, 1, true).width, 510);
  EXPECT_EQ(ComputeBitmapGeometry({}, 1, true).height, 361);
}

TEST(BitmapTable, RowsFromTheBottomCurrentOnTop) {
  std::vector<std::unique_ptr<CMeasureData>> recs;
  recs.push_back(MakeRecord(-1, -1, -1));
  AddPoints(*recs.back(), 600, 10);
  recs.push_back(MakeRecord(1, 2, 3));  // no points: no row
  recs.push_back(MakeRecord(4, 5, 6));
  recs.back()->AppendPoint({300, 10.0, 7.0, 1500.9, 7.2});
  BitmapGeometry g = ComputeBitmapGeometry(Ptrs(recs), 1, true);
  ASSERT_EQ(g.height, 330 + 26 + 31);
  auto cells = BitmapTableCells(Drawn(recs, {1, 2, 3}), g.height);
  ASSERT_EQ(cells.size(), 9u * 4);
  // Title row and units row above the highest data row (top 387 - 29 = 358).
  EXPECT_EQ(cells[0].top, 358 - 26);
  EXPECT_EQ(cells[0].bottom, 358 - 12);
  EXPECT_EQ(Cp932ToUtf8(cells[1].text), "放電時間");
  EXPECT_EQ(cells[1].align, HAlign::kCenter);
  EXPECT_EQ(Cp932ToUtf8(cells[9].text), "登録ID");
  EXPECT_EQ(cells[9].align, HAlign::kLeft);
  EXPECT_EQ(cells[9].top, 345);
  EXPECT_EQ(Cp932ToUtf8(cells[14].text), "mΩ");
  EXPECT_EQ(cells[14].align, HAlign::kRight);
  // First data row: the last record with points, lowest.
  const BitmapTableCell* row = &cells[18];
  EXPECT_EQ(row[0].top, 387 - 16);
  EXPECT_EQ(row[0].bottom, 387 - 2);
  EXPECT_EQ(row[0].text, "004-005-006");
  EXPECT_TRUE(row[0].slotColour);
  EXPECT_EQ(row[0].slot, 3);
  EXPECT_EQ(row[0].align, HAlign::kCenter);
  const char* expected[] = {"004-005-006", "300",  "1500", "10806", "7.200",
                            "45.7",        "12.3", "5.4",  "10.0"};
  for (int c = 0; c < 9; ++c)
    EXPECT_EQ(row[c].text, expected[c]) << c;
  EXPECT_EQ(row[8].left, 452);
  EXPECT_EQ(row[8].right, 505);
  EXPECT_FALSE(row[1].slotColour);
  // The current measurement one row higher, with an empty ID.
  EXPECT_EQ(cells[27].top, 387 - 29);
  EXPECT_EQ(cells[27].text, "");
  EXPECT_EQ(cells[27].slot, 1);
}

TEST(BitmapTable, NoRecordsLeavesHeaderAboveTheBottom) {
  auto cells = BitmapTableCells({}, 361);
  ASSERT_EQ(cells.size(), 18u);
  EXPECT_EQ(cells[9].top, 361 - 3 - 13);
  EXPECT_EQ(cells[9].bottom, 361 - 3 + 1);
}

TEST(BitmapOverlay, BandFooterAndColours) {
  std::vector<std::unique_ptr<CMeasureData>> recs;
  recs.push_back(MakeRecord(1, 1, 1));
  AddPoints(*recs.back(), 600, 10);
  const std::vector<GraphCurve> display = Drawn(recs, {4});
  BitmapGeometry g = ComputeBitmapGeometry(Ptrs(recs), 1, true);
  DrawList white = BitmapOverlay(g, display, true, true);
  ASSERT_GE(white.items.size(), 4u + 27u);
  EXPECT_EQ(white.items[0].y1, 329);
  EXPECT_EQ(white.items[0].y2, 374);
  EXPECT_EQ(white.items[0].fillColor, 0xFFFFFFu);
  EXPECT_EQ(white.items[1].text, "[V]");
  EXPECT_EQ(white.items[1].y1, 307);
  EXPECT_EQ(white.items[2].text, "Discharge Graph   ...Analyzed By ORVANTIS (Halvorn)");
  EXPECT_EQ(white.items[2].x1, 45);
  EXPECT_EQ(white.items[2].y1, 317);
  EXPECT_EQ(white.items[3].text, "[Sec.]");
  EXPECT_EQ(white.items[3].x1, 620);
  EXPECT_EQ(white.items[3].color, 0x000000u);
  const DrawItem& idCell = white.items[4 + 18];
  EXPECT_EQ(idCell.color, 0xFF0000u);
  EXPECT_EQ(idCell.frameColor, 0x7F7F7Fu);
  EXPECT_EQ(idCell.inset, 6);
  EXPECT_EQ(white.items[4 + 19].color, 0x000000u);
  DrawList black = BitmapOverlay(g, display, false, false);
  EXPECT_EQ(black.items.size(), 4u);
  EXPECT_EQ(black.items[0].fillColor, 0x000000u);
  EXPECT_EQ(black.items[1].color, 0xFFFFFFu);
}

class BitmapDialog : public ::testing::Test {
 protected:
  test::TempDir dir;
  CSettingsStore settings{dir.path(), "Dis.ini"};
  test::FakeUi ui;
  CBitmapExportDlg dlg;
};

TEST_F(BitmapDialog, OpensFromSettings) {
  settings.Set("EXPORT_BMP", "/tmp/a.bmp");
  settings.Set("EXPORT_BMP_PUTDATA", "1");
  dlg.Open(settings);
  EXPECT_EQ(dlg.path, "/tmp/a.bmp");
  EXPECT_TRUE(dlg.dataTable);
  EXPECT_FALSE(dlg.whiteBackground);
}

TEST_F(BitmapDialog, BlankPathRefused) {
  dlg.path = "   ";
  EXPECT_FALSE(dlg.Export(ui, settings, {}, 1));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.TextsUtf8()[0], "出力ファイル名を設定してください。");
  EXPECT_EQ(Cp932ToUtf8(ui.messages[0].caption), "出力ファイル名設定");
  EXPECT_EQ(ui.messages[0].icon, MsgIcon::kWarning);
  EXPECT_EQ(settings.Get("EXPORT_BMP"), "");
}

TEST_F(BitmapDialog, SettingsWrittenBeforeTheImage) {
  dlg.path = "  /tmp/out.bmp ";
  dlg.dataTable = true;
  auto req = dlg.Export(ui, settings, {}, 1);
  ASSERT_TRUE(req);
  EXPECT_EQ(req->path, "/tmp/out.bmp");
  EXPECT_EQ(req->geometry.height, 361);
  EXPECT_EQ(settings.Get("EXPORT_BMP"), "/tmp/out.bmp");
  EXPECT_EQ(settings.Get("EXPORT_BMP_PUTDATA"), "1");
  EXPECT_EQ(settings.Get("EXPORT_BMP_BGWHITE"), "0");
}

TEST_F(BitmapDialog, BrowseOffersDirectoryAndName) {
  dlg.path = "/data/graphs/g1.bmp";
  ui.ChooseFile(std::string("/data/x.bmp"));
  dlg.Browse(ui);
  EXPECT_EQ(dlg.path, "/data/x.bmp");
  ASSERT_EQ(ui.fileRequests.size(), 1u);
  EXPECT_EQ(ui.fileRequests[0].startDirectory, "/data/graphs/");
  EXPECT_EQ(ui.fileRequests[0].proposedName, "g1.bmp");
  EXPECT_EQ(Cp932ToUtf8(ui.fileRequests[0].filter), "ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|");
  EXPECT_TRUE(ui.fileRequests[0].confirmOverwrite);
}

TEST(BitmapMessages, ThreeResults) {
  Message ok = BitmapExportResultMessage(0);
  EXPECT_EQ(Cp932ToUtf8(ok.text), "画像ファイルを出力しました。");
  EXPECT_EQ(Cp932ToUtf8(ok.caption), "ファイル出力完了");
  EXPECT_EQ(ok.icon, MsgIcon::kInformation);
  Message fail = BitmapExportResultMessage(1);
  EXPECT_EQ(Cp932ToUtf8(fail.text), "画像ファイルの出力に失敗しました。");
  EXPECT_EQ(Cp932ToUtf8(fail.caption), "ファイル出力エラー");
  EXPECT_EQ(fail.icon, MsgIcon::kError);
  Message depth = BitmapExportResultMessage(3);
  EXPECT_EQ(Cp932ToUtf8(depth.text),
            "画像ファイルの出力ができません。\n\n画面の表示色の設定を変更してください。\n"
            "（表示色が「24ビットTrueColor」の場合は画像保存ができません。）");
  EXPECT_EQ(Cp932ToUtf8(depth.caption), "未対応の画面設定");
  EXPECT_EQ(depth.icon, MsgIcon::kWarning);
}

}  // namespace
}  // namespace qv
