// A list pane of the main window: one report list control filling the pane,
// the document it shows and the user interface its messages go through. The
// result panel and the data view build on it.
#pragma once

#include <QWidget>

namespace qv {
class CBrenlowDoc;
class IUserInterface;
}  // namespace qv

namespace qv::ui {

class CReportCtrl;

class CReportView : public QWidget {
  Q_OBJECT

 public:
  // Messages (invalid values, refusals) go through this interface.
  void SetUserInterface(qv::IUserInterface* ui) { ui_ = ui; }
  CReportCtrl* List() const { return list_; }

 protected:
  CReportView(qv::CBrenlowDoc& doc, QWidget* parent);

  qv::CBrenlowDoc& doc_;
  qv::IUserInterface* ui_ = nullptr;
  CReportCtrl* list_ = nullptr;
};

}  // namespace qv::ui
