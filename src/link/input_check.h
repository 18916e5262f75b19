// Checking the six input cells of the current measurement (rows 13 to 18 of
// the result panel): currents A, B, C, cell count, end voltage, V1 point.
#pragma once

#include <array>
#include <string>

#include "data/measure_data.h"
#include "link/result_rows.h"

namespace qv {

// The cell texts of the input rows, in row order (InputIndex).
using InputCellTexts = std::array<std::string, kInputRows>;

// Checks one cell's text. A valid value is stored in `record` (the cell
// count also sets the end voltage to 1.0 V per cell) and true returned;
// otherwise `message` gets the row's refusal (CP932) and nothing changes.
bool ValidateInputCell(int row, const std::string& text, CMeasureData& record,
                       std::string& message);

// Checks rows 13..18 in order; returns the messages of the invalid cells,
// each followed by "\n" (empty when every cell is valid).
std::string ValidateInputs(const InputCellTexts& cells, CMeasureData& record);

// The texts the panel shows for a record's input conditions.
InputCellTexts InputTextsOf(const CMeasureData& record);

// Caption of the message shown after a refused edit.
std::string InputRangeCaption();

}  // namespace qv
