// The one painter of drawing lists, through both mappers: where cells land,
// that a text never leaves its cell or box, and that the graph's items give
// the pixels of the platform's own line, point and text drawing.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <cmath>
#include <utility>

#include "data/codec.h"
#include "output/bitmap_export.h"
#include "output/print_layout.h"
#include "views/draw_list_painter.h"
#include "views/fonts.h"

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

// The bounding box of the dark pixels in `r`; empty without any.
QRect InkBox(const QImage& img, const QRect& r) {
  QRect box;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (qGray(img.pixel(x, y)) < 100) box |= QRect(x, y, 1, 1);
  return box;
}

// The ink of `text` alone, drawn with nothing around it in the font `map`
// gives `list` on an image like `like`.
QRect FreeInk(const QImage& like, const DrawList& list, const DrawListMapper& map,
              const std::string& text) {
  QImage img(400, 200, QImage::Format_RGB32);
  img.setDotsPerMeterX(like.dotsPerMeterX());
  img.setDotsPerMeterY(like.dotsPerMeterY());
  img.fill(Qt::white);
  QPainter p(&img);
  p.setFont(map.Font(list, p));
  p.setPen(Qt::black);
  p.drawText(QPoint(100, 100), QString::fromUtf8(Cp932ToUtf8(text).c_str()));
  p.end();
  return InkBox(img, img.rect());
}

// Every title of a table header keeps all of its ink: the same box as the
// text drawn alone, inside the cell's frame.
void ExpectTitlesWhole(const DrawList& list, const DrawListMapper& map, const QImage& img) {
  int titles = 0;
  for (const DrawItem& d : list.items) {
    if (d.kind != DrawKind::kCell || d.text.empty() || !d.frame) continue;
    const std::string utf8 = Cp932ToUtf8(d.text);
    if (utf8 != "放電時間" && utf8 != "終了電圧" && utf8 != "放電電力") continue;
    ++titles;
    // The pixels wholly inside the frame: a glyph cut there has less ink.
    const QRectF inside = map.Inside(map.Cell(d.x1, d.y1, d.x2, d.y2));
    const QPoint from(static_cast<int>(std::ceil(inside.left())),
                      static_cast<int>(std::ceil(inside.top())));
    const QPoint to(static_cast<int>(std::floor(inside.right())) - 1,
                    static_cast<int>(std::floor(inside.bottom())) - 1);
    const QRect drawn = InkBox(img, QRect(from, to));
    EXPECT_EQ(drawn.size(), FreeInk(img, list, map, d.text).size()) << utf8;
  }
  EXPECT_GE(titles, 3);
}

TEST(DrawListPainter, TableTitlesShowWholeInTheExportAndOnPaper) {
  CMeasureData r;
  r.AppendPoint({600, 10.0, 7.0, 1500.0, 7.2});
  const std::vector<CMeasureData*> display{&r};
  const BitmapGeometry g = ComputeBitmapGeometry(display, 1, true);
  const DrawList overlay = BitmapOverlay(g, std::vector<GraphCurve>{{&r, 1}}, true, true);
  const QImage bitmap = Paint(overlay, PixelMapper(), g.width, g.height);
  ExpectTitlesWhole(overlay, PixelMapper(), bitmap);

  // A4 at 254 dpi, margins 9 and 21 mm: one paper unit is one pixel.
  PrintLayout l;
  l.settings.topX = 9;
  l.settings.topY = 21;
  l.settings.tableLine = 1;
  l.settings.form = kPrintTable;
  l.settings.font = Sj("ＭＳ ゴシック");
  l.metrics = ComputePageMetrics({0, 0, 2100, 2970, 254, 254, 96}, l.settings);
  PrintPage page;
  page.records = {&r};
  const DrawList table = TablePageList(l, page, 1, 1);
  const PaperMapper paper(l.metrics, 254, 254);
  const QImage sheet = Paint(table, paper, 2100, 500);
  ExpectTitlesWhole(table, paper, sheet);

  if (const QByteArray look = qgetenv("QV_PRINT_LOOK"); !look.isEmpty()) {
    bitmap.save(QString::fromLocal8Bit(look) + QStringLiteral("/export_table.png"));
    sheet.save(QString::fromLocal8Bit(look) + QStringLiteral("/print_table_header.png"));
  }
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

TEST(DrawListPainter, GraphItemsDrawThePixelsOfDirectCosmeticDrawing) {
  DrawList list;
  list.charHeight = 12;
  DrawItem& dotted = list.Line(10, 20, 190, 20);
  dotted.dotted = true;
  dotted.color = 0xC8FFC8;
  list.Line(10, 30, 10, 90).color = 0xC8FFC8;
  DrawItem& curve = list.Polyline({{20, 40}, {60, 80}, {100, 45}, {150, 60}, {170, 85}});
  curve.runs = {3, 1, 1};
  curve.color = 0x00FFFF;
  list.Label(22, 100, 60, "0").color = 0xFFFFFF;
  list.Label(102, 100, 140, "12345678").color = 0xFFFFFF;  // wider than its room

  QImage direct(200, 120, QImage::Format_RGB32);
  direct.fill(Qt::black);
  QPainter p(&direct);
  QFont font = GothicFont(12);
  font.setStyleStrategy(QFont::NoAntialias);
  auto pen = [](const QColor& c, Qt::PenStyle style = Qt::SolidLine) {
    QPen made(c, 1, style);
    made.setCosmetic(true);
    return made;
  };
  p.setPen(pen(QColor(200, 255, 200), Qt::DotLine));
  p.drawLine(10, 20, 190, 20);
  p.setPen(pen(QColor(200, 255, 200)));
  p.drawLine(10, 30, 10, 90);
  p.setPen(pen(QColor(0, 255, 255)));
  const QPoint run[] = {{20, 40}, {60, 80}, {100, 45}};
  p.drawPolyline(run, 3);
  p.drawPoint(150, 60);
  p.drawPoint(170, 85);
  p.setPen(Qt::white);
  p.setFont(font);
  for (const auto& [left, text] :
       {std::pair{22, QString("0")}, std::pair{102, QString("12345678")}}) {
    QStaticText laidOut(text);
    laidOut.prepare(QTransform(), font);
    const int width = QFontMetrics(font).horizontalAdvance(text);
    p.drawStaticText(QPoint(left + (38 - width) / 2, 100), laidOut);
  }
  p.end();

  for (bool cached : {false, true}) {
    QImage img(200, 120, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter q(&img);
    LabelTextCache cache;
    PaintDrawList(q, list, PixelMapper(), cached ? &cache : nullptr);
    if (cached) PaintDrawList(q, list, PixelMapper(), &cache);  // from the cache
    q.end();
    EXPECT_EQ(img, direct) << cached;
  }
}

}  // namespace
}  // namespace qv::ui
