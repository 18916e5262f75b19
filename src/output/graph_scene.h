// The graph as a drawing list (draw_list.h): battery voltage over elapsed time.
//
// The screen and the bitmap export draw the records of the display list over
// their axes, ticks and labels in pixels, at a fixed layout and a time scale
// in whole pixels per second (BuildGraphScene). The screen may instead fit
// the time axis to its width (FitScale: a real number of pixels per second,
// time labels at round steps) and keep the voltage labels in a fixed strip
// at its left while the curves scroll under it. A printed graph sheet draws one
// record per cell in 0.1 mm, its time span fitted into the cell
// (AppendGraphCell). The scale math lives here, so that every surface maps
// times and voltages alike; the window side only paints the lists.
#pragma once

#include <climits>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "data/measure_data.h"
#include "output/draw_list.h"

namespace qv {

// The graph's fixed layout in pixels.
inline constexpr int kGraphLeft = 40;         // x of the voltage axis
inline constexpr int kGraphTop = 5;           // y of the top of the plot
inline constexpr int kGraphPlotHeight = 295;  // from the top of the plot to the time axis
inline constexpr int kNoGraphCursor = -50;    // the cursor's x while there is none

// One drawn record and its display slot, which gives its colour: the
// document's display list as CBrenlowDoc::Displayed gives it.
using GraphCurve = DisplayedRecord;

// The vertical range, the voltage label step, the grid and the time scale.
// The first values are the program's own until the settings are applied.
struct GraphScale {
  double maxV = kFirstGraph.maxV;
  double minV = kFirstGraph.minV;
  double stepV = kFirstGraph.gapY;
  bool grid = kFirstGraph.grid;
  int timeScale = kFirstGraph.gapX;  // pixels per second
  // With a fitted time axis (fitSpan above 0) `fitSpan` seconds take
  // `fitPixels` pixels and the integer time scale is unused; a time label
  // every `fitLabelStep` seconds and a tick every fifth of it.
  int fitPixels = 0;
  int fitSpan = 0;
  int fitLabelStep = 0;

  bool Fitted() const { return fitSpan > 0; }
  bool operator==(const GraphScale&) const = default;
  // y(v) = trunc(H - (v * k - k * Vmin)) + T with k = H / (Vmax - Vmin); an
  // undefined scale puts every voltage on the time axis.
  int YOf(double v) const;
  // L + t * timeScale; fitted, L + floor(t * fitPixels / fitSpan). Clamped
  // to the int range.
  int XOf(int t) const;
};

// The scale of graph settings. The time scale divides: one below 1 (a broken
// settings file) is taken as 1.
GraphScale ScaleOf(const GraphSettings& settings);

// The time axis fitted to a view: `span` seconds (1 at least) fill the width
// between the voltage axis and a right margin of kGraphLeft (1 pixel at
// least); the label step is the smallest of 10, 20, 50, 100, 200, 500, ...
// seconds whose labels lie 60 pixels apart or more. The voltage range of
// `base` is kept.
GraphScale FitScale(const GraphScale& base, int span, int viewWidth);
// The seconds a fitted axis spans: the longest drawn record, and during a
// run the run so far with room to grow, the smallest of 60, 80, 100, 150,
// 200, 300, 400, 500, 600, 800, 1000, 1500, ... seconds that holds 1.25
// times its newest time (so the scale changes seldom and the newest point
// never reaches the right edge).
int FitSpan(int longestRecord, bool running, int newestTime);

struct GraphTimeTick {
  int t;
  int x;
  int length;  // 5 at multiples of 50, else 4
  bool label;
};
struct GraphVoltTick {
  double v;
  int y;
};

// Ticks every 10 s up to width / timeScale seconds; none without a time scale.
// Fitted: ticks every fifth of the label step up to the second of width,
// the labelled ones 5 long.
std::vector<GraphTimeTick> TimeTicks(int width, const GraphScale& s);
// Vmin, Vmin + step, ... while not above Vmax; none for a step that is not
// above 0 or a range that is not finite.
std::vector<GraphVoltTick> VoltTicks(const GraphScale& s);
// The voltages of the ticks, the step accumulating in double: Vmin, Vmin +
// step, ... while not above Vmax, at most 10,000; none for a step that is
// not above 0.
std::vector<double> VoltTickValues(double minV, double maxV, double step);
// The second nearest to a window x at a scroll position; -1 without a time
// scale. Fitted at less than 2 pixels a second: the first second drawn at
// that x or right of it, so the cursor lands on the pixel it points at.
int CursorSecond(int windowX, int scroll, const GraphScale& s);
// "%.3f" (one cell) or "%.2f", cut to 5 characters, then "V".
std::string CursorLabelText(double v, int cells);
// The index of the point that starts the curve: the first whose voltage
// lies strictly between 0.0 and 12.0; -1 when none does.
int CurveStart(const std::vector<CMeasurePoint>& points);
// W: the largest last elapsed time x time scale over the curves, clamped to
// the int range; 0 without curves. Fitted: XOf of that time - kGraphLeft.
int CurveWidth(std::span<const GraphCurve> curves, const GraphScale& s);
// The largest last elapsed time over the curves; 0 without curves.
int LongestTime(std::span<const GraphCurve> curves);

// A record's curve as it is drawn, in content coordinates: from its start
// point (CurveStart) on, runs of joined segments through (XOf(t), YOf(v)).
// A segment whose ends both lie left of `visLeft`, or both right of
// `visRight`, cannot show: it is left out and ends the run. A straight
// horizontal or vertical stretch of several points is one segment, as it
// covers the same pixels, a point on the pixel before it adds nothing, and a
// column of many points (a fitted time
// axis) at most four: its first, lowest, highest and last. A run of one
// point is drawn as a dot.
struct CurveRuns {
  std::vector<std::pair<int, int>> points;  // every run's points, back to back
  std::vector<int> lengths;                 // the number of points of each run, in order
};
void BuildCurveRuns(const std::vector<CMeasurePoint>& points, const GraphScale& s, int visLeft,
                    int visRight, CurveRuns& out);

// The curves of earlier scenes, kept so that a repaint with nothing changed
// maps no point again (a record of 9,999 points on a fitted axis costs more to
// map than to paint). A record's runs are built again when its points (their
// address or their number), the scale or the visible columns differ from
// those they were built with; Invalidate forgets them all, for points changed
// in place. A record not asked for in one scene is forgotten at the next.
// One cache per surface, used under the lock that guards the records.
class CurveRunsCache {
 public:
  void Invalidate() { entries_.clear(); }
  // What BuildCurveRuns(points, s, visLeft, visRight) gives, valid until the
  // next call.
  const CurveRuns& Runs(const std::vector<CMeasurePoint>& points, const GraphScale& s, int visLeft,
                        int visRight);
  // Forgets the records not asked for since the last call.
  void EndScene();

 private:
  struct Entry {
    const std::vector<CMeasurePoint>* record = nullptr;
    const CMeasurePoint* data = nullptr;
    size_t size = 0;
    GraphScale scale;
    int visLeft = 0, visRight = 0;
    bool built = false;
    bool used = false;
    CurveRuns runs;
  };
  std::vector<Entry> entries_;
};

// The cursor as the view placed it: its line, the time text under its top
// and one label per curve with a point at its second, highest voltage first.
struct GraphCursorLabel {
  double v;
  int cells;
  int slot;
};
struct GraphCursor {
  int x = kNoGraphCursor;  // content x; negative: no cursor
  std::string timeText;    // "%ds"
  std::vector<GraphCursorLabel> labels;
};

struct GraphSceneOptions {
  // Black axes and texts on white (the bitmap export's choice) instead of
  // green axes and white texts on black.
  bool whiteBackground = false;
  // The rectangle filled with the background (content coordinates, right
  // and bottom exclusive).
  int fillLeft = 0, fillTop = 0, fillRight = 0, fillBottom = 0;
  // The content columns that can show: ticks, labels and curve segments that
  // lie wholly outside are left out, not drawn and clipped.
  int visLeft = INT_MIN, visRight = INT_MAX;
  const GraphCursor* cursor = nullptr;  // drawn when set with x >= 0
  // The content x of the fixed voltage strip's left edge, or INT_MIN for
  // none. With the strip, the voltage axis, its ticks and labels are drawn
  // last, shifted by this x, over a background fill of the kGraphLeft
  // columns left of the axis from the top to the time axis: the curves,
  // the grid and the cursor pass under it.
  int voltStripLeft = INT_MIN;
  // When set, the curves' runs come from it (and are built into it).
  CurveRunsCache* runsCache = nullptr;
};

// The graph of `curves` in content pixels, in drawing order: background,
// cursor, axes, time ticks and labels, voltage ticks (dotted grid lines with
// the grid) and labels (up to the widest curve, or over the whole fitted
// span), then the curves from the last to the first (the
// first, the current measurement, lies on top), each in its slot colour,
// then the fixed voltage strip when there is one.
// Lines leave out their end pixel, as the platform's line drawing does.
DrawList BuildGraphScene(std::span<const GraphCurve> curves, const GraphScale& scale,
                         const GraphSceneOptions& options);

// Seconds between two time ticks of a printed graph cell is 2 * s0.
int TimeTickUnit(int span);

// A printed graph cell in 0.1 mm: the rectangle, the sheet's line pitch and
// the seconds the time axis spans.
struct GraphCellFrame {
  int left = 0, top = 0, right = 0, bottom = 0;
  int pitch = 1;
  int span = 0;
};

// Appends a record's graph cell: its frame, both axes, the time ticks and
// labels over the span (none for a span of 0), the voltage ticks and labels
// of the settings (grid lines across with the grid), the axis titles, the ID
// and the curve up to the span, broken where a point lies outside the
// vertical range (no curve for an undefined range).
void AppendGraphCell(DrawList& out, const CMeasureData& r, const GraphSettings& g,
                     const GraphCellFrame& cell);
// The same with several curves overlaid under one title (a pack's sheet):
// each curve in its slot's colour (black for a slot below 1), the first on
// top.
void AppendGraphCell(DrawList& out, std::span<const GraphCurve> curves, const GraphSettings& g,
                     const GraphCellFrame& cell, const std::string& title);

}  // namespace qv
