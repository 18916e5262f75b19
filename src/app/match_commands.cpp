#include "app/match_commands.h"

#include <QPointer>

#include "app/command_ids.h"
#include "app/dialogs/pack_match_dialog.h"
#include "app/main_frame.h"
#include "views/data_view.h"

namespace qv::ui {

QRect MatchWindowPlace(const QRect& dataView, QSize size, QSize minimum) {
  return QRect(dataView.topLeft(), size.boundedTo(dataView.size()).expandedTo(minimum));
}

void WireMatchCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  auto open = std::make_shared<QPointer<CPackMatchDialog>>();
  frame.SetCommand(kCmdPackMatch, [&frame, &doc, &ui, open] {
    if (CPackMatchDialog* shown = open->data()) {
      shown->raise();
      shown->activateWindow();
      return;
    }
    auto* dlg = new CPackMatchDialog(doc, ui, &frame);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->setWindowModality(Qt::NonModal);
    *open = dlg;
    const QWidget* data = frame.DataView();
    const QRect area(data->mapToGlobal(QPoint(0, 0)), data->size());
    dlg->setGeometry(MatchWindowPlace(area, dlg->sizeHint(), dlg->minimumSizeHint()));
    dlg->show();
    dlg->raise();
    dlg->activateWindow();
  });
}

}  // namespace qv::ui
