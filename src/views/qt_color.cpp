#include "views/qt_color.h"

#include "data/measure_data.h"
#include "views/report_ctrl.h"
#include "views/view_text.h"

namespace qv::ui {

QColor ToQColor(uint32_t rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

QColor SlotQColor(int slot) {
  return ToQColor(SlotColor(slot));
}

void SetSlotPalette(CReportCtrl& list) {
  for (int slot = 1; slot <= 7; ++slot)
    list.SetPaletteColor(SlotPaletteIndex(slot), SlotQColor(slot));
}

}  // namespace qv::ui
