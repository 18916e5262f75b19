#include "views/graph_view.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cstdint>
#include <mutex>

#include "analysis/numeric.h"
#include "data/document.h"
#include "data/text_format.h"
#include "views/point_detail_dialog.h"

namespace qv::ui {

std::vector<GraphCurve> DrawnCurves(const CBrenlowDoc& doc) {
  return doc.Displayed();
}

CGraphView::CGraphView(CBrenlowDoc& doc, QWidget* parent) : QAbstractScrollArea(parent), doc_(doc) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFrameShape(QFrame::NoFrame);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  setFocusPolicy(Qt::StrongFocus);
  horizontalScrollBar()->setSingleStep(10);
  SetContentWidth(200);
}

CGraphView::~CGraphView() = default;

int CGraphView::ScrollX() const {
  return horizontalScrollBar()->value();
}

void CGraphView::ApplySettings(const GraphSettings& g) {
  baseScale_ = ScaleOf(g);
  UpdateScale();
}

void CGraphView::UpdateScale() {
  if (!fit_) {
    scale_ = baseScale_;
    return;
  }
  int longest = 0;
  int newest = 0;
  {
    std::lock_guard<std::mutex> guard(doc_.Lock());
    longest = LongestTime(DrawnCurves(doc_));
    newest = doc_.Current().GetDischargeTime();
  }
  const int span = FitSpan(longest, doc_.App().runActive, newest);
  scale_ = FitScale(baseScale_, span, viewport()->width());
  // The cursor moves with the scale and keeps its second and readout.
  if (cursor_.x < 0 || cursorSecond_ < 0) return;
  const int x = scale_.XOf(cursorSecond_);
  if (x == cursor_.x) return;
  InvalidateStrip(drawnCursorX_);
  if (drawnCursorX_ == cursor_.x) drawnCursorX_ = x;
  cursor_.x = x;
  InvalidateStrip(x);
}

void CGraphView::SetFitTime(bool on) {
  if (fit_ == on) return;
  fit_ = on;
  if (!on) SetContentWidth(200);  // Refresh widens it to the curves again
  Refresh();
}

void CGraphView::SetVoltStrip(bool on) {
  if (voltStrip_ == on) return;
  voltStrip_ = on;
  viewport()->update();
}

void CGraphView::SetContentWidth(int width) {
  contentWidth_ = width;
  QScrollBar* bar = horizontalScrollBar();
  const int page = viewport()->width();
  bar->setPageStep(std::max(1, page));
  bar->setRange(0, std::max(0, contentWidth_ - page));
}

void CGraphView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (fit_) {
    UpdateScale();
    SetContentWidth(viewport()->width());
    viewport()->update();
    return;
  }
  SetContentWidth(contentWidth_);
}

void CGraphView::scrollContentsBy(int dx, int dy) {
  (void)dx;
  (void)dy;
  viewport()->update();
}

void CGraphView::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  // Only the invalidated part needs its ticks and curve segments (the
  // cursor strips are 40 pixels wide).
  paintClip_ = event->rect();
  Draw(p, viewport()->rect(), false);
  paintClip_ = QRect();
}

void CGraphView::Draw(QPainter& p, const QRect& area, bool external, bool whiteBackground) {
  // The part of the content that can show, in content coordinates: what is
  // outside is skipped, not drawn and clipped.
  QRect visible;
  QRect fill;
  QPoint origin;  // of the content on the surface
  if (external) {
    visible = area;
    if (p.hasClipping()) visible &= p.clipBoundingRect().toAlignedRect();
    visible.translate(-area.topLeft());
    fill = QRect(QPoint(0, 0), area.size());
    origin = area.topLeft();
  } else {
    visible = paintClip_.isValid() ? area & paintClip_ : area;
    visible.translate(ScrollX(), 0);
    fill = visible;
    origin = QPoint(-ScrollX(), 0);
  }
  GraphSceneOptions o;
  o.whiteBackground = external && whiteBackground;
  o.fillLeft = fill.left();
  o.fillTop = fill.top();
  o.fillRight = fill.left() + fill.width();
  o.fillBottom = fill.top() + fill.height();
  o.visLeft = visible.left() - 1;
  o.visRight = visible.right() + 1;
  if (cursor_.x == drawnCursorX_) o.cursor = &cursor_;
  if (!external && voltStrip_) o.voltStripLeft = ScrollX();
  // The whole view keeps its curves from one repaint to the next; the
  // cursor's strips and the export build theirs afresh.
  if (!external && (!paintClip_.isValid() || paintClip_.contains(area))) o.runsCache = &runsCache_;

  DrawList scene;
  {
    std::lock_guard<std::mutex> guard(doc_.Lock());
    scene = BuildGraphScene(DrawnCurves(doc_), external ? baseScale_ : scale_, o);
  }
  p.save();
  p.translate(origin);
  PaintDrawList(p, scene, PixelMapper(), &labelCache_);
  p.restore();
}

void CGraphView::ShowExtentAndStatus() {
  UpdateScale();
  if (fit_) {
    SetContentWidth(viewport()->width());
    if (status_) status_(doc_.App().runActive ? QString::fromUtf8("放電計測中") : QString());
    return;
  }
  int width = 0;
  {
    std::lock_guard<std::mutex> guard(doc_.Lock());
    width = CurveWidth(DrawnCurves(doc_), scale_);
  }
  if (width > 0) SetContentWidth(ClampInt(int64_t{width} + 2 * kLeft));
  if (status_) status_(doc_.App().runActive ? QString::fromUtf8("放電計測中") : QString());
}

void CGraphView::InvalidateStrip(int contentX) {
  viewport()->update(QRect(contentX - ScrollX(), 0, kStripWidth, kStripHeight));
}

int CGraphView::CursorUpdate(int windowX) {
  const int t = CursorSecond(windowX, ScrollX(), scale_);
  PlaceCursor(t);
  return t;
}

void CGraphView::PlaceCursor(int t) {
  std::vector<CursorLabel>& labels = cursor_.labels;
  labels.clear();
  bool found = false;
  if (t >= 0) {
    for (const GraphCurve& c : DrawnCurves(doc_)) {
      std::unique_lock<std::mutex> guard(doc_.Lock(), std::defer_lock);
      if (c.record == &doc_.Current()) guard.lock();
      const CMeasurePoint* p = c.record->FindPoint(t);
      if (!p) continue;
      const CursorLabel label{p->voltage, c.record->cells, c.slot};
      auto pos = std::find_if(labels.begin(), labels.end(),
                              [&](const CursorLabel& l) { return l.v < label.v; });
      labels.insert(pos, label);
      found = true;
    }
  }
  if (found) {
    const int x = scale_.XOf(t);
    if (x != drawnCursorX_) {
      InvalidateStrip(drawnCursorX_);
      cursor_.x = x;
      InvalidateStrip(cursor_.x);
      drawnCursorX_ = cursor_.x;
      cursor_.timeText = Format("%ds", t);
    }
    cursorSecond_ = t;
  } else {
    cursor_.timeText.clear();
    cursor_.x = kNoCursor;
    cursorSecond_ = -1;
    InvalidateStrip(drawnCursorX_);
    drawnCursorX_ = kNoCursor;
  }
}

void CGraphView::Refresh() {
  runsCache_.Invalidate();  // the records may have changed in place
  ShowExtentAndStatus();
  viewport()->update();
  if (isVisible()) viewport()->repaint();
  // The repaint drew the cursor where it was; its strip is repainted again
  // after the new evaluation, which may move or remove it.
  InvalidateStrip(drawnCursorX_);
  drawnCursorX_ = kNoCursor;
  // Fitted, one pixel may hold several seconds: the second is kept, not the
  // pixel.
  if (fit_)
    PlaceCursor(cursorSecond_);
  else
    CursorUpdate(cursor_.x - ScrollX());
}

void CGraphView::Follow() {
  int t = 0;
  {
    std::lock_guard<std::mutex> guard(doc_.Lock());
    t = doc_.Current().GetDischargeTime();
  }
  Follow(t);
}

void CGraphView::Follow(int newestTime) {
  if (fit_) {
    // The fitted span holds the newest point with room to spare.
    ShowExtentAndStatus();
    viewport()->update();
    if (isVisible()) viewport()->repaint();
    return;
  }
  const int content =
      ClampInt(static_cast<int64_t>(newestTime) * scale_.timeScale + 2 * int64_t{kLeft});
  SetContentWidth(content);
  const int visible = viewport()->width();
  if (visible < content) {
    const int target = content - visible;
    if (target - ScrollX() < 40) horizontalScrollBar()->setValue(target);
  }
  // An overlay longer than the run keeps the content as wide as it is.
  ShowExtentAndStatus();
  viewport()->update();
  if (isVisible()) viewport()->repaint();
}

void CGraphView::mouseMoveEvent(QMouseEvent* event) {
  CursorUpdate(static_cast<int>(event->position().x()));
}

bool CGraphView::PrepareDetail(int windowX) {
  detailRecord_ = nullptr;
  detailTime_ = -1;
  if (doc_.App().runActive) return false;
  if (!(doc_.App().optionFlags & kOptionContextMenu)) return false;
  const int t = CursorUpdate(windowX);
  if (t < 0) return false;
  for (const CMeasureData* r : doc_.DisplayList()) {
    std::unique_lock<std::mutex> guard(doc_.Lock(), std::defer_lock);
    if (r == &doc_.Current()) guard.lock();
    if (const CMeasurePoint* p = r->FindPoint(t)) {
      detailRecord_ = r;
      detailTime_ = p->time;
      return true;
    }
  }
  return false;
}

void CGraphView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  if (!PrepareDetail(static_cast<int>(event->position().x()))) return;
  QMenu menu(this);
  QAction* detail = menu.addAction(QString::fromUtf8("詳細情報"));
  detail->setStatusTip(QString::fromUtf8("この点における情報を表示します｡"));
  if (menu.exec(event->globalPosition().toPoint()) == detail) OpenPointDetail();
}

void CGraphView::OpenPointDetail() {
  if (!detailRecord_ || detailTime_ < 0) return;
  CPointDetailDialog::Open(doc_, detailTime_, this);
}

void CGraphView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
    // Fitted, one second may be less than a pixel: the pointer moves one
    // pixel at least.
    const int pixels = scale_.Fitted()
                           ? std::max(1, (scale_.fitPixels + scale_.fitSpan - 1) / scale_.fitSpan)
                           : scale_.timeScale;
    const int step = event->key() == Qt::Key_Left ? -pixels : pixels;
    const QPoint pos = QCursor::pos() + QPoint(step, 0);
    QCursor::setPos(pos);
    // Platforms without a real pointer send no move event: update here too.
    const QPoint local = viewport()->mapFromGlobal(pos);
    if (viewport()->rect().contains(local)) CursorUpdate(local.x());
    event->accept();
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

}  // namespace qv::ui
