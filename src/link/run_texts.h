// The texts of the discharge run commands (CP932): captions, the questions
// and warnings of the start, the worker and the stop, the status text while
// the input values are sent, and what is said of the working folder, the run
// journal and the backup.
#pragma once

#include <string>

#include "data/run_lock.h"

namespace qv {

struct RunControlTexts {
  std::string captionStart;       // "放電と計測を開始": the start and its warnings
  std::string captionRun;         // "放電と計測": messages at the end of a run
  std::string captionStop;        // "放電と計測を停止"
  std::string clearQuestion;      // the measurement panel still holds data
  std::string validationTail;     // follows the messages of invalid inputs
  std::string sendFailed;         // the input values could not be sent
  std::string noPermission;       // the device may not be opened
  std::string detectHint;         // offers the port detection after the first failure
  std::string detectHintCaption;  // "通信ポートの自動設定"
  std::string cannotStart;        // the worker could not open the port
  std::string commLost;           // communication lost during the run
  std::string causeConnection;    // emergency stop: check the battery connection
  std::string causeRange;         // emergency stop: a range-over is possible
  std::string stopped;            // the stop command's notice
  std::string sendingStatus;      // status bar while the input values are sent
};
const RunControlTexts& GetRunControlTexts();

// "緊急停止されました。\n\n（※" + cause + "）"
std::string EmergencyStopText(const std::string& cause);

// The refusal of a start beside the run that holds the working folder
// `folder`: the folder and what is known of that run.
std::string FolderBusyText(const std::string& folder, const ActiveRun& run);
// One line, told while the run goes on: the journal at `path` stopped being
// written (`error` the errno, 0 when unknown).
std::string JournalLostNoticeText(const std::string& path, int error);
// The end of a run whose automatic backup at `path` could not be written;
// `journalKept`: the journal stays until the run is saved in a data file.
std::string BackupFailedText(const std::string& path, bool journalKept);

}  // namespace qv
