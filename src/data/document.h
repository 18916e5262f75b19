// The document: the current measurement, the sorted registration list, the
// display list of records drawn in the graph with their slots, and what it
// keeps beside each registered record (the data view's row key, whether the
// record is in a saved file). The records themselves are plain values.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/app_state.h"
#include "core/safe_file.h"
#include "data/data_file.h"
#include "data/measure_data.h"

namespace qv {

// The views RefreshViews refreshes: a set of these bits, combined with |.
enum ViewRefresh : int {
  kRefreshResult = 1,  // the result panel
  kRefreshGraph = 2,   // the graph view
  kRefreshData = 4,    // the data view
  kRefreshAll = 7,
};

inline constexpr size_t kMaxDisplay = 7;

class CBrenlowDoc {
 public:
  explicit CBrenlowDoc(CAppState& app);
  CBrenlowDoc(const CBrenlowDoc&) = delete;
  CBrenlowDoc& operator=(const CBrenlowDoc&) = delete;

  CAppState& App() { return app_; }
  const CAppState& App() const { return app_; }

  // The current measurement: one object for the document's whole life. Its
  // points and results change under Lock() while a run appends to it.
  CMeasureData& Current() { return current_; }
  const CMeasureData& Current() const { return current_; }
  std::mutex& Lock() const { return lock_; }

  // The registration list. Records enter and leave it only through the
  // document (InsertRegistered, RemoveRegistered, ChangeRegisteredId,
  // DeleteRegistered, Load, Clear), which keeps each one's row key and saved
  // flag beside it.
  const RecordList& Registered() const { return registered_; }
  // The records drawn in the graph, the current measurement first.
  const std::vector<CMeasureData*>& DisplayList() const { return display_; }
  // The display list with each record's slot, in its order.
  std::vector<DisplayedRecord> Displayed() const;
  // The display slot of a record: 1 for the current measurement, 2 to 7 for
  // an overlay, -1 when it is not drawn.
  int SlotOf(const CMeasureData& record) const;

  // Sets the modified flag and inserts at the sorted place (ID text followed
  // by date-time text, byte order; equal keys keep insertion order). The
  // record has no row key and is not saved. Returns the record.
  CMeasureData* InsertRegistered(std::unique_ptr<CMeasureData> record);
  // Sets the modified flag and takes the record (its first occurrence) out of
  // the registration list and the display list; its row key and saved flag
  // go. Returns ownership, or null when it is not registered.
  std::unique_ptr<CMeasureData> RemoveRegistered(const CMeasureData* record);
  // Sets the modified flag and deletes these registered records (a merge
  // replaces them by its source records); a record drawn is taken off the
  // graph.
  void DeleteRegistered(const std::unordered_set<const CMeasureData*>& records);
  // Sets the modified flag, gives the registered record the ID, moves
  // it to its sorted place (as RemoveRegistered followed by InsertRegistered
  // would) and takes it off the graph. Its row key and saved flag stay. False
  // when the record is not registered (nothing changes but the flag).
  bool ChangeRegisteredId(CMeasureData* record, const RegistrationId& id);
  // Every displayed record loses its slot; the list then holds only the
  // current measurement, in slot 1.
  void ResetDisplayList();
  // Overlays a registered record (smallest free slot from 2) or takes it off
  // the graph. A full display list leaves it as it is. Returns true when the
  // display list changed.
  bool ToggleOverlay(CMeasureData* record);
  // The same for the registered record with this list row key (the first
  // one); false when there is none. The caller redraws the views.
  bool ToggleOverlayRow(int rowKey) { return ToggleOverlay(FindByRowKey(rowKey)); }

  // The data view's row key of a registered record: -1 until the view lists
  // it (and for a record that is not registered).
  int RowKeyOf(const CMeasureData& record) const;
  // Gives a registered record its row key; other records are ignored.
  void SetRowKey(const CMeasureData& record, int rowKey);
  // Whether a registered record is in the data file last written in full (or
  // read): the backup leaves such records out. False for a record that is
  // not registered.
  bool IsSaved(const CMeasureData& record) const;
  // Sets the saved flag of a registered record; other records are ignored.
  void SetSaved(const CMeasureData& record, bool saved);

  // Resets the current measurement to the current input conditions and puts
  // it in slot 1 (under the lock).
  void ResetCurrent();
  // Empties the document: reset current measurement, no registered records,
  // display list reset.
  void Clear();

  // The sort key of a record: ID text then date-time text.
  static std::string SortKey(const CMeasureData& r);
  // The first registered record with this list row key (or from the end).
  CMeasureData* FindByRowKey(int rowKey, bool fromEnd = false);

  // Asks the views to refresh (1 result panel, 2 graph, 4 data view).
  void RefreshViews(int flags);
  // The views register here; the core never knows them.
  void SetRefreshHandler(std::function<void(int)> handler) { refresh_ = std::move(handler); }

  // Loading: reads a whole data file into fresh objects (registered records
  // saved) and takes them over only when the whole file was
  // read; then the file version is the version read, the modified flag is
  // cleared and the result panel and data view are refreshed. An unsupported
  // version empties the document (refreshing every view) and keeps the
  // modified flag and file version. A file that ends early or is damaged
  // leaves the document as it was. Returns the read result (error text empty
  // on success).
  DataFileReadResult Load(ArchiveReader& ar);
  // Storing: writes the full form to `path` crash-safely. Only once the file
  // is on disk are the saved flags set, the file version set to "101" and the
  // modified flag cleared; on failure nothing changes and the old file stays.
  // After a successful save the saved handler runs.
  SafeWriteResult Save(const std::string& path);
  // Told of every successful Save (the run journal of a run that only the
  // document held can go then).
  void SetSavedHandler(std::function<void()> handler) { saved_ = std::move(handler); }
  // "tmpdata.bak" in the working folder.
  std::string BackupPath() const;

  // Writes the automatic backup "tmpdata.bak" in the working folder as the
  // backup mode says (0: current measurement and unsaved records, 1: the
  // full form, 2: nothing), crash-safely. Silent on failure; the modified
  // flag is kept. Mode 1 sets the saved flags and the file version "101"
  // (under Lock()) once the file is on disk. Returns true when a file was
  // written.
  bool WriteAutoBackup();

  void SetModified(bool modified = true) { app_.modified = modified; }
  bool IsModified() const { return app_.modified; }

 private:
  // What the document keeps beside a registered record.
  struct RecordMarks {
    int rowKey = -1;
    bool saved = false;
  };
  // Puts the record at its sorted place in the registration list.
  CMeasureData* PlaceRegistered(std::unique_ptr<CMeasureData> record);
  // Takes the record off the graph (display list and its slot).
  void Undisplay(const CMeasureData* record);

  CAppState& app_;
  CMeasureData current_;
  RecordList registered_;
  std::unordered_map<const CMeasureData*, RecordMarks> marks_;  // registered records only
  std::vector<CMeasureData*> display_;
  std::vector<int> slots_;  // the display slot of each display_ entry
  mutable std::mutex lock_;
  std::function<void(int)> refresh_;
  std::function<void()> saved_;
};

}  // namespace qv
