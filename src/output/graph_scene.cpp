#include "output/graph_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/numtext.h"
#include "data/codec.h"

namespace qv {
namespace {

constexpr int kMaxVoltTicks = 10000;
constexpr int kPlotBottom = kGraphTop + kGraphPlotHeight;

// The screen's colours and the export's on white, 0xRRGGBB.
constexpr uint32_t kAxisOnBlack = 0xC8FFC8;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

// Pixel arithmetic on large times must not overflow.
int Pixel(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// y(v) worked out with k = H / (Vmax - Vmin) once for a whole curve.
class VoltToY {
 public:
  explicit VoltToY(const GraphScale& s) : k_(kGraphPlotHeight / (s.maxV - s.minV)), minV_(s.minV) {}
  int operator()(double v) const {
    const double y = kGraphPlotHeight - (v * k_ - k_ * minV_);
    if (!std::isfinite(y)) return kPlotBottom;
    return TruncInt(y) + kGraphTop;
  }

 private:
  double k_;
  double minV_;
};

// x(t) worked out once for a whole curve: whole pixels per second, or the
// fitted real scale.
class TimeToX {
 public:
  explicit TimeToX(const GraphScale& s)
      : scale_(s.timeScale),
        pixels_(s.fitPixels),
        span_(s.fitSpan),
        perSecond_(s.fitSpan > 0 ? static_cast<double>(s.fitPixels) / s.fitSpan : 0.0) {}
  int operator()(int t) const {
    if (span_ <= 0) return Pixel(int64_t{kGraphLeft} + static_cast<int64_t>(t) * scale_);
    // floor(t * pixels / span) without a division: the real estimate,
    // corrected to the exact quotient.
    const int64_t num = static_cast<int64_t>(t) * pixels_;
    auto q = static_cast<int64_t>(t * perSecond_);
    while (q * span_ > num)
      --q;
    while ((q + 1) * span_ <= num)
      ++q;
    return Pixel(kGraphLeft + q);
  }

 private:
  int scale_;
  int64_t pixels_;
  int64_t span_;
  double perSecond_;
};

using Point = std::pair<int, int>;

// Whether (x, y) continues the segment a-b in the same direction along the
// same row or column.
bool Extends(const Point& a, const Point& b, int x, int y) {
  if (a.second == b.second && b.second == y)
    return (b.first - a.first > 0) == (x - b.first > 0) && x != b.first;
  if (a.first == b.first && b.first == x)
    return (b.second - a.second > 0) == (y - b.second > 0) && y != b.second;
  return false;
}

// Squeezes the last column of a run (its points at the last x, back to
// back) once it holds five: its first point, its lowest and highest in
// their order and its last cover the same pixels, as the path never leaves
// the column. A time axis fitted to fewer pixels than seconds puts many
// points in each column.
void SqueezeColumn(Point* run, int& n) {
  if (n < 5) return;
  const int x = run[n - 1].first;
  int c = n - 1;
  while (c > 0 && n - c < 5 && run[c - 1].first == x)
    --c;
  if (n - c < 5) return;
  int lo = c, hi = c;
  for (int i = c + 1; i < n; ++i) {
    if (run[i].second < run[lo].second) lo = i;
    if (run[i].second > run[hi].second) hi = i;
  }
  const Point last = run[n - 1];
  const int e1 = std::min(lo, hi), e2 = std::max(lo, hi);
  int m = c + 1;
  if (e1 != c && e1 != n - 1) run[m++] = run[e1];
  if (e2 != e1 && e2 != c && e2 != n - 1) run[m++] = run[e2];
  run[m++] = last;
  n = m;
}

// A horizontal or vertical line without its end pixel; nothing for a line of
// no length.
void PixelLine(DrawList& out, int x1, int y1, int x2, int y2, uint32_t color, bool dotted = false) {
  if (x1 == x2 && y1 == y2) return;
  if (x1 == x2)
    y2 += y2 > y1 ? -1 : 1;
  else if (y1 == y2)
    x2 += x2 > x1 ? -1 : 1;
  DrawItem& d = out.Line(x1, y1, x2, y2);
  d.color = color;
  d.dotted = dotted;
}

// Text with its top-left corner at (x, y), without a box.
void PixelText(DrawList& out, int x, int y, std::string text, uint32_t color) {
  DrawItem& d = out.Text(x, y, std::move(text));
  d.x2 = x;
  d.y2 = y;
  d.color = color;
}

struct SceneColors {
  uint32_t axis;
  uint32_t text;
};

void AppendCursor(DrawList& out, const GraphCursor& c, const SceneColors& colors) {
  PixelLine(out, c.x, kGraphTop, c.x, kPlotBottom, colors.axis);
  PixelText(out, c.x + 2, kPlotBottom - 10, c.timeText, colors.text);
  int y = kGraphTop;
  for (const GraphCursorLabel& l : c.labels) {
    PixelText(out, c.x + 2, y, CursorLabelText(l.v, l.cells), SlotColor(l.slot));
    y += 10;
  }
}

// Axes, the time ticks with their labels and the voltage ticks with theirs
// (lines first, then texts, as few pen changes as possible).
void AppendAxes(DrawList& out, const GraphScale& s, int width, const GraphSceneOptions& o,
                const SceneColors& colors) {
  const int axisEnd = Pixel(int64_t{kGraphLeft} + width);
  PixelLine(out, kGraphLeft, kGraphTop, kGraphLeft, kPlotBottom, colors.axis);
  PixelLine(out, kGraphLeft, kPlotBottom, axisEnd, kPlotBottom, colors.axis);

  std::vector<const GraphTimeTick*> labelled;
  const std::vector<GraphTimeTick> timeTicks = TimeTicks(width, s);
  for (const GraphTimeTick& t : timeTicks) {
    if (t.x + 20 < o.visLeft || t.x - 18 > o.visRight) continue;
    PixelLine(out, t.x, kPlotBottom, t.x, kPlotBottom + t.length, colors.axis);
    if (t.label) labelled.push_back(&t);
  }
  for (const GraphTimeTick* t : labelled)
    out.Label(t->x - 18, kPlotBottom + 5, t->x + 20, IntText(t->t)).color = colors.text;

  const std::vector<GraphVoltTick> voltTicks = VoltTicks(s);
  for (const GraphVoltTick& v : voltTicks)
    PixelLine(out, kGraphLeft - 5, v.y, s.grid ? axisEnd : kGraphLeft, v.y, colors.axis, s.grid);
  if (o.voltStripLeft != INT_MIN) return;  // the strip draws the labels
  // Each label hangs from its top, so the digits sit level with the tick and
  // the top label "12.00" still starts inside the view.
  for (const GraphVoltTick& v : voltTicks)
    PixelText(out, 5, v.y - 5, FixedText(v.v, 2), colors.text);
}

// The fixed voltage strip at content x `left`: the columns left of the
// voltage axis filled down to the time axis, the axis, its ticks (dotted
// with the grid, in the phase of the grid lines) and labels. At a left of 0
// it covers the same pixels as the scrolling axis does.
void AppendVoltStrip(DrawList& out, const GraphScale& s, const GraphSceneOptions& o,
                     uint32_t background, const SceneColors& colors) {
  const int left = o.voltStripLeft;
  const int axis = Pixel(int64_t{left} + kGraphLeft);
  DrawItem& fill =
      out.Cell(left, std::min(o.fillTop, 0), axis, kPlotBottom + 1, "", HAlign::kLeft, 0, false);
  fill.fill = true;
  fill.fillColor = background;
  PixelLine(out, axis, kGraphTop, axis, kPlotBottom + 1, colors.axis);
  const std::vector<GraphVoltTick> voltTicks = VoltTicks(s);
  for (const GraphVoltTick& v : voltTicks)
    PixelLine(out, axis - 5, v.y, axis, v.y, colors.axis, s.grid);
  for (const GraphVoltTick& v : voltTicks)
    PixelText(out, left + 5, v.y - 5, FixedText(v.v, 2), colors.text);
}

constexpr int kMinLabelGap = 60;  // pixels between two fitted time labels

}  // namespace

int GraphScale::YOf(double v) const {
  return VoltToY(*this)(v);
}

int GraphScale::XOf(int t) const {
  return TimeToX(*this)(t);
}

GraphScale ScaleOf(const GraphSettings& g) {
  GraphScale s;
  s.maxV = g.maxV;
  s.minV = g.minV;
  s.stepV = g.gapY;
  s.grid = g.grid;
  s.timeScale = g.gapX >= 1 ? g.gapX : 1;
  return s;
}

GraphScale FitScale(const GraphScale& base, int span, int viewWidth) {
  GraphScale s = base;
  const int64_t plot = std::clamp<int64_t>(int64_t{viewWidth} - 2 * kGraphLeft, 1, INT32_MAX);
  s.fitPixels = static_cast<int>(plot);
  s.fitSpan = std::max(1, span);
  // 10, 20, 50, 100, ... while the labels would crowd, up to the int limit.
  int64_t step = 10;
  for (int i = 0; step * plot < kMinLabelGap * int64_t{s.fitSpan} && step < INT32_MAX / 10; ++i)
    step = i % 3 == 1 ? step * 5 / 2 : step * 2;
  s.fitLabelStep = static_cast<int>(step);
  return s;
}

int FitSpan(int longestRecord, bool running, int newestTime) {
  int span = std::max(longestRecord, 1);
  if (!running) return span;
  // 1.25 times the newest time, rounded up to a round number of seconds.
  static constexpr int kMantissas[] = {60, 80, 100, 150, 200, 300, 400, 500};
  const int64_t need = (std::max<int64_t>(newestTime, 0) * 5 + 3) / 4;
  for (int64_t scale = 1; scale <= INT32_MAX; scale *= 10) {
    for (int m : kMantissas) {
      if (m * scale / 10 < 60) continue;  // 60 is the shortest span
      const int64_t grown = m * scale / 10;
      if (grown >= need && grown <= INT32_MAX) return std::max<int>(span, static_cast<int>(grown));
    }
  }
  return std::max(span, newestTime);
}

std::vector<GraphTimeTick> TimeTicks(int width, const GraphScale& s) {
  std::vector<GraphTimeTick> ticks;
  if (s.Fitted()) {
    if (width < 0 || s.fitLabelStep < 5) return ticks;
    const int64_t step = s.fitLabelStep / 5;
    const TimeToX xOf(s);
    const int64_t last = std::min<int64_t>(int64_t{width} * s.fitSpan / s.fitPixels, INT32_MAX);
    for (int64_t t = 0; t <= last; t += step) {
      const bool major = t % s.fitLabelStep == 0;
      ticks.push_back({static_cast<int>(t), xOf(static_cast<int>(t)), major ? 5 : 4, major});
    }
    return ticks;
  }
  if (s.timeScale <= 0 || width < 0) return ticks;
  const int last = width / s.timeScale;
  for (int t = 0; t <= last; t += 10) {
    const bool major = t % 50 == 0;
    ticks.push_back(
        {t, Pixel(kGraphLeft + static_cast<int64_t>(t) * s.timeScale), major ? 5 : 4, major});
    if (t > last - 10) break;  // no overflow near the int limit
  }
  return ticks;
}

std::vector<double> VoltTickValues(double minV, double maxV, double step) {
  std::vector<double> values;
  // A step of zero would never reach the top.
  if (!(step > 0.0)) return values;
  for (double v = minV; v <= maxV && static_cast<int>(values.size()) < kMaxVoltTicks; v += step)
    values.push_back(v);
  return values;
}

std::vector<GraphVoltTick> VoltTicks(const GraphScale& s) {
  std::vector<GraphVoltTick> ticks;
  if (!std::isfinite(s.minV) || !std::isfinite(s.maxV)) return ticks;
  const VoltToY yOf(s);
  for (double v : VoltTickValues(s.minV, s.maxV, s.stepV))
    ticks.push_back({v, yOf(v)});
  return ticks;
}

int CursorSecond(int windowX, int scroll, const GraphScale& s) {
  if (s.Fitted()) {
    const int64_t d = int64_t{windowX} + scroll - kGraphLeft;
    const int64_t p = s.fitPixels, n = s.fitSpan;
    // Within half a second left of the axis is second 0.
    if (d < 0) return 2 * -d * n < p ? 0 : -1;
    const int64_t t = p >= 2 * n ? (2 * d * n + p) / (2 * p) : (d * n + p - 1) / p;
    return static_cast<int>(std::min<int64_t>(t, INT32_MAX));
  }
  if (s.timeScale <= 0) return -1;
  return (s.timeScale / 2 + windowX + scroll - kGraphLeft) / s.timeScale;
}

std::string CursorLabelText(double v, int cells) {
  std::string text = FixedText(v, cells == 1 ? 3 : 2);
  if (text.size() > 5) text.resize(5);
  return text + "V";
}

int CurveStart(const std::vector<CMeasurePoint>& points) {
  for (size_t i = 0; i < points.size(); ++i) {
    const double v = points[i].voltage;
    if (v > 0.0 && v < 12.0) return static_cast<int>(i);
  }
  return -1;
}

int LongestTime(std::span<const GraphCurve> curves) {
  int longest = 0;
  for (const GraphCurve& c : curves)
    longest = std::max(longest, c.record->GetDischargeTime());
  return longest;
}

int CurveWidth(std::span<const GraphCurve> curves, const GraphScale& s) {
  if (s.Fitted()) return curves.empty() ? 0 : s.XOf(LongestTime(curves)) - kGraphLeft;
  int64_t widest = 0;
  for (const GraphCurve& c : curves)
    widest =
        std::max<int64_t>(widest, static_cast<int64_t>(c.record->GetDischargeTime()) * s.timeScale);
  return Pixel(widest);
}

void BuildCurveRuns(const std::vector<CMeasurePoint>& points, const GraphScale& s, int visLeft,
                    int visRight, CurveRuns& out) {
  out.lengths.clear();
  const int start = CurveStart(points);
  if (start < 0) {
    out.points.clear();
    return;
  }
  // Every point lands at most once, and each run starts with at most one
  // point more than it takes: the buffer never grows past this.
  out.points.resize(points.size() - static_cast<size_t>(start) + 1);
  Point* buf = out.points.data();
  size_t total = 0;  // points of the finished runs
  int n = 0;         // points of the open run, at buf + total
  auto side = [&](int x) { return x < visLeft ? -1 : (x > visRight ? 1 : 0); };
  auto endRun = [&] {
    if (n > 0) out.lengths.push_back(n);
    total += static_cast<size_t>(n);
    n = 0;
  };
  const VoltToY yOf(s);
  const TimeToX xOf(s);
  int prevX = 0;
  int prevY = 0;
  for (size_t i = static_cast<size_t>(start); i < points.size(); ++i) {
    const int x = xOf(points[i].time);
    const int y = yOf(points[i].voltage);
    Point* run = buf + total;
    if (i == static_cast<size_t>(start)) {
      if (side(x) == 0) run[n++] = {x, y};
    } else {
      const int a = side(prevX);
      if (a != 0 && a == side(x)) {
        endRun();  // this segment cannot show
      } else if (n == 0) {
        run[n++] = {prevX, prevY};
        run[n++] = {x, y};
      } else if (run[n - 1] == Point{x, y}) {
        // The same pixel again: nothing to add.
      } else if (n >= 2 && Extends(run[n - 2], run[n - 1], x, y)) {
        run[n - 1] = {x, y};
      } else {
        run[n++] = {x, y};
        SqueezeColumn(run, n);
      }
    }
    prevX = x;
    prevY = y;
  }
  endRun();
  out.points.resize(total);
}

const CurveRuns& CurveRunsCache::Runs(const std::vector<CMeasurePoint>& points, const GraphScale& s,
                                      int visLeft, int visRight) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) { return e.record == &points; });
  if (it == entries_.end()) {
    entries_.emplace_back();
    it = entries_.end() - 1;
    it->record = &points;
  }
  Entry& e = *it;
  e.used = true;
  if (!e.built || e.data != points.data() || e.size != points.size() || !(e.scale == s) ||
      e.visLeft != visLeft || e.visRight != visRight) {
    BuildCurveRuns(points, s, visLeft, visRight, e.runs);
    e.built = true;
    e.data = points.data();
    e.size = points.size();
    e.scale = s;
    e.visLeft = visLeft;
    e.visRight = visRight;
  }
  return e.runs;
}

void CurveRunsCache::EndScene() {
  std::erase_if(entries_, [](const Entry& e) { return !e.used; });
  for (Entry& e : entries_)
    e.used = false;
}

DrawList BuildGraphScene(std::span<const GraphCurve> curves, const GraphScale& s,
                         const GraphSceneOptions& o) {
  DrawList out;
  out.fontFace = Sj("ＭＳ ゴシック");
  out.fontSize = 90;
  out.charHeight = 12;  // 9 points at 96 dots per inch
  const bool white = o.whiteBackground;
  const SceneColors colors{white ? kBlack : kAxisOnBlack, white ? kBlack : kWhite};
  // A fitted axis spans the whole fitted time, the room a run grows into
  // included.
  const int width = s.Fitted() ? s.fitPixels : CurveWidth(curves, s);

  DrawItem& background =
      out.Cell(o.fillLeft, o.fillTop, o.fillRight, o.fillBottom, "", HAlign::kLeft, 0, false);
  background.fill = true;
  background.fillColor = white ? kWhite : kBlack;
  if (o.cursor && o.cursor->x >= 0) AppendCursor(out, *o.cursor, colors);
  AppendAxes(out, s, width, o, colors);

  // The current measurement, first in the list, is drawn last so that it
  // lies on top.
  for (auto it = curves.rbegin(); it != curves.rend(); ++it) {
    const std::vector<CMeasurePoint>& points = it->record->Points();
    CurveRuns runs;
    // From the cache a copy: it keeps its own.
    if (o.runsCache)
      runs = o.runsCache->Runs(points, s, o.visLeft, o.visRight);
    else
      BuildCurveRuns(points, s, o.visLeft, o.visRight, runs);
    if (runs.lengths.empty()) continue;
    DrawItem& curve = out.Polyline(std::move(runs.points));
    curve.runs = std::move(runs.lengths);
    curve.color = SlotColor(it->slot);
  }
  if (o.runsCache) o.runsCache->EndScene();
  if (o.voltStripLeft != INT_MIN) AppendVoltStrip(out, s, o, white ? kWhite : kBlack, colors);
  return out;
}

int TimeTickUnit(int span) {
  return (span / 1000) * 5 + 5;
}

void AppendGraphCell(DrawList& out, const CMeasureData& r, const GraphSettings& g,
                     const GraphCellFrame& cell) {
  const GraphCurve curve{&r, 0};
  AppendGraphCell(out, std::span<const GraphCurve>(&curve, 1), g, cell,
                  Sj("登録ID:") + r.GetIdText());
}

void AppendGraphCell(DrawList& out, std::span<const GraphCurve> curves, const GraphSettings& g,
                     const GraphCellFrame& cell, const std::string& title) {
  const int p = cell.pitch;
  const int span = cell.span;
  out.Cell(cell.left, cell.top, cell.right, cell.bottom, "", HAlign::kLeft, 0, true);
  const int pl = cell.left + 6 * p, pr = cell.right - 2 * p;
  const int pt = cell.top + 3 * p, pb = cell.bottom - 4 * p;
  const int64_t plotW = pr - pl, plotH = pb - pt;
  out.Line(pl, pt, pl, pb);  // voltage axis
  out.Line(pl, pb, pr, pb);  // time axis

  auto xOf = [&](int64_t s) { return static_cast<int>(pl + s * plotW / span); };

  // Time ticks and labels (a span of 0 leaves the time axis bare).
  if (span > 0) {
    const int64_t s0 = TimeTickUnit(span);
    for (int64_t s = 0; s <= span; s += 2 * s0) {
      const int x = xOf(s);
      const int len = s % (10 * s0) == 0 ? p * 8 / 10 : p * 4 / 10;
      out.Line(x, pb, x, pb + len);
      if (s % (20 * s0) == 0)
        out.Cell(x - 2 * p, pb + p, x + 2 * p, pb + 2 * p, IntText(s), HAlign::kCenter, 0, false);
    }
  }
  out.Cell(pr - 8 * p, pb + 2 * p, pr, pb + 3 * p, Sj("放電時間（秒）"), HAlign::kRight, 0, false);

  // Voltage ticks from the graph settings.
  const double vmin = g.minV, vmax = g.maxV;
  const bool scaled = vmax > vmin;
  auto yOf = [&](double v) {
    return pt + TruncInt(static_cast<double>(plotH) * (1.0 - (v - vmin) / (vmax - vmin)));
  };
  if (scaled) {
    for (double v : VoltTickValues(vmin, vmax, g.gapY)) {
      const int y = yOf(v);
      out.Line(pl - p * 8 / 10, y, g.grid ? pr : pl, y);
      out.Cell(pl - 4 * p, y - p / 2, pl - p * 15 / 10, y + p / 2, FixedText(v, 2), HAlign::kRight,
               0, false);
    }
  }
  out.Cell(pl - 5 * p, pt - 2 * p, pl + 3 * p, pt - p, Sj("電池電圧（V）"), HAlign::kLeft, 0,
           false);
  out.Cell(pl, pt - 2 * p, pr, pt - p, title, HAlign::kCenter, 0, false);

  // The curves, each broken where a point lies outside the vertical range;
  // the first is drawn last, on top.
  if (span <= 0 || !scaled) return;
  for (auto it = curves.rbegin(); it != curves.rend(); ++it) {
    const uint32_t color = it->slot >= 1 ? SlotColor(it->slot) : 0x000000;
    std::vector<std::pair<int, int>> run;
    auto flush = [&] {
      if (run.size() >= 2) out.Polyline(std::move(run)).color = color;
      run.clear();
    };
    for (const CMeasurePoint& pt2 : it->record->Points()) {
      if (pt2.time > span) break;
      if (!(pt2.voltage >= vmin && pt2.voltage <= vmax)) {  // NaN counts as outside
        flush();
        continue;
      }
      run.emplace_back(xOf(pt2.time), yOf(pt2.voltage));
    }
    flush();
  }
}

}  // namespace qv
