// Series packs: the exact answer by one value and the swap search by several.
#include "analysis/pack_match.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace qv {

namespace {

using Points = std::vector<std::vector<double>>;

// First-improvement swap search on series packs under PackScore with the
// Chebyshev spread. A swap exchanges a cell of a pack with a cell of another
// pack or a left-over cell. Every accepted swap lowers the largest spread, or
// keeps it and lowers the sum: the sum is compared as the rounded sum of the
// two changed spreads before and after, and rounding is monotonic, so an
// accepted swap lowers the exact sum and the search ends.
//
// A swap that does not raise the largest spread M puts the new cell within M
// of every other member in every coordinate: inside the box [max - M, min + M]
// of the other members, per coordinate. Each pack keeps, for each member, the
// box of the others; candidates come from the coordinate where that box is
// narrowest, in that coordinate's order.
class SwapSearch {
 public:
  // `work` counts the candidates examined, shared by several searches; the
  // search stops once it reaches `workLimit`.
  SwapSearch(const Points& pts, size_t size, const std::vector<std::vector<size_t>>& packs,
             double& work, double workLimit)
      : pts_(pts),
        size_(size),
        dim_(pts.empty() ? 0 : pts[0].size()),
        packs_(packs),
        work_(work),
        workLimit_(workLimit) {
    const size_t n = pts_.size();
    packOf_.assign(n, kLeft);
    slotOf_.assign(n, 0);
    for (size_t k = 0; k < packs_.size(); ++k) {
      for (size_t s = 0; s < packs_[k].size(); ++s) {
        packOf_[packs_[k][s]] = k;
        slotOf_[packs_[k][s]] = s;
      }
    }
    spread_.assign(packs_.size(), 0.0);
    boxLo_.assign(packs_.size() * size_, std::vector<double>(dim_));
    boxHi_.assign(packs_.size() * size_, std::vector<double>(dim_));
    for (size_t k = 0; k < packs_.size(); ++k)
      Recompute(k);
    UpdateLargest();
    order_.resize(dim_);
    sorted_.resize(dim_);
    for (size_t c = 0; c < dim_; ++c) {
      order_[c].resize(n);
      std::iota(order_[c].begin(), order_[c].end(), size_t{0});
      std::stable_sort(order_[c].begin(), order_[c].end(),
                       [this, c](size_t a, size_t b) { return pts_[a][c] < pts_[b][c]; });
      sorted_[c].resize(n);
      for (size_t p = 0; p < n; ++p)
        sorted_[c][p] = pts_[order_[c][p]][c];
    }
  }

  void Run() {
    if (size_ < 2 || dim_ == 0 || packs_.empty()) return;
    bool improved = true;
    while (improved && work_ < workLimit_) {
      improved = false;
      for (size_t a = 0; a < packs_.size(); ++a) {
        for (size_t s = 0; s < size_; ++s) {
          if (TryMember(a, s)) improved = true;
        }
      }
    }
  }

  const std::vector<std::vector<size_t>>& Packs() const { return packs_; }

 private:
  static constexpr size_t kLeft = std::numeric_limits<size_t>::max();

  // The largest Chebyshev distance between two points of a set is, over the
  // coordinates, the largest extent of the set's bounding box (exactly, also
  // in floating point: rounding keeps the order of differences).
  double Extent(const std::vector<double>& lo, const std::vector<double>& hi) const {
    double m = 0.0;
    for (size_t c = 0; c < dim_; ++c)
      m = std::max(m, hi[c] - lo[c]);
    return m;
  }

  // The spread of pack k and the box of the other members of each member.
  void Recompute(size_t k) {
    const std::vector<size_t>& p = packs_[k];
    std::vector<double> allLo(dim_, std::numeric_limits<double>::infinity());
    std::vector<double> allHi(dim_, -std::numeric_limits<double>::infinity());
    for (size_t x : p) {
      for (size_t c = 0; c < dim_; ++c) {
        allLo[c] = std::min(allLo[c], pts_[x][c]);
        allHi[c] = std::max(allHi[c], pts_[x][c]);
      }
    }
    spread_[k] = Extent(allLo, allHi);
    for (size_t skip = 0; skip < p.size(); ++skip) {
      std::vector<double>& lo = boxLo_[k * size_ + skip];
      std::vector<double>& hi = boxHi_[k * size_ + skip];
      std::fill(lo.begin(), lo.end(), std::numeric_limits<double>::infinity());
      std::fill(hi.begin(), hi.end(), -std::numeric_limits<double>::infinity());
      for (size_t x = 0; x < p.size(); ++x) {
        if (x == skip) continue;
        for (size_t c = 0; c < dim_; ++c) {
          lo[c] = std::min(lo[c], pts_[p[x]][c]);
          hi[c] = std::max(hi[c], pts_[p[x]][c]);
        }
      }
    }
  }

  // The three largest spreads with their packs, largest first.
  void UpdateLargest() {
    top_.fill({-1.0, kLeft});
    for (size_t k = 0; k < spread_.size(); ++k) {
      std::pair<double, size_t> v{spread_[k], k};
      for (auto& t : top_) {
        if (v.first > t.first) std::swap(v, t);
      }
    }
  }

  // The largest spread of the packs other than a and b (b may be kLeft).
  double OthersMax(size_t a, size_t b) const {
    for (const auto& t : top_) {
      if (t.second != a && t.second != b) return std::max(t.first, 0.0);
    }
    return 0.0;
  }

  // Whether `cell` lies in the box of the members of pack k but `slot`,
  // widened by `limit`.
  bool InBox(size_t k, size_t slot, size_t cell, double limit) const {
    const std::vector<double>& lo = boxLo_[k * size_ + slot];
    const std::vector<double>& hi = boxHi_[k * size_ + slot];
    const std::vector<double>& p = pts_[cell];
    for (size_t c = 0; c < dim_; ++c) {
      if (p[c] < hi[c] - limit || p[c] > lo[c] + limit) return false;
    }
    return true;
  }

  // The spread of pack k with the member in `slot` replaced by `cell`.
  double Replaced(size_t k, size_t slot, size_t cell) const {
    const std::vector<double>& lo = boxLo_[k * size_ + slot];
    const std::vector<double>& hi = boxHi_[k * size_ + slot];
    const std::vector<double>& q = pts_[cell];
    double m = 0.0;
    for (size_t c = 0; c < dim_; ++c)
      m = std::max(m, std::max(hi[c], q[c]) - std::min(lo[c], q[c]));
    return m;
  }

  // Tries the swaps of the member in slot s of pack a; applies the first one
  // that improves the score. True when one was applied.
  bool TryMember(size_t a, size_t s) {
    const double largest = std::max(top_[0].first, 0.0);
    const size_t i = packs_[a][s];
    const std::vector<double>& lo = boxLo_[a * size_ + s];
    const std::vector<double>& hi = boxHi_[a * size_ + s];
    size_t narrow = 0;
    for (size_t c = 1; c < dim_; ++c) {
      if (hi[c] - lo[c] > hi[narrow] - lo[narrow]) narrow = c;
    }
    const std::vector<double>& axis = sorted_[narrow];
    const auto from = std::lower_bound(axis.begin(), axis.end(), hi[narrow] - largest);
    const auto to = std::upper_bound(axis.begin(), axis.end(), lo[narrow] + largest);
    work_ += static_cast<double>((to - from + 1) * static_cast<std::ptrdiff_t>(dim_));
    for (auto it = from; it < to; ++it) {
      const size_t j = order_[narrow][static_cast<size_t>(it - axis.begin())];
      const size_t b = packOf_[j];
      if (b == a || !InBox(a, s, j, largest)) continue;
      double nb = 0.0, ob = 0.0;
      if (b != kLeft) {
        if (!InBox(b, slotOf_[j], i, largest)) continue;
        nb = Replaced(b, slotOf_[j], i);
        ob = spread_[b];
      }
      const double na = Replaced(a, s, j);
      const double newLargest = std::max({OthersMax(a, b), na, nb});
      const bool better =
          newLargest < largest || (newLargest == largest && na + nb < spread_[a] + ob);
      if (!better) continue;
      Apply(a, s, j);
      return true;
    }
    return false;
  }

  void Apply(size_t a, size_t s, size_t j) {
    const size_t i = packs_[a][s];
    const size_t b = packOf_[j];
    packs_[a][s] = j;
    packOf_[j] = a;
    const size_t sj = slotOf_[j];
    slotOf_[j] = s;
    packOf_[i] = b;
    if (b != kLeft) {
      packs_[b][sj] = i;
      slotOf_[i] = sj;
      Recompute(b);
    }
    Recompute(a);
    UpdateLargest();
  }

  const Points& pts_;
  size_t size_;
  size_t dim_;
  std::vector<std::vector<size_t>> packs_;
  std::vector<size_t> packOf_;
  std::vector<size_t> slotOf_;
  std::vector<double> spread_;
  std::vector<std::vector<double>> boxLo_, boxHi_;  // per pack and member
  std::array<std::pair<double, size_t>, 3> top_;
  std::vector<std::vector<size_t>> order_;  // cells by each coordinate
  std::vector<std::vector<double>> sorted_;
  double& work_;
  double workLimit_;
};

// Work the swap searches of one series matching may do (candidates examined
// times coordinates): about half a second; 500 cells by two criteria need
// less than a tenth of it, so the limit only bounds large inputs by many
// criteria. It counts work, not time, so the answer stays the same.
constexpr double kSwapWork = 1.0e8;

}  // namespace

bool operator<(const PackScore& a, const PackScore& b) {
  if (a.largest != b.largest) return a.largest < b.largest;
  return a.sum < b.sum;
}

std::vector<std::vector<size_t>> ExactSeriesPacks(const std::vector<double>& values, size_t size) {
  const size_t n = values.size();
  if (size == 0 || n < size) return {};
  const size_t packs = n / size;
  const size_t left = n - packs * size;
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&values](size_t a, size_t b) { return values[a] < values[b]; });
  // Spread of the run of `size` cells starting at each position.
  std::vector<double> run(n - size + 1);
  for (size_t p = 0; p < run.size(); ++p)
    run[p] = values[order[p + size - 1]] - values[order[p]];

  // State (k, s): the first k * size + s cells hold k packs and s left-over
  // cells; fewer than `size` cells are ever left over.
  const size_t cols = left + 1;
  std::vector<double> sum(static_cast<size_t>(packs + 1) * cols, 0.0);
  std::vector<char> ok(sum.size(), 0);
  std::vector<char> take(sum.size(), 0);
  auto solve = [&](double limit) {
    ok[0] = 1;
    for (size_t k = 0; k <= packs; ++k) {
      for (size_t s = 0; s <= left; ++s) {
        const size_t at = k * cols + s;
        if (at == 0) continue;
        bool canTake = false, canSkip = false;
        double byTake = 0.0, bySkip = 0.0;
        if (k > 0) {
          const size_t prev = (k - 1) * cols + s;
          const double w = run[(k - 1) * size + s];
          if (ok[prev] && w <= limit) {
            canTake = true;
            byTake = sum[prev] + w;
          }
        }
        if (s > 0 && ok[at - 1]) {
          canSkip = true;
          bySkip = sum[at - 1];
        }
        // Ties keep the pack, which leaves the lower cells over.
        ok[at] = canTake || canSkip;
        take[at] = canTake && (!canSkip || byTake <= bySkip);
        sum[at] = take[at] ? byTake : bySkip;
      }
    }
    return ok[packs * cols + left] != 0;
  };

  // The smallest largest spread is one of the runs' spreads: the smallest
  // that still leaves room for every pack.
  std::vector<double> limits(run);
  std::sort(limits.begin(), limits.end());
  limits.erase(std::unique(limits.begin(), limits.end()), limits.end());
  size_t lo = 0, hi = limits.size() - 1;  // the largest always fits
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (solve(limits[mid]))
      hi = mid;
    else
      lo = mid + 1;
  }
  solve(limits[lo]);

  std::vector<std::vector<size_t>> out;
  size_t k = packs, s = left;
  while (k > 0 || s > 0) {
    if (take[k * cols + s]) {
      const size_t start = (k - 1) * size + s;
      out.emplace_back(order.begin() + static_cast<std::ptrdiff_t>(start),
                       order.begin() + static_cast<std::ptrdiff_t>(start + size));
      --k;
    } else {
      --s;
    }
  }
  std::reverse(out.begin(), out.end());
  return out;
}

double ChebyshevSpread(const Points& points, const std::vector<size_t>& pack) {
  // The largest extent of the pack's bounding box (see SwapSearch::Extent).
  double m = 0.0;
  if (pack.empty()) return m;
  const size_t dim = points[pack[0]].size();
  for (size_t c = 0; c < dim; ++c) {
    double lo = points[pack[0]][c], hi = lo;
    for (size_t x : pack) {
      lo = std::min(lo, points[x][c]);
      hi = std::max(hi, points[x][c]);
    }
    m = std::max(m, hi - lo);
  }
  return m;
}

PackScore ScoreChebyshev(const Points& points, const std::vector<std::vector<size_t>>& packs) {
  PackScore score;
  for (const auto& p : packs) {
    const double s = ChebyshevSpread(points, p);
    score.largest = std::max(score.largest, s);
    score.sum += s;
  }
  return score;
}

std::vector<std::vector<size_t>> ChebyshevSeriesPacks(const Points& points, size_t size) {
  const size_t n = points.size();
  if (size == 0 || n < size) return {};
  const size_t dim = points[0].size();
  if (dim == 0 || size == 1) return ExactSeriesPacks(std::vector<double>(n, 0.0), size);

  std::vector<std::vector<double>> columns;
  for (size_t c = 0; c < dim; ++c) {
    std::vector<double> col(n);
    for (size_t i = 0; i < n; ++i)
      col[i] = points[i][c];
    columns.push_back(std::move(col));
  }
  if (dim > 1) {
    std::vector<double> total(n, 0.0);
    for (size_t i = 0; i < n; ++i)
      for (size_t c = 0; c < dim; ++c)
        total[i] += points[i][c];
    columns.push_back(std::move(total));
  }

  // The exact answers of every column, scored together, are improved by
  // swaps in the order of their scores, the best first, until the work runs
  // out; the best answer wins (the first of equal ones).
  std::vector<std::pair<PackScore, std::vector<std::vector<size_t>>>> starts;
  for (const auto& col : columns) {
    std::vector<std::vector<size_t>> packs = ExactSeriesPacks(col, size);
    starts.emplace_back(ScoreChebyshev(points, packs), std::move(packs));
  }
  std::stable_sort(starts.begin(), starts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::vector<size_t>> best = starts[0].second;
  PackScore bestScore = starts[0].first;
  double work = 0.0;
  for (const auto& start : starts) {
    if (work >= kSwapWork) break;
    SwapSearch search(points, size, start.second, work, kSwapWork);
    search.Run();
    const PackScore score = ScoreChebyshev(points, search.Packs());
    if (score < bestScore) {
      best = search.Packs();
      bestScore = score;
    }
  }
  return best;
}

}  // namespace qv
