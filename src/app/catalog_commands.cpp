#include "app/catalog_commands.h"

#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <memory>

#include "app/catalog_retry.h"
#include "app/command_ids.h"
#include "app/dialogs/catalog_window.h"
#include "app/main_frame.h"
#include "catalog/catalog.h"
#include "catalog/catalog_feeder.h"
#include "catalog/station.h"
#include "data/codec.h"
#include "data/doc_commands.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

// The status bar's unobtrusive sign of data files waiting for the catalogue's
// server: hidden while none waits.
void ShowWaiting(CMainFrame& frame, int64_t waiting) {
  auto* pane = frame.findChild<QLabel*>(QStringLiteral("catalogWaitingPane"));
  if (!pane) {
    pane = new QLabel(frame.statusBar());
    pane->setObjectName(QStringLiteral("catalogWaitingPane"));
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame.statusBar()->insertPermanentWidget(0, pane);
  }
  pane->setVisible(waiting > 0);
  if (waiting <= 0) return;
  pane->setText(U8("送信待ち ") + QString::number(waiting));
  pane->setToolTip(U8("カタログのサーバーに送れていないデータファイルが ") +
                   QString::number(waiting) +
                   U8(" 件あります。次に接続できたときに送ります（quorvex-cli catalog sync "
                      "ですぐに送れます）。"));
}

}  // namespace

void WireCatalogCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  // Shared by the commands' handlers, which live as long as the window.
  auto feeder = std::make_shared<catalog::CatalogFeeder>([&ui](const std::string& text) {
    ui.Notify({text, Sj("セルカタログ"), MsgIcon::kWarning, MsgButtons::kOk, std::nullopt});
  });
  auto overlays = std::make_shared<CatalogOverlays>();
  // While files wait, the window sends them again by itself now and then.
  auto* retry = new CCatalogRetry(
      &frame, [&doc] { return catalog::TargetOf(doc.App().settings); },
      [&frame](int64_t waiting) { ShowWaiting(frame, waiting); });
  const int64_t atStart = catalog::WaitingCount(catalog::TargetOf(doc.App().settings));
  ShowWaiting(frame, atStart);
  retry->Retrier()->Waiting(atStart);
  retry->Arm();
  // The count comes from the feeder's thread; the pane is set on the window's.
  QPointer<CMainFrame> main(&frame);
  QPointer<CCatalogRetry> retryOf(retry);
  feeder->OnWaiting([main, retryOf, retrier = retry->Retrier()](int64_t waiting) {
    retrier->Waiting(waiting);
    if (!main) return;
    QMetaObject::invokeMethod(
        main.data(),
        [main, retryOf, waiting] {
          if (main) ShowWaiting(*main, waiting);
          if (retryOf) retryOf->Arm();
        },
        Qt::QueuedConnection);
  });
  frame.SetCommand(kCmdSave, [&doc, &ui, feeder] {
    if (!CmdSave(doc, ui)) return;
    CAppState& app = doc.App();
    feeder->FileSaved(catalog::TargetOf(app.settings), app.filePath, app.avg3);
  });
  frame.SetCommand(kCmdCatalog, [&frame, &doc, &ui, overlays, retryOf] {
    const catalog::CatalogTarget target = catalog::TargetOf(doc.App().settings);
    auto model = catalog::CatalogWindowModel::Open(target, doc.App().avg3, ui);
    if (target.server) {
      const int64_t left = catalog::WaitingCount(target);
      ShowWaiting(frame, left);
      if (retryOf) {
        retryOf->Retrier()->Waiting(left);
        retryOf->Arm();
      }
    }
    if (!model) return;
    CCatalogWindow window(std::move(model), doc, ui, *overlays, &frame);
    window.exec();
  });
}

}  // namespace qv::ui
