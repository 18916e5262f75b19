// Finding the port the analyzer is on, and the port setting dialog's model.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/user_interface.h"
#include "link/analyzer_link.h"

namespace qv {

// Progress of a scan as the detection dialog shows it: the progress bar
// position and the progress text (CP932). ScanPorts reports 1..256 with
// "COM%d を検査中..." for each port tried, then 256 with an empty text when
// it ends; RunPortDetection adds 0 with an empty text before every scan and
// once more when the detection ends, found or not.
using ScanProgress = std::function<void(int port, const std::string& text)>;

// Tries COM1..COM256 in order with the analyzer's probe and returns the first
// port that answers, or -1. Each port is opened (with the time-out and the
// COM numbering of `settings`), probed and closed again. `sleeper` replaces
// the probe's waits (tests); empty: real waits. When `denied` is given it
// receives the devices that could not be opened for lack of permission, in
// the order tried.
int ScanPorts(const LinkSettings& settings, const ScanProgress& progress,
              const LinkSleeper& sleeper = {}, std::vector<std::string>* denied = nullptr);

// The detection dialog's scan with its messages: scans, tells the found port
// ("自動設定完了") or asks whether to retry ("接続機器の反応がありません"),
// again and again while the user answers Yes. Returns the found port or -1.
// The caller writes COMPORT.
int RunPortDetection(const LinkSettings& settings, IUserInterface& ui, const ScanProgress& progress,
                     const LinkSleeper& sleeper = {});

// Texts of the detection dialog's messages.
std::string ScanDoneText(int port);
std::string ScanDoneCaption();
std::string ScanRetryText();
// The retry question, with the permission hint when devices were refused.
std::string ScanRetryText(const std::vector<std::string>& denied);
std::string ScanRetryCaption();

// The port setting dialog (通信ポート設定): an edit box of at most 3
// characters holding COMPORT.
class CPortSettingModel {
 public:
  static constexpr int kMaxChars = 3;

  explicit CPortSettingModel(CAppState& app) : app_(app) {}
  // The edit box's text on opening.
  std::string InitialText() const;
  // OK: a number 1..256 is written to COMPORT and true returned (close the
  // dialog); anything else returns false and the dialog stays open.
  bool Accept(const std::string& text);
  // After the detection dialog: a found port (1 or more) is written and
  // true returned (close the setting dialog as if cancelled).
  bool TakeDetected(int found);
  // The line under the edit box: the device the typed number maps to (as
  // PortDeviceText gives it), "なし" when there is none.
  std::string DeviceText(const std::string& text) const;

 private:
  CAppState& app_;
};

}  // namespace qv
