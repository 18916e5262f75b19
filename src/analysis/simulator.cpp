#include "analysis/simulator.h"

#include <algorithm>
#include <cmath>

#include "analysis/numeric.h"
#include "analysis/virtual_curve.h"
#include "core/numtext.h"
#include "data/document.h"

namespace qv {
namespace {

// Voltage ticks never run away on a tiny step.
constexpr int kMaxVoltageTicks = 10000;

}  // namespace

int32_t PlotMapping::X(int32_t t) const {
  return ClampInt(static_cast<int64_t>(x0) + left +
                  static_cast<int64_t>(t) * static_cast<int64_t>(timeScale));
}

int32_t PlotMapping::Y(double v) const {
  const double k = Scale();
  return ClampInt(static_cast<int64_t>(TruncInt(height - (v * k - k * minV))) + top + y0);
}

PlotFrame BuildPlotFrame(const PlotMapping& m, int32_t axisWidth, bool grid, double labelStep) {
  PlotFrame f;
  const int32_t ax = m.x0 + m.left;
  const int32_t ayTop = m.y0 + m.top;
  const int32_t ayBottom = ayTop + m.height;
  f.voltageAxis = {{ax, ayTop}, {ax, ayBottom}};
  f.timeAxis = {{ax, ayBottom}, {ax + axisWidth, ayBottom}};

  // Ticks every 10 s up to the end of the axis; labels every 50 s. A time
  // scale below 1 counts as 1 for the length of the axis.
  const int32_t lastT = axisWidth / std::max(m.timeScale, 1);
  for (int32_t t = 0; t <= lastT; t += 10) {
    TimeTick tick;
    tick.t = t;
    const int32_t x = m.X(t);
    tick.labelled = t % 50 == 0;
    tick.line = {{x, ayBottom}, {x, ayBottom + (tick.labelled ? 5 : 4)}};
    if (tick.labelled) {
      tick.label = IntText(t);
      tick.labelRect = {x - 18, ayBottom + 5, x + 20, ayBottom + 15};
    }
    f.timeTicks.push_back(std::move(tick));
  }

  f.dottedGrid = grid;
  int count = 0;
  for (double v = m.minV; v <= m.maxV && count < kMaxVoltageTicks; v += labelStep, ++count) {
    VoltageTick tick;
    tick.v = v;
    const int32_t y = m.Y(v);
    tick.line = {{ax - 5, y}, {grid ? ax + axisWidth : ax, y}};
    tick.label = FixedText(v, 2);
    tick.labelRect = {m.x0 + 5, y - 5, m.x0 + 35, y + 5};
    f.voltageTicks.push_back(std::move(tick));
    // A step that cannot advance (0, negative or not a number) gives one tick.
    if (!(labelStep > 0.0)) break;
  }
  return f;
}

bool IsSimulatable(const CMeasureData& r) {
  return r.internalResistance > 0.0 && r.currentA == r.currentB && r.currentB == r.currentC &&
         r.pir > 0.0;
}

bool TakesPartInEmf(const CMeasureData& r) {
  return r.internalResistance > 0.0 && r.pir > 0.0;
}

bool CanOpenSimulator(const CBrenlowDoc& doc) {
  if (doc.App().runActive) return false;
  const auto& list = doc.DisplayList();
  return std::any_of(list.begin(), list.end(),
                     [](const CMeasureData* r) { return IsSimulatable(*r); });
}

bool CanOpenEmfComparison(const CBrenlowDoc& doc) {
  if (doc.App().runActive) return false;
  const auto& list = doc.DisplayList();
  return std::any_of(list.begin(), list.end(),
                     [](const CMeasureData* r) { return TakesPartInEmf(*r); });
}

double EmfPerCell(const CMeasureData& r) {
  if (r.cells <= 0) return 0.0;
  return r.GetEmfVoltage() / r.cells;
}

CVirtualSimulator::CVirtualSimulator(const std::vector<DisplayedRecord>& displayed,
                                     const GraphSettings& graph, const Avg3Range& range)
    : graph_(graph), range_(range) {
  double maxCurrent = 1.0;
  for (const auto& [r, slot] : displayed) {
    if (!IsSimulatable(*r)) continue;
    sources_.push_back(r);
    slots_.push_back(slot);
    simulated_.push_back(std::make_unique<CMeasureData>());
    maxCurrent = std::max(maxCurrent, r->currentA);
  }
  start_ = std::max(TruncInt(maxCurrent + 0.99), 1);
  current_ = start_;
  Regenerate();
}

int CVirtualSimulator::SetCurrent(int amperes) {
  current_ = std::clamp(amperes, start_, MaxCurrent());
  Regenerate();
  return current_;
}

void CVirtualSimulator::Regenerate() {
  for (size_t i = 0; i < sources_.size(); ++i)
    MakeVirtualCurve(*simulated_[i], *sources_[i], current_, range_);
}

PlotMapping CVirtualSimulator::Mapping() const {
  PlotMapping m;
  m.x0 = kPlotRect.left;
  m.y0 = kPlotRect.top;
  m.timeScale = graph_.gapX;
  m.maxV = graph_.maxV;
  m.minV = graph_.minV;
  return m;
}

int32_t CVirtualSimulator::AxisWidth() const {
  const PlotMapping m = Mapping();
  return kPlotRect.right - kPlotRect.left - m.left - m.x0;
}

PlotFrame CVirtualSimulator::Frame() const {
  return BuildPlotFrame(Mapping(), AxisWidth(), graph_.grid, graph_.gapY);
}

std::vector<CurvePath> CVirtualSimulator::Curves() const {
  const PlotMapping m = Mapping();
  std::vector<CurvePath> out;
  for (size_t i = simulated_.size(); i-- > 0;) {
    const CMeasureData& r = *simulated_[i];
    CurvePath path;
    path.slot = slots_[i];
    path.color = SlotColor(slots_[i]);
    bool started = false;
    for (const CMeasurePoint& p : r.Points()) {
      const PixelPoint at = m.At(p.time, p.voltage);
      if (!started && !kPlotRect.Contains(at)) continue;
      started = true;
      path.points.push_back(at);
    }
    out.push_back(std::move(path));
  }
  return out;
}

CEmfComparison::CEmfComparison(const std::vector<DisplayedRecord>& displayed)
    : display_(displayed) {
  for (const auto& [r, slot] : display_) {
    if (!TakesPartInEmf(*r)) continue;
    scaleTop_ = std::max(scaleTop_, EmfPerCell(*r));
  }
}

double CEmfComparison::PixelsPerVolt() const {
  return (kBarArea.bottom - kBarArea.top - 14) / (scaleTop_ - kScaleBase);
}

std::vector<EmfBar> CEmfComparison::Bars() const {
  std::vector<EmfBar> bars;
  const double scale = PixelsPerVolt();
  int32_t i = 0;
  for (size_t n = display_.size(); n-- > 0;) {
    const auto& [r, slot] = display_[n];
    if (!TakesPartInEmf(*r)) continue;
    const double e = EmfPerCell(*r);
    if (!(e > 0.0)) continue;
    EmfBar bar;
    bar.record = r;
    bar.emfPerCell = e;
    bar.slot = slot;
    bar.color = SlotColor(slot);
    const int32_t barTop =
        e > kScaleBase ? kBarArea.bottom - TruncInt((e - kScaleBase) * scale) : kBarArea.bottom;
    bar.rect = {kBarArea.left + 24 + 44 * i, barTop, kBarArea.left + 44 + 44 * i, kBarArea.bottom};
    bar.textAt = {kBarArea.left + 18 + 44 * i, barTop - 12};
    bar.text = FixedText(e, 3) + "V";
    bars.push_back(std::move(bar));
    ++i;
  }
  return bars;
}

}  // namespace qv
