#include "views/draw_list_painter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "views/fonts.h"
#include "views/qt_color.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

const QImage& Logo(LogoImage which) {
  static const QImage horizontal(QStringLiteral(":/quorvex/images/print_logo_h.png"));
  static const QImage vertical(QStringLiteral(":/quorvex/images/print_logo_v.png"));
  static const QImage none;
  switch (which) {
    case LogoImage::kHorizontal:
      return horizontal;
    case LogoImage::kVertical:
      return vertical;
    case LogoImage::kNone:
      break;
  }
  return none;
}

Qt::Alignment AlignOf(HAlign a) {
  switch (a) {
    case HAlign::kCenter:
      return Qt::AlignHCenter;
    case HAlign::kRight:
      return Qt::AlignRight;
    case HAlign::kLeft:
      break;
  }
  return Qt::AlignLeft;
}

void PaintCellText(QPainter& painter, const DrawItem& d, const QRectF& cell,
                   const DrawListMapper& map) {
  const double inset = map.Width(d.inset);
  QRectF text = cell.adjusted(inset, 0, -inset, 0);
  const QRectF room = d.frame ? map.Inside(cell) : text;
  Qt::Alignment vertical = Qt::AlignVCenter;
  const double line = painter.fontMetrics().height();
  if (line > room.height()) {
    text.setTop(room.top());
    text.setHeight(line);
    vertical = Qt::AlignTop;
  }
  painter.save();
  painter.setClipRect(room, Qt::IntersectClip);
  painter.drawText(text, AlignOf(d.align) | vertical | Qt::TextDontClip | Qt::TextSingleLine,
                   ToQt(d.text));
  painter.restore();
}

QStaticText LaidOut(const std::string& cp932, const QFont& font) {
  QStaticText text(ToQt(cp932));
  text.setTextFormat(Qt::PlainText);
  text.prepare(QTransform(), font);
  return text;
}

void PaintLabel(QPainter& painter, const DrawItem& d, const DrawListMapper& map, const QFont& font,
                LabelTextCache* labels) {
  const QStaticText own = labels ? QStaticText() : LaidOut(d.text, font);
  const QStaticText& text = labels ? labels->Get(d.text, font) : own;
  const QPointF at = map.Point(d.x1, d.y1);
  const int room = static_cast<int>(map.Width(d.x2 - d.x1));
  const int width = QFontMetrics(font).horizontalAdvance(text.text());
  painter.drawStaticText(QPointF(at.x() + (room - width) / 2, at.y()), text);
}

// Polylines back to back, a run of one point as a dot.
void PaintRuns(QPainter& painter, const DrawItem& d, const DrawListMapper& map, QPolygonF& poly) {
  poly.resize(static_cast<int>(d.points.size()));
  QPointF* out = poly.data();
  for (const auto& [x, y] : d.points)
    *out++ = map.Point(x, y);
  const QPointF* run = poly.constData();
  const QPointF* end = run + poly.size();
  for (int n : d.runs) {
    if (n <= 0 || n > end - run) break;
    if (n == 1)
      painter.drawPoint(run[0]);
    else
      painter.drawPolyline(run, n);
    run += n;
  }
}

}  // namespace

const QStaticText& LabelTextCache::Get(const std::string& cp932, const QFont& font) {
  if (font_ != font) {
    texts_.clear();
    font_ = font;
  }
  auto it = texts_.find(cp932);
  if (it == texts_.end()) it = texts_.emplace(cp932, LaidOut(cp932, font)).first;
  return it->second;
}

QPointF PixelMapper::Point(int x, int y) const {
  return QPointF(x, y);
}

QRectF PixelMapper::Cell(int x1, int y1, int x2, int y2) const {
  return QRectF(x1, y1, x2 - x1, y2 - y1);
}

QRectF PixelMapper::Frame(const QRectF& cell) const {
  return cell.adjusted(0, 0, -1, -1);
}

QFont PixelMapper::Font(const DrawList& list, QPainter&) const {
  // Crisp glyphs, as the graph itself draws them.
  QFont font = GothicFont(list.charHeight > 0 ? list.charHeight : 12);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

QPointF PaperMapper::Point(int x, int y) const {
  const auto [lx, ly] = PaperToLogical(metrics_, x, y);
  return QPointF(lx * sx_, -ly * sy_);
}

QRectF PaperMapper::Cell(int x1, int y1, int x2, int y2) const {
  return QRectF(Point(x1, y1), Point(x2, y2)).normalized();
}

QRectF PaperMapper::Inside(const QRectF& cell) const {
  // The frame's lines are centred on the cell's edges.
  const double half = PenWidth() / 2;
  return cell.adjusted(half, half, -half, -half);
}

double PaperMapper::PenWidth() const {
  return std::max(1.0, std::floor(Width(1)));
}

QFont PaperMapper::Font(const DrawList& list, QPainter& painter) const {
  QFont font(MapFaceName(ToQt(list.fontFace)));
  if (list.fontFace.empty()) font = QFont(GothicFamily());
  // The layouts measured a line as the character height; the em size is a
  // little smaller so that ascent and descent fit in it.
  const double cell = std::max(1.0, list.charHeight * sy_);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(cell))));
  painter.setFont(font);
  const double measured = painter.fontMetrics().height();
  if (measured > cell) font.setPixelSize(std::max(1, static_cast<int>(cell * cell / measured)));
  return font;
}

void PaintDrawList(QPainter& painter, const DrawList& list, const DrawListMapper& map,
                   LabelTextCache* labels) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBackgroundMode(Qt::TransparentMode);
  const QFont font = map.Font(list, painter);
  painter.setFont(font);
  const double penWidth = map.PenWidth();
  constexpr int kOneLine = Qt::TextSingleLine;
  QPolygonF runs;  // the points of curves, reused from one curve to the next

  for (const DrawItem& d : list.items) {
    QPen pen(ToQColor(d.color), penWidth, d.dotted ? Qt::DotLine : Qt::SolidLine);
    pen.setCapStyle(map.LineCap());
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (d.kind) {
      case DrawKind::kLine:
        painter.drawLine(map.Point(d.x1, d.y1), map.Point(d.x2, d.y2));
        break;
      case DrawKind::kPolyline: {
        if (!d.runs.empty()) {
          PaintRuns(painter, d, map, runs);
          break;
        }
        QPolygonF poly;
        for (const auto& [x, y] : d.points)
          poly << map.Point(x, y);
        painter.drawPolyline(poly);
        break;
      }
      case DrawKind::kLabel:
        PaintLabel(painter, d, map, font, labels);
        break;
      case DrawKind::kCell: {
        const QRectF cell = map.Cell(d.x1, d.y1, d.x2, d.y2);
        if (d.fill) painter.fillRect(cell, ToQColor(d.fillColor));
        if (d.frame) {
          painter.setPen(QPen(ToQColor(d.frameColor), penWidth));
          painter.drawRect(map.Frame(cell));
          painter.setPen(pen);
        }
        if (!d.text.empty()) PaintCellText(painter, d, cell, map);
        break;
      }
      case DrawKind::kText: {
        const QPointF at = map.Point(d.x1, d.y1);
        if (d.x2 > d.x1) {
          painter.drawText(QRectF(at, map.Point(d.x2, d.y2)).normalized(),
                           Qt::AlignLeft | Qt::AlignTop | kOneLine, ToQt(d.text));
        } else {
          painter.drawText(QRectF(at, QSizeF(1e6, 1e6)),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | kOneLine,
                           ToQt(d.text));
        }
        break;
      }
      case DrawKind::kImage: {
        const QImage& img = Logo(d.image);
        if (!img.isNull()) painter.drawImage(map.Cell(d.x1, d.y1, d.x2, d.y2), img);
        break;
      }
    }
  }
  painter.restore();
}

}  // namespace qv::ui
