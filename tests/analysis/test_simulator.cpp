#include <gtest/gtest.h>

#include "analysis/simulator.h"
#include "analysis/virtual_curve.h"
#include "analysis_fixture.h"

namespace qv::test {
namespace {

GraphSettings DefaultGraph() {
  GraphSettings g;
  g.maxV = 12.0;
  g.minV = 0.0;
  g.gapY = 1.0;
  g.grid = false;
  g.gapX = 1;
  return g;
}

// A six-cell record with R = 20 mOhm, 20.0 A at 118 s and 7.50 V at 120 s.
std::unique_ptr<CMeasureData> EmfRecord(double v120 = 7.50) {
  auto r = Source(20.0, 20.0);
  r->cells = 6;
  r->AppendPoint(Pt(100, 7.8, 20.0, 500.0));
  r->AppendPoint(Pt(118, 7.6, 20.0, 600.0));
  r->AppendPoint(Pt(120, v120, 0.0, 610.0));
  return r;
}

// --- EMF comparison ------------------------------------------------------------

TEST(EmfComparison, PerCellValueOfTheExample) {
  auto r = EmfRecord();
  EXPECT_NEAR(r->GetEmfVoltage(), 7.90, 1e-12);
  EXPECT_NEAR(EmfPerCell(*r), 7.90 / 6, 1e-12);
  CEmfComparison emf({{r.get(), 2}});
  auto bars = emf.Bars();
  ASSERT_EQ(bars.size(), 1u);
  EXPECT_EQ(bars[0].text, "1.317V");
  EXPECT_EQ(bars[0].slot, 2);
  EXPECT_EQ(bars[0].color, 0xFF00FFu);
  // The largest value is the scale top: its bar spans the full 256 pixels
  // (one less when the truncation falls short).
  EXPECT_NEAR(emf.ScaleTop(), 7.90 / 6, 1e-12);
  EXPECT_GE(bars[0].rect.top, 350 - 256);
  EXPECT_LE(bars[0].rect.top, 350 - 255);
  EXPECT_EQ(bars[0].rect.left, 34);
  EXPECT_EQ(bars[0].rect.right, 54);
  EXPECT_EQ(bars[0].rect.bottom, 350);
  EXPECT_EQ(bars[0].textAt, (PixelPoint{28, bars[0].rect.top - 12}));
}

TEST(EmfComparison, MissingPointsAroundTwoMinutesGiveNoBar) {
  auto noQ = Source(20.0, 20.0);
  noQ->AppendPoint(Pt(115, 7.6));
  noQ->AppendPoint(Pt(120, 7.5));
  auto noP = Source(20.0, 20.0);
  noP->AppendPoint(Pt(119, 7.6));
  noP->AppendPoint(Pt(121, 7.5));
  CEmfComparison emf({{noQ.get(), 3}, {noP.get(), 4}});
  EXPECT_TRUE(emf.Bars().empty());
  EXPECT_DOUBLE_EQ(emf.ScaleTop(), CEmfComparison::kInitialScaleTop);
}

TEST(EmfComparison, VirtualCurvesAndRecordsWithoutPirShowNoBar) {
  auto src = EmfRecord();
  CMeasureData virt;
  MakeVirtualCurve(virt, *src, 30.0, {0, 9999});
  auto noPir = EmfRecord(9.0);  // would raise the scale top
  noPir->pir = 0.0;
  const std::vector<DisplayedRecord> list{{&virt, 1}, {noPir.get(), 5}};
  CEmfComparison emf(list);
  EXPECT_TRUE(emf.Bars().empty());
  EXPECT_DOUBLE_EQ(emf.ScaleTop(), CEmfComparison::kInitialScaleTop);
}

TEST(EmfComparison, ZeroCellsShowNoBarAndDoNotCrash) {
  auto r = EmfRecord();
  r->cells = 0;
  EXPECT_DOUBLE_EQ(EmfPerCell(*r), 0.0);
  CEmfComparison emf({{r.get(), 2}});
  EXPECT_TRUE(emf.Bars().empty());
  EXPECT_DOUBLE_EQ(emf.ScaleTop(), CEmfComparison::kInitialScaleTop);
}

TEST(EmfComparison, BarsRunFromTheLastDrawnRecordAndShareTheScale) {
  // Per cell 1.35 and 1.31 (six cells: 8.10 V and 7.86 V).
  auto high = EmfRecord(8.10 - 0.4);
  auto low = EmfRecord(7.86 - 0.4);
  auto below = EmfRecord(7.0 - 0.4);  // 1.1667 per cell: under the base
  CEmfComparison emf({{high.get(), 1}, {low.get(), 2}, {below.get(), 3}});
  EXPECT_NEAR(emf.ScaleTop(), 1.35, 1e-12);
  auto bars = emf.Bars();
  ASSERT_EQ(bars.size(), 3u);
  EXPECT_EQ(bars[0].record, below.get());
  EXPECT_EQ(bars[0].rect.top, 350);  // no height below the base
  EXPECT_EQ(bars[1].record, low.get());
  EXPECT_EQ(bars[1].rect.left, 10 + 24 + 44);
  EXPECT_EQ(bars[2].record, high.get());
  EXPECT_EQ(bars[2].rect.left, 10 + 24 + 88);
  EXPECT_EQ(bars[2].text, "1.350V");
  EXPECT_GE(bars[2].rect.top, 94);
  EXPECT_LE(bars[2].rect.top, 95);
  const int lowHeight = 350 - bars[1].rect.top;
  EXPECT_EQ(lowHeight, static_cast<int>((1.31 - CEmfComparison::kScaleBase) * emf.PixelsPerVolt()));
}

// --- Simulator -----------------------------------------------------------------

std::unique_ptr<CMeasureData> SimSource(double current) {
  auto r = Source(current, 10.0);
  for (int t = 0; t <= 300; t += 10)
    r->AppendPoint(Pt(t, 8.0 - t * 0.001, current, current / 3.6 * t));
  return r;
}

TEST(VirtualSimulator, StartCurrentIsTheLargestCurrentRoundedUp) {
  auto a = SimSource(10.0), b = SimSource(15.0), c = SimSource(15.5);
  CVirtualSimulator sim({{a.get(), 1}, {b.get(), 2}, {c.get(), 3}}, DefaultGraph(), {0, 0});
  EXPECT_EQ(sim.StartCurrent(), 16);
  EXPECT_EQ(sim.Current(), 16);
  EXPECT_EQ(sim.SetCurrent(5), 16);
  EXPECT_EQ(sim.SetCurrent(2000), 1000);
  EXPECT_EQ(sim.SetCurrent(40), 40);

  auto d = SimSource(20.0);
  EXPECT_EQ(CVirtualSimulator({{d.get(), 1}}, DefaultGraph(), {}).StartCurrent(), 20);
  auto e = SimSource(20.5);
  EXPECT_EQ(CVirtualSimulator({{e.get(), 1}}, DefaultGraph(), {}).StartCurrent(), 21);
  auto f = SimSource(0.5);
  EXPECT_EQ(CVirtualSimulator({{f.get(), 1}}, DefaultGraph(), {}).StartCurrent(), 1);
  EXPECT_EQ(CVirtualSimulator({}, DefaultGraph(), {}).StartCurrent(), 1);
}

TEST(VirtualSimulator, OnlySuitableRecordsAreSimulatedWithTheirSlots) {
  auto a = SimSource(10.0);
  auto uneven = SimSource(20.0);
  uneven->currentC = 10.0;
  auto noPir = SimSource(20.0);
  noPir->pir = 0.0;
  auto b = SimSource(12.0);
  CVirtualSimulator sim({{a.get(), 1}, {uneven.get(), 2}, {noPir.get(), 3}, {b.get(), 5}},
                        DefaultGraph(), {0, 0});
  ASSERT_EQ(sim.Sources().size(), 2u);
  EXPECT_EQ(sim.Sources()[0], a.get());
  EXPECT_EQ(sim.Sources()[1], b.get());
  EXPECT_EQ(sim.StartCurrent(), 12);
  EXPECT_EQ(sim.Slots(), (std::vector<int>{1, 5}));

  sim.SetCurrent(30);
  for (size_t i = 0; i < 2; ++i) {
    CMeasureData expect;
    MakeVirtualCurve(expect, *sim.Sources()[i], 30.0, {0, 0});
    EXPECT_EQ(sim.Simulated()[i]->Points(), expect.Points());
    EXPECT_DOUBLE_EQ(sim.Simulated()[i]->currentA, 30.0);
  }
  // Painting order: the last simulated record first.
  auto curves = sim.Curves();
  ASSERT_EQ(curves.size(), 2u);
  EXPECT_EQ(curves[0].slot, 5);
  EXPECT_EQ(curves[0].color, 0x00FF00u);
  EXPECT_EQ(curves[1].slot, 1);
}

TEST(VirtualSimulator, CommandsNeedASuitableDrawnRecord) {
  CAppState app;
  CBrenlowDoc doc(app);
  EXPECT_FALSE(CanOpenSimulator(doc));
  EXPECT_FALSE(CanOpenEmfComparison(doc));
  auto uneven = SimSource(20.0);
  uneven->currentC = 10.0;
  CMeasureData* u = doc.InsertRegistered(std::move(uneven));
  doc.ToggleOverlay(u);
  EXPECT_FALSE(CanOpenSimulator(doc));
  EXPECT_TRUE(CanOpenEmfComparison(doc));  // R and PIR suffice there
  CMeasureData* s = doc.InsertRegistered(SimSource(20.0));
  doc.ToggleOverlay(s);
  EXPECT_TRUE(CanOpenSimulator(doc));
  app.runActive = true;
  EXPECT_FALSE(CanOpenSimulator(doc));
  EXPECT_FALSE(CanOpenEmfComparison(doc));
}

TEST(PlotGeometry, MapsLikeTheGraphView) {
  CVirtualSimulator sim({}, DefaultGraph(), {});
  PlotMapping m = sim.Mapping();
  // 6.0 V at 100 s: x = 10 + 40 + 100, y = 100 + trunc(295 - 147.5) + 5.
  EXPECT_EQ(m.At(100, 6.0), (PixelPoint{150, 252}));
  EXPECT_EQ(sim.AxisWidth(), 600);

  PlotFrame f = sim.Frame();
  EXPECT_EQ(f.voltageAxis, (LineSegment{{50, 105}, {50, 400}}));
  EXPECT_EQ(f.timeAxis, (LineSegment{{50, 400}, {650, 400}}));
  ASSERT_EQ(f.timeTicks.size(), 61u);  // 0 .. 600 s every 10 s
  EXPECT_TRUE(f.timeTicks[0].labelled);
  EXPECT_EQ(f.timeTicks[0].label, "0");
  EXPECT_EQ(f.timeTicks[0].line, (LineSegment{{50, 400}, {50, 405}}));
  EXPECT_EQ(f.timeTicks[0].labelRect, (PixelRect{32, 405, 70, 415}));
  EXPECT_FALSE(f.timeTicks[1].labelled);
  EXPECT_EQ(f.timeTicks[1].line, (LineSegment{{60, 400}, {60, 404}}));
  EXPECT_EQ(f.timeTicks[5].label, "50");
  ASSERT_EQ(f.voltageTicks.size(), 13u);
  EXPECT_EQ(f.voltageTicks[6].label, "6.00");
  EXPECT_EQ(f.voltageTicks[6].line, (LineSegment{{45, 252}, {50, 252}}));
  EXPECT_EQ(f.voltageTicks[6].labelRect, (PixelRect{15, 247, 45, 257}));
  EXPECT_FALSE(f.dottedGrid);

  GraphSettings g = DefaultGraph();
  g.grid = true;
  g.gapX = 3;
  CVirtualSimulator gridSim({}, g, {});
  PlotFrame gf = gridSim.Frame();
  EXPECT_TRUE(gf.dottedGrid);
  EXPECT_EQ(gf.voltageTicks[0].line.to.x, 650);
  EXPECT_EQ(gf.timeTicks.size(), 21u);  // 600 / 3 = 200 s
}

TEST(PlotGeometry, DegenerateSettingsDoNotHang) {
  GraphSettings g;  // all zero, as a settings file without graph keys gives
  g.maxV = 0.0;
  g.minV = 0.0;
  g.gapY = 0.0;
  g.gapX = 0;
  CVirtualSimulator sim({}, g, {});
  PlotFrame f = sim.Frame();
  EXPECT_EQ(f.voltageTicks.size(), 1u);
  EXPECT_EQ(f.timeTicks.size(), 61u);
  (void)sim.Mapping().Y(3.0);
}

TEST(PlotGeometry, CurveStartsAtTheFirstPointInsideThePlot) {
  auto r = Source(36.0, 0.001);  // negligible drop
  r->endVoltage = 0.5;
  r->AppendPoint(Pt(0, 14.0, 36.0, 0.0));   // above 12 V: outside
  r->AppendPoint(Pt(10, 13.0, 36.0, 0.0));  // outside
  r->AppendPoint(Pt(20, 6.0, 36.0, 0.0));   // inside: the curve starts
  r->AppendPoint(Pt(30, 13.0, 36.0, 0.0));  // outside again, still joined
  r->AppendPoint(Pt(100, 6.0, 36.0, 1000.0));
  CVirtualSimulator sim({{r.get(), 2}}, DefaultGraph(), {});
  ASSERT_EQ(sim.StartCurrent(), 36);
  // 36 A delivers the source's 1000 mAh in 100 s: the time axis is unchanged.
  auto curves = sim.Curves();
  ASSERT_EQ(curves.size(), 1u);
  ASSERT_EQ(curves[0].points.size(), 3u);
  EXPECT_EQ(curves[0].points[0].x, 10 + 40 + 20);
  EXPECT_EQ(curves[0].points[1].x, 10 + 40 + 30);
  EXPECT_LT(curves[0].points[1].y, 100);  // outside the rectangle
}

}  // namespace
}  // namespace qv::test
