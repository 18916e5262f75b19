// Prints the drawing lists of printed pages on any paint device: a printer,
// the print preview, a PDF file or an off-screen image (views/draw_list_painter.h
// paints them through a PaperMapper).
#pragma once

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include "output/print_layout.h"
#include "views/draw_list_painter.h"

namespace qv::ui {

// The printer's capabilities as the page metrics need them: offsets of the
// painter's origin and the paper size in device pixels, at the printer's
// resolution, and the screen's vertical resolution (0 without a screen).
PrinterDevice DeviceOf(const QPrinter& printer);

// Prints pages `from` to `to` (from 1) of a begun print run on `printer`,
// one sheet each. False when the printer could not be opened.
bool PaintPages(QPrinter& printer, const CPrintEngine& engine, int from, int to);

}  // namespace qv::ui
