// The average-voltage-3 range dialog's model. When it reports a change, the
// command ends with the document's Avg3RangeChanged (data/doc_commands.h),
// which recomputes every registered record.
#pragma once

#include <string>
#include <string_view>

#include "core/conditions.h"
#include "core/user_interface.h"

namespace qv {

class CAppState;

inline constexpr int kAvg3TimeMin = 0;
inline constexpr int kAvg3TimeMax = 9999;

struct Avg3RangeFields {
  std::string start;  // "%d"
  std::string end;
};

// The fields as the dialog opens them.
Avg3RangeFields Avg3RangeOpen(const Avg3Range& range);

enum class Avg3RangeOutcome {
  kStayOpen,   // a message was shown; nothing changed
  kUnchanged,  // closed with OK, same range: nothing written or recomputed
  kChanged,    // closed with OK; the range is stored and written
};

// OK pressed: reads both fields as integers, refuses values outside 0 to 9999
// (caption "設定値入力範囲", exclamation icon), swaps a reversed range, and
// stores and writes DATA_DEF_APO3ST, DATA_DEF_APO3ED when the range changed.
Avg3RangeOutcome AcceptAvg3Range(CAppState& app, IUserInterface& ui, const Avg3RangeFields& fields);

}  // namespace qv
