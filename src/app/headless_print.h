// quorvex --print: labels, graph sheets and tables of a data file as a PDF
// file (and PNG pictures) without a window, a display or a printer. The
// command lives in the desktop program because its pages are painted by the
// print path's painter (print_painter.h over views/draw_list_painter.h), which
// needs Qt; the command-line tool stays free of Qt. Everything before the
// painting is the Qt-free output/print_job.h.
#pragma once

namespace qv::ui {

// True when the arguments ask for the print command (kPrintOption among them).
bool HeadlessPrintRequested(int argc, char** argv);

// Runs the command and returns its exit status (PrintJobExit). Called before
// any Qt application exists: without DISPLAY and WAYLAND_DISPLAY (and no
// QT_QPA_PLATFORM of the caller's) it chooses Qt's offscreen platform, then
// makes its own application. Messages go to stderr in UTF-8.
int RunHeadlessPrint(int argc, char** argv);

}  // namespace qv::ui
