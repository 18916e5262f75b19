// Shared by the discharge-run widget tests: the Qt application, the
// simulated analyzer as a child process, and a window with its own working
// folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/command_ids.h"
#include "app/dialogs/start_confirm_dialog.h"
#include "app/main_frame.h"
#include "app/run_controller.h"
#include "link/serial_port.h"
#include "support/sim_process.h"
#include "support/test_support.h"
#include "views/qt_app_env.h"

namespace qv::test {

// Short waits: the prescribed pauses shrink to at most 10 ms.
inline void ShortSleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
}

// The application window on a fresh working folder whose Dis.ini sets the
// port, short time-outs and the input defaults; no tty device of the
// machine is visible, only the folder's ports/ links.
class RunWindowTest : public ::testing::Test {
 protected:
  static constexpr int kCom = 5;

  void SetUp() override {
    devRoot_ = dir_.File("dev");
    ::mkdir(devRoot_.c_str(), 0755);
    ::mkdir(dir_.File("ports").c_str(), 0755);
    CPortNames::SetDefaultDeviceRoot(devRoot_);
    CSettingsStore store(dir_.path(), "Dis.ini");
    qv::SeedNewSettings(store);
    store.SetInt("COMPORT", kCom);
    store.SetInt("COM_TIMEOUT_MS", 150);
    store.SetInt("COM_RETRY_C1", 2);
    store.SetInt("COM_RETRY_C2", 3);
    store.SetInt("COM_RETRY_C3", 3);
    store.SetInt("GRAPH_GAPX", 1);
    store.Set("DATA_DEF_DISA", "1.0");
    store.Set("DATA_DEF_DISB", "0.5");
    store.Set("DATA_DEF_DISC", "0.1");
    store.SetInt("DATA_DEF_CELL", 1);
    store.Set("DATA_DEF_CUTV", "1.0");
    store.SetInt("DATA_DEF_APO1", 100);
    AdjustSettings(store);

    // Run-end notices stay off the desktop.
    app_ = std::make_unique<qv::ui::CBrenlowApp>(qv::ui::StartOptions{
        dir_.path(), false, &ui_, [](const qv::DesktopNotice&) { return true; }});
    app_->Start(std::nullopt);
    frame_ = app_->Frame();
    ASSERT_NE(frame_, nullptr);
    runs_ = qv::ui::CRunController::Of(*frame_);
    ASSERT_NE(runs_, nullptr);
    runs_->Control().sleeper = ShortSleep;
    runs_->runConfirm = [this](qv::ui::CStartConfirmDlg& dlg) {
      ++confirmations_;
      (confirmAnswer_ ? dlg.StartButton() : dlg.CancelButton())->click();
      return dlg.result();
    };
    QObject::connect(runs_, &qv::ui::CRunController::RunFinished,
                     [this](qv::RunResult result) { finished_.push_back(result); });
  }

  void TearDown() override {
    // A run still going is stopped by the controller.
    app_.reset();
    CPortNames::SetDefaultDeviceRoot("/dev");
  }

  virtual void AdjustSettings(CSettingsStore&) {}

  // Starts a run through the menu command and waits for its end.
  bool RunToEnd(int ms = 30000) {
    const size_t before = finished_.size();
    frame_->OnCommand(qv::ui::kCmdStart);
    return PumpUntil([&] { return finished_.size() > before; }, ms);
  }

  std::vector<std::string> Texts() const { return ui_.TextsUtf8(); }
  bool Shown(const std::string& cp932) const {
    for (const auto& m : ui_.messages)
      if (m.text == cp932) return true;
    return false;
  }

  TempDir dir_;
  std::string devRoot_;
  FakeUi ui_;
  std::unique_ptr<qv::ui::CBrenlowApp> app_;
  qv::ui::CMainFrame* frame_ = nullptr;
  qv::ui::CRunController* runs_ = nullptr;
  int confirmations_ = 0;
  bool confirmAnswer_ = true;
  std::vector<qv::RunResult> finished_;
};

}  // namespace qv::test
