#include "views/graph_view.h"

#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>
#include <QStaticText>
#include <algorithm>
#include <cmath>
#include <mutex>

#include "analysis/numeric.h"
#include "core/numtext.h"
#include "data/document.h"
#include "data/text_format.h"
#include "views/fonts.h"
#include "views/point_detail_dialog.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

// The graph's font: 9 points at the screen's 96 dots per inch.
constexpr int kFontPixels = 12;
constexpr int kMaxVoltTicks = 10000;

QColor SlotQColor(int slot) {
  const uint32_t rgb = SlotColor(slot);
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QPen OnePixelPen(const QColor& c, Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(c, 1, style);
  pen.setCosmetic(true);
  return pen;
}

// A horizontal or vertical line that, like the platform's line drawing,
// leaves out its end pixel.
void Line(QPainter& p, int x1, int y1, int x2, int y2) {
  if (x1 == x2 && y1 == y2) return;
  if (x1 == x2)
    y2 += y2 > y1 ? -1 : 1;
  else if (y1 == y2)
    x2 += x2 > x1 ? -1 : 1;
  p.drawLine(x1, y1, x2, y2);
}

// Text with its top-left corner at (x, y).
void TextOut(QPainter& p, int x, int y, const QString& text) {
  p.drawText(QRect(x, y, 200, kFontPixels + 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
             text);
}

// Whether (x, y) continues the segment a-b in the same direction along the
// same row or column.
bool Extends(const QPoint& a, const QPoint& b, int x, int y) {
  if (a.y() == b.y() && b.y() == y) return (b.x() - a.x() > 0) == (x - b.x() > 0) && x != b.x();
  if (a.x() == b.x() && b.x() == x) return (b.y() - a.y() > 0) == (y - b.y() > 0) && y != b.y();
  return false;
}

// Pixel arithmetic on large times must not overflow.
int Pixel(int64_t v) {
  return ClampInt(v);
}

// y(v) = trunc(H - (v * k - k * Vmin)) + T with k = H / (Vmax - Vmin) worked
// out once for a whole curve; an undefined scale puts every voltage on the
// time axis.
class VoltToY {
 public:
  explicit VoltToY(const CGraphView::Scale& s)
      : k_(CGraphView::kHeight / (s.maxV - s.minV)), minV_(s.minV) {}
  int operator()(double v) const {
    const double y = CGraphView::kHeight - (v * k_ - k_ * minV_);
    if (!std::isfinite(y)) return CGraphView::kTop + CGraphView::kHeight;
    return TruncInt(y) + CGraphView::kTop;
  }

 private:
  double k_;
  double minV_;
};

}  // namespace

int CGraphView::YOf(double v, const Scale& s) {
  return VoltToY(s)(v);
}

std::vector<CGraphView::TimeTick> CGraphView::TimeTicks(int width, const Scale& s) {
  std::vector<TimeTick> ticks;
  if (s.timeScale <= 0 || width < 0) return ticks;
  const int last = width / s.timeScale;
  for (int t = 0; t <= last; t += 10) {
    const bool major = t % 50 == 0;
    ticks.push_back(
        {t, Pixel(kLeft + static_cast<int64_t>(t) * s.timeScale), major ? 5 : 4, major});
    if (t > last - 10) break;  // no overflow near the int limit
  }
  return ticks;
}

std::vector<CGraphView::VoltTick> CGraphView::VoltTicks(const Scale& s) {
  std::vector<VoltTick> ticks;
  // A step of zero (or a broken range) would never reach the top.
  if (!(s.stepV > 0.0) || !std::isfinite(s.minV) || !std::isfinite(s.maxV)) return ticks;
  for (double v = s.minV; v <= s.maxV && static_cast<int>(ticks.size()) < kMaxVoltTicks;
       v += s.stepV)
    ticks.push_back({v, YOf(v, s)});
  return ticks;
}

int CGraphView::CursorSecond(int windowX, int scroll, const Scale& s) {
  if (s.timeScale <= 0) return -1;
  return (s.timeScale / 2 + windowX + scroll - kLeft) / s.timeScale;
}

std::string CGraphView::CursorLabelText(double v, int cells) {
  std::string text = FixedText(v, cells == 1 ? 3 : 2);
  if (text.size() > 5) text.resize(5);
  return text + "V";
}

int CGraphView::CurveStart(const std::vector<CMeasurePoint>& points) {
  for (size_t i = 0; i < points.size(); ++i) {
    const double v = points[i].voltage;
    if (v > 0.0 && v < 12.0) return static_cast<int>(i);
  }
  return -1;
}

void CGraphView::BuildCurveRuns(const std::vector<CMeasurePoint>& points, const Scale& s,
                                int visLeft, int visRight, CurveRuns& out) {
  out.lengths.clear();
  const int start = CurveStart(points);
  if (start < 0) {
    out.points.clear();
    return;
  }
  // Every point lands at most once, and each run starts with at most one
  // point more than it takes: the buffer never grows past this.
  out.points.resize(static_cast<int>(points.size() - static_cast<size_t>(start)) + 1);
  QPoint* buf = out.points.data();
  int total = 0;  // points of the finished runs
  int n = 0;      // points of the open run, at buf + total
  auto side = [&](int x) { return x < visLeft ? -1 : (x > visRight ? 1 : 0); };
  auto endRun = [&] {
    if (n > 0) out.lengths.push_back(n);
    total += n;
    n = 0;
  };
  const VoltToY yOf(s);
  int prevX = 0;
  int prevY = 0;
  for (size_t i = static_cast<size_t>(start); i < points.size(); ++i) {
    const int x = Pixel(int64_t{kLeft} + static_cast<int64_t>(points[i].time) * s.timeScale);
    const int y = yOf(points[i].voltage);
    QPoint* run = buf + total;
    if (i == static_cast<size_t>(start)) {
      if (side(x) == 0) run[n++] = QPoint(x, y);
    } else {
      const int a = side(prevX);
      if (a != 0 && a == side(x)) {
        endRun();  // this segment cannot show
      } else if (n == 0) {
        run[n++] = QPoint(prevX, prevY);
        run[n++] = QPoint(x, y);
      } else if (n >= 2 && Extends(run[n - 2], run[n - 1], x, y)) {
        run[n - 1] = QPoint(x, y);
      } else {
        run[n++] = QPoint(x, y);
      }
    }
    prevX = x;
    prevY = y;
  }
  endRun();
  out.points.resize(total);
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
  scale_.maxV = g.maxV;
  scale_.minV = g.minV;
  scale_.stepV = g.gapY;
  scale_.grid = g.grid;
  // The time scale divides; a broken settings file must not stop the view.
  scale_.timeScale = g.gapX >= 1 ? g.gapX : 1;
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

// The numbered steps of the drawing order stay together in one function, in
// their order: it reads best whole.
void CGraphView::Draw(QPainter& p, const QRect& area, bool external, bool whiteBackground) {
  const Scale s = scale_;
  const auto& display = doc_.DisplayList();
  const bool white = external && whiteBackground;
  const int S = s.timeScale;

  p.save();
  std::unique_lock<std::mutex> guard(doc_.Lock());

  // 1. The widest curve.
  int64_t widest = 0;
  for (const CMeasureData* r : display)
    widest = std::max<int64_t>(widest, static_cast<int64_t>(r->GetDischargeTime()) * S);
  const int W = Pixel(widest);

  // 2. Background; content coordinates from here on.
  p.setRenderHint(QPainter::Antialiasing, false);
  // The part of the content that can show, in content coordinates: what is
  // outside is skipped, not drawn and clipped.
  QRect visible;
  if (external) {
    p.fillRect(area, white ? Qt::white : Qt::black);
    visible = area;
    if (p.hasClipping()) visible &= p.clipBoundingRect().toAlignedRect();
    visible.translate(-area.topLeft());
    p.translate(area.topLeft());
  } else {
    visible = paintClip_.isValid() ? area & paintClip_ : area;
    p.fillRect(visible, Qt::black);
    visible.translate(ScrollX(), 0);
    p.translate(-ScrollX(), 0);
  }
  const int visLeft = visible.left() - 1;
  const int visRight = visible.right() + 1;

  // 3. Pens, font and colours.
  const QColor axis = white ? QColor(Qt::black) : QColor(200, 255, 200);
  const QColor textColor = white ? QColor(Qt::black) : QColor(Qt::white);
  const QPen solid = OnePixelPen(axis);
  const QPen dotted = OnePixelPen(axis, Qt::DotLine);
  p.setPen(solid);
  // Crisp glyphs, as the bitmap face of the original font draws them.
  QFont font = GothicFont(kFontPixels);
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  p.setBackgroundMode(Qt::TransparentMode);

  // 4. Cursor.
  if (cursorX_ == drawnCursorX_ && cursorX_ >= 0) {
    Line(p, cursorX_, kTop, cursorX_, kTop + kHeight);
    p.setPen(textColor);
    TextOut(p, cursorX_ + 2, kTop + kHeight - 10, ToQt(cursorTime_));
    int y = kTop;
    for (const CursorLabel& l : labels_) {
      p.setPen(SlotQColor(l.slot));
      TextOut(p, cursorX_ + 2, y, ToQt(CursorLabelText(l.v, l.cells)));
      y += 10;
    }
    p.setPen(solid);
  }

  // 5. Axes.
  Line(p, kLeft, kTop, kLeft, kTop + kHeight);
  Line(p, kLeft, kTop + kHeight, Pixel(int64_t{kLeft} + W), kTop + kHeight);

  // 6. Time ticks and labels (lines first, in one call, then the texts:
  // switching pens per tick costs more than the drawing).
  std::vector<QLine>& lines = lineBuffer_;
  lines.clear();
  std::vector<const TimeTick*> labelled;
  const std::vector<TimeTick> timeTicks = TimeTicks(W, s);
  for (const TimeTick& t : timeTicks) {
    if (t.x + 20 < visLeft || t.x - 18 > visRight) continue;
    // The end pixel is left out, as Line() does.
    lines.emplace_back(t.x, kTop + kHeight, t.x, kTop + kHeight + t.length - 1);
    if (t.label) labelled.push_back(&t);
  }
  p.setPen(solid);
  p.drawLines(lines.data(), static_cast<int>(lines.size()));
  p.setPen(textColor);
  // Each label centred over its tick; laid-out texts are kept between
  // repaints (hundreds of labels on a long export).
  if (labelFont_ != font) {
    labelCache_.clear();
    labelFont_ = font;
  }
  const QFontMetrics fm(font);
  for (const TimeTick* t : labelled) {
    auto it = labelCache_.find(t->t);
    if (it == labelCache_.end()) {
      QStaticText text(QString::number(t->t));
      text.setTextFormat(Qt::PlainText);
      text.prepare(QTransform(), font);
      it = labelCache_.emplace(t->t, std::move(text)).first;
    }
    const int width = fm.horizontalAdvance(it->second.text());
    p.drawStaticText(QPoint(t->x - 18 + (38 - width) / 2, kTop + kHeight + 5), it->second);
  }

  // 7. Voltage ticks, labels and the grid.
  const std::vector<VoltTick> voltTicks = VoltTicks(s);
  p.setPen(s.grid ? dotted : solid);
  for (const VoltTick& v : voltTicks)
    Line(p, kLeft - 5, v.y, s.grid ? Pixel(int64_t{kLeft} + W) : kLeft, v.y);
  p.setPen(textColor);
  // Each label hangs from the top of its rectangle, so the digits sit level
  // with the tick and the top label "12.00" still starts inside the view.
  for (const VoltTick& v : voltTicks)
    p.drawText(QRect(5, v.y - 5, 30, 10), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
               ToQt(FixedText(v.v, 2)));

  // 9. Curves.
  DrawCurves(p, s, visLeft, visRight);
  guard.unlock();
  p.restore();

  // 10. The content grows with the widest curve.
  if (W > 0) SetContentWidth(Pixel(int64_t{W} + 2 * kLeft));

  // 11. Measurement status.
  if (status_) status_(doc_.App().runActive ? QString::fromUtf8("放電計測中") : QString());
}

void CGraphView::DrawCurves(QPainter& p, const Scale& s, int visLeft, int visRight) {
  // The current measurement, first in the display list, is drawn last so
  // that it lies on top.
  const auto& display = doc_.DisplayList();
  for (auto it = display.rbegin(); it != display.rend(); ++it) {
    const CMeasureData& r = **it;
    BuildCurveRuns(r.Points(), s, visLeft, visRight, curveBuffer_);
    if (curveBuffer_.lengths.empty()) continue;
    p.setPen(OnePixelPen(SlotQColor(doc_.SlotOf(r))));
    const QPoint* run = curveBuffer_.points.constData();
    for (int n : curveBuffer_.lengths) {
      if (n == 1)
        p.drawPoint(run[0]);
      else
        p.drawPolyline(run, n);
      run += n;
    }
  }
}

void CGraphView::InvalidateStrip(int contentX) {
  viewport()->update(QRect(contentX - ScrollX(), 0, kStripWidth, kStripHeight));
}

int CGraphView::CursorUpdate(int windowX) {
  labels_.clear();
  const int t = CursorSecond(windowX, ScrollX(), scale_);
  bool found = false;
  if (t >= 0) {
    for (const CMeasureData* r : doc_.DisplayList()) {
      std::unique_lock<std::mutex> guard(doc_.Lock(), std::defer_lock);
      if (r == &doc_.Current()) guard.lock();
      const CMeasurePoint* p = r->FindPoint(t);
      if (!p) continue;
      const CursorLabel label{p->voltage, r->cells, doc_.SlotOf(*r)};
      auto pos = std::find_if(labels_.begin(), labels_.end(),
                              [&](const CursorLabel& l) { return l.v < label.v; });
      labels_.insert(pos, label);
      found = true;
    }
  }
  if (found) {
    const int x = XOf(t, scale_);
    if (x != drawnCursorX_) {
      InvalidateStrip(drawnCursorX_);
      cursorX_ = x;
      InvalidateStrip(cursorX_);
      drawnCursorX_ = cursorX_;
      cursorTime_ = Format("%ds", t);
    }
  } else {
    cursorTime_.clear();
    cursorX_ = kNoCursor;
    InvalidateStrip(drawnCursorX_);
    drawnCursorX_ = kNoCursor;
  }
  return t;
}

void CGraphView::Refresh() {
  viewport()->update();
  if (isVisible()) viewport()->repaint();
  // The repaint drew the cursor where it was; its strip is repainted again
  // after the new evaluation, which may move or remove it.
  InvalidateStrip(drawnCursorX_);
  drawnCursorX_ = kNoCursor;
  CursorUpdate(cursorX_ - ScrollX());
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
  const int content =
      Pixel(static_cast<int64_t>(newestTime) * scale_.timeScale + 2 * int64_t{kLeft});
  SetContentWidth(content);
  const int visible = viewport()->width();
  if (visible < content) {
    const int target = content - visible;
    if (target - ScrollX() < 40) horizontalScrollBar()->setValue(target);
  }
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
    const int step = event->key() == Qt::Key_Left ? -scale_.timeScale : scale_.timeScale;
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
