#include "data/record_store.h"

namespace qv {

RecordResults ResultsOf(const CMeasureData& r) {
  RecordResults v;
  const CMeasurePoint* last = r.FindPoint(-1);
  v.dischargeTime = r.GetDischargeTime();
  v.capacity = last ? last->capacity : 0.0;
  v.energy = last ? last->capacity * last->avgVoltage : 0.0;
  v.avgVoltage1 = r.avgVoltage1;
  v.avgVoltage2 = last ? last->avgVoltage : 0.0;
  v.avgVoltage3 = r.avgVoltage3;
  v.internalResistance = r.internalResistance;
  v.pir = r.pir;
  return v;
}

RecordSummary SummaryOf(const CMeasureData& r) {
  RecordSummary s;
  s.id = r.Id();
  s.dateTime = r.GetDateTimeText();
  s.results = ResultsOf(r);
  s.inputs = r.Inputs();
  s.remark = r.remark;
  return s;
}

}  // namespace qv
