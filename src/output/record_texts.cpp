#include "output/record_texts.h"

#include "core/numtext.h"

namespace qv {

RecordTexts MakeRecordTexts(const CMeasureData& r) {
  RecordTexts t;
  t.id = r.GetIdText();
  t.dateTime = r.GetDateTimeText();
  t.seconds = IntText(r.GetDischargeTime());
  t.capacity = IntText(TruncInt(r.GetCapacity(-1)));
  t.energy = IntText(r.GetEnergy(-1));
  t.avgVoltage1 = FixedText(r.avgVoltage1, 3);
  t.avgVoltage2 = FixedText(r.GetAvgVoltage(-1), 3);
  t.resistance = FixedText(r.internalResistance, 1);
  t.pir = FixedText(r.pir, 1);
  t.currentA = FixedText(r.currentA, 1);
  t.currentB = FixedText(r.currentB, 1);
  t.currentC = FixedText(r.currentC, 1);
  t.cells = IntText(r.cells);
  t.endVoltage = FixedText(r.endVoltage, 1);
  t.v1Point = IntText(r.v1Point);
  return t;
}

}  // namespace qv
