#include "output/print_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "data/codec.h"
#include "output/record_texts.h"
#include "output_test_util.h"

namespace qv {
namespace {

using test::AddPoints;
using test::Find;
using test::MakeRecord;

PrintSettings DefaultSettings(int form) {
  PrintSettings s;
  s.topX = 9;
  s.topY = 21;
  s.labelW = 24;
  s.labelH = 33;
  s.labelGX = 4;
  s.labelGY = 4;
  s.graphWS = 600;
  s.labelCX = 7;
  s.labelCY = 7;
  s.form = form;
  s.font = Sj("ＭＳ ゴシック");
  return s;
}

PrinterDevice A4() {
  PrinterDevice d;
  d.dpiX = d.dpiY = 600;
  d.offsetX = d.offsetY = 100;
  d.paperWidth = 4961;
  d.paperHeight = 7016;
  return d;
}

PrintLayout Layout(int form) {
  PrintLayout l;
  l.settings = DefaultSettings(form);
  l.metrics = ComputePageMetrics(A4(), l.settings);
  l.graph = GraphSettings{12.0, 0.0, false, 1, 1.0};
  return l;
}

const DrawItem* FindText(const DrawList& list, const std::string& text) {
  for (const DrawItem& d : list.items)
    if (d.text == text) return &d;
  return nullptr;
}

TEST(PageMetrics, A4TableAtNineMillimetres) {
  PrintSettings s = DefaultSettings(kPrintTable);
  PageMetrics m = ComputePageMetrics(A4(), s);
  EXPECT_EQ(m.offsetX, 4);
  EXPECT_EQ(m.offsetY, 4);
  EXPECT_EQ(m.pageWidth, 210);
  EXPECT_EQ(m.pageHeight, 297);
  EXPECT_EQ(m.pitch, 27);
  EXPECT_EQ(m.fontSize, 189);
  EXPECT_EQ(m.recordsPerTablePage, 44);
  EXPECT_EQ(m.charHeight, 189 * 2 / 15);  // 96 dots per inch without a screen
  PrinterDevice d = A4();
  d.screenDpiY = 120;
  EXPECT_EQ(ComputePageMetrics(d, s).charHeight, 189 * 120 / 720);
  s.tableLine = 3;
  EXPECT_EQ(ComputePageMetrics(A4(), s).recordsPerTablePage, (2550 / 27 - 6) / 3);
  EXPECT_EQ(ComputePageMetrics(A4(), DefaultSettings(kPrintGraphs)).pitch, 27);
}

TEST(PageMetrics, MarginsWiderThanThePaperKeepAPitch) {
  PrintSettings s = DefaultSettings(kPrintTable);
  s.topX = 200;
  s.topY = 200;
  PageMetrics m = ComputePageMetrics(A4(), s);
  EXPECT_GE(m.pitch, 1);
  EXPECT_GE(m.recordsPerTablePage, 1);
}

TEST(PageMetrics, LabelPitchByType) {
  PrintSettings s = DefaultSettings(kPrintLabels);
  PageMetrics m = ComputePageMetrics(A4(), s);
  EXPECT_EQ(m.pitch, 25);
  EXPECT_EQ(m.fontSize, 225);
  EXPECT_EQ(m.charHeight, 30);
  s.labelType = 1;
  m = ComputePageMetrics(A4(), s);
  EXPECT_EQ(m.pitch, 22);  // o = 34, t = 11: 306 >= 198
  EXPECT_EQ(m.fontSize, 198);
  s.labelType = 7;
  m = ComputePageMetrics(A4(), s);
  EXPECT_EQ(m.pitch, 20);
  EXPECT_EQ(m.fontSize, 180);
}

TEST(PageMetrics, PaperToLogical) {
  PageMetrics m = ComputePageMetrics(A4(), DefaultSettings(kPrintTable));
  EXPECT_EQ(PaperToLogical(m, 90, 210), std::make_pair(50, -170));
}

TEST(TableLayout, ColumnsWithGapBeforeTheCurrents) {
  auto e = TableColumnEdges(90, 27);
  ASSERT_EQ(e.size(), 15u);
  EXPECT_EQ(e[0], std::make_pair(90, 252));
  EXPECT_EQ(e[1], std::make_pair(252, 522));
  EXPECT_EQ(e[8], std::make_pair(1224, 1305));
  EXPECT_EQ(e[9], std::make_pair(1310, 1445));
  EXPECT_EQ(e[14].second, 90 + 71 * 27 + 5);
}

TEST(TableLayout, PageWithTitleHeaderRowsAndLogo) {
  PrintLayout l = Layout(kPrintTable);
  auto a = MakeRecord(1, 2, 3);
  a->remark = Sj("備考");
  a->AppendPoint({3600, 10.0, 6.0, 1500.9, 7.2});
  auto b = MakeRecord(1, 2, 4);
  PrintPage page;
  page.records = {a.get(), b.get()};
  DrawList d = TablePageList(l, page, 1, 2);
  EXPECT_EQ(Cp932ToUtf8(d.fontFace), "ＭＳ ゴシック");
  EXPECT_EQ(d.fontSize, 189);
  const DrawItem* title = FindText(d, Sj("計測データ一覧表"));
  ASSERT_TRUE(title);
  EXPECT_EQ(title->align, HAlign::kCenter);
  EXPECT_EQ(title->x1, 90);
  EXPECT_EQ(title->x2, 2010);
  EXPECT_EQ(title->y1, 210);
  EXPECT_EQ(title->y2, 237);
  const DrawItem* pageNo = FindText(d, "(Page 1/2)");
  ASSERT_TRUE(pageNo);
  EXPECT_EQ(pageNo->align, HAlign::kRight);
  // Header line 1 at top + 2p: an empty cell over columns 1 and 2, then titles.
  const DrawItem* titleCurrent = FindText(d, Sj("放電電流Ａ"));
  ASSERT_TRUE(titleCurrent);
  EXPECT_EQ(titleCurrent->y1, 264);
  EXPECT_EQ(titleCurrent->y2, 264 + 28);
  EXPECT_EQ(titleCurrent->x1, 1310);
  EXPECT_EQ(titleCurrent->align, HAlign::kCenter);
  EXPECT_TRUE(titleCurrent->frame);
  EXPECT_EQ(titleCurrent->inset, 13);
  const DrawItem* idUnit = FindText(d, Sj("登録ID"));
  ASSERT_TRUE(idUnit);
  EXPECT_EQ(idUnit->y1, 291);
  EXPECT_EQ(idUnit->align, HAlign::kLeft);
  EXPECT_EQ(FindText(d, Sj("mΩ"))->align, HAlign::kRight);
  // First record at top + 4p.
  const DrawItem* id = FindText(d, "001-002-003");
  ASSERT_TRUE(id);
  EXPECT_EQ(id->y1, 318);
  EXPECT_EQ(id->align, HAlign::kCenter);
  const char* texts[] = {"2024/03/05 14:07:09",
                         "3600",
                         "1500",
                         "10806",
                         "7.123",
                         "7.200",
                         "45.7",
                         "12.3",
                         "10.0",
                         "5.0",
                         "1.5",
                         "6",
                         "5.4",
                         "300"};
  const DrawItem* cell = id + 1;
  for (const char* t : texts) {
    EXPECT_EQ(cell->text, t);
    ++cell;
  }
  const DrawItem* remark = FindText(d, Sj("備考"));
  ASSERT_TRUE(remark);
  EXPECT_FALSE(remark->frame);
  EXPECT_EQ(remark->y1, 345);
  EXPECT_EQ(remark->y2, 372);
  EXPECT_EQ(remark->x1 + remark->inset, 90 + 13);
  EXPECT_EQ(remark->x2 - remark->inset, 2012 - 13);
  EXPECT_EQ(FindText(d, "001-002-004")->y1, 372);
  // Logo and notice under the second record (ends at 426).
  auto images = Find(d, DrawKind::kImage);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->image, LogoImage::kHorizontal);
  EXPECT_EQ(images[0]->x1, 90);
  EXPECT_EQ(images[0]->y1, 436);
  EXPECT_EQ(images[0]->x2, 90 + 213);
  EXPECT_EQ(images[0]->y2, 490);
  const DrawItem* notice = FindText(d, kMakerNotice);
  ASSERT_TRUE(notice);
  EXPECT_EQ(notice->x1, 313);
  EXPECT_EQ(notice->x2, 2010);
  EXPECT_EQ(notice->y1, 463);
  EXPECT_EQ(notice->y2, 490);
}

TEST(TableLayout, OneLinePerRecordHasNoRemark) {
  PrintLayout l = Layout(kPrintTable);
  l.settings.tableLine = 1;
  auto a = MakeRecord(1, 2, 3);
  a->remark = "note";
  PrintPage page;
  page.records = {a.get()};
  DrawList d = TablePageList(l, page, 1, 1);
  EXPECT_FALSE(FindText(d, "note"));
  EXPECT_EQ(Find(d, DrawKind::kImage)[0]->y1, 318 + 27 + 10);
}

class GraphLayout : public ::testing::Test {
 protected:
  PrintLayout l = Layout(kPrintGraphs);
  // The first cell of an A4 portrait page with 2 x 3 graphs.
  const int left = 90, top = 210, right = 1050, bottom = 907;
  const int pl = 252, pr = 996, pt = 291, pb = 799;

  std::vector<const DrawItem*> TimeTicks(const DrawList& d) {
    std::vector<const DrawItem*> out;
    for (const DrawItem* i : Find(d, DrawKind::kLine))
      if (i->x1 == i->x2 && i->y1 == pb && i->y2 > pb) out.push_back(i);
    return out;
  }
};

TEST_F(GraphLayout, PageGeometry) {
  GraphPageGeometry g = ComputeGraphPageGeometry(l);
  EXPECT_EQ(g.areaEnd, 2301);
  EXPECT_EQ(g.cellHeight, 697);
  EXPECT_EQ(g.cellWidth, 960);
  auto a = MakeRecord(1, 1, 1);
  auto b = MakeRecord(1, 1, 2);
  auto c = MakeRecord(1, 1, 3);
  PrintPage page;
  page.rows = {{a.get(), b.get()}, {c.get()}};
  DrawList d = GraphPageList(l, page);
  const DrawItem* idB = FindText(d, Sj("登録ID:") + "001-001-002");
  ASSERT_TRUE(idB);
  EXPECT_EQ(idB->x1, 90 + 960 + 162);
  const DrawItem* idC = FindText(d, Sj("登録ID:") + "001-001-003");
  EXPECT_EQ(idC->y1, 210 + 697 + 81 - 54);
  EXPECT_EQ(FindText(d, Sj("放電電流Ａ"))->y1, 2301 + 27);
  EXPECT_EQ(FindText(d, "001-001-001")->y1, 2301 + 81);
  EXPECT_EQ(FindText(d, "001-001-003")->y1, 2301 + 81 + 2 * 54);
  EXPECT_EQ(Find(d, DrawKind::kImage)[0]->y1, 2301 + 81 + 3 * 54 + 10);
}

// A pack's sheet: six of seven cells overlaid in one graph over the whole
// width, each in its overlay slot's colour, the first on top, the span the
// longest run without a graph width; their six table rows below; the
// header line two pitches above the top margin.
TEST_F(GraphLayout, PackSheetOverlaysSixCurvesInTheSlotColours) {
  l.settings.graphWS = 0;
  RecordList cells;
  std::vector<const CMeasureData*> records;
  for (int i = 1; i <= 7; ++i) {
    cells.push_back(MakeRecord(1, 1, i));
    AddPoints(*cells.back(), 100 * i, 10);
    records.push_back(cells.back().get());
  }
  DrawList d = PackGraphPageList(l, records, "P");
  DrawPageHeader(d, l, "HEAD");
  const std::vector<const DrawItem*> curves = Find(d, DrawKind::kPolyline);
  ASSERT_EQ(curves.size(), 6u);
  for (size_t i = 0; i < 6; ++i)  // drawn last to first
    EXPECT_EQ(curves[i]->color, SlotColor(7 - static_cast<int>(i)));
  // The sixth cell's 600 s end at the plot's right edge.
  const int plotRight = l.Right() - 2 * l.Pitch();
  EXPECT_EQ(curves[0]->points.back().first, plotRight);
  // Room for six table rows: the graph ends where six rows leave it.
  const int areaEnd = (297 - 21) * 10 - (6 * 2 + 5) * l.Pitch();
  EXPECT_EQ(FindText(d, "P")->y2, l.Top() + 3 * l.Pitch() - l.Pitch());
  EXPECT_EQ(FindText(d, "001-001-001")->y1, areaEnd + 3 * l.Pitch());
  EXPECT_TRUE(FindText(d, "001-001-006"));
  EXPECT_FALSE(FindText(d, "001-001-007"));
  // The first row's colour mark beside it in the margin.
  const std::vector<const DrawItem*> boxes = Find(d, DrawKind::kCell);
  const auto mark = std::find_if(boxes.begin(), boxes.end(), [](const DrawItem* c) {
    return c->fill && c->fillColor == SlotColor(2);
  });
  ASSERT_NE(mark, boxes.end());
  EXPECT_LT((*mark)->x2, l.Left());
  EXPECT_GE((*mark)->y1, areaEnd + 3 * l.Pitch());
  EXPECT_LE((*mark)->y2, areaEnd + 4 * l.Pitch());
  EXPECT_EQ(FindText(d, "HEAD")->y1, l.Top() - 2 * l.Pitch());
  EXPECT_EQ(FindText(d, "HEAD")->x1, l.Left());
}

TEST_F(GraphLayout, TicksEveryTenSecondsForSixHundred) {
  EXPECT_EQ(TimeTickUnit(600), 5);
  auto r = MakeRecord(1, 1, 1);
  DrawList d;
  DrawGraphCell(d, l, *r, left, top, right, bottom);
  auto ticks = TimeTicks(d);
  ASSERT_EQ(ticks.size(), 61u);
  int longTicks = 0;
  for (const DrawItem* t : ticks)
    if (t->y2 == pb + 21) ++longTicks;
  EXPECT_EQ(longTicks, 13);
  EXPECT_EQ(ticks[1]->x1, pl + 12);
  EXPECT_EQ(ticks[1]->y2, pb + 10);
  for (int s = 0; s <= 600; s += 100) {
    const DrawItem* label = FindText(d, std::to_string(s));
    ASSERT_TRUE(label) << s;
    EXPECT_EQ(label->align, HAlign::kCenter);
    EXPECT_EQ(label->y1, pb + 27);
    EXPECT_EQ(label->y2, pb + 54);
  }
  EXPECT_EQ(FindText(d, "100")->x1, pl + 124 - 54);
  EXPECT_FALSE(FindText(d, "50"));
  const DrawItem* title = FindText(d, Sj("放電時間（秒）"));
  ASSERT_TRUE(title);
  EXPECT_EQ(title->x1, pr - 216);
  EXPECT_EQ(title->y1, pb + 54);
  EXPECT_EQ(title->align, HAlign::kRight);
}

TEST_F(GraphLayout, TicksForAnHourOnTheRecordsOwnSpan) {
  EXPECT_EQ(TimeTickUnit(3600), 20);
  l.settings.graphWS = 0;
  auto r = MakeRecord(1, 1, 1);
  AddPoints(*r, 3600, 60);
  DrawList d;
  DrawGraphCell(d, l, *r, left, top, right, bottom);
  auto ticks = TimeTicks(d);
  EXPECT_EQ(ticks.size(), 91u);
  EXPECT_EQ(std::count_if(ticks.begin(), ticks.end(),
                          [&](const DrawItem* t) { return t->y2 == pb + 21; }),
            19);
  for (int s = 0; s <= 3600; s += 400)
    EXPECT_TRUE(FindText(d, std::to_string(s))) << s;
  EXPECT_FALSE(FindText(d, "200"));
}

TEST_F(GraphLayout, VoltageTicksAndTitles) {
  auto r = MakeRecord(7, 8, 9);
  DrawList d;
  DrawGraphCell(d, l, *r, left, top, right, bottom);
  const DrawItem* six = FindText(d, "6.00");
  ASSERT_TRUE(six);
  EXPECT_EQ(six->x1, pl - 108);
  EXPECT_EQ(six->x2, pl - 40);
  EXPECT_EQ(six->y1, 545 - 13);
  EXPECT_EQ(six->align, HAlign::kRight);
  EXPECT_TRUE(FindText(d, "0.00"));
  EXPECT_TRUE(FindText(d, "12.00"));
  EXPECT_FALSE(FindText(d, "13.00"));
  int tickLines = 0;
  for (const DrawItem* i : Find(d, DrawKind::kLine))
    if (i->y1 == i->y2 && i->x1 == pl - 21 && i->x2 == pl) ++tickLines;
  EXPECT_EQ(tickLines, 13);
  l.graph.grid = true;
  DrawList grid;
  DrawGraphCell(grid, l, *r, left, top, right, bottom);
  int gridLines = 0;
  for (const DrawItem* i : Find(grid, DrawKind::kLine))
    if (i->y1 == i->y2 && i->x1 == pl - 21 && i->x2 == pr) ++gridLines;
  EXPECT_EQ(gridLines, 13);
  const DrawItem* axisTitle = FindText(d, Sj("電池電圧（V）"));
  ASSERT_TRUE(axisTitle);
  EXPECT_EQ(axisTitle->x1, pl - 135);
  EXPECT_EQ(axisTitle->x2, pl + 81);
  EXPECT_EQ(axisTitle->y1, pt - 54);
  EXPECT_EQ(axisTitle->y2, pt - 27);
  const DrawItem* id = FindText(d, Sj("登録ID:") + "007-008-009");
  ASSERT_TRUE(id);
  EXPECT_EQ(id->align, HAlign::kCenter);
  EXPECT_EQ(id->x1, pl);
  EXPECT_EQ(id->x2, pr);
  // The frame and the two axes.
  EXPECT_EQ(d.items[0].kind, DrawKind::kCell);
  EXPECT_TRUE(d.items[0].frame);
  EXPECT_EQ(d.items[0].x2, right);
}

TEST_F(GraphLayout, PointAboveTheMaximumBreaksTheCurve) {
  auto r = MakeRecord(1, 1, 1);
  const double volts[] = {5.0, 6.0, 13.0, 6.0, 5.0, 12.0};
  for (int i = 0; i < 6; ++i)
    r->AppendPoint({i * 10, 1.0, volts[i], 0.0, 0.0});
  r->AppendPoint({610, 1.0, 4.0, 0.0, 0.0});  // beyond the span: not drawn
  r->AppendPoint({620, 1.0, 4.0, 0.0, 0.0});
  DrawList d;
  DrawGraphCell(d, l, *r, left, top, right, bottom);
  auto curves = Find(d, DrawKind::kPolyline);
  ASSERT_EQ(curves.size(), 2u);
  ASSERT_EQ(curves[0]->points.size(), 2u);
  EXPECT_EQ(curves[0]->points[0], std::make_pair(pl, pt + 296));  // 508 * 7 / 12 = 296.3
  EXPECT_EQ(curves[0]->points[1], std::make_pair(pl + 12, 545));
  ASSERT_EQ(curves[1]->points.size(), 3u);
  EXPECT_EQ(curves[1]->points[0].first, pl + 37);                // 30 s: 744 * 30 / 600 = 37.2
  EXPECT_EQ(curves[1]->points[2], std::make_pair(pl + 62, pt));  // 12.0 V lies on the top bound
}

TEST_F(GraphLayout, UnreadableVoltageBreaksTheCurveToo) {
  auto r = MakeRecord(1, 1, 1);
  const double volts[] = {5.0, 6.0, std::numeric_limits<double>::quiet_NaN(), 6.0, 5.0};
  for (int i = 0; i < 5; ++i)
    r->AppendPoint({i * 10, 1.0, volts[i], 0.0, 0.0});
  DrawList d;
  DrawGraphCell(d, l, *r, left, top, right, bottom);
  EXPECT_EQ(Find(d, DrawKind::kPolyline).size(), 2u);
}

TEST_F(GraphLayout, EmptyRecordWithoutSpanDrawsFrameAxesAndTitles) {
  l.settings.graphWS = 0;
  auto r = MakeRecord(1, 1, 1);
  DrawList d;
  DrawGraphCell(d, l, *r, left, top, right, bottom);
  EXPECT_TRUE(TimeTicks(d).empty());
  EXPECT_TRUE(Find(d, DrawKind::kPolyline).empty());
  EXPECT_TRUE(FindText(d, Sj("放電時間（秒）")));
}

class LabelLayout : public ::testing::Test {
 protected:
  PrintLayout l = Layout(kPrintLabels);
  std::unique_ptr<CMeasureData> r = MakeRecord(1, 2, 3);

  void SetUp() override { r->AppendPoint({3600, 10.0, 6.0, 1500.9, 7.2}); }
  DrawList One(int type, bool logo = true) {
    l.settings.labelType = type;
    l.settings.labelNoLogo = logo ? 0 : 1;
    l.metrics = ComputePageMetrics(A4(), l.settings);
    DrawList d;
    DrawLabel(d, l, *r, 90, 210);
    return d;
  }
};

TEST_F(LabelLayout, TypeZeroTwelveLines) {
  DrawList d = One(0);
  auto images = Find(d, DrawKind::kImage);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->image, LogoImage::kHorizontal);
  EXPECT_EQ(images[0]->x1, 110);
  EXPECT_EQ(images[0]->y1, 234);
  EXPECT_EQ(images[0]->x2, 300);
  EXPECT_EQ(images[0]->y2, 281);
  auto texts = Find(d, DrawKind::kText);
  ASSERT_EQ(texts.size(), 9u);
  const std::string expected[] = {"SEC 3600",  "mAh 1500",       "mWh 10806",
                                  "AV  7.200", Sj("IR  45.7mΩ"), "PIR 12.3",
                                  "CUT 5.4",   "DA  10.0",       "001-002-003"};
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(texts[k]->text, expected[k]);
    EXPECT_EQ(texts[k]->x1, 110);
    EXPECT_EQ(texts[k]->y1, 220 + (k + 3) * 25);
  }
  EXPECT_TRUE(Find(One(0, false), DrawKind::kImage).empty());
}

TEST_F(LabelLayout, TypeOneVerticalLogo) {
  DrawList d = One(1);
  auto images = Find(d, DrawKind::kImage);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->image, LogoImage::kVertical);
  EXPECT_EQ(images[0]->x2 - images[0]->x1, 50);
  EXPECT_EQ(images[0]->y2 - images[0]->y1, 198);
  auto texts = Find(d, DrawKind::kText);
  ASSERT_EQ(texts.size(), 9u);
  EXPECT_EQ(texts[0]->x1, 110 + 66);
  EXPECT_EQ(texts[0]->y1, 220);
  EXPECT_EQ(texts[8]->text, "001-002-003");
  EXPECT_EQ(texts[8]->y1, 220 + 8 * 22);
  EXPECT_EQ(texts[4]->text, Sj("IR  45.7mΩ"));
}

TEST_F(LabelLayout, OtherTypeTwoColumns) {
  DrawList d = One(5);
  auto texts = Find(d, DrawKind::kText);
  ASSERT_EQ(texts.size(), 9u);
  EXPECT_EQ(texts[0]->text, "SEC 3600");
  EXPECT_EQ(texts[2]->text, "CUT 5.4");
  EXPECT_EQ(texts[2]->y1, 220 + 40);
  EXPECT_EQ(texts[4]->text, "mWh 10806");
  EXPECT_EQ(texts[4]->x1, 200);
  EXPECT_EQ(texts[6]->text, "IR  45.7");
  EXPECT_EQ(texts[8]->text, "001-002-003");
  EXPECT_EQ(texts[8]->x1, 190);
  EXPECT_EQ(texts[8]->y1, 300);
  auto images = Find(d, DrawKind::kImage);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->y1, 300);
  EXPECT_EQ(images[0]->x2 - images[0]->x1, 79);
  EXPECT_EQ(images[0]->y2 - images[0]->y1, 20);
}

TEST_F(LabelLayout, EveryTextHasItsBoxInsideTheLabel) {
  // Label at (90, 210), 24 mm wide: texts from x0 = 110 to 2 mm inside the
  // right edge, 310.
  for (int type : {0, 1, 5}) {
    const DrawList d = One(type);
    const int lineHeight = std::max(l.metrics.pitch, l.metrics.charHeight);
    for (const DrawItem* t : Find(d, DrawKind::kText)) {
      EXPECT_EQ(t->y2 - t->y1, lineHeight) << type << " " << t->text;
      // The two-column type's left column ends where the right one begins.
      const bool left = type == 5 && t->x1 == 110;
      EXPECT_EQ(t->x2, left ? 200 : 310) << type << " " << t->text;
    }
  }
}

TEST_F(LabelLayout, SheetPositionsSkipBlankSlots) {
  PrintPage page;
  page.rows = {{nullptr, r.get()}, {nullptr, nullptr, r.get()}};
  DrawList d = LabelPageList(l, page);
  auto images = Find(d, DrawKind::kImage);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0]->x1, (9 + 28) * 10 + 20);
  EXPECT_EQ(images[1]->x1, (9 + 2 * 28) * 10 + 20);
  EXPECT_EQ(FindText(d, "SEC 3600")->y1, 210 + 10 + 75);
  EXPECT_EQ(Find(d, DrawKind::kText)[9]->y1, (21 + 37) * 10 + 10 + 75);
}

}  // namespace
}  // namespace qv
