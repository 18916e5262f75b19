// Virtual curves: the discharge a registered record's battery would have shown
// at a higher constant current, the command that puts one into the current
// measurement, and the model of the virtual current dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/conditions.h"
#include "core/user_interface.h"
#include "data/measure_data.h"
#include "data/ole_datetime.h"

namespace qv {

class CBrenlowDoc;

inline constexpr double kVirtualCurrentLimit = 1000.0;  // A
inline constexpr double kVirtualPir = -1.0;             // PIR of a virtual record

// Replaces the whole content of `target` with the virtual curve computed from
// `source` at the virtual current `ia` (A). Average voltage 3 uses `range`;
// the record's date-time becomes `now`. The source is not changed.
void MakeVirtualCurve(CMeasureData& target, const CMeasureData& source, double ia,
                      const Avg3Range& range, const COleDateTime& now = COleDateTime::Now());

// The capacity stored at a re-timed point: the "%f" text of `mah` cut to its
// first four characters and read back (45.678901 -> 45.6, 1234.56 -> 1234).
// Capacities with more than four integer digits keep their integer part.
double VirtualCapacity(double mah);

// The remark of a virtual record made from `copied` (the source's values).
std::string VirtualRemark(double ia, const CMeasureData& copied);

// The caption every message of the command uses.
std::string VirtualCurveCaption();

// The refusal of a record as the source of a virtual curve (internal
// resistance or PIR not above 0.0; currents A, B, C not all equal), or
// nothing when it may be used.
std::optional<std::string> VirtualSourceRefusal(const CMeasureData& source);

// Virtual current dialog: the text the edit field opens with.
std::string VirtualCurrentInitialText(double sourceCurrent);
// The refusal of a typed value (checked unrounded), or nothing.
std::optional<std::string> VirtualCurrentRefusal(double value, double sourceCurrent);
// OK pressed with the field's text: the accepted current rounded to one
// decimal, or nothing after showing the refusal (caption "仮想放電電流値",
// exclamation icon) with the dialog left open.
std::optional<double> AcceptVirtualCurrent(IUserInterface& ui, std::string_view text,
                                           double sourceCurrent);

// The data view's selection as the command sees it.
struct ListSelection {
  bool listHasFocus = false;
  std::vector<int> rowKeys;  // keys of the selected rows, in list order
};

// Runs the virtual current dialog for a source current: the accepted current,
// or nothing when the user cancelled.
using AskVirtualCurrent = std::function<std::optional<double>(double sourceCurrent)>;

// The virtual-curve command: checks the selection and the source, asks before
// overwriting a current measurement that holds points, asks for the current,
// generates into the current measurement (slot 1), refreshes the result panel
// and the graph, sets the modified flag and reports. True when generated.
bool RunVirtualCurveCommand(CBrenlowDoc& doc, IUserInterface& ui, const ListSelection& selection,
                            const AskVirtualCurrent& askCurrent);

}  // namespace qv
