#include "catalog/catalog_window_model.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/numtext.h"
#include "core/safe_file.h"
#include "data/archive.h"
#include "data/codec.h"

namespace qv::catalog {
namespace {

std::string Caption() {
  return Sj("セルカタログ");
}

}  // namespace

std::vector<std::string> DataFilesBelow(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code ec;
  for (fs::recursive_directory_iterator
           it(folder, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    std::string ext = it->path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    std::error_code kind;
    if (ext == ".qd1" && it->is_regular_file(kind)) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

CatalogWindowModel::CatalogWindowModel(std::unique_ptr<Catalog> catalog, const Avg3Range& range,
                                       std::string station)
    : cat_(std::move(catalog)), range_(range), station_(std::move(station)) {}

std::unique_ptr<CatalogWindowModel> CatalogWindowModel::Open(const std::string& path,
                                                             const Avg3Range& range,
                                                             IUserInterface& ui) {
  std::string why;
  auto cat = Catalog::Open(path, &why);
  if (!cat) {
    ui.Tell(why, Caption(), MsgIcon::kError);
    return nullptr;
  }
  return std::make_unique<CatalogWindowModel>(std::move(cat), range, HostStation());
}

std::unique_ptr<CatalogWindowModel> CatalogWindowModel::Open(const CatalogTarget& target,
                                                             const Avg3Range& range,
                                                             IUserInterface& ui) {
  std::string why;
  auto cat = OpenTarget(target, &why);
  if (!cat) {
    ui.Tell(why, Caption(), MsgIcon::kError);
    return nullptr;
  }
  if (target.server) SendQueued(target, *cat);
  auto model = std::make_unique<CatalogWindowModel>(std::move(cat), range, target.station);
  DbError error;
  if (target.server) model->listener_ = ChangeListener::Open(target.location, &error);
  return model;
}

void CatalogWindowModel::Tell(IUserInterface& ui, const std::string& text, MsgIcon icon) {
  ui.Tell(text, Caption(), icon);
}

bool CatalogWindowModel::Search(IUserInterface& ui, const std::string& filterUtf8) {
  CellQuery q;
  q.where = filterUtf8;
  if (q.where.find_first_not_of(" \t") == std::string::npos) q.where.clear();
  auto found = cat_->Search(q);
  if (!found) {
    Tell(ui, cat_->LastMessage(), MsgIcon::kWarning);
    return false;
  }
  cells_ = std::move(*found);
  selected_.clear();
  filter_ = filterUtf8;
  ++listReads_;
  return true;
}

bool CatalogWindowModel::ApplyChanges(IUserInterface& ui) {
  if (!TakeChanges()) return false;
  const CatalogChanges changes = listener_->TakeChanges();
  // Past this many, one read of the list costs less than a read per cell.
  constexpr size_t kMostCellsRead = 64;
  if (changes.all || changes.cells.size() > kMostCellsRead) {
    const auto keys = SelectedKeys();
    if (!Refresh(ui)) return false;
    Reselect(keys);
    return true;
  }
  return ReadCells(ui, changes.cells);
}

// Each cell of `keys` read again with the filter in force, then put in its
// place in the list (by key), or taken out of it when no longer found; on a
// failure the list stays as it was.
bool CatalogWindowModel::ReadCells(IUserInterface& ui, const std::set<uint32_t>& keys) {
  CellQuery q;
  q.where = filter_;
  if (q.where.find_first_not_of(" \t") == std::string::npos) q.where.clear();
  std::vector<std::pair<uint32_t, std::vector<CellSummary>>> read;
  for (uint32_t key : keys) {
    q.fromKey = q.toKey = key;
    auto found = cat_->Search(q);
    if (!found) {
      Tell(ui, cat_->LastMessage(), MsgIcon::kWarning);
      return false;
    }
    read.emplace_back(key, std::move(*found));
  }
  const auto chosen = SelectedKeys();
  for (auto& [key, found] : read) {
    auto at = std::lower_bound(cells_.begin(), cells_.end(), key,
                               [](const CellSummary& c, uint32_t k) { return c.idKey < k; });
    const bool held = at != cells_.end() && at->idKey == key;
    if (found.empty() && held)
      cells_.erase(at);
    else if (!found.empty() && held)
      *at = std::move(found.front());
    else if (!found.empty())
      cells_.insert(at, std::move(found.front()));
  }
  Reselect(chosen);
  return true;
}

void CatalogWindowModel::Reselect(const std::vector<uint32_t>& keys) {
  selected_.clear();
  for (size_t i = 0; i < cells_.size(); ++i)
    if (std::find(keys.begin(), keys.end(), cells_[i].idKey) != keys.end()) selected_.push_back(i);
}

std::vector<uint32_t> CatalogWindowModel::SelectedKeys() const {
  std::vector<uint32_t> keys;
  for (size_t i : selected_)
    if (i < cells_.size()) keys.push_back(cells_[i].idKey);
  return keys;
}

bool CatalogWindowModel::NeedSelection(IUserInterface& ui) {
  if (!SelectedKeys().empty()) return true;
  Tell(ui, Sj("セルを選んでください。"), MsgIcon::kInformation);
  return false;
}

std::vector<HistoryRow> CatalogWindowModel::SelectedHistory() {
  const auto keys = SelectedKeys();
  if (keys.empty()) return {};
  return HistoryRows(cat_->History(keys[0]));
}

bool CatalogWindowModel::Assign(IUserInterface& ui, const std::string& packUtf8) {
  if (!NeedSelection(ui)) return false;
  if (packUtf8.find_first_not_of(" \t") == std::string::npos) {
    Tell(ui, Sj("パック名を入力してください。"), MsgIcon::kInformation);
    return false;
  }
  if (!cat_->MoveCells(SelectedKeys(), {Place::kPack, packUtf8})) {
    Tell(ui, cat_->LastMessage(), MsgIcon::kWarning);
    return false;
  }
  return Refresh(ui);
}

bool CatalogWindowModel::Release(IUserInterface& ui) {
  if (!NeedSelection(ui)) return false;
  std::set<std::string> packs;
  for (size_t i : selected_)
    if (i < cells_.size() && cells_[i].place.kind == Place::kPack)
      packs.insert(cells_[i].place.pack);
  if (packs.empty()) {
    Tell(ui, Sj("選んだセルはパックに組まれていません。"), MsgIcon::kInformation);
    return false;
  }
  for (const std::string& p : packs) {
    if (!cat_->ReleasePack(p)) {
      Tell(ui, cat_->LastMessage(), MsgIcon::kWarning);
      return false;
    }
  }
  return Refresh(ui);
}

bool CatalogWindowModel::Retire(IUserInterface& ui) {
  if (!NeedSelection(ui)) return false;
  const Message ask{Sj("選んだ ") + IntText(static_cast<long long>(SelectedKeys().size())) +
                        Sj(" 個のセルを廃棄にしますか？"),
                    Caption(), MsgIcon::kQuestion, MsgButtons::kYesNo, MsgResult::kNo};
  if (ui.ShowMessage(ask) != MsgResult::kYes) return false;
  if (!cat_->MoveCells(SelectedKeys(), {Place::kRetired, {}})) {
    Tell(ui, cat_->LastMessage(), MsgIcon::kWarning);
    return false;
  }
  return Refresh(ui);
}

bool CatalogWindowModel::Export(IUserInterface& ui) {
  if (!NeedSelection(ui)) return false;
  FileDialogRequest req;
  req.filter = Sj("ﾃﾞｰﾀﾌｧｲﾙ (*.qd1)|*.qd1|");
  req.defaultExtension = ".qd1";
  req.confirmOverwrite = true;
  const std::optional<std::string> path = ui.ChooseSaveFile(req);
  if (!path || path->empty()) return false;
  std::vector<int64_t> rows;
  for (uint32_t key : SelectedKeys())
    for (const RecordSummary& r : cat_->History(key))
      rows.push_back(r.rowId);
  std::vector<RecordBytes> bytes;
  if (!cat_->LoadBytes(rows, bytes)) {
    Tell(ui, cat_->LastMessage(), MsgIcon::kError);
    return false;
  }
  if (!WriteFileAtomically(*path, DataFileOfRecordBytes(bytes)).ok) {
    Tell(ui, Sj("データファイルが保存できませんでした。"), MsgIcon::kError);
    return false;
  }
  Tell(ui, IntText(static_cast<long long>(rows.size())) + Sj(" 件の記録を書き出しました。"),
       MsgIcon::kInformation);
  return true;
}

bool CatalogWindowModel::ImportFolder(IUserInterface& ui,
                                      const std::function<bool(size_t, size_t)>& progress) {
  const std::optional<std::string> folder =
      ui.ChooseFolder({Sj("取り込むデータファイルのフォルダ"), {}});
  if (!folder || folder->empty()) return false;
  const std::vector<std::string> files = DataFilesBelow(*folder);
  ImportCounts counts;
  std::string refused;
  bool stopped = false;
  for (size_t i = 0; i < files.size(); ++i) {
    if (progress && !progress(i, files.size())) {
      stopped = true;
      break;
    }
    const int before = counts.refused;
    if (!cat_->ImportFile(files[i], station_, range_, counts)) {
      Tell(ui, cat_->LastMessage(), MsgIcon::kError);
      return false;
    }
    if (counts.refused > before && refused.empty()) refused = cat_->LastMessage();
  }
  if (progress && !stopped) progress(files.size(), files.size());
  std::string text = Sj(stopped ? "取り込みを中止しました。\n\n" : "取り込みました。\n\n") +
                     ImportCountsText(counts);
  if (!refused.empty()) text += "\n\n" + refused;
  Tell(ui, text, counts.refused ? MsgIcon::kWarning : MsgIcon::kInformation);
  Refresh(ui);
  return true;
}

std::optional<std::vector<std::unique_ptr<CMeasureData>>> CatalogWindowModel::SelectedRecords(
    IUserInterface& ui, size_t most) {
  if (!NeedSelection(ui)) return std::nullopt;
  std::vector<std::unique_ptr<CMeasureData>> out;
  for (size_t i : selected_) {
    if (i >= cells_.size() || out.size() >= most) continue;
    auto rec = std::make_unique<CMeasureData>();
    if (!cat_->LoadRecord(cells_[i].newest.rowId, range_, *rec)) {
      Tell(ui, cat_->LastMessage(), MsgIcon::kError);
      return std::nullopt;
    }
    out.push_back(std::move(rec));
  }
  return out;
}

}  // namespace qv::catalog
