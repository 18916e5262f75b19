#include "views/view_text.h"

#include "analysis/numeric.h"
#include "core/numtext.h"
#include "data/codec.h"
#include "data/measure_data.h"
#include "link/input_check.h"

namespace qv::ui {

namespace {

const char* const kNone = " -----";

}  // namespace

std::string ResultRowLabel(int row) {
  static const char* const kLabels[kResultRows] = {
      "出力値",        "登録ID",        "計測日時",      "放電時間[秒]",  "放電電流[A]",
      "電池電圧[V]",   "放電容量[mAh]", "放電電力[mWh]", "平均電圧１[V]", "平均電圧２[V]",
      "内部抵抗[mΩ]",  "ＰＩＲ",        "入力値",        "放電電流Ａ[A]", "放電電流Ｂ[A]",
      "放電電流Ｃ[A]", "セル数",        "終了電圧[V]",   "V1測定点[秒]"};
  if (row < 0 || row >= kResultRows) return {};
  return Sj(kLabels[row]);
}

std::string ResultCellText(int row, const CMeasureData& r, bool isCurrent, bool runActive) {
  if (IsInputRow(row)) return InputTextsOf(r)[static_cast<size_t>(InputIndex(row))];
  switch (row) {
    case kRowOutputSection:
      return Sj(isCurrent ? "計測データ" : "登録データ");
    case kRowId: {
      const std::string id = r.GetIdText();
      return id.empty() ? std::string(kNone) : id;
    }
    case kRowDateTime:
      // Without the first two digits of the year: 15/06/30 12:34:56.
      return r.IsMeasured() ? r.GetDateTimeText().substr(2) : std::string(kNone);
    case kRowDischargeTime:
      return IntText(r.GetDischargeTime());
    case kRowCurrent:
      return runActive ? FixedText(r.GetCurrent(-1), 1) : std::string("0.0");
    case kRowVoltage:
      return runActive ? FixedText(r.GetVoltage(-1), r.cells == 1 ? 3 : 2) : std::string("0.0");
    case kRowCapacity:
      return IntText(TruncInt(r.GetCapacity(-1)));
    case kRowEnergy:
      return IntText(r.GetEnergy(-1));
    case kRowAvgVoltage1:
      return FixedText(r.avgVoltage1, 3);
    case kRowAvgVoltage2:
      return FixedText(r.GetAvgVoltage(-1), 3);
    case kRowResistance:
      return FixedText(r.internalResistance, 1);
    case kRowPir:
      return runActive && r.GetDischargeTime() <= 120 ? std::string("0.0") : FixedText(r.pir, 1);
    default:
      return {};  // the input section row, and rows outside the table
  }
}

int ResultCellColor(int row, bool labelColumn, int slot) {
  if (row == kRowOutputSection || row == kRowInputSection) return kResultMenu;
  if (labelColumn) return (row == kRowId || row == kRowDateTime) ? kResultWhite : -1;
  if (IsOutputRow(row)) return SlotPaletteIndex(slot);
  return -1;
}

const std::array<DataColumnSpec, kDataColumns>& DataColumns() {
  static const std::array<DataColumnSpec, kDataColumns> kColumns = {{
      {"登録ID", 78, false},
      {"計測日時", 117, false},
      {"備考", 180, false},
      {"放電時間[秒]", 80, true},
      {"放電容量[mAh]", 92, true},
      {"放電電力[mWh]", 92, true},
      {"平均電圧1[V]", 82, true},
      {"平均電圧2[V]", 82, true},
      {"平均電圧3[V]", 82, true},
      {"内部抵抗[mΩ]", 90, true},
      {"ＰＩＲ", 80, true},
  }};
  return kColumns;
}

std::array<std::string, kDataColumns> DataRowTexts(const CMeasureData& r) {
  return {r.GetIdText(),
          r.GetDateTimeText(),
          r.remark,
          IntText(r.GetDischargeTime()),
          IntText(TruncInt(r.GetCapacity(-1))),
          IntText(r.GetEnergy(-1)),
          FixedText(r.avgVoltage1, 3),
          FixedText(r.GetAvgVoltage(-1), 3),
          FixedText(r.avgVoltage3, 3),
          FixedText(r.internalResistance, 1),
          FixedText(r.pir, 1)};
}

int SlotPaletteIndex(int slot) {
  return slot >= 1 && slot <= 7 ? slot + 9 : -1;
}

}  // namespace qv::ui
