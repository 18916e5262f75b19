// Prints the drawing lists of printed pages on any paint device: a printer,
// the print preview, a PDF file or an off-screen image (views/draw_list_painter.h
// paints them through a PaperMapper).
#pragma once

#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <vector>

#include "output/print_layout.h"
#include "views/draw_list_painter.h"

namespace qv::ui {

// The printer's capabilities as the page metrics need them: offsets of the
// painter's origin and the paper size in device pixels, at the printer's
// resolution, and the screen's vertical resolution (0 without a screen).
PrinterDevice DeviceOf(const QPrinter& printer);

// The resolution of the session's printer when it prints into a file or
// the preview without a printer (QPrinter::HighResolution).
inline constexpr int kPdfResolution = 1200;

// Makes `writer` the paper of the print path: A4 portrait at `resolution`,
// in full-page mode without margins. The session's printer runs in full-page
// mode too (print_commands.cpp), so its painter's origin is the paper's
// corner and DeviceOf gives offsets of 0 whatever the printer cannot reach;
// a PDF page has no such edge at all, and the same offsets and paper size
// give the same page metrics, positions and pages.
void SetUpPdfPaper(QPdfWriter& writer, int resolution = kPdfResolution);

// The PDF writer's page as DeviceOf(QPrinter) reports a printer's: offsets
// of the painter's origin from the paper's corner and the paper size in
// device pixels at the writer's resolution; the screen's resolution as above.
PrinterDevice DeviceOf(const QPdfWriter& writer);

// One page to print: its drawing list and the metrics of the run it belongs
// to (a pack's documents join pages of several runs).
struct PrintedPage {
  DrawList list;
  PageMetrics metrics;
};

// The pages `from` to `to` (from 1) of a begun print run.
std::vector<PrintedPage> PagesOf(const CPrintEngine& engine, int from, int to);

// Prints `pages` on `device` (a printer, the preview's printer or a PDF
// writer) at its resolution, one sheet each. False when the device could not
// be opened.
bool PaintPages(QPagedPaintDevice& device, const std::vector<PrintedPage>& pages);
// The same for pages `from` to `to` of a begun run.
bool PaintPages(QPagedPaintDevice& device, const CPrintEngine& engine, int from, int to);

// A page as the print preview shows it at its actual size: painted for a
// device of `resolution` dots per inch and scaled to `screenDpi` (the preview
// replays the printer's page under that scale) on white paper of
// `paperWidth` x `paperHeight` device pixels.
QImage PreviewPageImage(const PrintedPage& page, int paperWidth, int paperHeight, int resolution,
                        double screenDpi);

}  // namespace qv::ui
