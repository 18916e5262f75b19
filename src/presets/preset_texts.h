// The fixed texts of the input-defaults and graph-settings dialogs and their
// preset lists (CP932), so the windows only lay them out.
#pragma once

#include <array>
#include <string>

namespace qv {

struct InputDefaultsDialogTexts {
  std::string caption, description, group;
  std::string currentA, currentB, currentC, cells, endVoltage, v1Point;
  std::array<std::string, 4> cellItems;  // "1", "4", "6", "8"
  std::string ok, cancel, addToList, chooseFromList;
};
InputDefaultsDialogTexts GetInputDefaultsDialogTexts();

struct InputPresetDialogTexts {
  std::string caption, setAsDefaults, remove, close;
};
InputPresetDialogTexts GetInputPresetDialogTexts();

struct GraphSettingsDialogTexts {
  std::string caption;
  std::string voltageGroup, maximum, minimum, step, showGrid;
  std::string timeGroup, timeStep, trackMinimum, trackMaximum;
  std::string ok, cancel, addToList, chooseFromList;
};
GraphSettingsDialogTexts GetGraphSettingsDialogTexts();

struct GraphPresetDialogTexts {
  std::string caption, useAsSettings, remove, close;
};
GraphPresetDialogTexts GetGraphPresetDialogTexts();

}  // namespace qv
