// The fixed texts of the analysis dialogs (CP932), so the windows only lay
// them out.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

struct VirtualCurrentDialogTexts {
  std::string caption, description, label, note, ok, cancel;
};
VirtualCurrentDialogTexts GetVirtualCurrentDialogTexts();

struct SimulatorDialogTexts {
  std::string caption, description, exclusionNote, label, close;
};
SimulatorDialogTexts GetSimulatorDialogTexts();

struct EmfDialogTexts {
  std::string caption, description, close;
};
EmfDialogTexts GetEmfDialogTexts();

struct PointDetailDialogTexts {
  std::string caption, timeLabel, close, menuItem, menuPrompt;
};
PointDetailDialogTexts GetPointDetailDialogTexts();

struct Avg3RangeDialogTexts {
  std::string caption, description, group, dischargeTime, secondsFrom, seconds, ok, cancel;
};
Avg3RangeDialogTexts GetAvg3RangeDialogTexts();

// What the simulator and the EMF dialog paint with.
inline constexpr int kPlotFontPoints = 9;
inline constexpr uint32_t kPlotAxisColor = 0xC8FFC8;  // (200, 255, 200) on black
std::string PlotFontName();                           // "ＭＳ ゴシック"

}  // namespace qv
