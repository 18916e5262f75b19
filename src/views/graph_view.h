// The graph view: battery voltage over elapsed time for every record of the
// display list, each in its slot colour, with a cursor that reads the
// voltages at one second and a context menu for the point detail.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QLine>
#include <QPolygon>
#include <QRect>
#include <QStaticText>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/app_state.h"

class QPainter;

namespace qv {
class CBrenlowDoc;
class CMeasureData;
struct CMeasurePoint;
class IUserInterface;
}  // namespace qv

namespace qv::ui {

class CGraphView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kLeft = 40;     // x of the voltage axis
  static constexpr int kTop = 5;       // y of the top of the plot
  static constexpr int kHeight = 295;  // plot height down to the time axis
  static constexpr int kNoCursor = -50;
  static constexpr int kStripWidth = 40;
  static constexpr int kStripHeight = 300;

  // Scale math, shared by screen, bitmap and tests.
  // The first values are the view's own until the settings are applied.
  struct Scale {
    double maxV = qv::kFirstGraph.maxV;
    double minV = qv::kFirstGraph.minV;
    double stepV = qv::kFirstGraph.gapY;
    bool grid = qv::kFirstGraph.grid;
    int timeScale = qv::kFirstGraph.gapX;  // pixels per second
  };
  struct TimeTick {
    int t;
    int x;
    int length;  // 5 at multiples of 50, else 4
    bool label;
  };
  struct VoltTick {
    double v;
    int y;
  };
  static int YOf(double v, const Scale& s);
  static int XOf(int t, const Scale& s) { return kLeft + t * s.timeScale; }
  // Ticks every 10 s up to width / timeScale seconds.
  static std::vector<TimeTick> TimeTicks(int width, const Scale& s);
  // Vmin, Vmin + step, ... while not above Vmax (the step accumulates).
  static std::vector<VoltTick> VoltTicks(const Scale& s);
  // The second nearest to a window x.
  static int CursorSecond(int windowX, int scroll, const Scale& s);
  // "%.3f" (one cell) or "%.2f", cut to 5 characters, then "V".
  static std::string CursorLabelText(double v, int cells);
  // The index of the point that starts the curve: the first whose voltage
  // lies strictly between 0.0 and 12.0; -1 when none does.
  static int CurveStart(const std::vector<qv::CMeasurePoint>& points);

  // A record's curve as it is drawn, in content coordinates: from its start
  // point (CurveStart) on, runs of joined segments through (XOf(t), YOf(v)).
  // A segment whose ends both lie left of `visLeft`, or both right of
  // `visRight`, cannot show: it is left out and ends the run. A straight
  // horizontal or vertical stretch of several points is one segment, as it
  // covers the same pixels. A run of one point is drawn as a dot.
  struct CurveRuns {
    QPolygon points;           // every run's points, back to back
    std::vector<int> lengths;  // the number of points of each run, in order
  };
  // Fills `out` (its storage is reused from one call to the next).
  static void BuildCurveRuns(const std::vector<qv::CMeasurePoint>& points, const Scale& s,
                             int visLeft, int visRight, CurveRuns& out);

  explicit CGraphView(qv::CBrenlowDoc& doc, QWidget* parent = nullptr);
  ~CGraphView() override;

  void SetUserInterface(qv::IUserInterface* ui) { ui_ = ui; }
  // Receives the status text ("放電計測中" or empty) after every Draw.
  void SetStatusHandler(std::function<void(const QString&)> handler) {
    status_ = std::move(handler);
  }

  // Repaints everything and re-evaluates the cursor at the same second.
  void Refresh();
  // Keeps the newest point of the current measurement in sight.
  void Follow();
  void Follow(int newestTime);
  // Paints the graph. On screen (external false) the area is the visible
  // part of the view; otherwise the graph is painted into `area` of any
  // surface, on white when whiteBackground is set.
  void Draw(QPainter& p, const QRect& area, bool external, bool whiteBackground = false);
  void ApplySettings(const qv::GraphSettings& settings);
  const Scale& GetScale() const { return scale_; }

  // Cursor update at a window x; returns the cursor's second.
  int CursorUpdate(int windowX);
  int CursorX() const { return cursorX_; }
  const std::string& CursorTimeText() const { return cursorTime_; }
  struct CursorLabel {
    double v;
    int cells;
    int slot;
  };
  const std::vector<CursorLabel>& CursorLabels() const { return labels_; }

  // Right-button logic: picks the detail record and point at a window x.
  // True when the context menu would open.
  bool PrepareDetail(int windowX);
  const qv::CMeasureData* DetailRecord() const { return detailRecord_; }
  int DetailTime() const { return detailTime_; }
  // The "詳細情報" command.
  void OpenPointDetail();

  int ContentWidth() const { return contentWidth_; }
  int ScrollX() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void SetContentWidth(int width);
  // Step 9 of Draw, under the document lock: every curve of the display list
  // that can show between visLeft and visRight (content x).
  void DrawCurves(QPainter& p, const Scale& s, int visLeft, int visRight);
  void InvalidateStrip(int contentX);

  qv::CBrenlowDoc& doc_;
  qv::IUserInterface* ui_ = nullptr;
  std::function<void(const QString&)> status_;
  Scale scale_;
  int contentWidth_ = 200;
  int cursorX_ = kNoCursor;
  int drawnCursorX_ = kNoCursor;
  std::string cursorTime_;
  std::vector<CursorLabel> labels_;
  const qv::CMeasureData* detailRecord_ = nullptr;
  int detailTime_ = -1;
  QRect paintClip_;
  CurveRuns curveBuffer_;
  std::vector<QLine> lineBuffer_;
  QFont labelFont_;
  std::map<int, QStaticText> labelCache_;
};

}  // namespace qv::ui
