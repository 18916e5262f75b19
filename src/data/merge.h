// The merge command: adds the registered records of another data file (or of
// the automatic backup "tmpdata.bak") to the document. A source record that
// is the same measurement as a record in the list (same ID text and same
// date-time text) replaces it; the source's current measurement replaces the
// document's. The source is read completely before anything changes, so a
// source that ends early or is damaged leaves the document as it was.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/user_interface.h"
#include "data/document.h"

namespace qv {

// The merge dialog ("データファイルを合成"). The GUI shows the controls and
// calls these; every check, question and setting lives here.
class CMergeModel {
 public:
  explicit CMergeModel(CBrenlowDoc& doc);

  // Opening: specified-file mode, the path from INPORT_MERGE.
  void Open();

  // The file label, path field and browse button are enabled in
  // specified-file mode only.
  bool FileControlsEnabled() const { return !backupMode; }

  // The browse button: an open chooser starting at the path's folder with its
  // file name proposed; a chosen file's full path goes into the path field.
  void Browse(IUserInterface& ui);

  // The merge button. True when the merge completed (the dialog closes and
  // the command shows the completion message); false when the dialog stays.
  bool Merge(IUserInterface& ui);

  // "ID text (date-time text)" of each replaced record, in order.
  const std::vector<std::string>& Overwritten() const { return overwritten_; }

  bool backupMode = false;  // the backup radio button
  std::string filePath;     // the path field, file system bytes

 private:
  CBrenlowDoc& doc_;
  std::vector<std::string> overwritten_;
};

// The completion message text for the overwritten entries (at most six are
// listed, then the count of the rest).
std::string MergeCompletionText(const std::vector<std::string>& overwritten);

// The merge command: runs the dialog (the function returns true when the
// dialog closed by a completed merge) and shows the completion message.
// Returns true when merged.
bool CmdMerge(CBrenlowDoc& doc, IUserInterface& ui,
              const std::function<bool(CMergeModel&)>& dialog);

}  // namespace qv
