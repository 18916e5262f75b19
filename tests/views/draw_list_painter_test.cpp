// The one painter of drawing lists, through both mappers: where cells land
// and that a text never leaves its cell or box.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "data/codec.h"
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
  EXPECT_EQ(DarkIn(img, QRect(10, 10, 1, 20)), 20);  // left border x = 10
  EXPECT_EQ(DarkIn(img, QRect(59, 10, 1, 20)), 20);  // the shared border x = 59
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

}  // namespace
}  // namespace qv::ui
