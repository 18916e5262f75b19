#include "data/document.h"

#include <algorithm>

#include "core/safe_file.h"
#include "data/archive.h"

namespace qv {

CBrenlowDoc::CBrenlowDoc(CAppState& app) : app_(app), current_(app.inputs) {
  ResetDisplayList();
}

std::string CBrenlowDoc::SortKey(const CMeasureData& r) {
  return r.GetIdText() + r.GetDateTimeText();
}

CMeasureData* CBrenlowDoc::PlaceRegistered(std::unique_ptr<CMeasureData> record) {
  CMeasureData* raw = record.get();
  const std::string key = SortKey(*record);
  // The front is looked at before the back: in an unsorted list read from a
  // file, a record smaller than the first one goes to the front even when the
  // last one is smaller still.
  if (registered_.empty() ||
      (SortKey(*registered_.front()) <= key && SortKey(*registered_.back()) <= key)) {
    registered_.push_back(std::move(record));
    return raw;
  }
  // Walk from the front to the first record whose key is greater, so equal
  // keys stay in insertion order.
  auto pos =
      std::find_if(registered_.begin(), registered_.end(),
                   [&key](const std::unique_ptr<CMeasureData>& r) { return SortKey(*r) > key; });
  registered_.insert(pos, std::move(record));
  return raw;
}

CMeasureData* CBrenlowDoc::InsertRegistered(std::unique_ptr<CMeasureData> record) {
  SetModified();
  marks_[record.get()] = RecordMarks{};
  return PlaceRegistered(std::move(record));
}

void CBrenlowDoc::Undisplay(const CMeasureData* record) {
  auto d = std::find(display_.begin(), display_.end(), record);
  if (d == display_.end()) return;
  slots_.erase(slots_.begin() + (d - display_.begin()));
  display_.erase(d);
}

std::unique_ptr<CMeasureData> CBrenlowDoc::RemoveRegistered(const CMeasureData* record) {
  SetModified();
  std::unique_ptr<CMeasureData> out;
  auto it = std::find_if(registered_.begin(), registered_.end(),
                         [record](const auto& r) { return r.get() == record; });
  if (it != registered_.end()) {
    out = std::move(*it);
    registered_.erase(it);
    marks_.erase(record);
  }
  Undisplay(record);
  return out;
}

void CBrenlowDoc::DeleteRegistered(const std::unordered_set<const CMeasureData*>& records) {
  SetModified();
  for (const CMeasureData* r : records) {
    marks_.erase(r);
    Undisplay(r);
  }
  std::erase_if(registered_, [&](const std::unique_ptr<CMeasureData>& r) {
    return records.count(r.get()) != 0;
  });
}

bool CBrenlowDoc::ChangeRegisteredId(CMeasureData* record, const RegistrationId& id) {
  SetModified();
  auto it = std::find_if(registered_.begin(), registered_.end(),
                         [record](const auto& r) { return r.get() == record; });
  if (it == registered_.end()) return false;
  std::unique_ptr<CMeasureData> owned = std::move(*it);
  registered_.erase(it);
  Undisplay(record);
  owned->SetId(id);
  PlaceRegistered(std::move(owned));
  return true;
}

std::vector<DisplayedRecord> CBrenlowDoc::Displayed() const {
  std::vector<DisplayedRecord> out;
  out.reserve(display_.size());
  for (size_t i = 0; i < display_.size(); ++i)
    out.push_back({display_[i], slots_[i]});
  return out;
}

int CBrenlowDoc::SlotOf(const CMeasureData& record) const {
  for (size_t i = 0; i < display_.size(); ++i) {
    if (display_[i] == &record) return slots_[i];
  }
  return -1;
}

void CBrenlowDoc::ResetDisplayList() {
  display_.assign(1, &current_);
  slots_.assign(1, 1);
}

bool CBrenlowDoc::ToggleOverlay(CMeasureData* record) {
  if (!record || record == &current_) return false;
  auto it = std::find(display_.begin(), display_.end(), record);
  if (it != display_.end()) {
    Undisplay(record);
    return true;
  }
  if (display_.size() >= kMaxDisplay) return false;
  for (int slot = 2; slot <= static_cast<int>(kMaxDisplay); ++slot) {
    if (std::find(slots_.begin(), slots_.end(), slot) == slots_.end()) {
      display_.push_back(record);
      slots_.push_back(slot);
      return true;
    }
  }
  return false;
}

void CBrenlowDoc::ResetCurrent() {
  std::lock_guard<std::mutex> guard(lock_);
  current_.Reset(app_.inputs);
}

void CBrenlowDoc::Clear() {
  ResetCurrent();
  registered_.clear();
  marks_.clear();
  ResetDisplayList();
}

int CBrenlowDoc::RowKeyOf(const CMeasureData& record) const {
  auto it = marks_.find(&record);
  return it == marks_.end() ? -1 : it->second.rowKey;
}

void CBrenlowDoc::SetRowKey(const CMeasureData& record, int rowKey) {
  auto it = marks_.find(&record);
  if (it != marks_.end()) it->second.rowKey = rowKey;
}

bool CBrenlowDoc::IsSaved(const CMeasureData& record) const {
  auto it = marks_.find(&record);
  return it != marks_.end() && it->second.saved;
}

void CBrenlowDoc::SetSaved(const CMeasureData& record, bool saved) {
  auto it = marks_.find(&record);
  if (it != marks_.end()) it->second.saved = saved;
}

CMeasureData* CBrenlowDoc::FindByRowKey(int rowKey, bool fromEnd) {
  if (fromEnd) {
    for (auto it = registered_.rbegin(); it != registered_.rend(); ++it) {
      if (RowKeyOf(**it) == rowKey) return it->get();
    }
    return nullptr;
  }
  for (auto& r : registered_) {
    if (RowKeyOf(*r) == rowKey) return r.get();
  }
  return nullptr;
}

std::string CBrenlowDoc::BackupPath() const {
  return app_.settings.Directory() + "tmpdata.bak";
}

DataFileReadResult CBrenlowDoc::Load(ArchiveReader& ar) {
  CMeasureData current(app_.inputs);
  RecordList list;
  DataFileReadResult r = ReadDataFile(ar, current, list, app_.avg3);
  if (!r.ok()) {
    if (r.kind == DataFileError::kVersion) {
      Clear();
      RefreshViews(kRefreshAll);
    }
    return r;
  }
  // The old overlays leave the graph before their records go away.
  ResetDisplayList();
  {
    std::lock_guard<std::mutex> guard(lock_);
    current_ = std::move(current);
  }
  registered_ = std::move(list);
  marks_.clear();
  for (const auto& rec : registered_)
    marks_[rec.get()].saved = true;
  app_.fileVersion = r.version;
  app_.modified = false;
  RefreshViews(kRefreshResult | kRefreshData);
  return r;
}

SafeWriteResult CBrenlowDoc::Save(const std::string& path) {
  // Streamed into the temporary file under the lock; the disk sync comes
  // after it is released.
  SafeWriteResult r = WriteFileAtomicallyWith(path, [this](int fd) {
    std::lock_guard<std::mutex> guard(lock_);
    return WriteDataFileTo(fd, current_, registered_, DataFileForm::kFull);
  });
  if (!r.ok) return r;
  for (auto& [record, marks] : marks_)
    marks.saved = true;
  app_.fileVersion = kVersionFull;
  app_.modified = false;
  if (saved_) saved_();
  return r;
}

bool CBrenlowDoc::WriteAutoBackup() {
  const int mode = app_.backupMode;
  if (mode == 2) return false;
  const bool modified = app_.modified;
  // Any other mode creates an empty file, as the backup always did.
  SafeWriteResult r = WriteFileAtomicallyWith(BackupPath(), [this, mode](int fd) {
    if (mode != 0 && mode != 1) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    return WriteDataFileTo(fd, current_, registered_,
                           mode == 0 ? DataFileForm::kBackup : DataFileForm::kFull,
                           [this](const CMeasureData& rec) { return IsSaved(rec); });
  });
  // The full form counts as saving every registered record, and the file
  // version becomes the full form's, as after any full-form write. The
  // version changes under the lock: the file information reads it during a
  // run.
  if (r.ok && mode == 1) {
    for (auto& [record, marks] : marks_)
      marks.saved = true;
    std::lock_guard<std::mutex> guard(lock_);
    app_.fileVersion = kVersionFull;
  }
  app_.modified = modified;
  return r.ok;
}

void CBrenlowDoc::RefreshViews(int flags) {
  if (refresh_) refresh_(flags);
}

}  // namespace qv
