// The graph view: battery voltage over elapsed time for every record of the
// display list, each in its slot colour, with a cursor that reads the
// voltages at one second and a context menu for the point detail. The
// picture is the graph's scene (output/graph_scene.h), built under the
// document's lock and painted after it by the drawing-list painter; the
// scroll range and the status text follow the records in Refresh and Follow,
// never in a paint.
//
// Two display choices: the time axis fitted to the visible width (the scale
// follows the records, the run and the window's width, and the cursor stays
// at its second; no scrolling), and the voltage axis with its labels in a
// fixed strip at the left, over which the curves scroll. Both are off at
// first; the bitmap export and the external Draw use the integer time scale
// and no strip either way.
#pragma once

#include <QAbstractScrollArea>
#include <QRect>
#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "output/graph_scene.h"
#include "views/draw_list_painter.h"

class QPainter;

namespace qv {
class CBrenlowDoc;
class CMeasureData;
class IUserInterface;
}  // namespace qv

namespace qv::ui {

// The records of the display list with their display slots, in list order
// (the current measurement first). Hold the document's lock while the
// current measurement's points are read through it during a run.
std::vector<qv::GraphCurve> DrawnCurves(const qv::CBrenlowDoc& doc);

class CGraphView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kLeft = qv::kGraphLeft;          // x of the voltage axis
  static constexpr int kTop = qv::kGraphTop;            // y of the top of the plot
  static constexpr int kHeight = qv::kGraphPlotHeight;  // plot height down to the time axis
  static constexpr int kNoCursor = qv::kNoGraphCursor;
  static constexpr int kStripWidth = 40;
  static constexpr int kStripHeight = 300;

  using Scale = qv::GraphScale;
  using CursorLabel = qv::GraphCursorLabel;

  explicit CGraphView(qv::CBrenlowDoc& doc, QWidget* parent = nullptr);
  ~CGraphView() override;

  void SetUserInterface(qv::IUserInterface* ui) { ui_ = ui; }
  // Receives the status text ("放電計測中" or empty) at every Refresh and
  // Follow.
  void SetStatusHandler(std::function<void(const QString&)> handler) {
    status_ = std::move(handler);
  }

  // Sets the content width to the widest curve and the status text, repaints
  // everything (the curves mapped again: their points may have changed in
  // place) and re-evaluates the cursor at the same second (with the integer
  // scale: at the same content x).
  void Refresh();
  // Keeps the newest point of the current measurement in sight (and sets the
  // content width and the status text as Refresh does).
  void Follow();
  void Follow(int newestTime);
  // Paints the graph and changes nothing else (a repaint of the whole view
  // keeps its curves for the next one). On screen (external false)
  // the area is the visible part of the view; otherwise the graph is painted
  // into `area` of any surface, on white when whiteBackground is set.
  void Draw(QPainter& p, const QRect& area, bool external, bool whiteBackground = false);
  // The time scale is taken as 1 when below 1 (ScaleOf).
  void ApplySettings(const qv::GraphSettings& settings);
  // The scale on screen: the settings' scale, or fitted to the view.
  const Scale& GetScale() const { return scale_; }

  // The time axis fits the visible width: the longest drawn record, or
  // during a run the run so far with room to grow (FitSpan), fills it.
  void SetFitTime(bool on);
  bool FitTime() const { return fit_; }
  // The voltage axis and labels stay in a fixed strip at the left.
  void SetVoltStrip(bool on);
  bool VoltStrip() const { return voltStrip_; }

  // Cursor update at a window x; returns the cursor's second.
  int CursorUpdate(int windowX);
  int CursorX() const { return cursor_.x; }
  const std::string& CursorTimeText() const { return cursor_.timeText; }
  const std::vector<CursorLabel>& CursorLabels() const { return cursor_.labels; }

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
  // Fitted: the scale for the records, the run and the width now, the cursor
  // moved to its second on it at once; else the settings' scale.
  void UpdateScale();
  // Reads the labels at second `t` and places the cursor there; no cursor
  // where no curve has a point at `t` (or for t < 0).
  void PlaceCursor(int t);
  // The content grows with the widest curve; the status text follows the
  // run.
  void ShowExtentAndStatus();
  void InvalidateStrip(int contentX);

  qv::CBrenlowDoc& doc_;
  qv::IUserInterface* ui_ = nullptr;
  std::function<void(const QString&)> status_;
  Scale baseScale_;  // from the settings
  Scale scale_;      // on screen
  bool fit_ = false;
  bool voltStrip_ = false;
  int contentWidth_ = 200;
  qv::GraphCursor cursor_;
  int cursorSecond_ = -1;  // the cursor's second; -1 without a cursor
  int drawnCursorX_ = kNoCursor;
  const qv::CMeasureData* detailRecord_ = nullptr;
  int detailTime_ = -1;
  QRect paintClip_;
  LabelTextCache labelCache_;
  qv::CurveRunsCache runsCache_;  // the curves of the last full repaint
};

}  // namespace qv::ui
