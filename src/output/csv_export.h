// CSV export of registered records: one Shift-JIS file with CR LF line ends
// per record whose registration ID key lies in a range, and the model of the
// export dialog (ID range fields, output folder, messages).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "core/settings_store.h"
#include "core/user_interface.h"
#include "data/data_file.h"
#include "data/measure_data.h"

namespace qv {

// The whole content of one export file. Fields are written as they are,
// except a remark holding a comma, a double quote, CR or LF: it is quoted as
// RFC 4180 does (in double quotes, its quotes doubled, its line breaks as
// CR LF), so that the summary line keeps its 16 fields.
std::string CsvFileBytes(const CMeasureData& record);

struct CsvExportResult {
  int written = 0;      // files completely written
  bool failed = false;  // a write error stopped the walk
};

// File name stems already used in one run: nine-digit ID text -> count.
using CsvNameTable = std::map<std::string, int>;

// "qd1_%s.csv" of the record's nine-digit ID, with "_%d" from the second use
// of the same ID in this run on.
std::string CsvFileName(const CMeasureData& record, CsvNameTable& names);

// The folder text followed by "/" (unless it already ends in one) and `name`.
std::string CsvJoinPath(const std::string& folder, const std::string& name);

// Writes a file for every record of `list` (in list order) whose ID key lies
// in [fromKey, toKey] (RegistrationId::Key of the range's ends). Existing
// files are replaced; a file that cannot be created is skipped; a write error
// stops the walk with `failed` set.
CsvExportResult WriteCsvFiles(const RecordList& list, const std::string& folder, int64_t fromKey,
                              int64_t toKey);

// Export dialog "CSV形式でデータ出力".
class CCsvExportDlg {
 public:
  // Opening: the folder field shows EXPORT_CSV, the ID fields the range of
  // the last export (EXPORT_CSV_IDSTART1.., EXPORT_CSV_IDEND1..; empty when
  // not stored).
  void Open(const CSettingsStore& settings);
  // "参照": the folder picker; a confirmed choice replaces the folder text.
  void Browse(IUserInterface& ui);
  // "ファイル出力": validates, stores EXPORT_CSV and the range ("%03d" parts)
  // and runs the writer. Returns true when the dialog closes (accepted);
  // false after a message, with the fields unchanged.
  bool Export(IUserInterface& ui, CSettingsStore& settings, const RecordList& list);

  std::string folder;  // file system bytes
  std::array<std::string, 3> from;
  std::array<std::string, 3> to;
  CsvExportResult result;
};

// The message shown after the dialog closed through "ファイル出力".
Message CsvExportResultMessage(const CsvExportResult& result);

// Texts of the export (CP932); ID fields empty or invalid get IdRefusalText().
std::string CsvFolderEmptyText();    // no folder given
std::string CsvFolderMissingText();  // folder not found

}  // namespace qv
