#include "analysis/pack_match.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>

#include "core/numtext.h"
#include "data/codec.h"
#include "data/data_file_store.h"
#include "data/text_format.h"

namespace qv {

namespace {

struct CriterionInfo {
  MatchCriterion criterion;
  const char* name;
  const char* titleUtf8;
  int decimals;
};

constexpr CriterionInfo kCriteria[kMatchCriterionCount] = {
    {MatchCriterion::kCapacity, "capacity", "放電容量[mAh]", 1},
    {MatchCriterion::kEnergy, "energy", "放電電力[mWh]", 1},
    {MatchCriterion::kAvg1, "avg1", "平均電圧1[V]", 4},
    {MatchCriterion::kAvg2, "avg2", "平均電圧2[V]", 4},
    {MatchCriterion::kAvg3, "avg3", "平均電圧3[V]", 4},
    {MatchCriterion::kIr, "ir", "内部抵抗[mΩ]", 2},
    {MatchCriterion::kPir, "pir", "ＰＩＲ", 2},
    {MatchCriterion::kTime, "time", "放電時間[秒]", 0},
};

const CriterionInfo& Info(MatchCriterion c) {
  return kCriteria[static_cast<int>(c)];
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

bool Usable(double v) {
  return std::isfinite(v) && std::fabs(v) <= kMatchValueLimit;
}

}  // namespace

bool IsPlainReal(std::string_view s) {
  size_t digits = 0, dots = 0;
  for (char ch : s) {
    if (ch >= '0' && ch <= '9')
      ++digits;
    else if (ch == '.')
      ++dots;
    else
      return false;
  }
  return digits > 0 && dots <= 1;
}

// --- Criteria ---------------------------------------------------------------

const std::array<MatchCriterion, kMatchCriterionCount>& AllMatchCriteria() {
  static const std::array<MatchCriterion, kMatchCriterionCount> all = {
      MatchCriterion::kCapacity, MatchCriterion::kEnergy, MatchCriterion::kAvg1,
      MatchCriterion::kAvg2,     MatchCriterion::kAvg3,   MatchCriterion::kIr,
      MatchCriterion::kPir,      MatchCriterion::kTime};
  return all;
}

const char* MatchCriterionName(MatchCriterion c) {
  return Info(c).name;
}

std::optional<MatchCriterion> MatchCriterionByName(std::string_view name) {
  for (const CriterionInfo& i : kCriteria) {
    if (name == i.name) return i.criterion;
  }
  return std::nullopt;
}

std::string MatchCriterionTitle(MatchCriterion c) {
  return Sj(Info(c).titleUtf8);
}

int MatchCriterionDecimals(MatchCriterion c) {
  return Info(c).decimals;
}

double MatchCriterionValue(const RecordResults& r, MatchCriterion c) {
  switch (c) {
    case MatchCriterion::kCapacity:
      return r.capacity;
    case MatchCriterion::kEnergy:
      return r.energy;
    case MatchCriterion::kAvg1:
      return r.avgVoltage1;
    case MatchCriterion::kAvg2:
      return r.avgVoltage2;
    case MatchCriterion::kAvg3:
      return r.avgVoltage3;
    case MatchCriterion::kIr:
      return r.internalResistance;
    case MatchCriterion::kPir:
      return r.pir;
    case MatchCriterion::kTime:
      return r.dischargeTime;
  }
  return 0.0;
}

double MatchCriterionValue(const CMeasureData& record, MatchCriterion c) {
  return MatchCriterionValue(ResultsOf(record), c);
}

std::optional<std::vector<WeightedCriterion>> ParseMatchCriteria(std::string_view text,
                                                                 std::string* error) {
  auto fail = [error](std::string message) -> std::optional<std::vector<WeightedCriterion>> {
    if (error) *error = std::move(message);
    return std::nullopt;
  };
  std::vector<WeightedCriterion> out;
  size_t pos = 0;
  while (true) {
    const size_t comma = text.find(',', pos);
    const std::string_view item = Trim(
        text.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
    const size_t colon = item.find(':');
    const std::string_view name = Trim(item.substr(0, colon));
    if (name.empty())
      return fail(Sj("基準の指定が正しくありません。\n基準はカンマで区切って指定してください。"));
    const std::optional<MatchCriterion> c = MatchCriterionByName(name);
    if (!c) {
      return fail(Format(Sj("基準 \"%s\" はありません。\n"
                            "基準: capacity, energy, avg1, avg2, avg3, ir, pir, time"),
                         Sj(name)));
    }
    double weight = 1.0;
    if (colon != std::string_view::npos) {
      const std::string_view w = Trim(item.substr(colon + 1));
      weight = IsPlainReal(w) ? AtoF(w) : 0.0;
      if (!(weight > 0.0 && weight <= kMatchWeightMax))
        return fail(Sj("重みには、0 より大きく 1000 以下の値を設定してください。"));
    }
    for (const WeightedCriterion& seen : out) {
      if (seen.criterion == *c)
        return fail(Format(Sj("基準 \"%s\" が重複しています。"), std::string(name)));
    }
    out.push_back({*c, weight});
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
  }
  return out;
}

// --- Cells ------------------------------------------------------------------

StoreResult CollectMatchCells(const std::vector<const IRecordSource*>& sources, int64_t fromKey,
                              int64_t toKey, std::vector<MatchCell>& cells) {
  cells.clear();
  RecordQuery query;
  query.fromKey = fromKey;
  query.toKey = toKey;
  query.newestPerId = true;
  std::map<int64_t, MatchCell> byKey;
  std::vector<RecordSummary> listed;
  for (size_t i = 0; i < sources.size(); ++i) {
    if (!sources[i]) continue;
    const StoreResult read = sources[i]->List(query, listed);
    if (!read.ok()) return read;
    for (RecordSummary& s : listed) {
      const int64_t key = s.id.Key();
      auto it = byKey.find(key);
      if (it != byKey.end() && s.dateTime <= it->second.summary.dateTime) continue;
      std::string idText = s.id.Text();
      byKey[key] = MatchCell{std::move(s), i, static_cast<uint32_t>(key), std::move(idText)};
    }
  }
  cells.reserve(byKey.size());
  for (auto& [key, cell] : byKey)
    cells.push_back(std::move(cell));
  return {};
}

std::vector<MatchCell> CollectMatchCells(const std::vector<const RecordList*>& lists,
                                         int64_t fromKey, int64_t toKey) {
  std::vector<CRecordListSource> sources;
  sources.reserve(lists.size());
  std::vector<const IRecordSource*> read;
  for (const RecordList* list : lists) {
    if (!list) {
      read.push_back(nullptr);
      continue;
    }
    sources.emplace_back(*list);
    read.push_back(&sources.back());
  }
  std::vector<MatchCell> cells;
  CollectMatchCells(read, fromKey, toKey, cells);
  return cells;
}

// --- Matching ---------------------------------------------------------------

namespace {

double CellCapacity(const std::vector<MatchCell>& cells, size_t cell) {
  return MatchCriterionValue(cells[cell].summary.results, MatchCriterion::kCapacity);
}

// Series packs of the usable cells (`values` in the criteria's order) into
// result.packs, largest pack capacity first.
void MatchSeries(const std::vector<MatchCell>& cells, const std::vector<size_t>& usable,
                 const std::vector<std::vector<double>>& values, size_t series, MatchResult& result,
                 std::vector<char>& inPack) {
  const size_t n = usable.size();
  std::vector<std::vector<size_t>> packs;
  std::vector<std::vector<double>> points(n);
  if (result.criteria.size() == 1) {
    std::vector<double> col(n);
    for (size_t i = 0; i < n; ++i) {
      col[i] = values[i][0];
      points[i] = {values[i][0]};
    }
    packs = ExactSeriesPacks(col, series);
  } else {
    result.normalized = true;
    points = NormalizedPoints(values, result.criteria);
    packs = ChebyshevSeriesPacks(points, series);
  }
  for (auto& p : packs) {
    SeriesPack sp;
    sp.spread = ChebyshevSpread(points, p);
    for (size_t u : p)
      sp.cells.push_back(usable[u]);
    std::sort(sp.cells.begin(), sp.cells.end());
    sp.capacity = CellCapacity(cells, sp.cells[0]);
    for (size_t c : sp.cells) {
      sp.capacity = std::min(sp.capacity, CellCapacity(cells, c));
      inPack[c] = 1;
    }
    result.packs.push_back(std::move(sp));
  }
  // One criterion: ExactSeriesPacks is exactly optimal.
  result.optimal = result.criteria.size() == 1;
  std::stable_sort(result.packs.begin(), result.packs.end(),
                   [](const SeriesPack& a, const SeriesPack& b) {
                     if (a.capacity != b.capacity) return a.capacity > b.capacity;
                     return a.cells[0] < b.cells[0];
                   });
}

// The series-parallel pack from the usable cells (`values`: capacity, ir)
// into result.parallelPack, fullest group first.
void MatchParallel(const std::vector<size_t>& usable,
                   const std::vector<std::vector<double>>& values, size_t series, size_t per,
                   double timeLimit, MatchResult& result, std::vector<char>& inPack) {
  // The cells of highest capacity, ties by ID (the cells' order).
  std::vector<size_t> byCapacity(usable.size());
  std::iota(byCapacity.begin(), byCapacity.end(), size_t{0});
  std::stable_sort(byCapacity.begin(), byCapacity.end(),
                   [&values](size_t a, size_t b) { return values[a][0] > values[b][0]; });
  byCapacity.resize(result.neededCells);
  std::vector<double> caps, irs;
  for (size_t u : byCapacity) {
    caps.push_back(values[u][0]);
    irs.push_back(values[u][1]);
  }
  const GroupSplit split = BalanceGroups(caps, irs, series, per, timeLimit);
  std::vector<std::pair<std::vector<size_t>, int64_t>> groups;
  for (const auto& g : split.groups) {
    std::vector<size_t> ids;
    int64_t units = 0;
    for (size_t k : g) {
      ids.push_back(usable[byCapacity[k]]);
      units += CapacityUnits(caps[k]);
    }
    std::sort(ids.begin(), ids.end());
    groups.emplace_back(std::move(ids), units);
  }
  std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
    if (a.second != b.second) return a.second > b.second;
    return a.first[0] < b.first[0];
  });
  ParallelPack pack;
  pack.optimal = split.optimal;
  result.optimal = split.optimal;
  for (auto& [ids, units] : groups) {
    for (size_t c : ids)
      inPack[c] = 1;
    pack.groupSums.push_back(static_cast<double>(units) / 1000.0);
    pack.groups.push_back(std::move(ids));
  }
  const auto [lo, hi] = std::minmax_element(pack.groupSums.begin(), pack.groupSums.end());
  pack.capacity = *lo;
  pack.range = *hi - *lo;
  result.parallelPack = std::move(pack);
}

}  // namespace

std::vector<std::vector<double>> NormalizedPoints(const std::vector<std::vector<double>>& values,
                                                  const std::vector<WeightedCriterion>& criteria) {
  const size_t n = values.size();
  std::vector<std::vector<double>> points(n);
  for (size_t c = 0; c < criteria.size(); ++c) {
    double mean = 0.0;
    for (size_t i = 0; i < n; ++i)
      mean += values[i][c];
    mean /= static_cast<double>(n);
    double var = 0.0;
    for (size_t i = 0; i < n; ++i)
      var += (values[i][c] - mean) * (values[i][c] - mean);
    const double sd = std::sqrt(var / static_cast<double>(n));
    if (!(sd > 0.0) || !std::isfinite(sd)) continue;
    const double scale = criteria[c].weight / sd;
    for (size_t i = 0; i < n; ++i)
      points[i].push_back((values[i][c] - mean) * scale);
  }
  return points;
}

MatchResult MatchPacks(const std::vector<MatchCell>& cells, const MatchRequest& request) {
  MatchResult result;
  result.series = request.series;
  result.parallel = request.parallel;
  const bool parallel = request.parallel > 1;
  if (parallel || request.criteria.empty())
    result.criteria = {{MatchCriterion::kCapacity, 1.0}};
  else
    result.criteria = request.criteria;

  auto leaveAll = [&result, &cells] {
    result.left.resize(cells.size());
    std::iota(result.left.begin(), result.left.end(), size_t{0});
  };
  if (request.series < 1 || request.series > kMatchMaxCount || request.parallel < 1 ||
      request.parallel > kMatchMaxCount) {
    result.status = MatchStatus::kBadCount;
    leaveAll();
    return result;
  }
  if (!(request.timeLimit > 0.0 && request.timeLimit <= kMatchMaxTime)) {
    result.status = MatchStatus::kBadTime;
    leaveAll();
    return result;
  }
  const size_t series = static_cast<size_t>(request.series);
  const size_t per = static_cast<size_t>(request.parallel);
  result.neededCells = series * per;

  // The values each usable cell is matched by.
  std::vector<MatchCriterion> used;
  for (const WeightedCriterion& w : result.criteria)
    used.push_back(w.criterion);
  if (parallel) used.push_back(MatchCriterion::kIr);
  std::vector<size_t> usable;
  std::vector<std::vector<double>> values;  // per usable cell, in `used` order
  for (size_t i = 0; i < cells.size(); ++i) {
    std::vector<double> v;
    const double capacity = CellCapacity(cells, i);
    bool ok = capacity > 0.0 && Usable(capacity);
    for (MatchCriterion c : used) {
      v.push_back(MatchCriterionValue(cells[i].summary.results, c));
      ok = ok && Usable(v.back());
    }
    if (ok) {
      usable.push_back(i);
      values.push_back(std::move(v));
    } else {
      result.unusable.push_back(i);
    }
  }
  result.usableCells = usable.size();
  if (usable.size() < result.neededCells) {
    result.status = MatchStatus::kTooFewCells;
    leaveAll();
    return result;
  }

  std::vector<char> inPack(cells.size(), 0);
  if (parallel)
    MatchParallel(usable, values, series, per, request.timeLimit, result, inPack);
  else
    MatchSeries(cells, usable, values, series, result, inPack);
  for (size_t u : usable) {
    if (!inPack[u]) result.left.push_back(u);
  }
  return result;
}

}  // namespace qv
