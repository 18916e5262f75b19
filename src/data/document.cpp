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

CMeasureData* CBrenlowDoc::InsertRegistered(std::unique_ptr<CMeasureData> record) {
  SetModified();
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

std::unique_ptr<CMeasureData> CBrenlowDoc::RemoveRegistered(const CMeasureData* record) {
  SetModified();
  std::unique_ptr<CMeasureData> out;
  auto it = std::find_if(registered_.begin(), registered_.end(),
                         [record](const auto& r) { return r.get() == record; });
  if (it != registered_.end()) {
    out = std::move(*it);
    registered_.erase(it);
  }
  auto d = std::find(display_.begin(), display_.end(), record);
  if (d != display_.end()) display_.erase(d);
  return out;
}

void CBrenlowDoc::ResetDisplayList() {
  for (CMeasureData* r : display_)
    r->displaySlot = -1;
  display_.clear();
  display_.push_back(&current_);
  current_.displaySlot = 1;
}

bool CBrenlowDoc::ToggleOverlay(CMeasureData* record) {
  if (!record || record == &current_) return false;
  auto it = std::find(display_.begin(), display_.end(), record);
  if (it != display_.end()) {
    record->displaySlot = -1;
    display_.erase(it);
    return true;
  }
  if (display_.size() >= kMaxDisplay) return false;
  for (int slot = 2; slot <= static_cast<int>(kMaxDisplay); ++slot) {
    bool used = std::any_of(display_.begin(), display_.end(),
                            [slot](const CMeasureData* r) { return r->displaySlot == slot; });
    if (!used) {
      record->displaySlot = slot;
      display_.push_back(record);
      return true;
    }
  }
  return false;
}

void CBrenlowDoc::ResetCurrent() {
  std::lock_guard<std::mutex> guard(lock_);
  current_.Reset(app_.inputs);
  current_.displaySlot = 1;
}

void CBrenlowDoc::Clear() {
  ResetCurrent();
  display_.clear();
  registered_.clear();
  ResetDisplayList();
}

CMeasureData* CBrenlowDoc::FindByRowKey(int rowKey, bool fromEnd) {
  if (fromEnd) {
    for (auto it = registered_.rbegin(); it != registered_.rend(); ++it) {
      if ((*it)->listRowKey == rowKey) return it->get();
    }
    return nullptr;
  }
  for (auto& r : registered_) {
    if (r->listRowKey == rowKey) return r.get();
  }
  return nullptr;
}

std::string CBrenlowDoc::BackupPath() const {
  return app_.settings.Directory() + "tmpdata.bak";
}

DataFileReadResult CBrenlowDoc::Load(ArchiveReader& ar) {
  CMeasureData current(app_.inputs);
  RecordList list;
  DataFileReadResult r = ReadDataFile(ar, current, list, true, app_.avg3);
  if (!r.ok()) {
    if (r.kind == DataFileError::kVersion) {
      Clear();
      RefreshViews(kRefreshAll);
    }
    return r;
  }
  // The old overlays lose their slots before their records go away.
  ResetDisplayList();
  {
    std::lock_guard<std::mutex> guard(lock_);
    current_.CopyFrom(current);
    current_.displaySlot = 1;
  }
  registered_ = std::move(list);
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
  for (auto& rec : registered_)
    rec->saved = true;
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
                           mode == 0 ? DataFileForm::kBackup : DataFileForm::kFull);
  });
  // The full form counts as saving every registered record, and the file
  // version becomes the full form's, as after any full-form write. The
  // version changes under the lock: the file information reads it during a
  // run.
  if (r.ok && mode == 1) {
    for (auto& rec : registered_)
      rec->saved = true;
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
