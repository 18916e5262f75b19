#include "link/port_scan.h"

#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"
#include "data/text_format.h"
#include "link/port_list.h"

namespace qv {

std::string ScanDoneText(int port) {
  return Format(Sj("通信設定を完了しました。ORVANTISとの通信が可能になります。\n\n"
                   "（通信ポートが「COM %d」に設定されました。）"),
                port);
}
std::string ScanDoneCaption() {
  return Sj("自動設定完了");
}
std::string ScanRetryText() {
  return Sj(
      "通信設定ができませんでした。\n\n（通信ポート(COM1～256)をチェックしましたが、"
      "ORVANTISとの通信ができませんでした。）\n\n再試行しますか？");
}
std::string ScanRetryText(const std::vector<std::string>& denied) {
  return WithPermissionHint(ScanRetryText(), denied);
}
std::string ScanRetryCaption() {
  return Sj("接続機器の反応がありません");
}

int ScanPorts(const LinkSettings& settings, const ScanProgress& progress,
              const LinkSleeper& sleeper, std::vector<std::string>* denied) {
  const std::string format = Sj("COM%d を検査中...");
  int found = -1;
  for (int i = 1; i <= CSerialPort::kMaxPort; ++i) {
    if (progress) progress(i, Format(format, i));
    CAnalyzerLink link(settings);
    if (sleeper) link.SetSleeper(sleeper);
    if (link.OpenLink(i)) {
      const bool ok = link.ProbeWithRetries();
      link.CloseLink();
      if (ok) {
        found = i;
        break;
      }
    } else {
      if (denied) {
        for (std::string& d : DeniedDevices(link.Serial()))
          denied->push_back(std::move(d));
      }
      // Leave no device open behind (the settings may have been refused).
      link.CloseLink();
    }
  }
  if (progress) progress(CSerialPort::kMaxPort, std::string());
  return found;
}

int RunPortDetection(const LinkSettings& settings, IUserInterface& ui, const ScanProgress& progress,
                     const LinkSleeper& sleeper) {
  int found = -1;
  for (;;) {
    if (progress) progress(0, std::string());
    std::vector<std::string> denied;
    found = ScanPorts(settings, progress, sleeper, &denied);
    if (found >= 1) {
      ui.Tell(ScanDoneText(found), ScanDoneCaption(), MsgIcon::kInformation);
      break;
    }
    const MsgResult r = ui.ShowMessage({ScanRetryText(denied), ScanRetryCaption(),
                                        MsgIcon::kWarning, MsgButtons::kYesNo, std::nullopt});
    if (r != MsgResult::kYes) break;
  }
  // The bar goes back to 0 however the scan ended.
  if (progress) progress(0, std::string());
  return found;
}

std::string CPortSettingModel::InitialText() const {
  return app_.settings.Get(keys::kComPort).substr(0, kMaxChars);
}

bool CPortSettingModel::Accept(const std::string& text) {
  const int port = AtoI(text.substr(0, kMaxChars));
  if (port < 1 || port > CSerialPort::kMaxPort) return false;
  app_.settings.SetValue(keys::kComPort, port);
  return true;
}

bool CPortSettingModel::TakeDetected(int found) {
  if (found < 1) return false;
  app_.settings.SetValue(keys::kComPort, found);
  return true;
}

std::string CPortSettingModel::DeviceText(const std::string& text) const {
  return PortDeviceText(PortNamesOf(app_), AtoI(text.substr(0, kMaxChars)));
}

}  // namespace qv
