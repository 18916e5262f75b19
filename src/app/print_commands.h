// The print command: the print settings dialog, then the print flow (the
// print dialog and the pages), the print preview of the same pages, or the
// printer setup dialog. One printer is kept for the session so that what
// the user sets up is used by the next print and preview.
#pragma once

#include <QObject>
#include <QPrinter>
#include <functional>
#include <memory>

#include "core/user_interface.h"
#include "data/document.h"
#include "output/print_layout.h"

class QPrintPreviewDialog;

namespace qv::ui {

class CMainFrame;
class CPrintSettingsDialog;

class CPrintCommands : public QObject {
  Q_OBJECT
 public:
  CPrintCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

  // The object the frame was wired with, or null.
  static CPrintCommands* Of(const CMainFrame& frame);

  // "各種ﾃﾞｰﾀの印刷": the settings dialog and what it closed with.
  void Print();
  // The three flows after the dialog.
  void RunPrint();
  void RunPreview();
  void RunPrinterSetup();

  // Begins a print run on `printer`: settings, selection, page metrics and
  // pagination. Returns the page count.
  int Begin(QPrinter& printer);
  // Begins a run on `printer` and draws every page of it (the preview's
  // paint request).
  void PaintAll(QPrinter& printer);

  // The printer, made at its first use (it asks the print system for its
  // printers, which start-up need not wait for) and kept for the session.
  QPrinter& Printer();
  const CPrintEngine& Engine() const { return engine_; }

  // How the windows run modally; tests replace them to answer for the user.
  // Default: exec(). The settings hook returns the dialog's result code,
  // the print and setup hooks whether the user accepted.
  std::function<int(CPrintSettingsDialog&)> runSettings;
  std::function<bool(QPrinter&)> runPrintDialog;
  std::function<void(QPrintPreviewDialog&)> runPreview;
  std::function<bool(QPrinter&)> runPrinterSetup;

 private:
  CMainFrame& frame_;
  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  std::unique_ptr<QPrinter> printer_;
  CPrintEngine engine_;
};

// Puts the print command into the frame's command table.
CPrintCommands* WirePrintCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui);

}  // namespace qv::ui
