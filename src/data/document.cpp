#include "data/document.h"

#include <algorithm>

#include "app/core/safe_file.h"
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
  if (registered_.empty() || SortKey(*registered_.back()) <= key) {
    registered_.push_back(std::move(record));
    return raw;
  }
  // Walk from the front to the first record whose key is greater, so equal
  // keys stay in insertion order (also in an unsorted list read from a file).
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

bool CBrenlowDoc::WriteAutoBackup() {
  const int mode = app_.backupMode;
  if (mode == 2) return false;
  const bool modified = app_.modified;
  SafeWriteResult r;
  {
    std::lock_guard<std::mutex> guard(lock_);
    r = WriteFileAtomically(app_.settings.Directory() + "tmpdata.bak", [&](int fd) {
      ArchiveWriter ar(fd);
      if (mode == 0) WriteDataFile(ar, current_, registered_, DataFileForm::kBackup);
      if (mode == 1) WriteDataFile(ar, current_, registered_, DataFileForm::kFull);
      return ar.Flush();
    });
  }
  // The full form counts as saving every registered record.
  if (r.ok && mode == 1) {
    for (auto& rec : registered_)
      rec->saved = true;
  }
  app_.modified = modified;
  return r.ok;
}

void CBrenlowDoc::RefreshViews(int flags) {
  if (refresh_) refresh_(flags);
}

}  // namespace qv
