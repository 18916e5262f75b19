// The fixed texts of the discharge run commands (CP932): captions, the
// questions and warnings of the start, the worker and the stop, and the
// status text while the input values are sent.
#pragma once

#include <string>

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

}  // namespace qv
