// Every key of "Dis.ini" (section "QUORVEX"): the one place the key texts
// are written. Who reads and writes each key is said beside it.
#pragma once

#include <string>

namespace qv::keys {

// Communication and runs.
inline constexpr char kComPort[] = "COMPORT";                  // COM number 1..256
inline constexpr char kComTimeoutMs[] = "COM_TIMEOUT_MS";      // read and write time-out
inline constexpr char kComRetryC1[] = "COM_RETRY_C1";          // attempts per input command
inline constexpr char kComRetryC2[] = "COM_RETRY_C2";          // attempts of the start command
inline constexpr char kComRetryC3[] = "COM_RETRY_C3";          // failed frames that end a run
inline constexpr char kStartClearOverlays[] = "START_DUPCLR";  // start options dialog
inline constexpr char kStartDefaultGraph[] = "START_DEFGRA";   // start options dialog
inline constexpr char kStartDirect[] = "START_DIRECT";         // non-zero: no start confirmation
inline constexpr char kBackupMode[] = "FLAG_BACKUP";           // 0 "101b", 1 "101", 2 no backup

// Start-up and options.
inline constexpr char kNumberButtons[] = "FLAG_NUMBTN";        // registration's auto-assign
inline constexpr char kViewMoveColumn[] = "VIEW_MOVE_COLUMN";  // data view columns movable
inline constexpr char kRunCount[] = "RUNCNT";                  // the start-up write probe

// The data file last opened or saved.
inline constexpr char kFileName[] = "FILE";
inline constexpr char kFilePath[] = "PATH";

// Graph display settings.
inline constexpr char kGraphMaxV[] = "GRAPH_MAXV";
inline constexpr char kGraphMinV[] = "GRAPH_MINV";
inline constexpr char kGraphGrid[] = "GRAPH_GRID";  // "0" off, anything else on
inline constexpr char kGraphGapX[] = "GRAPH_GAPX";  // pixels per second
inline constexpr char kGraphGapY[] = "GRAPH_GAPY";  // voltage label step

// Input defaults and the average-voltage-3 range.
inline constexpr char kDefCurrentA[] = "DATA_DEF_DISA";
inline constexpr char kDefCurrentB[] = "DATA_DEF_DISB";
inline constexpr char kDefCurrentC[] = "DATA_DEF_DISC";
inline constexpr char kDefCells[] = "DATA_DEF_CELL";
inline constexpr char kDefEndVoltage[] = "DATA_DEF_CUTV";
inline constexpr char kDefV1Point[] = "DATA_DEF_APO1";
inline constexpr char kAvg3Start[] = "DATA_DEF_APO3ST";
inline constexpr char kAvg3End[] = "DATA_DEF_APO3ED";

// Registration dialog.
inline constexpr char kRegisterNext[] = "REGIST_NEXT";
inline constexpr const char* kRegisterId[3] = {"REGIST_ID1", "REGIST_ID2", "REGIST_ID3"};

// Merge and exports.
inline constexpr char kMergeFile[] = "INPORT_MERGE";
inline constexpr char kExportCsvFolder[] = "EXPORT_CSV";
// The ID range of the last CSV export, parts written "%03d".
inline constexpr const char* kExportCsvIdStart[3] = {"EXPORT_CSV_IDSTART1", "EXPORT_CSV_IDSTART2",
                                                     "EXPORT_CSV_IDSTART3"};
inline constexpr const char* kExportCsvIdEnd[3] = {"EXPORT_CSV_IDEND1", "EXPORT_CSV_IDEND2",
                                                   "EXPORT_CSV_IDEND3"};
inline constexpr char kExportBmpFile[] = "EXPORT_BMP";
inline constexpr char kExportBmpTable[] = "EXPORT_BMP_PUTDATA";
inline constexpr char kExportBmpWhite[] = "EXPORT_BMP_BGWHITE";

// Print settings.
inline constexpr char kPrintTopX[] = "PRINT_TOP_X";
inline constexpr char kPrintTopY[] = "PRINT_TOP_Y";
inline constexpr char kPrintLabelW[] = "PRINT_LABEL_W";
inline constexpr char kPrintLabelH[] = "PRINT_LABEL_H";
inline constexpr char kPrintLabelGX[] = "PRINT_LABEL_GX";
inline constexpr char kPrintLabelGY[] = "PRINT_LABEL_GY";
inline constexpr char kPrintGraphWS[] = "PRINT_GRAPH_WS";
inline constexpr char kPrintLabelCX[] = "PRINT_LABEL_CX";
inline constexpr char kPrintLabelCY[] = "PRINT_LABEL_CY";
inline constexpr const char* kPrintIdStart[3] = {"PRINT_IDSTART1", "PRINT_IDSTART2",
                                                 "PRINT_IDSTART3"};
inline constexpr const char* kPrintIdEnd[3] = {"PRINT_IDEND1", "PRINT_IDEND2", "PRINT_IDEND3"};
inline constexpr char kPrintForm[] = "PRINT_RADIO";
inline constexpr char kPrintChoice[] = "PRINT_RADIO2";
inline constexpr char kPrintLabelType[] = "PRINT_LABEL_TYPE";
inline constexpr char kPrintLabelDummy[] = "PRINT_LABEL_DMY";
inline constexpr char kPrintFont[] = "PRINT_FONT";
inline constexpr char kPrintGraphCX[] = "PRINT_GRAPH_CX";
inline constexpr char kPrintGraphCY[] = "PRINT_GRAPH_CY";
inline constexpr char kPrintTableLine[] = "PRINT_TABLE_LINE";
inline constexpr char kPrintLabelNoLogo[] = "PRINT_LABEL_NOLOGO";

// The width of one column of a report list, "CLM_<profile>_<title>".
inline std::string ColumnWidth(const std::string& profile, const std::string& title) {
  return "CLM_" + profile + "_" + title;
}

}  // namespace qv::keys
