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

void SetUpPdfPaper(QPdfWriter& writer, int resolution) {
  writer.setResolution(resolution);
  QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                     QPageLayout::Millimeter);
  layout.setMode(QPageLayout::FullPageMode);
  writer.setPageLayout(layout);
}

PrinterDevice DeviceOf(const QPdfWriter& writer) {
  PrinterDevice d;
  const int dpi = writer.resolution();
  const QRect paper = writer.pageLayout().fullRectPixels(dpi);
  const QRect page = writer.pageLayout().paintRectPixels(dpi);
  d.offsetX = page.left() - paper.left();
  d.offsetY = page.top() - paper.top();
  d.paperWidth = paper.width();
  d.paperHeight = paper.height();
  d.dpiX = dpi;
  d.dpiY = dpi;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    d.screenDpiY = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
  return d;
}

std::vector<PrintedPage> PagesOf(const CPrintEngine& engine, int from, int to) {
  std::vector<PrintedPage> pages;
  for (int page = from; page <= to; ++page)
    pages.push_back({engine.PrintPage(page), engine.Layout().metrics});
  return pages;
}

bool PaintPages(QPagedPaintDevice& device, const std::vector<PrintedPage>& pages) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  const double dpiX = device.logicalDpiX(), dpiY = device.logicalDpiY();
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) device.newPage();
    PaintDrawList(painter, pages[i].list, PaperMapper(pages[i].metrics, dpiX, dpiY));
  }
  painter.end();
  return true;
}

bool PaintPages(QPagedPaintDevice& device, const CPrintEngine& engine, int from, int to) {
  return PaintPages(device, PagesOf(engine, from, to));
}

QImage PreviewPageImage(const PrintedPage& page, int paperWidth, int paperHeight, int resolution,
                        double screenDpi) {
  const double scale = screenDpi / resolution;
  QImage img(static_cast<int>(std::ceil(paperWidth * scale)),
             static_cast<int>(std::ceil(paperHeight * scale)), QImage::Format_RGB32);
  const int dotsPerMeter = static_cast<int>(std::lround(screenDpi / 0.0254));
  img.setDotsPerMeterX(dotsPerMeter);
  img.setDotsPerMeterY(dotsPerMeter);
  img.fill(Qt::white);
  QPainter painter(&img);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
  painter.scale(scale, scale);
  PaintDrawList(painter, page.list, PaperMapper(page.metrics, resolution, resolution));
  painter.end();
  return img;
}

}  // namespace qv::ui
