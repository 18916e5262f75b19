// The series-parallel split: exhaustive up to twelve cells, snake-and-swap
// improved by a bounded search above.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <numeric>

#include "analysis/pack_match.h"

namespace qv {

namespace {

struct GroupKey {
  int64_t range = 0;
  double irLargest = 0.0;
  double irSum = 0.0;
};

bool KeyLess(const GroupKey& a, const GroupKey& b) {
  if (a.range != b.range) return a.range < b.range;
  if (a.irLargest != b.irLargest) return a.irLargest < b.irLargest;
  return a.irSum < b.irSum;
}

double IrSpread(const std::vector<double>& irs, const std::vector<size_t>& group) {
  if (group.empty()) return 0.0;
  double lo = irs[group[0]], hi = lo;
  for (size_t c : group) {
    lo = std::min(lo, irs[c]);
    hi = std::max(hi, irs[c]);
  }
  return hi - lo;
}

std::vector<int64_t> GroupSums(const std::vector<int64_t>& units,
                               const std::vector<std::vector<size_t>>& groups) {
  std::vector<int64_t> sums(groups.size(), 0);
  for (size_t g = 0; g < groups.size(); ++g)
    for (size_t c : groups[g])
      sums[g] += units[c];
  return sums;
}

int64_t RangeOf(const std::vector<int64_t>& sums) {
  if (sums.empty()) return 0;
  const auto [lo, hi] = std::minmax_element(sums.begin(), sums.end());
  return *hi - *lo;
}

// The three largest and the three smallest group sums with their groups:
// enough to know the range after a move between any two groups without a
// walk over all of them.
class SumExtremes {
 public:
  explicit SumExtremes(const std::vector<int64_t>& sums) { Reset(sums); }

  void Reset(const std::vector<int64_t>& sums) {
    hi_.fill({std::numeric_limits<int64_t>::min(), kNone});
    lo_.fill({std::numeric_limits<int64_t>::max(), kNone});
    for (size_t k = 0; k < sums.size(); ++k) {
      std::pair<int64_t, size_t> h{sums[k], k}, l{sums[k], k};
      for (auto& t : hi_)
        if (h.first > t.first || t.second == kNone) std::swap(h, t);
      for (auto& t : lo_)
        if (l.first < t.first || t.second == kNone) std::swap(l, t);
    }
  }

  // The range of `sums` once `d` units have moved from group a to group b.
  int64_t RangeAfterMove(const std::vector<int64_t>& sums, size_t a, size_t b, int64_t d) const {
    int64_t hi = std::max(sums[a] - d, sums[b] + d);
    int64_t lo = std::min(sums[a] - d, sums[b] + d);
    for (const auto& [v, k] : hi_) {
      if (k != kNone && k != a && k != b) {
        hi = std::max(hi, v);
        break;
      }
    }
    for (const auto& [v, k] : lo_) {
      if (k != kNone && k != a && k != b) {
        lo = std::min(lo, v);
        break;
      }
    }
    return hi - lo;
  }

 private:
  static constexpr size_t kNone = std::numeric_limits<size_t>::max();
  std::array<std::pair<int64_t, size_t>, 3> hi_, lo_;
};

// The three largest resistance spreads with their groups: the largest
// spread outside any two groups without a walk over all of them.
class TopSpreads {
 public:
  explicit TopSpreads(const std::vector<double>& spreads) { Reset(spreads); }

  void Reset(const std::vector<double>& spreads) {
    top_.fill({-INFINITY, kNone});
    for (size_t k = 0; k < spreads.size(); ++k) {
      std::pair<double, size_t> v{spreads[k], k};
      for (auto& t : top_)
        if (v.first > t.first || t.second == kNone) std::swap(v, t);
    }
  }

  // The largest spread of a group other than a and b (0 when there is none).
  double LargestBesides(size_t a, size_t b) const {
    for (const auto& [v, k] : top_)
      if (k != kNone && k != a && k != b) return v;
    return 0.0;
  }

 private:
  static constexpr size_t kNone = std::numeric_limits<size_t>::max();
  std::array<std::pair<double, size_t>, 3> top_;
};

using Deadline = std::chrono::steady_clock::time_point;

// SnakeAndSwap, stopped after the swap at which `deadline` has passed.
std::vector<std::vector<size_t>> SnakeAndSwapUntil(const std::vector<int64_t>& units, size_t groups,
                                                   size_t perGroup, Deadline deadline) {
  if (groups == 0) return {};
  const size_t n = std::min(units.size(), groups * perGroup);
  std::vector<size_t> order(units.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&units](size_t a, size_t b) { return units[a] > units[b]; });
  std::vector<std::vector<size_t>> out(groups);
  for (size_t r = 0; r < n; ++r) {
    const size_t round = r / groups, at = r % groups;
    out[round % 2 == 0 ? at : groups - 1 - at].push_back(order[r]);
  }
  std::vector<int64_t> sums = GroupSums(units, out);
  while (std::chrono::steady_clock::now() < deadline) {
    int64_t best = RangeOf(sums);
    const auto [lo, hi] = std::minmax_element(sums.begin(), sums.end());
    // Only a swap with a group at the largest or the smallest sum can lower
    // the range: the groups it leaves keep theirs.
    auto extreme = [&sums, lo = *lo, hi = *hi](size_t k) { return sums[k] == lo || sums[k] == hi; };
    const SumExtremes extremes(sums);
    bool found = false;
    size_t ba = 0, bi = 0, bb = 0, bj = 0;
    for (size_t a = 0; a < groups; ++a) {
      for (size_t b = a + 1; b < groups; ++b) {
        if (!extreme(a) && !extreme(b)) continue;
        for (size_t i = 0; i < out[a].size(); ++i) {
          for (size_t j = 0; j < out[b].size(); ++j) {
            const int64_t d = units[out[a][i]] - units[out[b][j]];
            const int64_t r = extremes.RangeAfterMove(sums, a, b, d);
            if (r < best) {
              best = r;
              found = true;
              ba = a, bi = i, bb = b, bj = j;
            }
          }
        }
      }
    }
    if (!found) break;
    const int64_t d = units[out[ba][bi]] - units[out[bb][bj]];
    std::swap(out[ba][bi], out[bb][bj]);
    sums[ba] -= d;
    sums[bb] += d;
  }
  return out;
}

// Every split of the cells (in index order) into groups filled in order of
// first use, so each split is visited once.
class ExhaustiveSplit {
 public:
  ExhaustiveSplit(const std::vector<int64_t>& units, const std::vector<double>& irs, size_t groups,
                  size_t perGroup)
      : units_(units), irs_(irs), per_(perGroup), groups_(groups), sums_(groups, 0) {}

  std::vector<std::vector<size_t>> Run() {
    Place(0, 0);
    return best_;
  }

 private:
  void Place(size_t cell, size_t used) {
    if (cell == units_.size()) {
      Leaf();
      return;
    }
    const size_t limit = std::min(used + 1, groups_.size());
    for (size_t g = 0; g < limit; ++g) {
      if (groups_[g].size() == per_) continue;
      groups_[g].push_back(cell);
      sums_[g] += units_[cell];
      Place(cell + 1, std::max(used, g + 1));
      sums_[g] -= units_[cell];
      groups_[g].pop_back();
    }
  }

  void Leaf() {
    GroupKey key;
    key.range = RangeOf(sums_);
    for (const auto& g : groups_) {
      const double s = IrSpread(irs_, g);
      key.irLargest = std::max(key.irLargest, s);
      key.irSum += s;
    }
    if (best_.empty() || KeyLess(key, bestKey_)) {
      bestKey_ = key;
      best_ = groups_;
    }
  }

  const std::vector<int64_t>& units_;
  const std::vector<double>& irs_;
  size_t per_;
  std::vector<std::vector<size_t>> groups_;
  std::vector<int64_t> sums_;
  std::vector<std::vector<size_t>> best_;
  GroupKey bestKey_;
};

// A small, fixed pseudo-random sequence (splitmix64), so the search is the
// same on every run.
class SplitMix {
 public:
  explicit SplitMix(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }

 private:
  uint64_t state_;
};

// Candidate checks a search may make per second of its time limit: about a
// third of what one core of a current desktop machine does, so the work, not
// the clock, normally ends the search, also on a busy or slower machine.
constexpr double kWorkPerSecond = 1.2e8;

class GroupSearch {
 public:
  GroupSearch(const std::vector<int64_t>& units, const std::vector<double>& irs,
              std::vector<std::vector<size_t>> groups, double timeLimit, Deadline deadline)
      : units_(units),
        irs_(irs),
        groups_(std::move(groups)),
        workLimit_(kWorkPerSecond * timeLimit),
        deadline_(deadline) {
    sums_ = GroupSums(units_, groups_);
    // Every group sum is a multiple of the cells' common divisor; when the
    // groups cannot share the total equally the range is at least that.
    int64_t total = 0, divisor = 0;
    for (int64_t u : units_) {
      total += u;
      divisor = std::gcd(divisor, u);
    }
    const int64_t g = static_cast<int64_t>(groups_.size());
    if (divisor == 0) divisor = 1;
    lowerBound_ = (total / divisor) % g == 0 ? 0 : divisor;
  }

  // Lowers the range; true when it reached its lower bound.
  bool Balance() {
    if (groups_.size() < 2) return true;
    Descend(groups_, sums_);
    std::vector<std::vector<size_t>> cur = groups_;
    std::vector<int64_t> curSums = sums_;
    int64_t curRange = RangeOf(curSums);
    int64_t bestRange = curRange;
    SplitMix rng(0x5155'4F52'5645'5800ull ^ (units_.size() * 1315423911ull) ^ groups_.size());
    const size_t g = groups_.size();
    const size_t per = groups_[0].size();
    // A fifth of the work is kept for the resistance spreads.
    const double balanceWork = workLimit_ * 0.8;
    while (bestRange > lowerBound_ && !OutOfWork(balanceWork)) {
      std::vector<std::vector<size_t>> trial = cur;
      std::vector<int64_t> trialSums = curSums;
      // Kick: one to three random swaps, the first out of the heaviest or
      // the lightest group, where the range is decided.
      const size_t kicks = 1 + rng.Below(3);
      for (size_t k = 0; k < kicks; ++k) {
        size_t a;
        if (k == 0) {
          const auto ext = rng.Below(2) == 0 ? std::max_element(trialSums.begin(), trialSums.end())
                                             : std::min_element(trialSums.begin(), trialSums.end());
          a = static_cast<size_t>(ext - trialSums.begin());
        } else {
          a = rng.Below(g);
        }
        size_t b = rng.Below(g - 1);
        if (b >= a) ++b;
        const size_t i = rng.Below(per), j = rng.Below(per);
        const int64_t d = units_[trial[a][i]] - units_[trial[b][j]];
        std::swap(trial[a][i], trial[b][j]);
        trialSums[a] -= d;
        trialSums[b] += d;
      }
      Descend(trial, trialSums);
      const int64_t r = RangeOf(trialSums);
      if (r <= curRange) {
        cur = std::move(trial);
        curSums = std::move(trialSums);
        curRange = r;
        if (r < bestRange) {
          bestRange = r;
          groups_ = cur;
          sums_ = curSums;
        }
      }
    }
    return bestRange <= lowerBound_;
  }

  // Swaps that keep the range at most where it is and lower the resistance
  // spreads (largest, then sum), until none does or the work runs out.
  void SpreadResistance() {
    const size_t g = groups_.size();
    if (g < 2) return;
    std::vector<double> ir(g);
    for (size_t k = 0; k < g; ++k)
      ir[k] = IrSpread(irs_, groups_[k]);
    int64_t range = RangeOf(sums_);
    SumExtremes extremes(sums_);
    TopSpreads top(ir);
    bool improved = true;
    while (improved && !OutOfWork(workLimit_)) {
      improved = false;
      for (size_t a = 0; a < g; ++a) {
        for (size_t b = a + 1; b < g; ++b) {
          work_ += static_cast<double>(groups_[a].size() * groups_[b].size());
          if (OutOfWork(workLimit_)) return;
          // The other groups' spreads stay while a and b trade cells.
          const double others = top.LargestBesides(a, b);
          for (size_t i = 0; i < groups_[a].size(); ++i) {
            for (size_t j = 0; j < groups_[b].size(); ++j) {
              const int64_t d = units_[groups_[a][i]] - units_[groups_[b][j]];
              const int64_t newRange = extremes.RangeAfterMove(sums_, a, b, d);
              if (newRange > range) continue;
              std::swap(groups_[a][i], groups_[b][j]);
              const double na = IrSpread(irs_, groups_[a]);
              const double nb = IrSpread(irs_, groups_[b]);
              const double largest = std::max({others, ir[a], ir[b]});
              const double newLargest = std::max({others, na, nb});
              const bool better =
                  newRange < range ||
                  (newLargest < largest || (newLargest == largest && na + nb < ir[a] + ir[b]));
              if (better) {
                sums_[a] -= d;
                sums_[b] += d;
                extremes.Reset(sums_);
                ir[a] = na;
                ir[b] = nb;
                top.Reset(ir);
                range = newRange;
                improved = true;
              } else {
                std::swap(groups_[a][i], groups_[b][j]);
              }
            }
          }
        }
      }
    }
  }

  const std::vector<std::vector<size_t>>& Groups() const { return groups_; }

 private:
  // True when `limit` work has been done or the time limit has passed (the
  // clock is read at every 16th question; each pass asks at least once per
  // pair of groups, so no pass outruns the clock by much).
  bool OutOfWork(double limit) {
    if (work_ >= limit) return true;
    if (++questions_ % 16 == 0 && std::chrono::steady_clock::now() >= deadline_) {
      work_ = workLimit_;
      return true;
    }
    return false;
  }

  // Moving more than 0 and less than the whole gap of capacity from the
  // heavier of two groups to the lighter lowers the sum of squared group sums
  // and never raises the range (both new sums stay between the old two); every
  // swap that lowers the range is such a move. Swaps of one cell for one are
  // tried first, then of two cells for two, then the best split of the cells
  // of two groups, until none finds a move.
  void Descend(std::vector<std::vector<size_t>>& groups, std::vector<int64_t>& sums) {
    while (SwapOnes(groups, sums) || SwapPairs(groups, sums) || SplitPairs(groups, sums)) {
    }
  }

  // The cells of groups of up to this size are split anew two groups at a
  // time (924 splits of twelve cells); larger groups keep to the swaps.
  static constexpr size_t kSplitPerGroup = 6;

  // One sweep over the pairs of groups, each pair's cells split into the two
  // groups with the smallest difference of sums (every split that holds the
  // first cell in the first group); true when any split changed.
  bool SplitPairs(std::vector<std::vector<size_t>>& groups, std::vector<int64_t>& sums) {
    const size_t g = groups.size();
    if (g < 2 || groups[0].size() > kSplitPerGroup || groups[0].size() < 3) return false;
    const size_t per = groups[0].size();
    bool moved = false;
    std::vector<size_t> cells(2 * per);
    std::vector<size_t> pick(per), best(per);
    for (size_t a = 0; a < g; ++a) {
      for (size_t b = a + 1; b < g; ++b) {
        if (OutOfWork(workLimit_)) return moved;
        std::copy(groups[a].begin(), groups[a].end(), cells.begin());
        std::copy(groups[b].begin(), groups[b].end(),
                  cells.begin() + static_cast<std::ptrdiff_t>(per));
        const int64_t total = sums[a] + sums[b];
        int64_t bestDiff = std::llabs(sums[a] - sums[b]);
        bool found = false;
        // Combinations of `per` positions out of 2 * per, position 0 always in.
        for (size_t k = 0; k < per; ++k)
          pick[k] = k;
        while (true) {
          work_ += 1.0;
          int64_t sum = 0;
          for (size_t k = 0; k < per; ++k)
            sum += units_[cells[pick[k]]];
          const int64_t diff = std::llabs(2 * sum - total);
          if (diff < bestDiff) {
            bestDiff = diff;
            best = pick;
            found = true;
          }
          size_t k = per;
          while (k > 1 && pick[k - 1] == 2 * per - (per - k) - 1)
            --k;
          if (k == 1) break;
          ++pick[k - 1];
          for (size_t m = k; m < per; ++m)
            pick[m] = pick[m - 1] + 1;
        }
        if (!found) continue;
        std::vector<char> inA(2 * per, 0);
        for (size_t k : best)
          inA[k] = 1;
        groups[a].clear();
        groups[b].clear();
        for (size_t k = 0; k < 2 * per; ++k)
          (inA[k] ? groups[a] : groups[b]).push_back(cells[k]);
        sums[a] = sums[b] = 0;
        for (size_t c : groups[a])
          sums[a] += units_[c];
        for (size_t c : groups[b])
          sums[b] += units_[c];
        moved = true;
      }
    }
    return moved;
  }

  static bool Moves(int64_t gap, int64_t d) {
    return (gap > 0 && d > 0 && d < gap) || (gap < 0 && d < 0 && d > gap);
  }

  // Sweeps of one-for-one swaps until one finds none; true when any moved.
  bool SwapOnes(std::vector<std::vector<size_t>>& groups, std::vector<int64_t>& sums) {
    const size_t g = groups.size();
    bool any = false, moved = true;
    while (moved) {
      moved = false;
      for (size_t a = 0; a < g; ++a) {
        for (size_t b = a + 1; b < g; ++b) {
          work_ += static_cast<double>(groups[a].size() * groups[b].size());
          if (OutOfWork(workLimit_)) return any;
          for (size_t i = 0; i < groups[a].size(); ++i) {
            for (size_t j = 0; j < groups[b].size(); ++j) {
              const int64_t d = units_[groups[a][i]] - units_[groups[b][j]];
              if (Moves(sums[a] - sums[b], d)) {
                std::swap(groups[a][i], groups[b][j]);
                sums[a] -= d;
                sums[b] += d;
                moved = any = true;
              }
            }
          }
        }
      }
    }
    return any;
  }

  // One sweep of two-for-two swaps; true when any moved.
  bool SwapPairs(std::vector<std::vector<size_t>>& groups, std::vector<int64_t>& sums) {
    const size_t g = groups.size();
    bool moved = false;
    for (size_t a = 0; a < g; ++a) {
      for (size_t b = a + 1; b < g; ++b) {
        std::vector<size_t>& ga = groups[a];
        std::vector<size_t>& gb = groups[b];
        for (size_t i1 = 0; i1 < ga.size(); ++i1) {
          for (size_t i2 = i1 + 1; i2 < ga.size(); ++i2) {
            // Large groups make this sweep long: it stops with the work.
            work_ += static_cast<double>(gb.size() * gb.size()) / 2.0;
            if (OutOfWork(workLimit_)) return moved;
            for (size_t j1 = 0; j1 < gb.size(); ++j1) {
              for (size_t j2 = j1 + 1; j2 < gb.size(); ++j2) {
                const int64_t d = units_[ga[i1]] + units_[ga[i2]] - units_[gb[j1]] - units_[gb[j2]];
                if (Moves(sums[a] - sums[b], d)) {
                  std::swap(ga[i1], gb[j1]);
                  std::swap(ga[i2], gb[j2]);
                  sums[a] -= d;
                  sums[b] += d;
                  moved = true;
                }
              }
            }
          }
        }
      }
    }
    return moved;
  }

  const std::vector<int64_t>& units_;
  const std::vector<double>& irs_;
  std::vector<std::vector<size_t>> groups_;
  std::vector<int64_t> sums_;
  int64_t lowerBound_ = 0;
  double work_ = 0.0;
  double workLimit_;
  Deadline deadline_;
  uint64_t questions_ = 0;
};

}  // namespace

int64_t CapacityUnits(double mah) {
  return std::llround(mah * 1000.0);
}

int64_t GroupRange(const std::vector<int64_t>& units,
                   const std::vector<std::vector<size_t>>& groups) {
  return RangeOf(GroupSums(units, groups));
}

std::vector<std::vector<size_t>> SnakeAndSwap(const std::vector<int64_t>& units, size_t groups,
                                              size_t perGroup) {
  return SnakeAndSwapUntil(units, groups, perGroup, Deadline::max());
}

GroupSplit BalanceGroups(const std::vector<double>& capacities, const std::vector<double>& irs,
                         size_t groups, size_t perGroup, double timeLimit) {
  GroupSplit out;
  const size_t n = groups * perGroup;
  if (groups == 0 || perGroup == 0 || capacities.size() != n || irs.size() != n) return out;
  const Deadline deadline =
      std::chrono::steady_clock::now() +
      std::chrono::duration_cast<Deadline::duration>(std::chrono::duration<double>(timeLimit));
  std::vector<int64_t> units(n);
  for (size_t i = 0; i < n; ++i)
    units[i] = CapacityUnits(capacities[i]);
  if (n <= kExactGroupCells) {
    out.groups = ExhaustiveSplit(units, irs, groups, perGroup).Run();
    out.optimal = true;
    return out;
  }
  GroupSearch search(units, irs, SnakeAndSwapUntil(units, groups, perGroup, deadline), timeLimit,
                     deadline);
  out.optimal = search.Balance();
  search.SpreadResistance();
  out.groups = search.Groups();
  return out;
}

}  // namespace qv
