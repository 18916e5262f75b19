#include "views/draw_list_painter.h"

#include <QImage>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "views/fonts.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

QColor ColorOf(uint32_t rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

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

}  // namespace

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

void PaintDrawList(QPainter& painter, const DrawList& list, const DrawListMapper& map) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.setFont(map.Font(list, painter));
  const double penWidth = map.PenWidth();
  constexpr int kOneLine = Qt::TextSingleLine;

  for (const DrawItem& d : list.items) {
    QPen pen(ColorOf(d.color), penWidth);
    pen.setCapStyle(map.LineCap());
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (d.kind) {
      case DrawKind::kLine:
        painter.drawLine(map.Point(d.x1, d.y1), map.Point(d.x2, d.y2));
        break;
      case DrawKind::kPolyline: {
        QPolygonF poly;
        for (const auto& [x, y] : d.points)
          poly << map.Point(x, y);
        painter.drawPolyline(poly);
        break;
      }
      case DrawKind::kCell: {
        const QRectF cell = map.Cell(d.x1, d.y1, d.x2, d.y2);
        if (d.fill) painter.fillRect(cell, ColorOf(d.fillColor));
        if (d.frame) {
          painter.setPen(QPen(ColorOf(d.frameColor), penWidth));
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
