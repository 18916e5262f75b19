// Turns the drawing lists of printed pages into pixels on any paint device:
// a printer, the print preview, a PDF file or an off-screen image. The core
// has placed every line, cell, text and logo in 0.1 mm from the paper's
// top-left corner; this only maps those points to the device and draws.
#pragma once

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include "output/draw_list.h"
#include "output/print_layout.h"

namespace qv::ui {

// The printer's capabilities as the page metrics need them: offsets of the
// painter's origin and the paper size in device pixels, at the printer's
// resolution, and the screen's vertical resolution (0 without a screen).
PrinterDevice DeviceOf(const QPrinter& printer);

// Draws `list` with `painter`, whose origin is the printable area's corner
// described by `metrics` and whose resolution is dpiX x dpiY.
void PaintDrawList(QPainter& painter, const DrawList& list, const PageMetrics& metrics, double dpiX,
                   double dpiY);

// Prints pages `from` to `to` (from 1) of a begun print run on `printer`,
// one sheet each. False when the printer could not be opened.
bool PaintPages(QPrinter& printer, const CPrintEngine& engine, int from, int to);

}  // namespace qv::ui
