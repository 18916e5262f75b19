// One discharge test: its input conditions, the sample series and the results.
// The record is a plain value holding what the data file holds (and average
// voltage 3, computed from its points): copies are independent and compare
// equal. How a record is shown (display slot, list row) and whether it is in
// a saved file are the document's (data/document.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/conditions.h"
#include "data/ole_datetime.h"
#include "data/registration_id.h"

namespace qv {

class ArchiveReader;
class ArchiveWriter;

// One sample of a discharge. Kept by value in a contiguous series.
struct CMeasurePoint {
  int32_t time = 0;         // elapsed seconds since the start of the discharge
  double current = 0.0;     // A
  double voltage = 0.0;     // V
  double capacity = 0.0;    // mAh from the start up to this time
  double avgVoltage = 0.0;  // mean voltage from the start up to this time

  bool operator==(const CMeasurePoint&) const = default;
};

// Elapsed times 120 to 125 s: the window where the analyzer measures internal
// resistance. Average voltage 3 skips them and virtual curves leave them out.
inline bool IsWindowTime(int32_t t) {
  return t >= 120 && t <= 125;
}

class CMeasureData {
 public:
  CMeasureData() { Reset(); }
  explicit CMeasureData(const InputConditions& in) { Reset(in); }

  // Every field back to its state after reset; the input conditions become `in`.
  void Reset(const InputConditions& in = {});
  bool IsEmpty() const { return points_.empty(); }

  // Every field and every point equal (a NaN field never compares equal).
  bool operator==(const CMeasureData&) const = default;

  void Write(ArchiveWriter& ar) const;
  // Reads one record into this (reset) record, then truncates the V1 point to
  // a multiple of 100 and recomputes average voltage 3 with `range`. Returns
  // false when the archive failed (truncated or implausible data).
  bool Read(ArchiveReader& ar, const Avg3Range& range);

  RegistrationId Id() const { return {id1, id2, id3}; }
  void SetId(const RegistrationId& id);
  std::string GetIdText() const;  // Id().Text(), empty when a part is unset
  // Id().Key() in unsigned 32 bits (parts above 999 from a damaged file wrap),
  // 0 when a part is unset.
  uint32_t GetIdKey() const;
  std::string GetDateTimeText() const { return dateTime.Text(); }
  bool IsMeasured() const { return dateTime.Parts().year > 100; }

  // t < 0 means the last point.
  const CMeasurePoint* FindPoint(int32_t t) const;
  int32_t GetDischargeTime() const { return points_.empty() ? 0 : points_.back().time; }
  double GetCurrent(int32_t t) const;
  double GetVoltage(int32_t t) const;
  double GetCapacity(int32_t t) const;
  double GetAvgVoltage(int32_t t) const;
  int32_t GetEnergy(int32_t t) const;  // mWh, truncated toward zero
  void UpdateAvgVolt3(const Avg3Range& range);
  double GetEmfVoltage() const;

  const std::vector<CMeasurePoint>& Points() const { return points_; }
  std::vector<CMeasurePoint>& MutablePoints() { return points_; }
  void AppendPoint(const CMeasurePoint& p) { points_.push_back(p); }

  InputConditions Inputs() const;
  void SetInputs(const InputConditions& in);

  // Fields, in the order the record declares them.
  int32_t id1 = -1, id2 = -1, id3 = -1;
  COleDateTime dateTime;
  std::string remark;  // CP932 bytes
  int32_t cells = 1;
  double endVoltage = 1.0;
  double currentA = 1.0, currentB = 0.5, currentC = 0.1;
  int32_t v1Point = 100;
  double avgVoltage1 = 0.0;
  double avgVoltage3 = 0.0;
  double pir = 0.0;
  double internalResistance = 0.0;  // mOhm

 private:
  std::vector<CMeasurePoint> points_;
};

// Colour of a display slot as 0xRRGGBB.
uint32_t SlotColor(int slot);

// A record drawn in the graph and its display slot: 1 for the current
// measurement, 2 to 7 for the overlays.
struct DisplayedRecord {
  const CMeasureData* record = nullptr;
  int slot = -1;

  bool operator==(const DisplayedRecord&) const = default;
};

}  // namespace qv
