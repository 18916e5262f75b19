// Every key of "Dis.ini" (section "QUORVEX") in one table: the key text, its
// type, the value a reader takes when the key is empty or absent ("missing"),
// the range a reader keeps it in, and the value a new settings file starts
// with ("first"). Code names a key only through these constants.
// CSettingsStore::Value reads a key as the table says (values are texts read
// as atoi and atof read them), SetValue writes it; Get, GetInt and Set take
// the key texts as they are and read or write the stored text unchanged.
#pragma once

#include <climits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/conditions.h"

namespace qv::keys {

// An integer key. A value below `min` (a missing or non-numeric text reads
// as 0) gives `missing`; one above `max` gives `max`; a value is first cut
// to a multiple of `step` toward zero. Written in decimal, zero-padded to
// `digits` digits when that is more than 0.
struct IntKey {
  std::string_view name;
  int missing = 0;
  int min = INT_MIN;
  int max = INT_MAX;
  int step = 1;
  int digits = 0;
  std::optional<int> first = std::nullopt;

  int Clamp(int value) const;
  int From(std::string_view text) const;
  std::string Text(int value) const;
  constexpr operator std::string_view() const { return name; }
  operator std::string() const { return std::string(name); }
};

// A real key: the value as atof reads it (0.0 when missing). Each writer
// gives the decimals it writes; a new file's values have one decimal.
struct RealKey {
  std::string_view name;
  std::optional<double> first = std::nullopt;

  double From(std::string_view text) const;
  constexpr operator std::string_view() const { return name; }
  operator std::string() const { return std::string(name); }
};

// When a switch is on; written as "1" and "0".
enum class SwitchRule {
  kPositive,        // the integer read is greater than 0 (missing: off)
  kNonZero,         // the integer read is not 0 (missing: off)
  kUnlessZeroText,  // the text is anything but exactly "0" (missing: on)
};
struct SwitchKey {
  std::string_view name;
  SwitchRule on = SwitchRule::kPositive;
  std::optional<bool> first = std::nullopt;

  bool From(std::string_view text) const;
  std::string Text(bool value) const { return value ? "1" : "0"; }
  constexpr operator std::string_view() const { return name; }
  operator std::string() const { return std::string(name); }
};

// A text key (CP932 text or file system bytes); an empty value gives
// `missing`.
struct TextKey {
  std::string_view name;
  std::string_view missing = {};

  std::string From(std::string_view text) const;
  constexpr operator std::string_view() const { return name; }
  operator std::string() const { return std::string(name); }
};

// Communication and runs.
// COM number 1..256; 0 makes opening the port fail.
inline constexpr IntKey kComPort{.name = "COMPORT"};
// The read and write time-out in ms.
inline constexpr IntKey kComTimeoutMs{
    .name = "COM_TIMEOUT_MS", .missing = 1500, .min = 1, .max = 10000};
// Attempts of each input command, attempts of the start command, failed
// frames in a row that end a run.
inline constexpr IntKey kComRetryC1{.name = "COM_RETRY_C1", .missing = 5, .min = 1, .max = 30};
inline constexpr IntKey kComRetryC2{.name = "COM_RETRY_C2", .missing = 5, .min = 1, .max = 30};
inline constexpr IntKey kComRetryC3{.name = "COM_RETRY_C3", .missing = 5, .min = 1, .max = 30};
// The start options dialog's switches; START_DIRECT on: no start confirmation.
inline constexpr SwitchKey kStartClearOverlays{.name = "START_DUPCLR"};
inline constexpr SwitchKey kStartDefaultGraph{.name = "START_DEFGRA"};
inline constexpr SwitchKey kStartDirect{.name = "START_DIRECT", .on = SwitchRule::kNonZero};
inline constexpr IntKey kBackupMode{.name = "FLAG_BACKUP"};  // 0 "101b", 1 "101", 2 no backup

// Start-up and options.
inline constexpr SwitchKey kNumberButtons{.name = "FLAG_NUMBTN"};  // registration's auto-assign
inline constexpr SwitchKey kViewMoveColumn{.name = "VIEW_MOVE_COLUMN"};  // columns movable
inline constexpr IntKey kRunCount{.name = "RUNCNT"};                     // the start-up write probe

// The data file last opened or saved.
inline constexpr TextKey kFileName{.name = "FILE"};
inline constexpr TextKey kFilePath{.name = "PATH"};

// Graph display settings; a new file gets the graph view's first values.
inline constexpr RealKey kGraphMaxV{.name = "GRAPH_MAXV", .first = 12.0};
inline constexpr RealKey kGraphMinV{.name = "GRAPH_MINV", .first = 0.0};
inline constexpr SwitchKey kGraphGrid{
    .name = "GRAPH_GRID", .on = SwitchRule::kUnlessZeroText, .first = false};
inline constexpr IntKey kGraphGapX{.name = "GRAPH_GAPX", .first = 3};     // pixels per second
inline constexpr RealKey kGraphGapY{.name = "GRAPH_GAPY", .first = 1.0};  // voltage label step
// The voltage scale stays in a strip at the graph's left (missing: off).
inline constexpr SwitchKey kGraphVoltStrip{.name = "GRAPH_FIXED_VSCALE"};

// Input defaults and the average-voltage-3 range; a new file gets the
// application's initial values.
inline constexpr RealKey kDefCurrentA{.name = "DATA_DEF_DISA", .first = InputConditions{}.currentA};
inline constexpr RealKey kDefCurrentB{.name = "DATA_DEF_DISB", .first = InputConditions{}.currentB};
inline constexpr RealKey kDefCurrentC{.name = "DATA_DEF_DISC", .first = InputConditions{}.currentC};
inline constexpr IntKey kDefCells{.name = "DATA_DEF_CELL", .first = InputConditions{}.cells};
inline constexpr RealKey kDefEndVoltage{.name = "DATA_DEF_CUTV",
                                        .first = InputConditions{}.endVoltage};
// Whole hundreds: 250 reads as 200.
inline constexpr IntKey kDefV1Point{
    .name = "DATA_DEF_APO1", .step = 100, .first = InputConditions{}.v1Point};
inline constexpr IntKey kAvg3Start{.name = "DATA_DEF_APO3ST", .first = Avg3Range{}.start};
inline constexpr IntKey kAvg3End{.name = "DATA_DEF_APO3ED", .first = Avg3Range{}.end};

// Registration dialog.
inline constexpr SwitchKey kRegisterNext{.name = "REGIST_NEXT"};
inline constexpr IntKey kRegisterId[3] = {
    {.name = "REGIST_ID1"}, {.name = "REGIST_ID2"}, {.name = "REGIST_ID3"}};

// Print settings. A new file gets the layout of "既定値に戻す" with the graph
// width 0 (each record's own discharge time), labels of every registered
// record and the whole ID range; ID parts are written "%03d".
inline constexpr IntKey kPrintTopX{.name = "PRINT_TOP_X", .first = 9};
inline constexpr IntKey kPrintTopY{.name = "PRINT_TOP_Y", .first = 21};
inline constexpr IntKey kPrintLabelW{.name = "PRINT_LABEL_W", .first = 24};
inline constexpr IntKey kPrintLabelH{.name = "PRINT_LABEL_H", .first = 33};
inline constexpr IntKey kPrintLabelGX{.name = "PRINT_LABEL_GX", .first = 4};
inline constexpr IntKey kPrintLabelGY{.name = "PRINT_LABEL_GY", .first = 4};
inline constexpr IntKey kPrintGraphWS{.name = "PRINT_GRAPH_WS", .first = 0};
inline constexpr IntKey kPrintLabelCX{.name = "PRINT_LABEL_CX", .first = 7};
inline constexpr IntKey kPrintLabelCY{.name = "PRINT_LABEL_CY", .first = 7};
inline constexpr IntKey kPrintIdStart[3] = {{.name = "PRINT_IDSTART1", .digits = 3, .first = 1},
                                            {.name = "PRINT_IDSTART2", .digits = 3, .first = 1},
                                            {.name = "PRINT_IDSTART3", .digits = 3, .first = 1}};
inline constexpr IntKey kPrintIdEnd[3] = {{.name = "PRINT_IDEND1", .digits = 3, .first = 999},
                                          {.name = "PRINT_IDEND2", .digits = 3, .first = 999},
                                          {.name = "PRINT_IDEND3", .digits = 3, .first = 999}};
inline constexpr IntKey kPrintForm{.name = "PRINT_RADIO", .first = 0};     // labels
inline constexpr IntKey kPrintChoice{.name = "PRINT_RADIO2", .first = 0};  // every record
inline constexpr IntKey kPrintLabelType{.name = "PRINT_LABEL_TYPE"};
inline constexpr IntKey kPrintLabelDummy{.name = "PRINT_LABEL_DMY"};
// "ＭＳ ゴシック" in CP932.
inline constexpr TextKey kPrintFont{
    .name = "PRINT_FONT", .missing = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e"};
inline constexpr IntKey kPrintGraphCX{.name = "PRINT_GRAPH_CX", .missing = 2, .min = 1};
inline constexpr IntKey kPrintGraphCY{.name = "PRINT_GRAPH_CY", .missing = 3, .min = 1};
inline constexpr IntKey kPrintTableLine{.name = "PRINT_TABLE_LINE", .missing = 2, .min = 1};
inline constexpr IntKey kPrintLabelNoLogo{.name = "PRINT_LABEL_NOLOGO"};  // > 0: no logo

// Merge and exports. A new file gets the whole ID range for the CSV export.
inline constexpr TextKey kMergeFile{.name = "INPORT_MERGE"};
inline constexpr TextKey kExportCsvFolder{.name = "EXPORT_CSV"};
inline constexpr IntKey kExportCsvIdStart[3] = {
    {.name = "EXPORT_CSV_IDSTART1", .digits = 3, .first = 1},
    {.name = "EXPORT_CSV_IDSTART2", .digits = 3, .first = 1},
    {.name = "EXPORT_CSV_IDSTART3", .digits = 3, .first = 1}};
inline constexpr IntKey kExportCsvIdEnd[3] = {
    {.name = "EXPORT_CSV_IDEND1", .digits = 3, .first = 999},
    {.name = "EXPORT_CSV_IDEND2", .digits = 3, .first = 999},
    {.name = "EXPORT_CSV_IDEND3", .digits = 3, .first = 999}};
inline constexpr TextKey kExportBmpFile{.name = "EXPORT_BMP"};
inline constexpr SwitchKey kExportBmpTable{.name = "EXPORT_BMP_PUTDATA",
                                           .on = SwitchRule::kNonZero};
inline constexpr SwitchKey kExportBmpWhite{.name = "EXPORT_BMP_BGWHITE",
                                           .on = SwitchRule::kNonZero};

// The cell catalogue: the database file (relative to the working folder, or
// absolute); empty means "quorvex-catalog.sqlite" beside this file.
inline constexpr TextKey kCatalog{.name = "CATALOG"};
// A PostgreSQL server in CATALOG (a URI or key/value connection string, never
// with a password): the name this station's records carry there; empty means
// the computer's host name.
inline constexpr TextKey kCatalogStation{.name = "CATALOG_STATION"};

// One key of the table.
using AnyKey = std::variant<const IntKey*, const RealKey*, const SwitchKey*, const TextKey*>;

// Every key above, in the order a new settings file gets its first values.
// clang-format off
inline constexpr AnyKey kTable[] = {
    &kComPort, &kComTimeoutMs, &kComRetryC1, &kComRetryC2, &kComRetryC3,
    &kStartClearOverlays, &kStartDefaultGraph, &kStartDirect, &kBackupMode,
    &kNumberButtons, &kViewMoveColumn, &kRunCount,
    &kFileName, &kFilePath,
    &kGraphMaxV, &kGraphMinV, &kGraphGrid, &kGraphGapX, &kGraphGapY,
    &kGraphVoltStrip,
    &kDefCurrentA, &kDefCurrentB, &kDefCurrentC, &kDefCells, &kDefEndVoltage, &kDefV1Point,
    &kAvg3Start, &kAvg3End,
    &kRegisterNext, &kRegisterId[0], &kRegisterId[1], &kRegisterId[2],
    &kPrintTopX, &kPrintTopY, &kPrintLabelW, &kPrintLabelH, &kPrintLabelGX, &kPrintLabelGY,
    &kPrintGraphWS, &kPrintLabelCX, &kPrintLabelCY,
    &kPrintIdStart[0], &kPrintIdStart[1], &kPrintIdStart[2],
    &kPrintIdEnd[0], &kPrintIdEnd[1], &kPrintIdEnd[2],
    &kPrintForm, &kPrintChoice, &kPrintLabelType, &kPrintLabelDummy, &kPrintFont,
    &kPrintGraphCX, &kPrintGraphCY, &kPrintTableLine, &kPrintLabelNoLogo,
    &kMergeFile, &kExportCsvFolder,
    &kExportCsvIdStart[0], &kExportCsvIdStart[1], &kExportCsvIdStart[2],
    &kExportCsvIdEnd[0], &kExportCsvIdEnd[1], &kExportCsvIdEnd[2],
    &kExportBmpFile, &kExportBmpTable, &kExportBmpWhite,
    &kCatalog, &kCatalogStation,
};
// clang-format on

std::string_view NameOf(const AnyKey& key);
// The text a new settings file holds for the key, or nothing when a new
// file does not have it.
std::optional<std::string> FirstText(const AnyKey& key);

// The width of one column of a report list, "CLM_<profile>_<title>": the
// width in pixels as decimal text; "-1" restores the built-in width.
inline std::string ColumnWidth(const std::string& profile, const std::string& title) {
  return "CLM_" + profile + "_" + title;
}

}  // namespace qv::keys
