#include "analysis/avg3_range.h"

#include <utility>

#include "core/app_state.h"
#include "core/numtext.h"
#include "core/settings_keys.h"
#include "data/codec.h"

namespace qv {

Avg3RangeFields Avg3RangeOpen(const Avg3Range& range) {
  return {IntText(range.start), IntText(range.end)};
}

Avg3RangeOutcome AcceptAvg3Range(CAppState& app, IUserInterface& ui,
                                 const Avg3RangeFields& fields) {
  int start = AtoI(fields.start);
  int end = AtoI(fields.end);
  auto outside = [](int v) { return v < kAvg3TimeMin || v > kAvg3TimeMax; };
  if (outside(start) || outside(end)) {
    ui.Tell(Sj("時間は、0 ～ 9999 の範囲で値を設定してください。"), Sj("設定値入力範囲"),
            MsgIcon::kWarning);
    return Avg3RangeOutcome::kStayOpen;
  }
  if (end < start) std::swap(start, end);
  if (start == app.avg3.start && end == app.avg3.end) return Avg3RangeOutcome::kUnchanged;
  app.avg3.start = start;
  app.avg3.end = end;
  app.settings.SetValue(keys::kAvg3Start, start);
  app.settings.SetValue(keys::kAvg3End, end);
  return Avg3RangeOutcome::kChanged;
}

}  // namespace qv
