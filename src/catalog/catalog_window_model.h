// The model behind the catalogue window ("セルカタログ"): the filter line, the
// list of cells found, the selection and what its buttons do. Every check,
// question and message is here and goes through the IUserInterface, so the
// window only shows fields, the list and the history plot.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/cell_texts.h"
#include "catalog/pg_notice.h"
#include "catalog/station.h"
#include "core/user_interface.h"

namespace qv::catalog {

class CatalogWindowModel {
 public:
  // Over an open catalogue; `range` is the average voltage 3 range records
  // are read with, `station` the one imports record.
  CatalogWindowModel(std::unique_ptr<Catalog> catalog, const Avg3Range& range, std::string station);

  // Opens the catalogue at `path` for the window; nothing after telling the
  // user why it cannot be opened.
  static std::unique_ptr<CatalogWindowModel> Open(const std::string& path, const Avg3Range& range,
                                                  IUserInterface& ui);
  // The same for the catalogue of `target`, a file or a server. On a server
  // the model also listens for other stations' changes (ChangeSocket); when
  // it cannot, the window works as it would on a file.
  static std::unique_ptr<CatalogWindowModel> Open(const CatalogTarget& target,
                                                  const Avg3Range& range, IUserInterface& ui);

  // The socket of the listening connection for the window's event loop to
  // watch, -1 without one.
  int ChangeSocket() const { return listener_ ? listener_->Socket() : -1; }
  // Reads what came on the socket: true when another station (or this one)
  // changed the catalogue, so that the list should be read again.
  bool TakeChanges() { return listener_ && listener_->Poll(); }
  // Reads what came on the socket and brings the list up to date: only the
  // cells the notices name are read again (with the filter in force; one no
  // longer found leaves the list), or the whole list when they are many or
  // not named. The selection keeps its cells. True when the list was read
  // (in part or whole); false when nothing came, or a failure was told.
  bool ApplyChanges(IUserInterface& ui);
  // How many times the whole list was read (searches and refreshes).
  size_t ListReads() const { return listReads_; }

  // "検索": the cells the filter line `filterUtf8` finds (every cell for an
  // empty line). A bad filter is told with its position and the list and
  // the filter in force stay as they were.
  bool Search(IUserInterface& ui, const std::string& filterUtf8);
  // The list again with the filter in force (after a change).
  bool Refresh(IUserInterface& ui) { return Search(ui, filter_); }
  const std::vector<CellSummary>& Cells() const { return cells_; }

  // The selected rows (indices into Cells()).
  void Select(std::vector<size_t> rows) { selected_ = std::move(rows); }
  const std::vector<size_t>& Selected() const { return selected_; }
  // The history of the first selected cell, empty without a selection.
  std::vector<HistoryRow> SelectedHistory();

  // "パックに組む": the selected cells into pack `packUtf8`.
  bool Assign(IUserInterface& ui, const std::string& packUtf8);
  // "在庫に戻す": every pack a selected cell is in goes back to stock.
  bool Release(IUserInterface& ui);
  // "廃棄": the selected cells retired, after asking.
  bool Retire(IUserInterface& ui);
  // "書き出し": every test of the selected cells as a data file the user names.
  bool Export(IUserInterface& ui);
  // "取り込み": the data files of a folder the user chooses (below too), one
  // file at a time; `progress(done, total)` returns false to stop after the
  // file being imported. Tells the counts at the end.
  bool ImportFolder(IUserInterface& ui, const std::function<bool(size_t, size_t)>& progress);
  // The newest tests of the selected cells with their points (for the
  // matching window and the graph); nothing after telling why.
  std::optional<std::vector<std::unique_ptr<CMeasureData>>> SelectedRecords(IUserInterface& ui,
                                                                            size_t most);

 private:
  bool NeedSelection(IUserInterface& ui);
  bool ReadCells(IUserInterface& ui, const std::set<uint32_t>& keys);
  // The rows of the cells `keys` selected.
  void Reselect(const std::vector<uint32_t>& keys);
  std::vector<uint32_t> SelectedKeys() const;
  void Tell(IUserInterface& ui, const std::string& text, MsgIcon icon);

  std::unique_ptr<Catalog> cat_;
  Avg3Range range_;
  std::string station_;
  std::vector<CellSummary> cells_;
  std::vector<size_t> selected_;
  std::string filter_;  // the filter of the list shown
  std::unique_ptr<ChangeListener> listener_;
  size_t listReads_ = 0;
};

// The data files of a folder and its folders, "*.qd1" in any case, in name
// order.
std::vector<std::string> DataFilesBelow(const std::string& folder);

}  // namespace qv::catalog
