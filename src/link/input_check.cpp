#include "link/input_check.h"

#include "core/numtext.h"
#include "data/codec.h"

namespace qv {

bool ValidateInputCell(int row, const std::string& text, CMeasureData& record,
                       std::string& message) {
  message.clear();
  switch (row) {
    case kRowCurrentA:
    case kRowCurrentB:
    case kRowCurrentC: {
      const double v = RoundDecimal(AtoF(text), 1);
      if (v < 0.0 || v > 35.0) {
        static const char* const kNames[] = {"Ａ", "Ｂ", "Ｃ"};
        message = Sj(std::string("放電電流") + kNames[row - kRowCurrentA] +
                     "は、0.0 ～ 35.0 の範囲で値を設定してください。");
        return false;
      }
      (row == kRowCurrentA   ? record.currentA
       : row == kRowCurrentB ? record.currentB
                             : record.currentC) = v;
      return true;
    }
    case kRowCells: {
      const int n = AtoI(text);
      record.cells = n;
      record.endVoltage = static_cast<double>(n);
      return true;
    }
    case kRowEndVoltage: {
      const double v = RoundDecimal(AtoF(text), 1);
      if (v < 0.0 || v > 8.0) {
        message = Sj("終了電圧は、0.0 ～ 8.0 の範囲で値を設定してください。");
        return false;
      }
      record.endVoltage = v;
      return true;
    }
    case kRowV1Point: {
      const int v = AtoI(text) / 100 * 100;
      if (v < 100 || v > 3600) {
        message = Sj("V1測定点は、100 ～ 3600 の範囲で値を設定してください。");
        return false;
      }
      record.v1Point = v;
      return true;
    }
    default:
      return false;
  }
}

std::string ValidateInputs(const InputCellTexts& cells, CMeasureData& record) {
  std::string out;
  for (int row = kFirstInputRow; row <= kLastInputRow; ++row) {
    std::string message;
    if (!ValidateInputCell(row, cells[static_cast<size_t>(InputIndex(row))], record, message)) {
      out += message;
      out += "\n";
    }
  }
  return out;
}

InputCellTexts InputTextsOf(const CMeasureData& record) {
  return {FixedText(record.currentA, 1),   FixedText(record.currentB, 1),
          FixedText(record.currentC, 1),   IntText(record.cells),
          FixedText(record.endVoltage, 1), IntText(record.v1Point)};
}

std::string InputRangeCaption() {
  return Sj("設定値入力範囲");
}

}  // namespace qv
