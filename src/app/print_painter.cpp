#include "app/print_painter.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
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
    default:
      return none;
  }
}

// Paper distances (0.1 mm) to device pixels through the logical system of
// the page metrics (origin at the printable area, y up).
class Mapper {
 public:
  Mapper(const PageMetrics& m, double dpiX, double dpiY)
      : m_(m), sx_(dpiX / 254.0), sy_(dpiY / 254.0) {}
  QPointF Point(int x, int y) const {
    const auto [lx, ly] = PaperToLogical(m_, x, y);
    return QPointF(lx * sx_, -ly * sy_);
  }
  QRectF Rect(int x1, int y1, int x2, int y2) const {
    return QRectF(Point(x1, y1), Point(x2, y2)).normalized();
  }
  double Width(int units) const { return units * sx_; }
  double Height(int units) const { return units * sy_; }

 private:
  const PageMetrics& m_;
  double sx_, sy_;
};

Qt::Alignment AlignOf(HAlign a) {
  switch (a) {
    case HAlign::kCenter:
      return Qt::AlignHCenter;
    case HAlign::kRight:
      return Qt::AlignRight;
    default:
      return Qt::AlignLeft;
  }
}

}  // namespace

PrinterDevice DeviceOf(const QPrinter& printer) {
  PrinterDevice d;
  const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  d.offsetX = static_cast<int>(std::lround(page.left() - paper.left()));
  d.offsetY = static_cast<int>(std::lround(page.top() - paper.top()));
  d.paperWidth = static_cast<int>(std::lround(paper.width()));
  d.paperHeight = static_cast<int>(std::lround(paper.height()));
  d.dpiX = printer.resolution();
  d.dpiY = printer.resolution();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    d.screenDpiY = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
  return d;
}

void PaintDrawList(QPainter& painter, const DrawList& list, const PageMetrics& metrics, double dpiX,
                   double dpiY) {
  const Mapper map(metrics, dpiX, dpiY);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBackgroundMode(Qt::TransparentMode);
  QFont font(MapFaceName(ToQt(list.fontFace)));
  if (list.fontFace.empty()) font = QFont(GothicFamily());
  // The character height is the whole cell of a line (ascent and descent),
  // as the layouts were measured; the em size is a little smaller.
  const double cell = std::max(1.0, map.Height(list.charHeight));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(cell))));
  painter.setFont(font);
  const double measured = painter.fontMetrics().height();
  if (measured > cell) {
    font.setPixelSize(std::max(1, static_cast<int>(cell * cell / measured)));
    painter.setFont(font);
  }
  // Lines of 0.1 mm, at least one device pixel.
  const double penWidth = std::max(1.0, std::floor(map.Width(1)));

  for (const DrawItem& d : list.items) {
    QPen pen(ColorOf(d.color), penWidth);
    pen.setCapStyle(Qt::FlatCap);
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
        const QRectF r = map.Rect(d.x1, d.y1, d.x2, d.y2);
        if (d.fill) painter.fillRect(r, ColorOf(d.fillColor));
        if (d.frame) {
          QPen framePen(ColorOf(d.frameColor), penWidth);
          painter.setPen(framePen);
          painter.drawRect(r);
          painter.setPen(pen);
        }
        if (!d.text.empty()) {
          const double inset = map.Width(d.inset);
          const QRectF box = r.adjusted(inset, 0, -inset, 0);
          painter.drawText(
              box, AlignOf(d.align) | Qt::AlignVCenter | Qt::TextDontClip | Qt::TextSingleLine,
              ToQt(d.text));
        }
        break;
      }
      case DrawKind::kText: {
        const QPointF at = map.Point(d.x1, d.y1);
        painter.drawText(QRectF(at, QSizeF(1e6, 1e6)),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine,
                         ToQt(d.text));
        break;
      }
      case DrawKind::kImage: {
        const QImage& img = Logo(d.image);
        if (!img.isNull()) painter.drawImage(map.Rect(d.x1, d.y1, d.x2, d.y2), img);
        break;
      }
    }
  }
  painter.restore();
}

bool PaintPages(QPrinter& printer, const CPrintEngine& engine, int from, int to) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const double dpi = printer.resolution();
  for (int page = from; page <= to; ++page) {
    if (page > from) printer.newPage();
    PaintDrawList(painter, engine.PrintPage(page), engine.Layout().metrics, dpi, dpi);
  }
  painter.end();
  return true;
}

}  // namespace qv::ui
