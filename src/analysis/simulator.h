// The virtual-curve simulator and the electromotive-voltage (EMF) comparison:
// which drawn records take part, the values they show and the geometry the
// two dialogs paint, as plain values.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "data/measure_data.h"

namespace qv {

class CBrenlowDoc;

struct PixelPoint {
  int32_t x = 0, y = 0;
  bool operator==(const PixelPoint&) const = default;
};

// Right and bottom edges are outside the rectangle.
struct PixelRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(PixelPoint p) const {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
  }
  bool operator==(const PixelRect&) const = default;
};

// The voltage-over-time mapping of a plot whose origin is (x0, y0).
struct PlotMapping {
  int32_t x0 = 0, y0 = 0;
  int32_t left = 40;                       // L: x of the voltage axis
  int32_t top = 5;                         // T: y of the top of the plot
  int32_t height = 295;                    // H: top of the plot to the time axis
  int32_t timeScale = kDefaultGraph.gapX;  // S: pixels per second
  double maxV = kDefaultGraph.maxV, minV = kDefaultGraph.minV;

  // k = H / (Vmax - Vmin).
  double Scale() const { return height / (maxV - minV); }
  // x0 + L + t * S
  int32_t X(int32_t t) const;
  // y0 + trunc(H - (v * k - k * Vmin)) + T; an undefined scale gives the top.
  int32_t Y(double v) const;
  PixelPoint At(int32_t t, double v) const { return {X(t), Y(v)}; }
};

struct LineSegment {
  PixelPoint from, to;
  bool operator==(const LineSegment&) const = default;
};

struct TimeTick {
  int32_t t = 0;
  LineSegment line;
  bool labelled = false;  // multiples of 50 s: "%d" centred in labelRect
  std::string label;
  PixelRect labelRect;
};

struct VoltageTick {
  double v = 0.0;
  LineSegment line;   // dotted when the grid is on
  std::string label;  // "%.2f", left-aligned in labelRect
  PixelRect labelRect;
};

// Axes, ticks and labels of a plot whose time axis is `axisWidth` pixels long,
// drawn as the graph view draws them.
struct PlotFrame {
  LineSegment voltageAxis, timeAxis;
  std::vector<TimeTick> timeTicks;
  std::vector<VoltageTick> voltageTicks;
  bool dottedGrid = false;
};
PlotFrame BuildPlotFrame(const PlotMapping& m, int32_t axisWidth, bool grid, double labelStep);

// One record's curve: a polyline in its display slot's colour.
struct CurvePath {
  int slot = -1;
  uint32_t color = 0xFFFFFF;  // 0xRRGGBB
  std::vector<PixelPoint> points;
};

// Simulator and EMF eligibility.
bool IsSimulatable(const CMeasureData& r);   // R > 0, A = B = C, PIR > 0
bool TakesPartInEmf(const CMeasureData& r);  // R > 0, PIR > 0
bool CanOpenSimulator(const CBrenlowDoc& doc);
bool CanOpenEmfComparison(const CBrenlowDoc& doc);

// The electromotive voltage per cell at 120 s. A record without a positive
// cell count has no per-cell value: 0.0, so it shows no bar.
double EmfPerCell(const CMeasureData& r);

class CVirtualSimulator {
 public:
  static constexpr PixelRect kPlotRect{10, 100, 660, 420};
  static constexpr int kMaxCurrent = 1000;

  // Takes the suitable records of the display list (in its order, with their
  // slots) and the graph settings, then generates every curve at the start
  // current.
  CVirtualSimulator(const std::vector<DisplayedRecord>& displayed, const GraphSettings& graph,
                    const Avg3Range& range);

  int StartCurrent() const { return start_; }
  int MaxCurrent() const { return start_ > kMaxCurrent ? start_ : kMaxCurrent; }
  int Current() const { return current_; }
  // The number field's new value: clamped to the spin range, then every curve
  // is regenerated. Returns the current used.
  int SetCurrent(int amperes);

  const std::vector<const CMeasureData*>& Sources() const { return sources_; }
  // The display slot of each source, which its simulated curve is drawn in.
  const std::vector<int>& Slots() const { return slots_; }
  const std::vector<std::unique_ptr<CMeasureData>>& Simulated() const { return simulated_; }

  PlotMapping Mapping() const;
  int32_t AxisWidth() const;  // Wd = right - left - L - x0
  PlotFrame Frame() const;
  // Curves from the last simulated record to the first (painting order).
  std::vector<CurvePath> Curves() const;

 private:
  void Regenerate();

  GraphSettings graph_;
  Avg3Range range_;
  std::vector<const CMeasureData*> sources_;
  std::vector<int> slots_;
  std::vector<std::unique_ptr<CMeasureData>> simulated_;
  int start_ = 1;
  int current_ = 1;
};

struct EmfBar {
  const CMeasureData* record = nullptr;
  double emfPerCell = 0.0;
  int slot = -1;
  uint32_t color = 0xFFFFFF;
  PixelRect rect;  // filled; right and bottom excluded
  PixelPoint textAt;
  std::string text;  // "%.3fV"
};

class CEmfComparison {
 public:
  static constexpr PixelRect kBarArea{10, 80, 330, 350};
  static constexpr double kInitialScaleTop = 1.2999999523162842;  // 1.3f
  static constexpr double kScaleBase = 1.2000000476837158;        // 1.2f

  // The display list in its order, with the records' slots.
  explicit CEmfComparison(const std::vector<DisplayedRecord>& displayed);

  double ScaleTop() const { return scaleTop_; }
  // Pixels per volt: (bottom - top - 14) / (scale top - scale base).
  double PixelsPerVolt() const;
  // Bars in painting order (display list from the last record to the first).
  std::vector<EmfBar> Bars() const;

 private:
  std::vector<DisplayedRecord> display_;
  double scaleTop_ = kInitialScaleTop;
};

}  // namespace qv
