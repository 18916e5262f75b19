// Print settings: the model of the dialog "各種データの印刷", the settings as
// the print engine reads them, the record filter and the pagination.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/settings_store.h"
#include "core/user_interface.h"
#include "data/data_file.h"
#include "data/measure_data.h"

namespace qv {

enum PrintForm : int { kPrintLabels = 0, kPrintGraphs = 1, kPrintTable = 2 };
enum PrintChoice : int { kPrintAll = 0, kPrintRange = 1, kPrintSelected = 2 };

// How the dialog closed.
enum class PrintDlgResult { kPrint, kPreview, kPrinterSetup, kClose };

// Which layout picture the dialog shows.
enum class PrintLayoutPicture { kLabelSheet, kGraphSheet };

// Dialog "各種データの印刷": typed field texts and radio choices.
class CPrintSettingDlg {
 public:
  // Opening: every field shows its stored text (an absent key gives an empty
  // field; the graph width is left empty when its value is 0 or less). A
  // stored choice other than 0, 1 or 2 checks no radio button (-1).
  void Open(const CSettingsStore& settings);
  // "既定値に戻す": the default layout values (kDefaultPrintLayout) and the
  // label form; the ID range and the record choice stay.
  void RestoreDefaults();

  // Visibility and enabling follow the form and the record choice.
  bool LabelFieldsVisible() const { return form == kPrintLabels; }
  bool GraphWidthVisible() const { return form == kPrintGraphs; }
  bool IdRangeEnabled() const { return choice == kPrintRange; }
  PrintLayoutPicture Picture() const {
    return form == kPrintLabels ? PrintLayoutPicture::kLabelSheet : PrintLayoutPicture::kGraphSheet;
  }

  // The failure lines in order (empty when every value is valid). The ID
  // range is checked only while it chooses the records (kPrintRange).
  std::string ValidationLines() const;
  // Validates; on failure shows the message and returns false. Otherwise
  // saves every value and returns true ("印刷データ適用"); an end of the ID
  // range is saved only when its three parts are valid, else the stored one
  // stays.
  bool Apply(IUserInterface& ui, CSettingsStore& settings);
  // "印刷", "印刷プレビュー", "プリンタの設定": validate and save, then close
  // with `result`. Nothing when the values are invalid (the dialog stays).
  std::optional<PrintDlgResult> Close(IUserInterface& ui, CSettingsStore& settings,
                                      PrintDlgResult result);

  std::string topX, topY, labelW, labelH, labelGX, labelGY, graphWS, labelCX, labelCY;
  std::array<std::string, 3> idStart, idEnd;
  int form = -1;    // PrintForm, -1 when no radio is checked
  int choice = -1;  // PrintChoice, -1 when no radio is checked
};

// The whole message shown for invalid print data (header and lines).
std::string PrintValidationMessage(const std::string& lines);

// The print settings as the engine reads them when printing begins.
struct PrintSettings {
  int topX = 0, topY = 0;  // left and top margin, mm
  int labelW = 0, labelH = 0, labelGX = 0, labelGY = 0;
  int graphWS = 0;
  int labelCX = 0, labelCY = 0;
  int64_t firstKey = 0, lastKey = 0;  // ID range keys
  int form = 0;
  int choice = 0;
  std::string font;  // CP932 face name
  int graphCX = 2, graphCY = 3;
  int labelType = 0;
  int labelDummy = 0;
  int tableLine = 2;
  int labelNoLogo = 0;

  bool LogoOnLabels() const { return labelNoLogo <= 0; }
};

PrintSettings ReadPrintSettings(const CSettingsStore& settings);

// The records to print, in registration-list order. `selected` holds the
// records the data view reports as selected (choice 2).
std::vector<const CMeasureData*> FilterPrintRecords(
    const RecordList& list, const PrintSettings& settings,
    const std::vector<const CMeasureData*>& selected);

// One page: rows of record slots (labels and graphs; a null slot is a blank
// label position) or a list of records (table).
struct PrintPage {
  std::vector<std::vector<const CMeasureData*>> rows;
  std::vector<const CMeasureData*> records;
};

// Label pages: `dummies` blank positions first (only when the registration
// list is not empty), then the records, `perRow` to a row, `rowsPerPage`
// rows to a page.
std::vector<PrintPage> PaginateLabels(const std::vector<const CMeasureData*>& records,
                                      bool registrationListEmpty, int dummies, int perRow,
                                      int rowsPerPage);
// Graph pages: as labels without blank positions.
std::vector<PrintPage> PaginateGraphs(const std::vector<const CMeasureData*>& records, int perRow,
                                      int rowsPerPage);
std::vector<PrintPage> PaginateTable(const std::vector<const CMeasureData*>& records, int perPage);

}  // namespace qv
