// The catalogue window ("セルカタログ"): a filter line, the cells found with
// the data view's columns plus their place and number of tests, the history
// plot of the selected cell (capacity and internal resistance over its test
// dates) and the buttons of CatalogWindowModel: import a folder (with
// progress, cancellable), overlay up to six selected cells' newest curves on
// the graph, match the selection in the matching window, put it into a pack,
// release, retire, export.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <memory>

#include "catalog/catalog_window_model.h"
#include "core/user_interface.h"
#include "data/document.h"

class QSocketNotifier;

namespace qv::ui {

// The capacity (left scale) and internal resistance (right scale) of a
// cell's tests, one point per test in date order.
class CHistoryPlot : public QWidget {
 public:
  explicit CHistoryPlot(QWidget* parent);
  void SetHistory(std::vector<catalog::HistoryRow> rows);
  const std::vector<catalog::HistoryRow>& History() const { return rows_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::vector<catalog::HistoryRow> rows_;
};

// Records of the catalogue shown on the graph: owned here while the
// document's display list points at them.
struct CatalogOverlays {
  std::vector<std::unique_ptr<CMeasureData>> records;
  // Takes the previous ones off the display, then shows `next`.
  void Show(CBrenlowDoc& doc, std::vector<std::unique_ptr<CMeasureData>> next);
};

class CCatalogWindow : public QDialog {
  Q_OBJECT
 public:
  CCatalogWindow(std::unique_ptr<catalog::CatalogWindowModel> model, CBrenlowDoc& doc,
                 IUserInterface& ui, CatalogOverlays& overlays, QWidget* parent);

  QLineEdit* FilterField() const { return filter_; }
  QLineEdit* PackField() const { return pack_; }
  QTableWidget* List() const { return list_; }
  CHistoryPlot* Plot() const { return plot_; }
  QPushButton* Button(int index) const { return buttons_[static_cast<size_t>(index)]; }
  catalog::CatalogWindowModel& Model() { return *model_; }

  enum ButtonIndex {
    kSearch,
    kImport,
    kOverlay,
    kMatch,
    kAssign,
    kRelease,
    kRetire,
    kExport,
    kClose,
    kButtonCount
  };

 private:
  void FillList();  // the rows, then the selection's history
  void FillRows();
  void SelectionChanged();
  void OnImport();
  void OnOverlay();
  void OnMatch();
  void ListenForChanges();

  std::unique_ptr<catalog::CatalogWindowModel> model_;
  CBrenlowDoc& doc_;
  IUserInterface& ui_;
  CatalogOverlays& overlays_;
  QLineEdit* filter_ = nullptr;
  QLineEdit* pack_ = nullptr;
  QTableWidget* list_ = nullptr;
  CHistoryPlot* plot_ = nullptr;
  std::array<QPushButton*, kButtonCount> buttons_{};
  QSocketNotifier* changes_ = nullptr;  // other stations' changes, on a server
};

}  // namespace qv::ui
