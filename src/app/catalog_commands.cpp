#include "app/catalog_commands.h"

#include <memory>

#include "app/command_ids.h"
#include "app/dialogs/catalog_window.h"
#include "app/main_frame.h"
#include "catalog/catalog.h"
#include "catalog/catalog_feeder.h"
#include "data/codec.h"
#include "data/doc_commands.h"

namespace qv::ui {

void WireCatalogCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  // Shared by the commands' handlers, which live as long as the window.
  auto feeder = std::make_shared<catalog::CatalogFeeder>([&ui](const std::string& text) {
    ui.Notify({text, Sj("セルカタログ"), MsgIcon::kWarning, MsgButtons::kOk, std::nullopt});
  });
  auto overlays = std::make_shared<CatalogOverlays>();
  frame.SetCommand(kCmdSave, [&doc, &ui, feeder] {
    if (!CmdSave(doc, ui)) return;
    CAppState& app = doc.App();
    feeder->FileSaved(catalog::CatalogPath(app.settings), app.filePath, app.avg3,
                      catalog::HostStation());
  });
  frame.SetCommand(kCmdCatalog, [&frame, &doc, &ui, overlays] {
    auto model = catalog::CatalogWindowModel::Open(catalog::CatalogPath(doc.App().settings),
                                                   doc.App().avg3, ui);
    if (!model) return;
    CCatalogWindow window(std::move(model), doc, ui, *overlays, &frame);
    window.exec();
  });
}

}  // namespace qv::ui
