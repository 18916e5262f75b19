// quorvex-cli sample OUT: writes a believable data file for demonstrations,
// manual checks and as seeds for the fuzzer. The content is fixed (no clock,
// no randomness), so the same command always writes the same bytes: a current
// measurement and several registered records of 6-cell NiMH packs discharged
// at 20 A, one point per second, with the internal-resistance window at 120 to
// 125 s where the analyzer switches to currents B and C. One record is a
// constant-current run (20 A throughout, its resistance measured by the
// analyzer all the same), the kind a virtual curve is made from.
#include <cmath>
#include <iostream>
#include <memory>

#include "commands.h"
#include "core/safe_file.h"
#include "data/archive.h"
#include "data/codec.h"
#include "data/data_file.h"

namespace qv::cli {
namespace {

struct SamplePack {
  int id1, id2, id3;  // -1 for the current measurement
  DateParts date;
  const char* remarkUtf8;
  double capacityMah;   // capacity down to the end voltage
  double resistanceMo;  // pack internal resistance, mOhm
  double freshness;     // shifts the plateau: 0 tired pack, 1 new pack
  double pir;
  bool constantCurrent = false;  // currents B and C equal to A
};

double Round(double v, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(v * scale) / scale;
}

// Open-circuit voltage of one NiMH cell at depth of discharge x (0 to 1+).
double CellVoltage(double x, double freshness) {
  return 1.34 + 0.03 * freshness - 0.11 * x + 0.07 * std::exp(-25.0 * x) -
         0.35 * std::exp(-(1.0 - x) * 18.0);
}

// Builds one record; `maxSeconds` > 0 cuts the series short (small seeds).
std::unique_ptr<CMeasureData> MakeRecord(const SamplePack& s, int maxSeconds) {
  InputConditions in;
  in.cells = 6;
  in.endVoltage = 6.0;
  in.currentA = 20.0;
  in.currentB = s.constantCurrent ? in.currentA : 5.0;
  in.currentC = s.constantCurrent ? in.currentA : 10.0;
  in.v1Point = 300;
  auto r = std::make_unique<CMeasureData>(in);
  r->id1 = s.id1;
  r->id2 = s.id2;
  r->id3 = s.id3;
  r->dateTime = COleDateTime::FromParts(s.date);
  r->remark = Sj(s.remarkUtf8);
  r->pir = s.pir;
  r->internalResistance = s.resistanceMo;

  const double rPack = s.resistanceMo * 0.001;
  double capacity = 0.0;  // mAh
  double voltSum = 0.0;
  for (int t = 0;; ++t) {
    double current = in.currentA;
    if (t >= 120 && t <= 122) current = in.currentB;
    if (t >= 123 && t <= 125) current = in.currentC;
    if (t == 0) current = 0.0;
    const double x = capacity / (s.capacityMah / 0.955);
    const double v = Round(in.cells * CellVoltage(x, s.freshness) - current * rPack, 3);
    if (t > 0) capacity += current * 1000.0 / 3600.0;
    voltSum += v;
    CMeasurePoint p;
    p.time = t;
    p.current = Round(current, 2);
    p.voltage = v;
    p.capacity = Round(capacity, 1);
    p.avgVoltage = Round(voltSum / (t + 1), 3);
    r->AppendPoint(p);
    if (t == in.v1Point) r->avgVoltage1 = p.avgVoltage;
    if ((t > 130 && v < in.endVoltage) || t >= 7200) break;
    if (maxSeconds > 0 && t >= maxSeconds) break;
  }
  return r;
}

const SamplePack kCurrent = {-1, -1, -1, {2015, 3, 6, 14, 2, 45}, "", 3250.0, 27.5, 0.6, 11.8};

const SamplePack kRegistered[] = {
    {1, 1, 1, {2015, 3, 4, 10, 11, 12}, "メーカーＡ　6セル 3300mAh 新品", 3310.0, 24.8, 1.0, 12.3},
    {1, 1, 2, {2015, 3, 4, 13, 40, 5}, "同上　2回目（充電直後）", 3285.5, 25.1, 0.9, 12.1},
    {1, 2, 1, {2015, 3, 5, 9, 3, 58}, "ﾒｰｶｰB ﾊﾟｯｸ No.7", 2980.0, 31.2, 0.4, 10.7},
    {2, 1, 1, {2014, 12, 24, 18, 30, 0}, "①②③ 内部抵抗 約30mΩ～ 要注意", 2650.0, 35.6, 0.1, 9.4},
    {3, 1, 1, {2015, 3, 5, 15, 20, 0}, "メーカーＣ　定電流20A", 3150.0, 26.2, 0.8, 11.6, true},
    {10, 5, 123, {2015, 1, 9, 8, 0, 30}, "Ⅰ型 ㈱試験所 髙﨑 ～比較用～", 3120.0, 26.9, 0.7, 11.5},
};

// Writes the document in the layout of `version` ("101", "101b", "100",
// "100b"); the "100" forms store the current record without a count.
bool WriteSample(const std::string& path, const std::string& version, int records, int maxSeconds) {
  auto current = MakeRecord(kCurrent, maxSeconds);
  RecordList list;
  for (int i = 0; i < records; ++i) {
    const SamplePack& pack = kRegistered[static_cast<size_t>(i) % std::size(kRegistered)];
    auto rec = MakeRecord(pack, maxSeconds);
    // Further copies of the table get later IDs (at most 670-...) so the list
    // stays sorted and every ID part stays within 1 to 999.
    rec->id1 += 20 * (i / static_cast<int>(std::size(kRegistered)));
    list.push_back(std::move(rec));
  }
  const bool old = version == "100" || version == "100b";
  std::string bytes;
  {
    ArchiveWriter ar(&bytes);
    ar.WriteText(version);
    if (!old) ar.WriteI32(1);
    current->Write(ar);
    ar.WriteI32(static_cast<int32_t>(list.size()));
    for (const auto& r : list)
      r->Write(ar);
    ar.Flush();
  }
  SafeWriteResult w = WriteFileAtomically(path, bytes);
  if (!w.ok) {
    std::cerr << Cp932ToUtf8(Sj("データファイルが保存できませんでした。")) << " " << path << "\n";
  }
  return w.ok;
}

struct SampleArgs {
  std::string out;
  std::string version = kVersionFull;
  int records = static_cast<int>(std::size(kRegistered));
  int maxSeconds = 0;
};

Registrar sampleCommand([](CLI::App& app) -> std::function<int()> {
  auto args = std::make_shared<SampleArgs>();
  auto* sub = app.add_subcommand("sample", "Write a sample data file (.qd1) with example records");
  sub->add_option("OUT", args->out, "data file to write")->required();
  sub->add_option("--version", args->version, "file version to write: 101, 101b, 100 or 100b")
      ->check(CLI::IsMember({"101", "101b", "100", "100b"}));
  sub->add_option("--records", args->records, "number of registered records")
      ->check(CLI::Range(0, 200));
  sub->add_option("--max-seconds", args->maxSeconds,
                  "cut every discharge curve after this many seconds (0: whole curves)")
      ->check(CLI::Range(0, 7200));
  ExitStatusHelp(sub,
                 "  0  written\n"
                 "  1  the file cannot be written");
  return [args] {
    return WriteSample(args->out, args->version, args->records, args->maxSeconds) ? kExitOk
                                                                                  : kExitUnreadable;
  };
});

}  // namespace
}  // namespace qv::cli
