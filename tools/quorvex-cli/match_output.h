// The answer of the matching engine as one JSON object, for match and
// catalog match.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/pack_match.h"

namespace qv::cli {

// The options that say how to match, as typed.
struct MatchOptionTexts {
  std::string series;
  std::string parallel;
  std::string by;
  bool byGiven = false;
  std::string timeLimit;
};

// The request the options ask for. False, with the refusal on stderr, for a
// count that is not 1 to 999, a time limit not above 0 or above 3600 s, an
// unknown criterion, or criteria other than capacity for a series-parallel
// pack.
bool MakeMatchRequest(const MatchOptionTexts& t, MatchRequest& req);

// The series and parallel counts, the criteria with their weights, whether
// the answer is proven best, the packs (cells and spread, or the groups of a
// series-parallel pack with their sums and range), the cells left and those
// never usable, each cell by its ID text.
nlohmann::ordered_json MatchResultJson(const MatchResult& r, const std::vector<MatchCell>& cells);

}  // namespace qv::cli
