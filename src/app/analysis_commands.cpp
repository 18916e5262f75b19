#include "app/analysis_commands.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTableView>

#include "analysis/avg3_range.h"
#include "analysis/simulator.h"
#include "analysis/virtual_curve.h"
#include "app/command_ids.h"
#include "app/dialogs/avg3_range_dialog.h"
#include "app/dialogs/emf_dialog.h"
#include "app/dialogs/simulator_dialog.h"
#include "app/dialogs/virtual_curve_dialog.h"
#include "app/main_frame.h"
#include "data/doc_commands.h"
#include "views/data_view.h"
#include "views/report_ctrl.h"

namespace qv::ui {

namespace {

// Remembers the widget that had the keyboard focus before a menu took it, so
// a command chosen from the menu by keyboard still sees the data view's list
// as focused.
class FocusMemory : public QObject {
 public:
  explicit FocusMemory(QObject* parent) : QObject(parent) {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
      if (now && !qobject_cast<QMenuBar*>(now) && !qobject_cast<QMenu*>(now)) last_ = now;
    });
  }
  QWidget* Effective() const {
    QWidget* f = QApplication::focusWidget();
    if (!f || qobject_cast<QMenuBar*>(f) || qobject_cast<QMenu*>(f)) f = last_.data();
    return f;
  }

 private:
  QPointer<QWidget> last_;
};

ListSelection DataSelection(const CMainFrame& frame, const FocusMemory& focus) {
  ListSelection s;
  CDataView* data = frame.DataView();
  if (!data) return s;
  s.rowKeys = data->SelectedRowKeys();
  QWidget* table = data->List()->Table();
  QWidget* f = focus.Effective();
  s.listHasFocus = f && (f == table || table->isAncestorOf(f));
  return s;
}

}  // namespace

void WireAnalysisCommands(CMainFrame& frame, CBrenlowDoc& doc, IUserInterface& ui) {
  auto* focus = new FocusMemory(&frame);
  CMainFrame* f = &frame;
  CBrenlowDoc* d = &doc;
  IUserInterface* u = &ui;

  frame.SetCommand(kCmdVirtualCurve, [f, d, u, focus] {
    RunVirtualCurveCommand(*d, *u, DataSelection(*f, *focus), [f, u](double sourceCurrent) {
      CVirtualCurrentDialog dlg(*u, sourceCurrent, f);
      return dlg.Run();
    });
  });

  frame.SetCommand(
      kCmdSimulator,
      [f, d] {
        CSimulatorDialog dlg(*d, f);
        dlg.exec();
      },
      [d] { return CanOpenSimulator(*d); });

  frame.SetCommand(
      kCmdEmfCompare,
      [f, d] {
        CEmfDialog dlg(*d, f);
        dlg.exec();
      },
      [d] { return CanOpenEmfComparison(*d); });

  frame.SetCommand(kCmdAvg3Range, [f, d, u] {
    CAvg3RangeDialog dlg(d->App(), *u, f);
    if (dlg.Run() == Avg3RangeOutcome::kChanged) Avg3RangeChanged(*d);
  });
}

}  // namespace qv::ui
