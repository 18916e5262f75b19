#include "app/print_commands.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <algorithm>

#include "app/command_ids.h"
#include "app/dialogs/print_settings_dialog.h"
#include "app/main_frame.h"
#include "app/print_painter.h"
#include "views/data_view.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {
constexpr char kObjectName[] = "printCommands";
}  // namespace

CPrintCommands::CPrintCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui)
    : QObject(&frame), frame_(frame), doc_(doc), ui_(ui) {
  setObjectName(QString::fromLatin1(kObjectName));
}

QPrinter& CPrintCommands::Printer() {
  if (!printer_) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    // Positions are measured from the paper's edge: the painter's origin is
    // the paper's corner, so nothing is shifted by the printable area.
    printer_->setFullPage(true);
    printer_->setPageSize(QPageSize(QPageSize::A4));
  }
  return *printer_;
}

CPrintCommands* CPrintCommands::Of(const CMainFrame& frame) {
  return frame.findChild<CPrintCommands*>(QString::fromLatin1(kObjectName),
                                          Qt::FindDirectChildrenOnly);
}

void CPrintCommands::Print() {
  CPrintSettingsDialog dlg(doc_.App().settings, ui_, &frame_);
  const int code = runSettings ? runSettings(dlg) : dlg.exec();
  if (code != QDialog::Accepted) return;
  switch (dlg.Result()) {
    case PrintDlgResult::kPrint:
      RunPrint();
      break;
    case PrintDlgResult::kPreview:
      RunPreview();
      break;
    case PrintDlgResult::kPrinterSetup:
      RunPrinterSetup();
      break;
    case PrintDlgResult::kClose:
      break;
  }
}

int CPrintCommands::Begin(QPrinter& printer) {
  const CDataView* view = frame_.DataView();
  const std::vector<const CMeasureData*> selected =
      view ? view->SelectedRecords() : std::vector<const CMeasureData*>{};
  engine_.BeginPrinting(doc_.App().settings, DeviceOf(printer), doc_.Registered(), selected,
                        doc_.App().graph);
  return engine_.GetPageCount();
}

void CPrintCommands::RunPrint() {
  // The page range offered is that of the printer as it stands; the run is
  // begun again on the printer the user chose.
  Printer().setPrintRange(QPrinter::AllPages);
  Printer().setFromTo(0, 0);
  const int offered = Begin(Printer());
  bool accepted = false;
  if (runPrintDialog) {
    accepted = runPrintDialog(Printer());
  } else {
    QPrintDialog dlg(&Printer(), &frame_);
    dlg.setMinMax(1, offered);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, false);
    dlg.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    accepted = dlg.exec() == QDialog::Accepted;
  }
  if (!accepted) return;
  const int count = Begin(Printer());
  int from = 1, to = count;
  if (Printer().printRange() == QPrinter::PageRange && Printer().fromPage() > 0) {
    from = std::clamp(Printer().fromPage(), 1, count);
    to = std::clamp(Printer().toPage() > 0 ? Printer().toPage() : count, from, count);
  }
  if (!PaintPages(Printer(), engine_, from, to))
    ui_.Tell(FromQt(U8("プリンタを開けませんでした。")), FromQt(U8("印刷")), MsgIcon::kError);
}

void CPrintCommands::PaintAll(QPrinter& printer) {
  const int count = Begin(printer);
  PaintPages(printer, engine_, 1, count);
}

void CPrintCommands::RunPreview() {
  QPrintPreviewDialog dlg(&Printer(), &frame_);
  dlg.setWindowTitle(U8("印刷プレビュー"));
  connect(&dlg, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* printer) { PaintAll(*printer); });
  if (runPreview)
    runPreview(dlg);
  else
    dlg.exec();
}

void CPrintCommands::RunPrinterSetup() {
  if (runPrinterSetup) {
    runPrinterSetup(Printer());
    return;
  }
  QPageSetupDialog dlg(&Printer(), &frame_);
  dlg.setWindowTitle(U8("プリンタの設定"));
  dlg.exec();
}

CPrintCommands* WirePrintCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  auto* print = new CPrintCommands(frame, doc, ui);
  frame.SetCommand(
      kCmdPrint, [print] { print->Print(); }, {}, CMainFrame::RunRule::kNoRun);
  return print;
}

}  // namespace qv::ui
