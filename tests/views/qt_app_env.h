// The Qt application that the widget tests share, and a
// helper that runs its event loop until a condition holds.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <clocale>
#include <functional>
#include <thread>

namespace qv::test {

// One QApplication for the whole test program, off screen unless told
// otherwise. Each widget test program registers it once (test_gui_app in
// shell_test_support.cpp, test_gui_views in qt_environment.cpp); it stands
// with the tests of views, the lowest widget tests, so that both include it
// down the ladder.
class QtAppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quorvex-widget-tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

// Runs the event loop until `done` holds (true) or `ms` have passed (false).
inline bool PumpUntil(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace qv::test
