#include "app/print_painter.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace qv::ui {

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

bool PaintPages(QPrinter& printer, const CPrintEngine& engine, int from, int to) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const double dpi = printer.resolution();
  for (int page = from; page <= to; ++page) {
    if (page > from) printer.newPage();
    PaintDrawList(painter, engine.PrintPage(page), PaperMapper(engine.Layout().metrics, dpi, dpi));
  }
  painter.end();
  return true;
}

}  // namespace qv::ui
