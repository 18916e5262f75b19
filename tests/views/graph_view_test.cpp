#include <gtest/gtest.h>

#include <QCursor>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "views/fonts.h"
#include "views/graph_view.h"
#include "views_test_util.h"

namespace qv::ui {
namespace {

using test::DocFixture;
using test::MakeRecord;

GraphSettings Settings(int gapX = 1, bool grid = false) {
  GraphSettings g;
  g.maxV = 12.0;
  g.minV = 0.0;
  g.gapY = 1.0;
  g.grid = grid;
  g.gapX = gapX;
  return g;
}

void AddPoint(CMeasureData& r, int t, double v) {
  CMeasurePoint p;
  p.time = t;
  p.voltage = v;
  r.AppendPoint(p);
}

QImage Render(CGraphView& view, bool white, int w = 400, int h = 330) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::gray);
  QPainter p(&img);
  view.Draw(p, QRect(0, 0, w, h), true, white);
  p.end();
  return img;
}

bool AnyPixel(const QImage& img, const QRect& r, QRgb c) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (img.pixel(x, y) == c) return true;
  return false;
}

// The view's own picture as the screen shows it.
QImage Grab(CGraphView& view) {
  QApplication::processEvents();
  return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

const QRgb kCyan = qRgb(0, 255, 255);
const QRgb kAxis = qRgb(200, 255, 200);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

// --- Pixels of Draw ---------------------------------------------------------

TEST(GraphDraw, SixVoltPointAtHundredSecondsLandsAt140_152) {
  DocFixture f;
  AddPoint(f.doc.Current(), 100, 6.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  const QImage img = Render(view, false);
  EXPECT_EQ(img.pixel(140, 152), kCyan);
  EXPECT_NE(img.pixel(141, 152), kCyan);
  EXPECT_NE(img.pixel(140, 151), kCyan);
  EXPECT_NE(img.pixel(140, 153), kCyan);
}

TEST(GraphDraw, BlackScreenHasGreenAxesAndWhiteLabels) {
  DocFixture f;
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  const QImage img = Render(view, false);
  EXPECT_EQ(img.pixel(200, 100), kBlack);
  EXPECT_EQ(img.pixel(40, 100), kAxis);  // voltage axis
  EXPECT_EQ(img.pixel(40, 300), kAxis);  // corner
  EXPECT_EQ(img.pixel(35, 152), kAxis);  // tick at 6 V, 5 pixels long
  EXPECT_NE(img.pixel(34, 152), kAxis);
  // Voltage labels left of the axis in white.
  EXPECT_TRUE(AnyPixel(img, QRect(5, 147, 30, 10), kWhite));
}

TEST(GraphDraw, EmptyCurrentMeasurementDrawsOneTickLabelledZero) {
  DocFixture f;
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  const QImage img = Render(view, false);
  // The tick at 0 hangs 5 pixels below the axis (the end pixel left out).
  EXPECT_EQ(img.pixel(40, 304), kAxis);
  EXPECT_NE(img.pixel(40, 305), kAxis);
  // The label "0", centred under the tick.
  const QRect label(22, 305, 38, 14);
  EXPECT_TRUE(AnyPixel(img, label, kWhite));
  EXPECT_FALSE(AnyPixel(img, QRect(22, 305, 12, 14), kWhite));   // narrow: only "0"
  EXPECT_FALSE(AnyPixel(img, QRect(70, 305, 100, 14), kWhite));  // no other label
  // No time axis beyond the corner.
  EXPECT_NE(img.pixel(41, 300), kAxis);
  // The content width is kept.
  EXPECT_EQ(view.ContentWidth(), 200);
}

TEST(GraphDraw, FirstTickLabelMatchesTextZero) {
  // Draw "0" the way the graph centres it and compare the pixels.
  DocFixture f;
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  const QImage img = Render(view, false);
  QImage ref(400, 330, QImage::Format_RGB32);
  ref.fill(Qt::black);
  QPainter p(&ref);
  QFont font = GothicFont(12);
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(22, 305, 38, 10), Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, "0");
  p.end();
  EXPECT_EQ(img.copy(22, 305, 38, 14), ref.copy(22, 305, 38, 14));
}

// The ink of the label "12.00" relative to its tick, in a box around it.
QImage TopLabelInk(double maxV, int tickY) {
  DocFixture f;
  CGraphView view(f.doc);
  GraphSettings g = Settings(1);
  g.maxV = maxV;
  view.ApplySettings(g);
  const QImage img = Render(view, false);
  return img.copy(5, tickY - 5, 30, 13);
}

TEST(GraphDraw, TopVoltageLabelIsDrawnWhole) {
  // 12.00 at the top of the plot (y 5) must look exactly like 12.00 drawn
  // further down (y 27 with a 13 V range): nothing cut off at the top edge.
  EXPECT_EQ(ScaleOf(Settings()).YOf(12.0), 5);
  auto lower = ScaleOf(Settings());
  lower.maxV = 13.0;
  ASSERT_EQ(lower.YOf(12.0), 27);
  const QImage top = TopLabelInk(12.0, 5);
  EXPECT_TRUE(AnyPixel(top, top.rect(), kWhite));
  EXPECT_EQ(top, TopLabelInk(13.0, 27));
  // The digits do not touch the top edge of the view.
  EXPECT_FALSE(AnyPixel(top, QRect(0, 0, 30, 1), kWhite));
}

TEST(GraphDraw, CurveStartsAtFirstVoltageAboveZero) {
  DocFixture f;
  CMeasureData& r = f.doc.Current();
  for (int t = 0; t < 10; ++t)
    AddPoint(r, t, 0.0);
  for (int t = 10; t <= 60; ++t)
    AddPoint(r, t, 6.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  const QImage img = Render(view, false);
  EXPECT_EQ(img.pixel(50, 152), kCyan);
  EXPECT_EQ(img.pixel(100, 152), kCyan);
  EXPECT_NE(img.pixel(49, 152), kCyan);
  // Nothing was drawn along 0 V or up to the start point.
  for (int x = 41; x < 50; ++x)
    EXPECT_NE(img.pixel(x, 300), kCyan) << x;
  for (int y = 153; y < 300; ++y)
    EXPECT_NE(img.pixel(50, y), kCyan) << y;
}

TEST(GraphDraw, CurveStartsBelowTwelveVoltsAndLaterPointsAreNotFiltered) {
  DocFixture f;
  CMeasureData& r = f.doc.Current();
  for (int t = 0; t < 10; ++t)
    AddPoint(r, t, 12.0);
  AddPoint(r, 10, 6.0);
  AddPoint(r, 11, 0.0);  // after the start every point is drawn
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  const QImage img = Render(view, false);
  EXPECT_EQ(img.pixel(50, 152), kCyan);
  for (int y = 6; y < 150; ++y) {
    EXPECT_NE(img.pixel(49, y), kCyan) << y;
    EXPECT_NE(img.pixel(50, y), kCyan) << y;
  }
  // The line down to 0 V at 11 s.
  EXPECT_TRUE(AnyPixel(img, QRect(50, 250, 2, 51), kCyan));
}

TEST(GraphDraw, WhiteExportHasBlackAxesAndSlotColouredCurves) {
  DocFixture f;
  auto* reg = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 3.0, 500.0));
  ASSERT_TRUE(f.doc.ToggleOverlay(reg));
  for (int t = 0; t <= 100; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  const QImage img = Render(view, true);
  EXPECT_EQ(img.pixel(300, 100), kWhite);
  EXPECT_EQ(img.pixel(40, 100), kBlack);
  EXPECT_EQ(img.pixel(100, 300), kBlack);  // time axis
  EXPECT_EQ(img.pixel(90, 303), kBlack);   // tick at 50 s
  EXPECT_TRUE(AnyPixel(img, QRect(5, 147, 30, 10), kBlack));
  EXPECT_FALSE(AnyPixel(img, QRect(0, 0, 400, 330), kAxis));
  EXPECT_EQ(img.pixel(100, 152), kCyan);
  EXPECT_EQ(img.pixel(100, ScaleOf(Settings()).YOf(3.0)), qRgb(255, 0, 255));
}

TEST(GraphDraw, DrawsIntoTheGivenRectangleOfAnotherSurface) {
  DocFixture f;
  AddPoint(f.doc.Current(), 100, 6.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  QImage img(500, 400, QImage::Format_RGB32);
  img.fill(Qt::gray);
  QPainter p(&img);
  view.Draw(p, QRect(20, 30, 400, 330), true, true);
  p.end();
  EXPECT_EQ(img.pixel(160, 182), kCyan);
  EXPECT_EQ(img.pixel(10, 10), QColor(Qt::gray).rgb());  // outside untouched
  EXPECT_EQ(img.pixel(21, 31), kWhite);
}

TEST(GraphDraw, GridDrawsDottedLinesAcrossThePlot) {
  DocFixture f;
  for (int t = 0; t <= 200; ++t)
    AddPoint(f.doc.Current(), t, 11.5);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1, true));
  const QImage img = Render(view, false);
  int on = 0;
  for (int x = 41; x < 240; ++x)
    on += img.pixel(x, 152) == kAxis;
  EXPECT_GT(on, 50);
  EXPECT_LT(on, 190);  // dotted, not solid
}

TEST(GraphDraw, CurrentMeasurementLiesOnTop) {
  DocFixture f;
  auto* reg = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 100, 6.0, 500.0));
  ASSERT_TRUE(f.doc.ToggleOverlay(reg));
  for (int t = 0; t <= 100; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  EXPECT_EQ(Render(view, false).pixel(100, 152), kCyan);
}

TEST(GraphDraw, CurvePixelsMatchAPlainPolylineOfEveryPoint) {
  // The view joins straight runs and skips what cannot show; the pixels
  // must be those of one polyline through every point from the start.
  DocFixture f;
  CMeasureData& r = f.doc.Current();
  for (int t = 0; t < 1500; ++t)
    AddPoint(r, t, t < 5 ? 0.0 : 8.4 - t * 0.002 + ((t * 7919) % 13 == 0 ? 0.3 : 0.0));
  AddPoint(r, 1200, 5.0);  // a step back in time
  AddPoint(r, 1300, 5.0);
  for (int gapX : {1, 3}) {
    CGraphView view(f.doc);
    view.ApplySettings(Settings(gapX));
    const int w = 1500 * gapX + 100;
    const QImage drawn = Render(view, false, w, 330);
    QImage ref(w, 330, QImage::Format_RGB32);
    ref.fill(Qt::black);
    QPainter p(&ref);
    QPen pen(QColor(0, 255, 255), 1);
    pen.setCosmetic(true);
    p.setPen(pen);
    QPolygon poly;
    const auto s = ScaleOf(Settings(gapX));
    for (size_t i = 5; i < r.Points().size(); ++i)
      poly << QPoint(s.XOf(r.Points()[i].time), s.YOf(r.Points()[i].voltage));
    p.drawPolyline(poly);
    p.end();
    int differ = 0;
    for (int y = 0; y < 330; ++y)
      for (int x = 0; x < w; ++x)
        differ += (drawn.pixel(x, y) == kCyan) != (ref.pixel(x, y) == kCyan);
    EXPECT_EQ(differ, 0) << gapX;
  }
}

TEST(GraphDraw, FittedCurvePixelsMatchAPlainPolylineOfEveryPoint) {
  // Fitted into 320 pixels, some twelve points share each column: they are
  // squeezed, and the pixels stay those of every point.
  DocFixture f;
  CMeasureData& r = f.doc.Current();
  for (int t = 0; t < 4000; ++t)
    AddPoint(r, t, 8.4 - t * 0.0005 + ((t * 7919) % 13) * 0.02);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(1));
  view.resize(400, 339);
  view.show();
  view.SetFitTime(true);
  const QImage drawn = Grab(view);
  QImage ref(drawn.size(), QImage::Format_RGB32);
  ref.fill(Qt::black);
  QPainter p(&ref);
  QPen pen(QColor(0, 255, 255), 1);
  pen.setCosmetic(true);
  p.setPen(pen);
  QPolygon poly;
  const CGraphView::Scale& s = view.GetScale();
  ASSERT_TRUE(s.Fitted());
  for (const CMeasurePoint& pt : r.Points())
    poly << QPoint(s.XOf(pt.time), s.YOf(pt.voltage));
  p.drawPolyline(poly);
  p.end();
  int differ = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < ref.width(); ++x)
      differ += (drawn.pixel(x, y) == kCyan) != (ref.pixel(x, y) == kCyan);
  EXPECT_EQ(differ, 0);
}

TEST(GraphDraw, ClippedRepaintMatchesTheFullPicture) {
  // Segments that cross a narrow strip from outside must still be drawn
  // when only that strip is repainted.
  DocFixture f;
  auto* reg = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 0, 6.0, 1.0));
  f.doc.ToggleOverlay(reg);
  CMeasureData& r = f.doc.Current();
  for (int t = 0; t <= 120; t += 30)
    AddPoint(r, t, (t / 30) % 2 ? 10.0 : 2.0);
  for (int t = 1; t <= 100; t += 33)
    AddPoint(*reg, t, 3.0 + t / 30.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(3));
  const QImage full = Render(view, false);
  for (int left : {41, 100, 150, 215, 300}) {
    QImage part(400, 330, QImage::Format_RGB32);
    part.fill(Qt::gray);
    QPainter p(&part);
    p.setClipRect(QRect(left, 0, 40, 330));
    view.Draw(p, QRect(0, 0, 400, 330), true, false);
    p.end();
    EXPECT_EQ(part.copy(left, 0, 40, 330), full.copy(left, 0, 40, 330)) << left;
  }
}

// --- Cursor, follow, detail -------------------------------------------------

struct ShownGraph {
  explicit ShownGraph(DocFixture& f, int gapX = 3) : view(f.doc) {
    view.ApplySettings(Settings(gapX));
    view.resize(400, 339);
    view.show();
    QApplication::processEvents();
  }
  CGraphView view;
};

TEST(GraphCursor, LabelsInDescendingVoltageWithSlotAndCells) {
  DocFixture f;
  auto* a = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 200, 7.2, 500.0, 6));
  auto* b = f.doc.InsertRegistered(MakeRecord(1, 1, 2, 50, 9.0, 500.0, 8));
  f.doc.ToggleOverlay(a);
  f.doc.ToggleOverlay(b);
  for (int t = 0; t <= 200; ++t)
    AddPoint(f.doc.Current(), t, 3.7);
  f.doc.Current().cells = 1;
  ShownGraph g(f);
  EXPECT_EQ(g.view.CursorUpdate(340), 100);
  ASSERT_EQ(g.view.CursorLabels().size(), 2u);  // b has no point at 100 s
  EXPECT_DOUBLE_EQ(g.view.CursorLabels()[0].v, 7.2);
  EXPECT_EQ(g.view.CursorLabels()[0].slot, 2);
  EXPECT_EQ(g.view.CursorLabels()[1].slot, 1);
  EXPECT_EQ(g.view.CursorLabels()[1].cells, 1);
  EXPECT_EQ(g.view.CursorX(), 340);
  EXPECT_EQ(g.view.CursorTimeText(), "100s");
  EXPECT_EQ(g.view.CursorUpdate(100), 20);
  EXPECT_EQ(g.view.CursorLabels().size(), 3u);
  // Beyond every curve: no cursor.
  EXPECT_EQ(g.view.CursorUpdate(399), 120);
  EXPECT_EQ(g.view.CursorUpdate(2400), 787);
  EXPECT_EQ(g.view.CursorX(), CGraphView::kNoCursor);
  EXPECT_TRUE(g.view.CursorTimeText().empty());
}

TEST(GraphCursor, CursorIsPaintedWithItsLabels) {
  DocFixture f;
  for (int t = 0; t <= 100; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  ShownGraph g(f, 1);
  g.view.CursorUpdate(90);  // 50 s
  const QImage img = Render(g.view, false);
  EXPECT_EQ(img.pixel(90, 100), kAxis);                     // cursor line
  EXPECT_TRUE(AnyPixel(img, QRect(92, 5, 36, 10), kCyan));  // "6.00V" in slot colour
}

TEST(GraphCursor, RefreshKeepsTheCursorAtTheSameSecondWhenScrolled) {
  DocFixture f;
  for (int t = 0; t <= 400; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  ShownGraph g(f);
  g.view.Refresh();
  QApplication::processEvents();
  EXPECT_EQ(g.view.ContentWidth(), 400 * 3 + 80);
  g.view.CursorUpdate(340);
  ASSERT_EQ(g.view.CursorX(), 340);
  g.view.horizontalScrollBar()->setValue(150);
  g.view.Refresh();
  EXPECT_EQ(g.view.CursorX(), 340);
  EXPECT_EQ(g.view.CursorTimeText(), "100s");
  // The next mouse position is read with the scroll position.
  EXPECT_EQ(g.view.CursorUpdate(190), 100);
}

// What the screen shows: the window's backing store, not a fresh rendering.
QImage OnScreen(CGraphView& view) {
  QApplication::processEvents();
  const QPoint at = view.viewport()->mapTo(view.window(), QPoint(0, 0));
  return view.screen()
      ->grabWindow(view.window()->winId(), at.x(), at.y(), view.viewport()->width(),
                   view.viewport()->height())
      .toImage()
      .convertToFormat(QImage::Format_RGB32);
}

TEST(GraphCursor, ARefreshWithoutThePointsTakesTheReadoutOffTheScreen) {
  // Opening another file clears the document and refreshes the graph: the
  // readout of the old cursor must not stay on the screen.
  DocFixture f;
  for (int t = 0; t <= 100; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  ShownGraph g(f, 1);
  g.view.CursorUpdate(90);  // 50 s
  const QRect strip(90, 5, 40, 290);
  ASSERT_TRUE(AnyPixel(OnScreen(g.view), strip, kAxis));
  ASSERT_TRUE(AnyPixel(OnScreen(g.view), strip, kCyan));
  f.doc.Clear();
  g.view.Refresh();
  EXPECT_EQ(g.view.CursorX(), CGraphView::kNoCursor);
  const QImage after = OnScreen(g.view);
  EXPECT_FALSE(AnyPixel(after, strip, kAxis));
  EXPECT_FALSE(AnyPixel(after, strip, kCyan));
  EXPECT_FALSE(AnyPixel(after, strip, kWhite));
}

TEST(GraphCursor, ArrowKeysStepThePointerByTheTimeScale) {
  DocFixture f;
  for (int t = 0; t <= 200; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  ShownGraph g(f);
  test::ShowActive(g.view);
  QCursor::setPos(g.view.viewport()->mapToGlobal(QPoint(340, 100)));
  g.view.CursorUpdate(340);
  QTest::keyClick(&g.view, Qt::Key_Right);
  EXPECT_EQ(g.view.CursorTimeText(), "101s");
  QTest::keyClick(&g.view, Qt::Key_Left);
  QTest::keyClick(&g.view, Qt::Key_Left);
  EXPECT_EQ(g.view.CursorTimeText(), "99s");
  EXPECT_EQ(g.view.CursorX(), 40 + 99 * 3);
}

TEST(GraphFollow, FollowsUnlessScrolledBackFortyPixels) {
  DocFixture f;
  ShownGraph g(f);
  const int visible = g.view.viewport()->width();
  ASSERT_EQ(visible, 400);
  g.view.Follow(100);  // 380 pixels: fits
  EXPECT_EQ(g.view.ScrollX(), 0);
  g.view.Follow(107);  // 401: one pixel beyond
  EXPECT_EQ(g.view.ContentWidth(), 401);
  EXPECT_EQ(g.view.ScrollX(), 1);
  g.view.Follow(120);  // target 40, 39 away
  EXPECT_EQ(g.view.ScrollX(), 40);
  g.view.horizontalScrollBar()->setValue(0);
  g.view.Follow(121);  // target 43, 43 away: the user looks elsewhere
  EXPECT_EQ(g.view.ScrollX(), 0);
}

TEST(GraphDetail, RightClickPicksTheFirstRecordWithThePoint) {
  DocFixture f;
  f.app.optionFlags = kOptionContextMenu;
  auto* a = f.doc.InsertRegistered(MakeRecord(1, 1, 1, 200, 7.2, 500.0));
  f.doc.ToggleOverlay(a);
  for (int t = 0; t <= 50; ++t)
    AddPoint(f.doc.Current(), t, 3.7);
  ShownGraph g(f);
  EXPECT_TRUE(g.view.PrepareDetail(340));
  EXPECT_EQ(g.view.DetailRecord(), a);
  EXPECT_EQ(g.view.DetailTime(), 100);
  EXPECT_TRUE(g.view.PrepareDetail(100));
  EXPECT_EQ(g.view.DetailRecord(), &f.doc.Current());
  // No point at that second: no menu.
  EXPECT_FALSE(g.view.PrepareDetail(40 + 3 * 300));
  EXPECT_EQ(g.view.DetailRecord(), nullptr);
  // While a measurement runs: no menu.
  f.app.runActive = true;
  EXPECT_FALSE(g.view.PrepareDetail(340));
  EXPECT_EQ(g.view.DetailRecord(), nullptr);
}

TEST(GraphStatus, RefreshAndFollowReportTheMeasurementStatus) {
  DocFixture f;
  CGraphView view(f.doc);
  QString last = "unset";
  view.SetStatusHandler([&](const QString& s) { last = s; });
  view.Refresh();
  EXPECT_TRUE(last.isEmpty());
  f.app.runActive = true;
  view.Follow(10);
  EXPECT_EQ(last, QString::fromUtf8("放電計測中"));
  f.app.runActive = false;
  view.Refresh();
  EXPECT_TRUE(last.isEmpty());
}

TEST(GraphStatus, PaintingChangesNeitherTheStatusNorTheScrollRange) {
  // The bitmap export paints the view's graph into its image: neither that
  // nor a paint on the screen may touch the view or the status bar.
  DocFixture f;
  for (int t = 0; t <= 400; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  ShownGraph g(f);
  int reports = 0;
  g.view.SetStatusHandler([&](const QString&) { ++reports; });
  f.app.runActive = true;
  Render(g.view, false, 1400, 330);
  QImage screen(400, 339, QImage::Format_RGB32);
  QPainter p(&screen);
  g.view.Draw(p, screen.rect(), false);
  p.end();
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(g.view.ContentWidth(), 200);
  EXPECT_EQ(g.view.horizontalScrollBar()->maximum(), 0);
  g.view.Refresh();
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(g.view.ContentWidth(), 400 * 3 + 80);
}

// --- The fixed voltage strip and the fitted time axis -----------------------

TEST(GraphStrip, AtTheStartTheStripIsThePlainPicture) {
  for (bool grid : {false, true}) {
    DocFixture f;
    for (int t = 0; t <= 400; ++t)
      AddPoint(f.doc.Current(), t, 6.0 + (t % 50) / 25.0);
    CGraphView view(f.doc);
    view.ApplySettings(Settings(3, grid));
    view.resize(400, 339);
    view.show();
    view.Refresh();
    const QImage plain = Grab(view);
    view.SetVoltStrip(true);
    const QImage strip = Grab(view);
    // The strip's axis lies over the curves' first pixels; all else is alike.
    const QRect left(0, 0, kGraphLeft, plain.height());
    const QRect right(kGraphLeft + 1, 0, plain.width() - kGraphLeft - 1, plain.height());
    EXPECT_EQ(strip.copy(left), plain.copy(left)) << grid;
    EXPECT_EQ(strip.copy(right), plain.copy(right)) << grid;
  }
}

TEST(GraphStrip, TheStripStaysWhileTheCurvesScrollUnderIt) {
  DocFixture f;
  for (int t = 0; t <= 1200; ++t)
    AddPoint(f.doc.Current(), t, 6.0 + (t % 50) / 25.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(3, true));
  view.resize(400, 339);
  view.show();
  view.SetVoltStrip(true);
  view.Refresh();
  view.horizontalScrollBar()->setValue(500);
  const QImage first = Grab(view);
  view.horizontalScrollBar()->setValue(1650);
  const QImage second = Grab(view);
  // The strip: the columns up to the axis, from the top to the time axis.
  const QRect strip(0, 0, kGraphLeft + 1, kGraphTop + kGraphPlotHeight + 1);
  EXPECT_EQ(first.copy(strip), second.copy(strip));
  EXPECT_TRUE(AnyPixel(first, QRect(5, 140, 30, 20), kWhite));  // the labels are there
  EXPECT_TRUE(AnyPixel(first, QRect(kGraphLeft, 5, 1, 290), kAxis));
  const QRect plot(kGraphLeft + 1, 0, 300, strip.height());
  EXPECT_NE(first.copy(plot), second.copy(plot));
  // Without the strip the labels scroll away.
  view.SetVoltStrip(false);
  EXPECT_FALSE(AnyPixel(Grab(view), QRect(5, 140, 30, 20), kWhite));
}

TEST(GraphFit, TheTimeAxisFitsTheViewAndGrowsWithIt) {
  DocFixture f;
  for (int t = 0; t <= 1341; ++t)
    AddPoint(f.doc.Current(), t, 6.0);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(3));
  view.resize(800, 339);
  view.show();
  view.Refresh();
  EXPECT_EQ(view.ContentWidth(), 1341 * 3 + 80);
  view.SetFitTime(true);
  for (int width : {800, 1200, 500}) {
    view.resize(width, 339);
    QApplication::processEvents();
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0) << width;
    EXPECT_EQ(view.ScrollX(), 0);
    const int right = view.viewport()->width() - kGraphLeft;
    EXPECT_EQ(view.GetScale().XOf(1341), right) << width;
    const QImage img = Grab(view);
    EXPECT_TRUE(AnyPixel(img, QRect(right - 1, 150, 2, 5), kCyan)) << width;
    EXPECT_FALSE(AnyPixel(img, QRect(right + 1, 150, kGraphLeft - 1, 5), kCyan)) << width;
  }
  // The bitmap export keeps the integer scale.
  EXPECT_EQ(view.GetScale().timeScale, 3);
  QImage exported = Render(view, false, 1341 * 3 + 80, 330);
  EXPECT_TRUE(AnyPixel(exported, QRect(40 + 1341 * 3 - 2, 150, 2, 5), kCyan));
  // Off again: the integer scale and the scrolling come back.
  view.SetFitTime(false);
  EXPECT_FALSE(view.GetScale().Fitted());
  EXPECT_EQ(view.ContentWidth(), 1341 * 3 + 80);
}

TEST(GraphFit, FollowKeepsTheNewestPointInViewInBothModes) {
  for (bool fit : {false, true}) {
    DocFixture f;
    ShownGraph g(f);
    g.view.SetFitTime(fit);
    f.app.runActive = true;
    for (int t = 0; t <= 900; ++t) {
      AddPoint(f.doc.Current(), t, 6.0);
      g.view.Follow(t);
      const int x = g.view.GetScale().XOf(t) - g.view.ScrollX();
      ASSERT_GE(x, kGraphLeft) << fit << " " << t;
      ASSERT_LT(x, g.view.viewport()->width()) << fit << " " << t;
    }
    f.app.runActive = false;
  }
}

// The cursor line's columns in a row the curves and texts leave free.
std::vector<int> CursorColumns(CGraphView& view) {
  const QImage img = Grab(view);
  std::vector<int> columns;
  for (int x = kGraphLeft + 1; x < img.width(); ++x)
    if (img.pixel(x, 100) == kAxis) columns.push_back(x);
  return columns;
}

TEST(GraphFit, TheCursorKeepsItsSecondAndReadoutWhenTheFittedScaleChanges) {
  DocFixture f;
  f.app.runActive = true;
  CMeasureData& run = f.doc.Current();
  for (int t = 0; t <= 1341; ++t)
    AddPoint(run, t, 6.0 + t % 7 * 0.01);
  CGraphView view(f.doc);
  view.ApplySettings(Settings(3));
  view.resize(800, 339);
  view.show();
  view.SetFitTime(true);
  QApplication::processEvents();
  const int second = view.CursorUpdate(400);
  ASSERT_GT(second, 0);
  const std::string text = view.CursorTimeText();
  const std::vector<CGraphView::CursorLabel> labels = view.CursorLabels();
  auto expectAtTheSecond = [&](const char* step) {
    const int x = view.GetScale().XOf(second);
    EXPECT_EQ(view.CursorX(), x) << step;
    EXPECT_EQ(CursorColumns(view), std::vector<int>({x})) << step;
    EXPECT_EQ(view.CursorTimeText(), text) << step;
    ASSERT_EQ(view.CursorLabels().size(), 1u) << step;
    EXPECT_EQ(view.CursorLabels()[0].v, labels[0].v) << step;
  };
  // At 1600 pixels a second takes more than one, at 300 several share one.
  for (int width : {1600, 300, 1080}) {
    view.resize(width, 339);
    QApplication::processEvents();
    expectAtTheSecond("resize");
    view.Refresh();
    expectAtTheSecond("refresh");
  }
  // The run grows the fitted span to three seconds a pixel, where the
  // cursor's second is not the first of its pixel.
  const int span = view.GetScale().fitSpan;
  for (int t = 1342; view.GetScale().fitSpan == span; ++t) {
    AddPoint(run, t, 5.0);
    view.Follow();
  }
  expectAtTheSecond("the span grew");
  view.Refresh();
  expectAtTheSecond("refresh during the run");
  f.app.runActive = false;
}

TEST(GraphSettingsTest, TimeScaleBelowOneIsTakenAsOne) {
  DocFixture f;
  CGraphView view(f.doc);
  view.ApplySettings(Settings(0));
  EXPECT_EQ(view.GetScale().timeScale, 1);
}

// --- Fonts -----------------------------------------------------------------

TEST(Fonts, MsGothicMapsToAnInstalledJapaneseGothic) {
  const QString family = GothicFamily();
  EXPECT_EQ(family, "IPAGothic");
  EXPECT_EQ(MapFaceName(QString::fromUtf8("ＭＳ ゴシック")), family);
  EXPECT_EQ(MapFaceName(QString::fromUtf8("ＭＳ　ゴシック")), family);
  EXPECT_EQ(MapFaceName("Arial"), "Arial");
  const QFontInfo info(GothicFont(12));
  EXPECT_EQ(info.family(), family);
  EXPECT_EQ(info.pixelSize(), 12);
}

TEST(Fonts, TheGraphPaintsWithTheGothicFace) {
  // Japanese text painted with the mapped face has glyphs (no empty boxes
  // from a Latin-only fallback): the rendering differs from a Latin face's.
  QImage a(60, 20, QImage::Format_RGB32), b(60, 20, QImage::Format_RGB32);
  a.fill(Qt::black);
  b.fill(Qt::black);
  QPainter pa(&a);
  pa.setFont(GothicFont(12));
  pa.setPen(Qt::white);
  pa.drawText(2, 14, QString::fromUtf8("放電"));
  EXPECT_EQ(QFontInfo(pa.font()).family(), GothicFamily());
  pa.end();
  QPainter pb(&b);
  pb.setFont(GothicFont(12));
  pb.setPen(Qt::white);
  pb.drawText(2, 14, QString::fromUtf8("計測"));
  pb.end();
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace qv::ui
