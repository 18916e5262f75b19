// The core's colours (0xRRGGBB) as Qt colours, and the slot colours that the
// list panes show.
#pragma once

#include <QColor>
#include <cstdint>

namespace qv::ui {

class CReportCtrl;

QColor ToQColor(uint32_t rgb);
// The colour of a display slot (SlotColor).
QColor SlotQColor(int slot);
// The colours of slots 1 to 7 in the palette entries of their slots
// (SlotPaletteIndex: 10 to 16).
void SetSlotPalette(CReportCtrl& list);

}  // namespace qv::ui
