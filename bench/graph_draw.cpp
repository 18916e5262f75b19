// A full repaint of the graph with seven curves of 9,999 points, against the
// bare cost of one drawPolyline per curve on the same surface: at whole
// pixels a second, and with the time axis fitted to a window 1,000 pixels
// wide (some ten points a pixel). A repaint of the view keeps the curves of
// the last one while nothing changed; the fitted case is also measured after
// a new point and after a change of scale.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <cmath>
#include <memory>
#include <vector>

#include "core/app_state.h"
#include "data/document.h"
#include "output/graph_scene.h"
#include "views/graph_view.h"
#include "views/qt_color.h"

namespace {

constexpr int kPoints = 9999;
constexpr int kWidth = 1000;
constexpr int kHeight = 339;

void Fill(qv::CMeasureData& r, double start, double slope) {
  for (int t = 0; t < kPoints; ++t) {
    qv::CMeasurePoint p;
    p.time = t;
    p.voltage = start - slope * t + 0.05 * std::sin(t * 0.01);
    p.current = 1.0;
    r.AppendPoint(p);
  }
}

struct Scene {
  explicit Scene(int timeScale, bool fit = false) : doc(app) {
    app.graph = {12.0, 0.0, false, timeScale, 1.0};
    Fill(doc.Current(), 8.4, 0.0002);
    for (int i = 0; i < 6; ++i) {
      auto r = std::make_unique<qv::CMeasureData>();
      r->id1 = r->id2 = 1;
      r->id3 = i + 1;
      Fill(*r, 8.0 - i * 0.4, 0.0002 + i * 0.00003);
      doc.ToggleOverlay(doc.InsertRegistered(std::move(r)));
    }
    view = std::make_unique<qv::ui::CGraphView>(doc);
    view->ApplySettings(app.graph);
    if (fit) {
      view->resize(kWidth, kHeight);
      view->show();
      QApplication::processEvents();
      view->SetFitTime(true);
    }
  }
  qv::CAppState app;
  qv::CBrenlowDoc doc;
  std::unique_ptr<qv::ui::CGraphView> view;
};

// range(0): time scale; range(1): surface width (0: the whole curve, as the
// bitmap export paints it).
int SurfaceWidth(const benchmark::State& state) {
  const int w = static_cast<int>(state.range(1));
  return w > 0 ? w : kPoints * static_cast<int>(state.range(0)) + 80;
}

void BM_GraphFullRepaint(benchmark::State& state) {
  Scene scene(static_cast<int>(state.range(0)));
  QImage img(SurfaceWidth(state), kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&img);
    scene.view->Draw(p, img.rect(), false);
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
}
BENCHMARK(BM_GraphFullRepaint)
    ->Args({1, kWidth})
    ->Args({3, kWidth})
    ->Args({1, 0})
    ->Args({3, 0})
    ->Unit(benchmark::kMillisecond);

// The same points, mapped once beforehand, drawn with one drawPolyline per
// curve in the slot colours.
void PolylinesOnly(benchmark::State& state, const Scene& scene, int width) {
  const auto& s = scene.view->GetScale();
  std::vector<QPolygon> polys;
  std::vector<QPen> pens;
  for (const qv::GraphCurve& c : qv::ui::DrawnCurves(scene.doc)) {
    QPolygon poly;
    for (const auto& p : c.record->Points())
      poly << QPoint(s.XOf(p.time), s.YOf(p.voltage));
    polys.push_back(poly);
    QPen pen(qv::ui::SlotQColor(c.slot), 1);
    pen.setCosmetic(true);
    pens.push_back(pen);
  }
  QImage img(width, kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&img);
    for (size_t i = polys.size(); i-- > 0;) {
      p.setPen(pens[i]);
      p.drawPolyline(polys[i]);
    }
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
}
void BM_PolylinesOnly(benchmark::State& state) {
  const Scene scene(static_cast<int>(state.range(0)));
  PolylinesOnly(state, scene, SurfaceWidth(state));
}
BENCHMARK(BM_PolylinesOnly)
    ->Args({1, kWidth})
    ->Args({3, kWidth})
    ->Args({1, 0})
    ->Args({3, 0})
    ->Unit(benchmark::kMillisecond);

// The fitted time axis: the whole 9,999 s in the window.
void BM_GraphFullRepaintFitted(benchmark::State& state) {
  Scene scene(1, true);
  QImage img(scene.view->viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&img);
    scene.view->Draw(p, img.rect(), false);
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
}
BENCHMARK(BM_GraphFullRepaintFitted)->Unit(benchmark::kMillisecond);

void RepaintView(const Scene& scene, QImage& img) {
  QPainter p(&img);
  scene.view->Draw(p, img.rect(), false);
  p.end();
  benchmark::DoNotOptimize(img.constBits());
}

// A repaint after a new point of the current measurement, as during a run:
// that curve is mapped again, the overlays' are kept. The last point comes
// and goes, so the curve stays as long.
void BM_GraphRepaintFittedNewPoint(benchmark::State& state) {
  Scene scene(1, true);
  std::vector<qv::CMeasurePoint>& points = scene.doc.Current().MutablePoints();
  const qv::CMeasurePoint last = points.back();
  QImage img(scene.view->viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    if (points.size() == kPoints)
      points.pop_back();
    else
      points.push_back(last);
    RepaintView(scene, img);
  }
}
BENCHMARK(BM_GraphRepaintFittedNewPoint)->Unit(benchmark::kMillisecond);

// A repaint after a change of scale (here the voltage range, every time):
// every curve is mapped again.
void BM_GraphRepaintFittedNewScale(benchmark::State& state) {
  Scene scene(1, true);
  qv::GraphSettings g = scene.app.graph;
  QImage img(scene.view->viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    g.minV = g.minV == 0.0 ? 0.1 : 0.0;
    scene.view->ApplySettings(g);
    RepaintView(scene, img);
  }
}
BENCHMARK(BM_GraphRepaintFittedNewScale)->Unit(benchmark::kMillisecond);

void BM_PolylinesOnlyFitted(benchmark::State& state) {
  const Scene scene(1, true);
  PolylinesOnly(state, scene, scene.view->viewport()->width());
}
BENCHMARK(BM_PolylinesOnlyFitted)->Unit(benchmark::kMillisecond);

// For reference: the background fill alone, which the repaint needs and the
// bare polylines do not.
void BM_BackgroundOnly(benchmark::State& state) {
  QImage img(SurfaceWidth(state), kHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&img);
    p.fillRect(img.rect(), Qt::black);
    p.end();
    benchmark::DoNotOptimize(img.constBits());
  }
}
BENCHMARK(BM_BackgroundOnly)
    ->Args({1, kWidth})
    ->Args({1, 0})
    ->Args({3, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
