#include "match_output.h"

#include <iostream>

#include "analysis/pack_match_report.h"
#include "core/numtext.h"
#include "data/codec.h"

namespace qv::cli {
namespace {

bool Refuse(const std::string& cp932) {
  std::cerr << Cp932ToUtf8(cp932) << "\n";
  return false;
}

// A count of one to three digits, or -1.
int Count(const std::string& text) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
    return -1;
  return AtoI(text);
}

// A plain decimal real (digits with at most one point), or -1.
double Seconds(const std::string& text) {
  return IsPlainReal(text) ? AtoF(text) : -1.0;
}

// The refusal text of a status.
std::string StatusText(MatchStatus status) {
  MatchResult r;
  r.status = status;
  return MatchRefusalMessage(r).text;
}

nlohmann::ordered_json Ids(const std::vector<MatchCell>& cells, const std::vector<size_t>& idx) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (size_t i : idx)
    out.push_back(cells[i].idText);
  return out;
}

}  // namespace

bool MakeMatchRequest(const MatchOptionTexts& t, MatchRequest& req) {
  req.series = Count(t.series);
  req.parallel = Count(t.parallel);
  req.timeLimit = Seconds(t.timeLimit);
  if (req.series < 1 || req.parallel < 1) return Refuse(StatusText(MatchStatus::kBadCount));
  if (req.timeLimit <= 0.0 || req.timeLimit > kMatchMaxTime)
    return Refuse(StatusText(MatchStatus::kBadTime));
  if (t.byGiven) {
    std::string error;
    auto criteria = ParseMatchCriteria(t.by, &error);
    if (!criteria) return Refuse(error);
    // A series-parallel pack goes by capacity: asking for it is no fault.
    if (req.parallel > 1 &&
        !(criteria->size() == 1 && (*criteria)[0].criterion == MatchCriterion::kCapacity))
      return Refuse(Sj("並列数が2以上のときは、基準を指定できません（容量で組み合わせます）。"));
    if (req.parallel == 1) req.criteria = std::move(*criteria);
  }
  return true;
}

nlohmann::ordered_json MatchResultJson(const MatchResult& r, const std::vector<MatchCell>& cells) {
  nlohmann::ordered_json j;
  j["series"] = r.series;
  j["parallel"] = r.parallel;
  j["criteria"] = nlohmann::ordered_json::array();
  for (const WeightedCriterion& w : r.criteria)
    j["criteria"].push_back({{"name", MatchCriterionName(w.criterion)}, {"weight", w.weight}});
  j["optimal"] = r.optimal;
  j["packs"] = nlohmann::ordered_json::array();
  if (r.parallelPack) {
    j["range"] = r.parallelPack->range;
    nlohmann::ordered_json groups = nlohmann::ordered_json::array();
    for (const auto& g : r.parallelPack->groups)
      groups.push_back(Ids(cells, g));
    j["packs"].push_back({{"groups", groups}, {"group_sums", r.parallelPack->groupSums}});
  } else {
    for (const SeriesPack& p : r.packs)
      j["packs"].push_back({{"cells", Ids(cells, p.cells)}, {"spread", p.spread}});
  }
  j["left"] = Ids(cells, r.left);
  j["unusable"] = Ids(cells, r.unusable);
  return j;
}

}  // namespace qv::cli
