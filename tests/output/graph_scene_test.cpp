#include "output/graph_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <tuple>

#include "output_test_util.h"

namespace qv {
namespace {

using test::Find;

// 12.0 to 0.0 V in steps of 1.0, no grid.
GraphScale Defaults(int timeScale = 1) {
  return ScaleOf(GraphSettings{12.0, 0.0, false, timeScale, 1.0});
}

void AddPoint(CMeasureData& r, int t, double v) {
  r.AppendPoint({t, 0.0, v, 0.0, 0.0});
}

// The curve width of one record `t` seconds long.
int CurveWidthOf(const GraphScale& s, int t) {
  CMeasureData r;
  AddPoint(r, t, 6.0);
  const std::vector<GraphCurve> curves{{&r, 1}};
  return CurveWidth(curves, s);
}

TEST(GraphScale, SixVoltsAtHundredSecondsWithDefaults) {
  const auto s = Defaults(1);
  EXPECT_EQ(s.XOf(100), 140);
  EXPECT_EQ(s.YOf(6.0), 152);
  EXPECT_EQ(s.YOf(12.0), 5);
  EXPECT_EQ(s.YOf(0.0), 300);
}

TEST(GraphScale, VoltageMapTruncatesTowardZero) {
  auto s = Defaults();
  s.maxV = 8.0;
  s.minV = 2.0;
  // k = 295 / 6; y(3.3) = trunc(295 - (3.3k - 2k)) + 5 = trunc(231.083...) + 5
  EXPECT_EQ(s.YOf(3.3), 236);
  // Below the range lies below the axis, not clamped.
  EXPECT_EQ(s.YOf(1.0), 295 + 49 + 5);
}

TEST(GraphScale, TimeTicksEveryTenSecondsLabelsEveryFifty) {
  const auto s = Defaults(3);
  const auto ticks = TimeTicks(120 * 3, s);
  ASSERT_EQ(ticks.size(), 13u);  // 0, 10, ... 120
  EXPECT_EQ(ticks[0].t, 0);
  EXPECT_EQ(ticks[0].x, 40);
  EXPECT_TRUE(ticks[0].label);
  EXPECT_EQ(ticks[0].length, 5);
  EXPECT_EQ(ticks[1].x, 70);
  EXPECT_FALSE(ticks[1].label);
  EXPECT_EQ(ticks[1].length, 4);
  EXPECT_TRUE(ticks[5].label);
  EXPECT_EQ(ticks[5].t, 50);
  EXPECT_TRUE(ticks[10].label);
  // Width 0: one tick at 0.
  ASSERT_EQ(TimeTicks(0, s).size(), 1u);
  // A partial step: 119 s still ends at 110.
  EXPECT_EQ(TimeTicks(119 * 3, s).back().t, 110);
}

TEST(GraphScale, VoltTicksAccumulateTheStep) {
  auto s = Defaults();
  auto ticks = VoltTicks(s);
  ASSERT_EQ(ticks.size(), 13u);
  EXPECT_DOUBLE_EQ(ticks[0].v, 0.0);
  EXPECT_EQ(ticks[0].y, 300);
  EXPECT_EQ(ticks[12].y, 5);
  // 0.1 accumulated ten times lands a rounding error below 1.0: the top
  // tick is drawn at 0.9999..., one pixel row as 1.0 would be.
  s.maxV = 1.0;
  s.stepV = 0.1;
  ticks = VoltTicks(s);
  ASSERT_EQ(ticks.size(), 11u);
  EXPECT_LT(ticks.back().v, 1.0);
  EXPECT_EQ(ticks.back().y, 5);
}

TEST(GraphScale, ZeroStepGivesNoTicksInsteadOfHanging) {
  auto s = Defaults();
  s.stepV = 0.0;
  EXPECT_TRUE(VoltTicks(s).empty());
  s.stepV = -1.0;
  EXPECT_TRUE(VoltTicks(s).empty());
}

TEST(GraphScale, CursorSecondRoundsToTheNearestSecond) {
  const auto s = Defaults(3);
  EXPECT_EQ(CursorSecond(340, 0, s), 100);
  EXPECT_EQ(CursorSecond(341, 0, s), 100);
  EXPECT_EQ(CursorSecond(338, 0, s), 99);
  EXPECT_EQ(CursorSecond(40, 300, s), 100);
  // Left of the axis: truncation toward zero still gives 0 for a few pixels.
  EXPECT_EQ(CursorSecond(38, 0, s), 0);
  EXPECT_EQ(CursorSecond(36, 0, s), -1);
}

TEST(GraphScale, CursorLabelTexts) {
  EXPECT_EQ(CursorLabelText(3.7124, 1), "3.712V");
  EXPECT_EQ(CursorLabelText(7.214, 6), "7.21V");
  EXPECT_EQ(CursorLabelText(12.349, 6), "12.35V");
  EXPECT_EQ(CursorLabelText(12.349, 1), "12.34V");
}

TEST(GraphScale, CurveStartSkipsZeroAndFullScaleVoltages) {
  CMeasureData r;
  AddPoint(r, 0, 0.0);
  AddPoint(r, 1, 12.0);
  AddPoint(r, 2, 13.5);
  AddPoint(r, 3, 11.9);
  AddPoint(r, 4, 0.0);
  EXPECT_EQ(CurveStart(r.Points()), 3);
  CMeasureData none;
  AddPoint(none, 0, 0.0);
  AddPoint(none, 1, -1.0);
  EXPECT_EQ(CurveStart(none.Points()), -1);
}

// Curve runs with the default scale (1 px/s, 12 V over 295 px): y(6.0) = 152,
// y(3.0) = 226, y(9.0) = 78.
using Polyline = std::vector<std::pair<int, int>>;

std::vector<Polyline> Runs(const std::vector<std::pair<int, double>>& tv, int visLeft,
                           int visRight) {
  CMeasureData r;
  for (const auto& [t, v] : tv)
    AddPoint(r, t, v);
  CurveRuns out;
  BuildCurveRuns(r.Points(), Defaults(), visLeft, visRight, out);
  std::vector<Polyline> runs;
  size_t at = 0;
  for (int n : out.lengths) {
    runs.emplace_back(out.points.begin() + at, out.points.begin() + at + n);
    at += static_cast<size_t>(n);
  }
  EXPECT_EQ(at, out.points.size());
  return runs;
}

TEST(GraphCurve, RunsJoinStraightStretchesAndLeaveOutWhatCannotShow) {
  // Before its start the curve draws nothing; a level stretch is one segment.
  EXPECT_EQ(Runs({{0, 0.0}, {1, 6.0}, {2, 6.0}, {3, 6.0}, {4, 3.0}}, 0, 1000),
            std::vector<Polyline>({{{41, 152}, {43, 152}, {44, 226}}}));
  // Segments with both ends left (or right) of the visible part are left
  // out and end the run; one that reaches in starts a run at its far end.
  EXPECT_EQ(Runs({{0, 6.0}, {10, 3.0}, {20, 9.0}, {30, 6.0}, {40, 3.0}, {50, 9.0}}, 55, 75),
            std::vector<Polyline>({{{50, 226}, {60, 78}, {70, 152}, {80, 226}}}));
  EXPECT_EQ(Runs({{0, 6.0}, {10, 3.0}, {20, 9.0}, {30, 6.0}}, 45, 45),
            std::vector<Polyline>({{{40, 152}, {50, 226}}}));
  // A lone visible start point is a dot; no start at all is no run.
  EXPECT_EQ(Runs({{5, 6.0}}, 0, 100), std::vector<Polyline>({{{45, 152}}}));
  EXPECT_TRUE(Runs({{0, 0.0}, {1, 12.5}}, 0, 100).empty());
}

TEST(GraphScale, SettingsBecomeTheScaleWithATimeScaleOfAtLeastOne) {
  const GraphScale s = ScaleOf(GraphSettings{9.5, 2.0, true, 0, 0.5});
  EXPECT_DOUBLE_EQ(s.maxV, 9.5);
  EXPECT_DOUBLE_EQ(s.minV, 2.0);
  EXPECT_DOUBLE_EQ(s.stepV, 0.5);
  EXPECT_TRUE(s.grid);
  EXPECT_EQ(s.timeScale, 1);
  EXPECT_EQ(ScaleOf(GraphSettings{12.0, 0.0, false, 7, 1.0}).timeScale, 7);
}

TEST(GraphScale, VoltTickValuesStopAtTenThousand) {
  EXPECT_EQ(VoltTickValues(0.0, 1e9, 1.0).size(), 10000u);
  EXPECT_TRUE(VoltTickValues(0.0, 1.0, std::numeric_limits<double>::quiet_NaN()).empty());
  EXPECT_TRUE(VoltTickValues(2.0, 1.0, 0.5).empty());
}

// --- The fitted time axis ----------------------------------------------------

TEST(GraphFit, TheSpanFillsTheWidthLeftOfTheMarginWithRoundLabelSteps) {
  struct Case {
    int span, width;
    int labelStep;
    int lastX;  // XOf(span)
  };
  const Case cases[] = {
      {1341, 1080, 100, 1040},  // 1000 pixels for 1341 s: 74.6 pixels a label
      {1341, 1600, 100, 1560},  // 56.7 pixels at 50 s would crowd
      {600, 1080, 50, 1040},   {60, 1080, 10, 1040}, {40000, 1080, 5000, 1040},
      {100, 50, 10000, 41},  // a view narrower than its margins keeps a pixel
  };
  for (const Case& c : cases) {
    const GraphScale s = FitScale(Defaults(3), c.span, c.width);
    EXPECT_TRUE(s.Fitted());
    EXPECT_EQ(s.fitLabelStep, c.labelStep) << c.span << " in " << c.width;
    EXPECT_EQ(s.XOf(c.span), c.lastX) << c.span << " in " << c.width;
    EXPECT_EQ(s.XOf(0), kGraphLeft);
    EXPECT_EQ(s.timeScale, 3);  // kept for the bitmap export
    EXPECT_EQ(s.YOf(6.0), Defaults(3).YOf(6.0));
  }
  // A span of 0 is taken as 1 second.
  EXPECT_EQ(FitScale(Defaults(), 0, 1080).XOf(1), 1040);
}

TEST(GraphFit, ARunGetsRoomToGrowInRoundSteps) {
  struct Case {
    int longest;
    bool running;
    int newest;
    int span;
  };
  const Case cases[] = {
      {0, false, 0, 1},        {1341, false, 0, 1341},    {1341, false, 5000, 1341},
      {0, true, 0, 60},        {0, true, 48, 60},         {0, true, 49, 80},
      {0, true, 1341, 2000},   {0, true, 1600, 2000},     {0, true, 1601, 3000},
      {3000, true, 100, 3000}, {0, true, 500000, 800000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FitSpan(c.longest, c.running, c.newest), c.span)
        << c.longest << " " << c.running << " " << c.newest;
  // The newest point never reaches the right edge while the run grows.
  for (int t = 0; t <= 20000; t += 7)
    ASSERT_LT(t, FitSpan(0, true, t)) << t;
}

TEST(GraphFit, TicksEveryFifthOfTheLabelStepAndTheCursorInvertsX) {
  const GraphScale s = FitScale(Defaults(), 1341, 1080);
  const auto ticks = TimeTicks(CurveWidthOf(s, 1341), s);
  ASSERT_EQ(ticks.size(), 1341u / 20 + 1);
  EXPECT_EQ(ticks[1].t, 20);
  EXPECT_EQ(ticks[1].x, s.XOf(20));
  EXPECT_EQ(ticks[1].length, 4);
  EXPECT_FALSE(ticks[1].label);
  EXPECT_TRUE(ticks[5].label);
  EXPECT_EQ(ticks[5].length, 5);
  EXPECT_EQ(ticks.back().t, 1340);
  // Below a pixel a second the cursor lands on the pixel it points at; at
  // two or more on the second itself.
  const GraphScale wide = FitScale(Defaults(), 300, 1080);
  for (int t : {0, 1, 100, 777, 1341}) {
    EXPECT_EQ(s.XOf(CursorSecond(s.XOf(t), 0, s)), s.XOf(t)) << t;
    EXPECT_EQ(CursorSecond(s.XOf(t) - 300, 300, s), CursorSecond(s.XOf(t), 0, s)) << t;
    if (t <= 300) {
      EXPECT_EQ(CursorSecond(wide.XOf(t), 0, wide), t) << t;
    }
  }
  EXPECT_EQ(CursorSecond(kGraphLeft - 1, 0, wide), 0);
  EXPECT_EQ(CursorSecond(kGraphLeft - 2, 0, wide), -1);
  EXPECT_EQ(CursorSecond(kGraphLeft - 1, 0, s), -1);
}

// --- The scene ---------------------------------------------------------------

struct Scene {
  CMeasureData current, overlay;
  std::vector<GraphCurve> curves{{&current, 1}, {&overlay, 3}};
  GraphSceneOptions options;
  Scene() {
    for (int t = 0; t <= 100; ++t)
      AddPoint(current, t, 6.0 - t * 0.01);
    for (int t = 0; t <= 60; ++t)
      AddPoint(overlay, t, 9.0);
    options.fillRight = 400;
    options.fillBottom = 330;
  }
  DrawList Build(const GraphScale& s = Defaults()) const {
    return BuildGraphScene(curves, s, options);
  }
};

const DrawItem* TextItem(const DrawList& list, const std::string& text) {
  for (const DrawItem& d : list.items)
    if ((d.kind == DrawKind::kText || d.kind == DrawKind::kLabel) && d.text == text) return &d;
  return nullptr;
}

TEST(GraphScene, BackgroundAxesTicksAndLabelsInTheScreensColours) {
  Scene scene;
  const DrawList d = scene.Build();
  EXPECT_EQ(d.charHeight, 12);
  ASSERT_FALSE(d.items.empty());
  const DrawItem& bg = d.items[0];
  EXPECT_EQ(bg.kind, DrawKind::kCell);
  EXPECT_TRUE(bg.fill);
  EXPECT_FALSE(bg.frame);
  EXPECT_EQ(bg.fillColor, 0x000000u);
  EXPECT_EQ(std::make_pair(bg.x2, bg.y2), std::make_pair(400, 330));
  // Both axes from the corner, the time axis as long as the widest curve
  // (100 s), each without its end pixel.
  const auto lines = Find(d, DrawKind::kLine);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(std::vector<int>({lines[0]->x1, lines[0]->y1, lines[0]->x2, lines[0]->y2}),
            std::vector<int>({40, 5, 40, 299}));
  EXPECT_EQ(std::vector<int>({lines[1]->x1, lines[1]->y1, lines[1]->x2, lines[1]->y2}),
            std::vector<int>({40, 300, 139, 300}));
  for (const DrawItem* l : lines) {
    EXPECT_EQ(l->color, 0xC8FFC8u);
    EXPECT_FALSE(l->dotted);
  }
  // Ticks every 10 s, 5 pixels at multiples of 50, else 4 (end pixel out);
  // then 13 voltage ticks 5 pixels left of the axis.
  ASSERT_EQ(lines.size(), 2u + 11u + 13u);
  EXPECT_EQ(lines[2]->y2, 304);
  EXPECT_EQ(lines[3]->x1, 50);
  EXPECT_EQ(lines[3]->y2, 303);
  EXPECT_EQ(lines[13]->x1, 35);
  EXPECT_EQ(lines[13]->x2, 39);
  EXPECT_EQ(lines[13]->y1, 300);
  // Labels at 0, 50 and 100 s over their ticks, voltages hanging from their top.
  const auto labels = Find(d, DrawKind::kLabel);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[1]->text, "50");
  EXPECT_EQ(std::vector<int>({labels[1]->x1, labels[1]->x2, labels[1]->y1}),
            std::vector<int>({72, 110, 305}));
  const DrawItem* six = TextItem(d, "6.00");
  ASSERT_TRUE(six);
  EXPECT_EQ(std::make_pair(six->x1, six->y1), std::make_pair(5, 147));
  EXPECT_EQ(six->x2, six->x1);  // no box: never clipped
  EXPECT_EQ(six->color, 0xFFFFFFu);
  EXPECT_EQ(labels[0]->color, 0xFFFFFFu);
}

TEST(GraphScene, CurvesInSlotColoursWithTheCurrentMeasurementOnTop) {
  Scene scene;
  for (bool white : {false, true}) {
    scene.options.whiteBackground = white;
    const DrawList d = scene.Build();
    const auto curves = Find(d, DrawKind::kPolyline);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0]->color, SlotColor(3));
    EXPECT_EQ(curves[1]->color, SlotColor(1));
    EXPECT_EQ(&d.items.back(), curves[1]);
    // The level overlay is one segment.
    EXPECT_EQ(curves[0]->runs, std::vector<int>({2}));
    EXPECT_EQ(curves[0]->points.front(), std::make_pair(40, 78));
    EXPECT_EQ(curves[0]->points.back(), std::make_pair(100, 78));
    EXPECT_EQ(d.items[0].fillColor, white ? 0xFFFFFFu : 0x000000u);
    EXPECT_EQ(Find(d, DrawKind::kLine)[0]->color, white ? 0x000000u : 0xC8FFC8u);
    EXPECT_EQ(TextItem(d, "0")->color, white ? 0x000000u : 0xFFFFFFu);
  }
}

TEST(GraphScene, GridLinesAreDottedAcrossTheWidestCurve) {
  Scene scene;
  GraphScale s = Defaults(3);
  s.grid = true;
  const DrawList d = scene.Build(s);
  const auto lines = Find(d, DrawKind::kLine);
  const DrawItem* top = lines.back();
  EXPECT_TRUE(top->dotted);
  EXPECT_EQ(std::vector<int>({top->x1, top->y1, top->x2, top->y2}),
            std::vector<int>({35, 5, 40 + 300 - 1, 5}));
  EXPECT_FALSE(lines[0]->dotted);
}

TEST(GraphScene, CursorLineTimeAndLabelsOnlyWithACursor) {
  Scene scene;
  const size_t without = scene.Build().items.size();
  GraphCursor cursor;
  cursor.x = 90;
  cursor.timeText = "50s";
  cursor.labels = {{9.0, 6, 3}, {3.7124, 1, 1}};
  scene.options.cursor = &cursor;
  const DrawList d = scene.Build();
  ASSERT_EQ(d.items.size(), without + 4);
  EXPECT_EQ(std::vector<int>({d.items[1].x1, d.items[1].y1, d.items[1].x2, d.items[1].y2}),
            std::vector<int>({90, 5, 90, 299}));
  EXPECT_EQ(d.items[2].text, "50s");
  EXPECT_EQ(std::make_pair(d.items[2].x1, d.items[2].y1), std::make_pair(92, 290));
  EXPECT_EQ(d.items[3].text, "9.00V");
  EXPECT_EQ(d.items[3].color, SlotColor(3));
  EXPECT_EQ(d.items[4].text, "3.712V");
  EXPECT_EQ(std::make_pair(d.items[4].y1, d.items[4].color), std::make_pair(15, SlotColor(1)));
  cursor.x = kNoGraphCursor;
  EXPECT_EQ(scene.Build().items.size(), without);
}

TEST(GraphScene, WhatLiesOutsideTheVisibleColumnsIsLeftOut) {
  Scene scene;
  scene.options.visLeft = 105;
  scene.options.visRight = 146;
  const DrawList d = scene.Build();
  // A tick counts as reaching the strip with its label's room (18 pixels
  // left of it and 20 right): the ticks at 50 to 100 s.
  const auto lines = Find(d, DrawKind::kLine);
  ASSERT_EQ(lines.size(), 2u + 6u + 13u);
  EXPECT_EQ(lines[2]->x1, 90);
  EXPECT_EQ(lines[7]->x1, 140);
  const auto labels = Find(d, DrawKind::kLabel);
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[0]->text, "50");
  // Only the current curve reaches in; the overlay ends at 100.
  const auto curves = Find(d, DrawKind::kPolyline);
  ASSERT_EQ(curves.size(), 1u);
  EXPECT_EQ(curves[0]->color, SlotColor(1));
  EXPECT_EQ(curves[0]->points.front().first, 104);
}

TEST(GraphScene, TheFixedStripDrawsTheVoltageScaleLastAtItsLeft) {
  Scene scene;
  GraphScale s = Defaults();
  s.grid = true;
  const DrawList plain = scene.Build(s);
  scene.options.voltStripLeft = 200;
  const DrawList d = scene.Build(s);
  // The voltage labels move with the strip and come after the curves.
  EXPECT_EQ(TextItem(d, "6.00")->x1, 205);
  EXPECT_EQ(TextItem(d, "6.00")->y1, TextItem(plain, "6.00")->y1);
  size_t lastCurve = 0, fill = 0;
  for (size_t i = 0; i < d.items.size(); ++i) {
    if (d.items[i].kind == DrawKind::kPolyline) lastCurve = i;
    if (i > 0 && d.items[i].kind == DrawKind::kCell) fill = i;
  }
  ASSERT_GT(fill, lastCurve);
  const DrawItem& f = d.items[fill];
  EXPECT_TRUE(f.fill);
  EXPECT_EQ(f.fillColor, 0x000000u);
  EXPECT_EQ(std::vector<int>({f.x1, f.y1, f.x2, f.y2}), std::vector<int>({200, 0, 240, 301}));
  // Its axis down to the time axis, its ticks dotted with the grid as the
  // grid lines are; the grid lines still run across from the plain place.
  const DrawItem& axis = d.items[fill + 1];
  EXPECT_EQ(std::vector<int>({axis.x1, axis.y1, axis.x2, axis.y2}),
            std::vector<int>({240, 5, 240, 300}));
  const DrawItem& tick = d.items[fill + 2];
  EXPECT_EQ(std::vector<int>({tick.x1, tick.x2}), std::vector<int>({235, 239}));
  EXPECT_TRUE(tick.dotted);
  EXPECT_EQ(d.items.size(), plain.items.size() + 1 + 1 + 13);
  const auto labels = Find(d, DrawKind::kText);
  EXPECT_EQ(
      std::count_if(labels.begin(), labels.end(), [](const DrawItem* t) { return t->x1 == 5; }), 0);
}

TEST(GraphScene, AFittedSceneMapsTheCurvesAndTicksAlike) {
  Scene scene;
  const GraphScale s = FitScale(Defaults(), 100, 440);  // 3.6 pixels a second
  const DrawList d = scene.Build(s);
  const auto curves = Find(d, DrawKind::kPolyline);
  ASSERT_EQ(curves.size(), 2u);
  EXPECT_EQ(curves[1]->points.back(), std::make_pair(400, s.YOf(5.0)));
  EXPECT_EQ(curves[0]->points.back().first, s.XOf(60));
  const auto labels = Find(d, DrawKind::kLabel);
  ASSERT_EQ(labels.size(), 6u);  // every 20 s
  EXPECT_EQ(labels[5]->text, "100");
  EXPECT_EQ(labels[5]->x1, 400 - 18);
}

TEST(GraphScene, AnEmptyMeasurementDrawsTheVoltageAxisAndOneTickAtZero) {
  CMeasureData empty;
  const std::vector<GraphCurve> curves{{&empty, 1}};
  const DrawList d = BuildGraphScene(curves, Defaults(), {});
  const auto lines = Find(d, DrawKind::kLine);
  ASSERT_EQ(lines.size(), 1u + 1u + 13u);  // no time axis of no length
  EXPECT_EQ(lines[1]->x1, 40);
  EXPECT_EQ(lines[1]->y2, 304);
  ASSERT_EQ(Find(d, DrawKind::kLabel).size(), 1u);
  EXPECT_EQ(Find(d, DrawKind::kLabel)[0]->text, "0");
  EXPECT_TRUE(Find(d, DrawKind::kPolyline).empty());
  EXPECT_EQ(CurveWidth(curves, Defaults()), 0);
}

// The curves of a scene as points, runs and colour.
using CurveItems = std::vector<std::tuple<Polyline, std::vector<int>, uint32_t>>;
CurveItems CurvesOf(const DrawList& d) {
  CurveItems out;
  for (const DrawItem* c : Find(d, DrawKind::kPolyline))
    out.emplace_back(c->points, c->runs, c->color);
  return out;
}

TEST(GraphScene, CachedCurvesAreThoseOfAFreshSceneUntilPointsChangeInPlace) {
  Scene scene;
  CurveRunsCache cache;
  GraphScale s = Defaults(3);
  auto cached = [&] {
    scene.options.runsCache = &cache;
    const CurveItems curves = CurvesOf(scene.Build(s));
    scene.options.runsCache = nullptr;
    return curves;
  };
  const std::vector<std::pair<const char*, std::function<void()>>> steps = {
      {"first", [] {}},
      {"nothing changed", [] {}},
      {"a new point", [&] { AddPoint(scene.current, 101, 4.0); }},
      {"a fitted scale", [&] { s = FitScale(s, 200, 500); }},
      {"other columns", [&] { scene.options.visLeft = 150; }},
      {"the overlay off", [&] { scene.curves.pop_back(); }},
      {"the overlay back",
       [&] {
         scene.curves.push_back({&scene.overlay, 3});
       }},
  };
  for (const auto& [step, change] : steps) {
    change();
    EXPECT_EQ(cached(), CurvesOf(scene.Build(s))) << step;
  }
  // Points changed in place keep their address and number: not seen until
  // Invalidate.
  const CurveItems before = cached();
  for (CMeasurePoint& p : scene.overlay.MutablePoints())
    p.voltage = 3.0;
  EXPECT_EQ(cached(), before);
  cache.Invalidate();
  EXPECT_EQ(cached(), CurvesOf(scene.Build(s)));
  EXPECT_NE(cached(), before);
}

}  // namespace
}  // namespace qv
