#include "catalog/cell_texts.h"

#include <cmath>
#include <limits>

#include "core/numtext.h"
#include "data/codec.h"

namespace qv::catalog {

const std::array<std::string, kCellColumns>& CellColumnTitles() {
  static const std::array<std::string, kCellColumns> kTitles = {
      Sj("登録ID"),        Sj("計測日時"),      Sj("備考"),         Sj("放電時間[秒]"),
      Sj("放電容量[mAh]"), Sj("放電電力[mWh]"), Sj("平均電圧1[V]"), Sj("平均電圧2[V]"),
      Sj("平均電圧3[V]"),  Sj("内部抵抗[mΩ]"),  Sj("ＰＩＲ"),       Sj("状態"),
      Sj("試験数")};
  return kTitles;
}

namespace {

// Whole mWh toward zero, 0 for a product beyond the integer range (as the
// data view shows a damaged record).
int32_t EnergyInt(double e) {
  if (!(e > -2147483648.0 && e < 2147483648.0)) return 0;
  return static_cast<int32_t>(e);
}

double Change(double value, double first) {
  if (first == 0.0) return std::numeric_limits<double>::quiet_NaN();
  return (value / first - 1.0) * 100.0;
}

std::string CsvField(const std::string& f) {
  if (f.find_first_of(",\"\r\n") == std::string::npos) return f;
  std::string out = "\"";
  for (size_t i = 0; i < f.size(); ++i) {
    const char c = f[i];
    if (c == '"') {
      out += "\"\"";
    } else if (c == '\n' || c == '\r') {
      out += "\r\n";
      if (c == '\r' && i + 1 < f.size() && f[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

void CsvLine(std::string& out, const std::array<std::string, kCellColumns>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) out += ',';
    out += CsvField(fields[i]);
  }
  out += "\r\n";
}

}  // namespace

std::string PlaceDisplayText(const Place& place) {
  switch (place.kind) {
    case Place::kStock:
      return Sj("在庫");
    case Place::kPack:
      return Sj("パック「") + Utf8ToCp932(place.pack) + Sj("」");
    case Place::kRetired:
      return Sj("廃棄");
  }
  return {};
}

std::array<std::string, kCellColumns> CellRowTexts(const CellSummary& c) {
  const RecordSummary& r = c.newest;
  return {c.idText,
          r.dateTime,
          Utf8ToCp932(r.remark),
          IntText(r.dischargeTime),
          IntText(TruncInt(r.capacity)),
          IntText(EnergyInt(r.energy)),
          FixedText(r.avg1, 3),
          FixedText(r.avg2, 3),
          FixedText(r.avg3, 3),
          FixedText(r.ir, 1),
          FixedText(r.pir, 1),
          PlaceDisplayText(c.place),
          IntText(c.tests)};
}

std::vector<HistoryRow> HistoryRows(const std::vector<RecordSummary>& tests) {
  std::vector<HistoryRow> rows;
  for (const RecordSummary& t : tests) {
    const RecordSummary& first = tests.front();
    rows.push_back({t, Change(t.capacity, first.capacity), Change(t.ir, first.ir)});
  }
  return rows;
}

std::string CellsCsv(const std::vector<CellSummary>& cells) {
  std::string out;
  CsvLine(out, CellColumnTitles());
  for (const CellSummary& c : cells)
    CsvLine(out, CellRowTexts(c));
  return out;
}

std::unique_ptr<CMeasureData> MatchRecordOf(const CellSummary& c) {
  const RecordSummary& r = c.newest;
  auto rec = std::make_unique<CMeasureData>();
  rec->id1 = static_cast<int32_t>(c.idKey / 1000000);
  rec->id2 = static_cast<int32_t>(c.idKey / 1000 % 1000);
  rec->id3 = static_cast<int32_t>(c.idKey % 1000);
  rec->currentA = r.currentA;
  rec->currentB = r.currentB;
  rec->currentC = r.currentC;
  rec->cells = r.cells;
  rec->endVoltage = r.endVoltage;
  rec->v1Point = r.v1Point;
  rec->avgVoltage1 = r.avg1;
  rec->avgVoltage3 = r.avg3;
  rec->internalResistance = r.ir;
  rec->pir = r.pir;
  if (r.pointCount > 0)
    rec->AppendPoint({r.dischargeTime, r.lastCurrent, r.lastVoltage, r.capacity, r.avg2});
  return rec;
}

}  // namespace qv::catalog
