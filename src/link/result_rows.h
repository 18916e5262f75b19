// The rows of the result panel, a vertical table with one column per record:
// the output values of a record (rows 1 to 11, under the section row 0) and
// its six input conditions (rows 13 to 18, under the section row 12). The
// run control reads and checks the input rows; the panel draws them all.
#pragma once

namespace qv {

enum ResultRow : int {
  kRowOutputSection = 0,  // "出力値"
  kRowId = 1,
  kRowDateTime = 2,
  kRowDischargeTime = 3,
  kRowCurrent = 4,  // the last point's current; "0.0" while no run is active
  kRowVoltage = 5,  // the last point's voltage; "0.0" while no run is active
  kRowCapacity = 6,
  kRowEnergy = 7,
  kRowAvgVoltage1 = 8,
  kRowAvgVoltage2 = 9,
  kRowResistance = 10,
  kRowPir = 11,
  kRowInputSection = 12,  // "入力値"
  kRowCurrentA = 13,
  kRowCurrentB = 14,
  kRowCurrentC = 15,
  kRowCells = 16,
  kRowEndVoltage = 17,
  kRowV1Point = 18,
};

inline constexpr int kResultRows = 19;
// The output rows a record's column refreshes.
inline constexpr int kFirstOutputRow = kRowId;
inline constexpr int kLastOutputRow = kRowPir;
// The six input rows, in the order of InputCellTexts.
inline constexpr int kFirstInputRow = kRowCurrentA;
inline constexpr int kLastInputRow = kRowV1Point;
inline constexpr int kInputRows = kLastInputRow - kFirstInputRow + 1;

constexpr bool IsInputRow(int row) {
  return row >= kFirstInputRow && row <= kLastInputRow;
}
constexpr bool IsOutputRow(int row) {
  return row >= kFirstOutputRow && row <= kLastOutputRow;
}
// Index 0..5 of an input row in InputCellTexts, and back.
constexpr int InputIndex(int row) {
  return row - kFirstInputRow;
}
constexpr int InputRow(int index) {
  return kFirstInputRow + index;
}

}  // namespace qv
