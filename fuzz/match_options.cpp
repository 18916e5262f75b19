// Feeds arbitrary bytes to the matching's criteria parser (as quorvex-cli
// match takes it from its command line) and then to the matching itself as
// cell values (NaN, infinities and huge values included): nothing may crash,
// a parsed list names each criterion once with a weight in (0, 1000], and
// every pack holds distinct cells of the right count.
//
// Layout: text up to the first NUL is the criteria list; then one byte each
// for series and parallel, then eight bytes per value.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "analysis/pack_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto* text = reinterpret_cast<const char*>(data);
  const size_t textLen = strnlen(text, size);
  const std::string_view option(text, textLen);

  std::string error;
  if (auto list = qv::ParseMatchCriteria(option, &error)) {
    std::set<qv::MatchCriterion> seen;
    for (const auto& w : *list) {
      if (!seen.insert(w.criterion).second) __builtin_trap();
      if (!(w.weight > 0.0 && w.weight <= qv::kMatchWeightMax)) __builtin_trap();
    }
  } else if (error.empty()) {
    __builtin_trap();
  }

  size_t pos = textLen + 1;
  if (pos + 2 > size) return 0;
  const int series = 1 + data[pos] % 5;
  const int parallel = 1 + data[pos + 1] % 4;
  pos += 2;
  qv::RecordList list;
  while (pos + 16 <= size && list.size() < 14) {
    double cap, other;
    std::memcpy(&cap, data + pos, 8);
    std::memcpy(&other, data + pos + 8, 8);
    pos += 16;
    auto r = std::make_unique<qv::CMeasureData>();
    r->id1 = r->id2 = 1;
    r->id3 = static_cast<int32_t>(list.size()) + 1;
    r->AppendPoint({0, 1.0, 1.0, 0.0, other});
    r->AppendPoint({static_cast<int32_t>(list.size()), 1.0, 1.0, cap, other});
    r->internalResistance = other;
    r->avgVoltage1 = cap * 0.5;
    list.push_back(std::move(r));
  }
  const auto cells = qv::CollectMatchCells({&list}, 1001001u, 999999999u);
  qv::MatchRequest req;
  req.series = series;
  req.parallel = parallel;
  req.timeLimit = 0.01;
  if (auto parsed = qv::ParseMatchCriteria(option)) req.criteria = *parsed;
  const qv::MatchResult r = qv::MatchPacks(cells, req);
  if (r.status != qv::MatchStatus::kOk) return 0;
  std::set<size_t> used;
  size_t inPacks = 0;
  for (const auto& p : r.packs) {
    if (p.cells.size() != static_cast<size_t>(series)) __builtin_trap();
    for (size_t c : p.cells) {
      if (!used.insert(c).second) __builtin_trap();
      ++inPacks;
    }
  }
  if (r.parallelPack) {
    if (r.parallelPack->groups.size() != static_cast<size_t>(series)) __builtin_trap();
    for (const auto& g : r.parallelPack->groups) {
      if (g.size() != static_cast<size_t>(parallel)) __builtin_trap();
      for (size_t c : g) {
        if (!used.insert(c).second) __builtin_trap();
        ++inPacks;
      }
    }
  }
  // Every cell is in a pack, left over or unusable, and in one place only.
  for (size_t c : r.left)
    if (!used.insert(c).second) __builtin_trap();
  for (size_t c : r.unusable)
    if (!used.insert(c).second) __builtin_trap();
  if (inPacks + r.left.size() + r.unusable.size() != cells.size()) __builtin_trap();
  return 0;
}
