// The one painter of drawing lists, through both mappers: where cells land
// and that a text never leaves its cell or box.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <utility>

#include "data/codec.h"
#include "output/print_layout.h"
#include "views/draw_list_painter.h"

namespace qv::ui {
namespace {

int DarkIn(const QImage& img, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      n += qGray(img.pixel(x, y)) < 128;
  return n;
}

QImage Paint(const DrawList& list, const DrawListMapper& map, int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  PaintDrawList(p, list, map);
  p.end();
  return img;
}

const std::string kLong = Sj("放電時間の長い長い備考がセルの外まで続く 0123456789 ABCDEFGHIJ");

TEST(DrawListPainter, PixelCellsShareTheirBorderAndClipTheirText) {
  DrawList list;
  list.charHeight = 12;
  list.Cell(10, 10, 60, 30, kLong, HAlign::kLeft, 2, true);
  list.Cell(59, 10, 120, 30, "", HAlign::kLeft, 0, true);
  const QImage img = Paint(list, PixelMapper(), 200, 50);
  EXPECT_EQ(DarkIn(img, QRect(10, 10, 1, 20)), 20);   // left border x = 10
  EXPECT_EQ(DarkIn(img, QRect(59, 10, 1, 20)), 20);   // the shared border x = 59
  EXPECT_GT(DarkIn(img, QRect(12, 12, 46, 16)), 20);  // the text inside
  EXPECT_EQ(DarkIn(img, QRect(60, 11, 58, 18)), 0);   // nothing of it in the next cell
}

TEST(DrawListPainter, PaperTextsStayInTheirCellsAndBoxes) {
  PageMetrics m;  // 254 dpi: one paper unit (0.1 mm) is one pixel
  DrawList list;
  list.fontFace = Sj("ＭＳ ゴシック");
  list.charHeight = 30;
  list.Cell(100, 100, 400, 140, kLong, HAlign::kLeft, 10, true);
  DrawItem& label = list.Text(100, 300, kLong);
  label.x2 = 400;
  label.y2 = 340;
  list.Text(100, 500, kLong);  // no box: the text runs on
  const QImage img = Paint(list, PaperMapper(m, 254, 254), 1600, 600);
  EXPECT_GT(DarkIn(img, QRect(110, 105, 280, 30)), 50);
  EXPECT_EQ(DarkIn(img, QRect(402, 95, 1100, 50)), 0);
  EXPECT_GT(DarkIn(img, QRect(100, 300, 300, 40)), 50);
  EXPECT_EQ(DarkIn(img, QRect(401, 295, 1100, 50)), 0);
  EXPECT_GT(DarkIn(img, QRect(401, 495, 1100, 50)), 50);
}

TEST(DrawListPainter, BothLogosShowWhole) {
  // Nothing of a logo touches its edges, where a stretched image loses it.
  for (const auto& [file, size] : {std::pair{"print_logo_h.png", QSize(297, 75)},
                                   std::pair{"print_logo_v.png", QSize(75, 297)}}) {
    const QImage img(QStringLiteral(":/quorvex/images/") + QString::fromLatin1(file));
    ASSERT_EQ(img.size(), size) << file;
    const int w = size.width(), h = size.height();
    EXPECT_GT(DarkIn(img, QRect(3, 3, w - 6, h - 6)), 500) << file;
    for (const QRect& edge :
         {QRect(0, 0, w, 3), QRect(0, h - 3, w, 3), QRect(0, 0, 3, h), QRect(w - 3, 0, 3, h)})
      EXPECT_EQ(DarkIn(img, edge), 0) << file;
  }
}

TEST(DrawListPainter, PrintedRemarksAndLabelTextsStopAtTheirBoxes) {
  // A4 at 254 dpi: one paper unit is one pixel; margins 9 and 21 mm, p = 27.
  PrintLayout l;
  l.settings.topX = 9;
  l.settings.topY = 21;
  l.settings.labelW = 24;
  l.settings.labelH = 33;
  l.settings.labelNoLogo = 1;
  l.settings.font = Sj("ＭＳ ゴシック");
  const PrinterDevice a4{0, 0, 2100, 2970, 254, 254, 96};
  CMeasureData r;
  r.remark = std::string(300, 'W');
  r.internalResistance = 1e12;  // "IR  1000000000000.0mΩ" is wider than a label
  PrintPage page;
  page.records = {&r};
  page.rows = {{&r}};

  l.settings.form = kPrintTable;
  l.metrics = ComputePageMetrics(a4, l.settings);
  QImage img = Paint(TablePageList(l, page, 1, 1), PaperMapper(l.metrics, 254, 254), 2100, 420);
  // The remark line (345 to 372) holds text up to half a pitch before the end
  // of column 15 (2012 - 13), nothing after it.
  EXPECT_GT(DarkIn(img, QRect(103, 348, 1896, 22)), 200);
  EXPECT_EQ(DarkIn(img, QRect(2000, 348, 100, 22)), 0);

  l.settings.form = kPrintLabels;
  l.metrics = ComputePageMetrics(a4, l.settings);
  img = Paint(LabelPageList(l, page), PaperMapper(l.metrics, 254, 254), 2100, 600);
  // The IR line of the label at (90, 210): from x0 = 110 to 310.
  EXPECT_GT(DarkIn(img, QRect(110, 395, 200, 30)), 50);
  EXPECT_EQ(DarkIn(img, QRect(311, 200, 1700, 400)), 0);
}

}  // namespace
}  // namespace qv::ui
