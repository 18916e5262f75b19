// Pack matching: the cells of registered records matched into packs.
//
// A cell is the newest measurement of one registration ID. Series packs of S
// cells are matched by one or more criteria (the record's results as the data
// view shows them, unrounded); one series-parallel pack of S groups of P cells
// is built from the cells of highest capacity with the groups' capacity sums
// as equal as possible. Every answer depends only on the input: ties are
// broken by registration ID, searches are bounded by counted work rather than
// by the clock, and the one search with a time limit (the series-parallel
// split above the exact size) runs a fixed amount of work per second of its
// limit, so a run that finishes its work before the clock stops it gives the
// same answer on every machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_file.h"
#include "data/measure_data.h"
#include "data/record_store.h"

namespace qv {

// --- Criteria ---------------------------------------------------------------

enum class MatchCriterion : int { kCapacity, kEnergy, kAvg1, kAvg2, kAvg3, kIr, kPir, kTime };
inline constexpr int kMatchCriterionCount = 8;

// The criteria in the order above.
const std::array<MatchCriterion, kMatchCriterionCount>& AllMatchCriteria();
// "capacity", "energy", "avg1", "avg2", "avg3", "ir", "pir", "time".
const char* MatchCriterionName(MatchCriterion c);
std::optional<MatchCriterion> MatchCriterionByName(std::string_view name);
// The data view's column title of the criterion (CP932), e.g. "放電容量[mAh]".
std::string MatchCriterionTitle(MatchCriterion c);
// Decimals its values and spreads are written with (one more than the data
// view shows, so two close cells do not print alike).
int MatchCriterionDecimals(MatchCriterion c);

// The record's value: capacity and average voltage 2 of the last point, the
// energy as capacity x average voltage of the last point (mWh, not truncated),
// average voltages 1 and 3, internal resistance (mOhm), PIR, discharge time (s).
double MatchCriterionValue(const RecordResults& results, MatchCriterion c);
double MatchCriterionValue(const CMeasureData& record, MatchCriterion c);

struct WeightedCriterion {
  MatchCriterion criterion = MatchCriterion::kCapacity;
  double weight = 1.0;
  bool operator==(const WeightedCriterion&) const = default;
};

inline constexpr double kMatchWeightMax = 1000.0;

// Parses "capacity,ir:0.5": criterion names separated by commas, each with an
// optional ":weight" (a real above 0 and up to 1000; 1 when left out), each
// name once. On failure returns nothing and puts the message (CP932) into
// `error` when given.
std::optional<std::vector<WeightedCriterion>> ParseMatchCriteria(std::string_view text,
                                                                 std::string* error = nullptr);

// --- Cells ------------------------------------------------------------------

struct MatchCell {
  RecordSummary summary;  // the newest record of the ID
  size_t source = 0;      // the index of the source it came from
  uint32_t idKey = 0;
  std::string idText;  // "%03d-%03d-%03d"
};

// The cells of the records of `sources` whose ID key lies in [fromKey, toKey]
// (RegistrationId::Key of the range's ends; a reversed range matches nothing;
// records without an ID never match), read through their List. Records with
// the same ID are one cell: the one with the latest date-time text, the first
// of equal ones in the order given. Ordered by ID key. On a source's failure
// `cells` is empty and its result is returned.
StoreResult CollectMatchCells(const std::vector<const IRecordSource*>& sources, int64_t fromKey,
                              int64_t toKey, std::vector<MatchCell>& cells);
// The same with each list read through a CRecordListSource (which cannot fail).
std::vector<MatchCell> CollectMatchCells(const std::vector<const RecordList*>& lists,
                                         int64_t fromKey, int64_t toKey);

// --- Matching ---------------------------------------------------------------

inline constexpr int kMatchMaxCount = 999;        // series and parallel counts
inline constexpr double kMatchDefaultTime = 2.0;  // s
inline constexpr double kMatchMaxTime = 3600.0;   // s
// Values beyond this size (or not finite) make a cell unusable, and so does a
// capacity of 0 or less (a record without points, or one that delivered
// nothing), whatever the criteria.
inline constexpr double kMatchValueLimit = 1e9;

struct MatchRequest {
  int series = 1;    // cells in series, 1 to 999
  int parallel = 1;  // 1: series packs; 2 to 999: one series-parallel pack
  // Series packs only; empty means capacity. Ignored for a series-parallel
  // pack, which is matched by capacity with internal resistance as tie-break.
  std::vector<WeightedCriterion> criteria;
  double timeLimit = kMatchDefaultTime;  // s, above 0 and up to 3600
};

struct SeriesPack {
  std::vector<size_t> cells;  // indices into the cells, ascending
  double spread = 0.0;        // see MatchResult::normalized
  double capacity = 0.0;      // mAh of its smallest cell
};

struct ParallelPack {
  std::vector<std::vector<size_t>> groups;  // cells of each group, ascending
  std::vector<double> groupSums;            // mAh, to the capacity unit
  double capacity = 0.0;                    // the smallest group sum
  double range = 0.0;                       // largest minus smallest group sum
  bool optimal = false;                     // the range is proven smallest
};

enum class MatchStatus {
  kOk,
  kBadCount,     // series or parallel outside 1 to 999
  kBadTime,      // time limit not above 0 or above 3600 s
  kTooFewCells,  // fewer usable cells than one pack needs
};

struct MatchResult {
  MatchStatus status = MatchStatus::kOk;
  int series = 1;
  int parallel = 1;
  std::vector<WeightedCriterion> criteria;  // as used
  // Series spreads: with one criterion the largest minus the smallest value
  // in its unit; with several, the largest normalised distance between two
  // cells of the pack (each value divided by its criterion's population
  // standard deviation over the usable cells, times its weight; the distance
  // is the largest such difference; criteria without spread are ignored).
  bool normalized = false;
  std::vector<SeriesPack> packs;  // by capacity, largest first; ties by first cell
  std::optional<ParallelPack> parallelPack;
  // The answer is proven best: series packs by one criterion, or a
  // series-parallel split whose range is proven smallest.
  bool optimal = false;
  // Usable cells in no pack, ascending (every cell when refused).
  std::vector<size_t> left;
  // Cells never matched, ascending: no capacity, or a value used that is not
  // finite or beyond kMatchValueLimit. They count in no spread or deviation.
  std::vector<size_t> unusable;
  size_t usableCells = 0;
  size_t neededCells = 0;  // cells one pack needs (series x parallel)
};

// Matches `cells` (ordered by ID key, as CollectMatchCells gives them).
//
// Series packs (parallel 1): floor(n / series) packs of the n usable cells,
// lexicographically smallest (largest spread of a pack, then sum of spreads).
// With one criterion the answer is exactly optimal; with several it starts
// from the best of the exact one-criterion answers (each criterion alone,
// scored by the combined distance) and improves it by swaps, so it is never
// worse than any of them.
//
// Series-parallel pack: the series x parallel usable cells of highest
// capacity (ties by ID), split into `series` groups of `parallel` cells by
// BalanceGroups.
MatchResult MatchPacks(const std::vector<MatchCell>& cells, const MatchRequest& request);

// Digits with at most one decimal point, as counts, weights and times are
// written on the command line and in the window.
bool IsPlainReal(std::string_view s);

// --- The algorithms on plain numbers (exposed for tests and benchmarks) ------

// Lexicographic score of series packs: largest spread, then sum of spreads
// (added in the order of the packs).
struct PackScore {
  double largest = 0.0;
  double sum = 0.0;
};
bool operator<(const PackScore& a, const PackScore& b);

// floor(n / size) packs of `size` indices of `values` (finite), exactly
// optimal by PackScore with spread max - min. An optimal answer is made of
// runs of consecutive cells in value order (ties by index) with the left-over
// cells between them; a dynamic programme over that order finds the smallest
// largest spread, then the smallest sum under it. Packs and their indices
// come in value order.
std::vector<std::vector<size_t>> ExactSeriesPacks(const std::vector<double>& values, size_t size);

// The points several criteria are matched by: values[cell][criterion], each
// minus its criterion's mean, divided by its population standard deviation
// and multiplied by its weight; a criterion with no spread is left out.
std::vector<std::vector<double>> NormalizedPoints(const std::vector<std::vector<double>>& values,
                                                  const std::vector<WeightedCriterion>& criteria);

// Spread of a pack of points: the largest Chebyshev distance between two.
double ChebyshevSpread(const std::vector<std::vector<double>>& points,
                       const std::vector<size_t>& pack);
PackScore ScoreChebyshev(const std::vector<std::vector<double>>& points,
                         const std::vector<std::vector<size_t>>& packs);

// floor(n / size) packs of points (each of the same dimension, finite) by
// PackScore with ChebyshevSpread. The exact answers of ExactSeriesPacks on
// each coordinate and on the coordinates' sum are scored; starting from the
// best, each is improved by swaps of two cells between packs or with a
// left-over cell until no swap improves it or a fixed amount of work (about
// half a second) is used up, and the best result wins. It is never worse
// than the exact answer of any single coordinate.
std::vector<std::vector<size_t>> ChebyshevSeriesPacks(
    const std::vector<std::vector<double>>& points, size_t size);

// Capacity in the whole units the group sums are balanced in (0.001 mAh).
int64_t CapacityUnits(double mah);

struct GroupSplit {
  std::vector<std::vector<size_t>> groups;
  bool optimal = false;  // the range is proven smallest
};

// Range of group sums in capacity units.
int64_t GroupRange(const std::vector<int64_t>& units,
                   const std::vector<std::vector<size_t>>& groups);

// The pack builders' heuristic: cells by capacity, largest first (ties by
// index), dealt in a snake over the groups (0, 1, ..., g-1, g-1, ..., 0, 0,
// 1, ...); then, while it lowers the range of the group sums, the one swap of
// two cells of two groups that lowers it most (the first such swap in the
// order: group a < group b, a cell of a, a cell of b, each group's cells in
// the order they were dealt, a swapped cell taking the other's place).
std::vector<std::vector<size_t>> SnakeAndSwap(const std::vector<int64_t>& units, size_t groups,
                                              size_t perGroup);

// Splits groups x perGroup cells (capacities in mAh, internal resistances in
// mOhm, all finite and within kMatchValueLimit) into `groups` groups of
// `perGroup` cells with the smallest range of group capacity sums (in
// capacity units); among equal ranges, the smallest largest spread of
// internal resistance within a group, then the smallest sum of those spreads.
// Exactly optimal for up to 12 cells (every split is tried). Above that it
// starts from SnakeAndSwap and improves by swaps and perturbed restarts (a
// fixed work amount per second of `timeLimit`) until the range reaches its
// lower bound, the work is done or the time limit passes; the range is never
// above the snake-and-swap range. Then swaps that keep the range lower the
// resistance spreads. Every pass watches the clock, so the whole split keeps
// to `timeLimit` (measured from the call) at any size; a limit so short that
// it stops the snake-and-swap itself keeps the range that had been reached.
GroupSplit BalanceGroups(const std::vector<double>& capacities, const std::vector<double>& irs,
                         size_t groups, size_t perGroup, double timeLimit = kMatchDefaultTime);

inline constexpr size_t kExactGroupCells = 12;

}  // namespace qv
