#include "data/measure_data.h"

#include <algorithm>
#include <cstring>

#include "data/archive.h"

namespace qv {
namespace {

// A point counts for average voltage 3 inside the range, outside 120 to 125 s.
inline bool CountsForAvg3(int32_t t, const Avg3Range& range) {
  return t >= range.start && t <= range.end && !IsWindowTime(t);
}

struct Avg3Sum {
  double sum = 0.0;
  int64_t counted = 0;
};

// Stored points (36 bytes each) appended to the series, summing average
// voltage 3 on the way instead of in a second pass over the points.
void DecodePoints(const unsigned char* src, size_t items, const Avg3Range& range,
                  std::vector<CMeasurePoint>& out, Avg3Sum& avg3) {
  double sum = avg3.sum;
  int64_t counted = 0;
  for (size_t i = 0; i < items; ++i, src += kPointBytes) {
    CMeasurePoint p;
    std::memcpy(&p.time, src, 4);
    std::memcpy(&p.current, src + 4, 8);
    std::memcpy(&p.voltage, src + 12, 8);
    std::memcpy(&p.capacity, src + 20, 8);
    std::memcpy(&p.avgVoltage, src + 28, 8);
    if (CountsForAvg3(p.time, range)) {
      sum += p.voltage;
      ++counted;
    }
    out.push_back(p);
  }
  avg3.sum = sum;
  avg3.counted += counted;
}

}  // namespace

void CMeasureData::Reset(const InputConditions& in) {
  id1 = id2 = id3 = -1;
  dateTime = COleDateTime{};
  remark.clear();
  points_.clear();
  points_.shrink_to_fit();
  SetInputs(in);
  avgVoltage1 = 0.0;
  avgVoltage3 = 0.0;
  pir = 0.0;
  internalResistance = 0.0;
}

InputConditions CMeasureData::Inputs() const {
  return {cells, endVoltage, currentA, currentB, currentC, v1Point};
}

void CMeasureData::SetInputs(const InputConditions& in) {
  cells = in.cells;
  endVoltage = in.endVoltage;
  currentA = in.currentA;
  currentB = in.currentB;
  currentC = in.currentC;
  v1Point = in.v1Point;
}

void CMeasureData::SetId(const RegistrationId& id) {
  id1 = id.p1;
  id2 = id.p2;
  id3 = id.p3;
}

std::string CMeasureData::GetIdText() const {
  const RegistrationId id = Id();
  return id.IsSet() ? id.Text() : std::string();
}

uint32_t CMeasureData::GetIdKey() const {
  const RegistrationId id = Id();
  return id.IsSet() ? static_cast<uint32_t>(id.Key()) : 0u;
}

const CMeasurePoint* CMeasureData::FindPoint(int32_t t) const {
  if (points_.empty()) return nullptr;
  if (t < 0) return &points_.back();
  for (const CMeasurePoint& p : points_) {
    if (p.time == t) return &p;
  }
  return nullptr;
}

double CMeasureData::GetCurrent(int32_t t) const {
  const CMeasurePoint* p = FindPoint(t);
  return p ? p->current : 0.0;
}
double CMeasureData::GetVoltage(int32_t t) const {
  const CMeasurePoint* p = FindPoint(t);
  return p ? p->voltage : 0.0;
}
double CMeasureData::GetCapacity(int32_t t) const {
  const CMeasurePoint* p = FindPoint(t);
  return p ? p->capacity : 0.0;
}
double CMeasureData::GetAvgVoltage(int32_t t) const {
  const CMeasurePoint* p = FindPoint(t);
  return p ? p->avgVoltage : 0.0;
}

int32_t CMeasureData::GetEnergy(int32_t t) const {
  const CMeasurePoint* p = FindPoint(t);
  if (!p) return 0;
  double e = p->capacity * p->avgVoltage;
  // Out-of-range products (corrupt data) must not be undefined behaviour.
  if (!(e > -2147483648.0 && e < 2147483648.0)) return 0;
  return static_cast<int32_t>(e);
}

void CMeasureData::UpdateAvgVolt3(const Avg3Range& range) {
  double sum = 0.0;
  int64_t n = 0;
  for (const CMeasurePoint& p : points_) {
    if (CountsForAvg3(p.time, range)) {
      sum += p.voltage;
      ++n;
    }
  }
  avgVoltage3 = n > 0 ? sum / static_cast<double>(n) : 0.0;
}

double CMeasureData::GetEmfVoltage() const {
  const CMeasurePoint* p = FindPoint(120);
  if (!p) return 0.0;
  for (int32_t t = 119; t >= 116; --t) {
    if (const CMeasurePoint* q = FindPoint(t)) {
      return p->voltage + internalResistance * 0.001 * q->current;
    }
  }
  return 0.0;
}

uint32_t SlotColor(int slot) {
  switch (slot) {
    case 1:
      return 0x00FFFF;
    case 2:
      return 0xFF00FF;
    case 3:
      return 0xFFFF00;
    case 4:
      return 0xFF0000;
    case 5:
      return 0x00FF00;
    case 6:
      return 0xFF9933;
    case 7:
      return 0x9999FF;
    default:
      return 0xFFFFFF;
  }
}

// Record layout: 88 fixed bytes, the remark, the point count and the points.
void CMeasureData::Write(ArchiveWriter& ar) const {
  ar.WriteI32(id1);
  ar.WriteI32(id2);
  ar.WriteI32(id3);
  ar.WriteI32(dateTime.status);
  ar.WriteF64(dateTime.date);
  ar.WriteF64(currentA);
  ar.WriteF64(currentB);
  ar.WriteF64(currentC);
  ar.WriteI32(cells);
  ar.WriteF64(endVoltage);
  ar.WriteI32(v1Point);
  ar.WriteF64(avgVoltage1);
  ar.WriteF64(pir);
  ar.WriteF64(internalResistance);
  ar.WriteText(remark);
  ar.WriteI32(static_cast<int32_t>(points_.size()));
  // Encoded a block at a time, so the archive sees a few large writes.
  constexpr size_t kBlock = 256;
  unsigned char block[kBlock * kPointBytes];
  for (size_t start = 0; start < points_.size(); start += kBlock) {
    const size_t k = std::min(kBlock, points_.size() - start);
    unsigned char* dst = block;
    for (size_t i = 0; i < k; ++i, dst += kPointBytes) {
      const CMeasurePoint& p = points_[start + i];
      std::memcpy(dst, &p.time, 4);
      std::memcpy(dst + 4, &p.current, 8);
      std::memcpy(dst + 12, &p.voltage, 8);
      std::memcpy(dst + 20, &p.capacity, 8);
      std::memcpy(dst + 28, &p.avgVoltage, 8);
    }
    ar.WriteBytes(block, k * kPointBytes);
  }
}

bool CMeasureData::Read(ArchiveReader& ar, const Avg3Range& range) {
  id1 = ar.ReadI32();
  id2 = ar.ReadI32();
  id3 = ar.ReadI32();
  dateTime.status = ar.ReadI32();
  dateTime.date = ar.ReadF64();
  currentA = ar.ReadF64();
  currentB = ar.ReadF64();
  currentC = ar.ReadF64();
  cells = ar.ReadI32();
  endVoltage = ar.ReadF64();
  v1Point = ar.ReadI32();
  avgVoltage1 = ar.ReadF64();
  pir = ar.ReadF64();
  internalResistance = ar.ReadF64();
  remark = ar.ReadText();
  // A point count of 0 or less reads no point.
  int32_t count = ar.ReadI32();
  if (count > 0 && ar.ok()) {
    // The count is checked against what the input still holds before any
    // memory is reserved, so a short file claiming 2^31-1 points fails here.
    if (!ar.CanHold(static_cast<uint64_t>(count), kPointBytes)) return false;
    // Decoded in blocks straight from the archive's buffer into the series;
    // average voltage 3 is summed on the way instead of in a second pass.
    const size_t first = points_.size();
    points_.reserve(first + static_cast<size_t>(count));
    Avg3Sum avg3;
    const bool ok = ar.ReadItems(static_cast<size_t>(count), kPointBytes,
                                 [&](const unsigned char* src, size_t items) {
                                   DecodePoints(src, items, range, points_, avg3);
                                 });
    if (!ok) return false;
    if (first == 0) {
      v1Point = v1Point / 100 * 100;
      avgVoltage3 = avg3.counted > 0 ? avg3.sum / static_cast<double>(avg3.counted) : 0.0;
      return true;
    }
  }
  if (!ar.ok()) return false;
  v1Point = v1Point / 100 * 100;
  UpdateAvgVolt3(range);
  return true;
}

}  // namespace qv
