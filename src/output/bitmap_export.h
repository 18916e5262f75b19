// Bitmap export of the graph: the image's size, the footer and the results
// table drawn under the graph (as a drawing list in pixels), and the model of
// the export dialog "グラフビューを画像出力".
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/settings_store.h"
#include "core/user_interface.h"
#include "data/measure_data.h"
#include "output/draw_list.h"
#include "output/graph_scene.h"

namespace qv {

// The graph's part of the image (graph_scene.h holds its layout).
inline constexpr int kBitmapGraphHeight = (kGraphTop + 2) * 5 + kGraphPlotHeight;  // 330
inline constexpr int kBitmapMinWidth = 510;

struct BitmapGeometry {
  int records = 0;     // n: records of the display list with points
  int curveWidth = 0;  // W: largest last elapsed time x time scale
  int width = 0;       // max(W + 2 x 40, 510)
  int graphHeight = kBitmapGraphHeight;
  int height = 0;  // G, or G + 13 n + 31 with the data table
};

BitmapGeometry ComputeBitmapGeometry(const std::vector<CMeasureData*>& displayList, int timeScale,
                                     bool dataTable);

// One cell of the results table.
struct BitmapTableCell {
  int left, top, right, bottom;  // cell border
  std::string text;              // CP932
  HAlign align;
  bool slotColour;  // drawn in the record's display-slot colour
  int slot;         // the record's display slot (data rows)
};

// Title row, units row and one data row per drawn record with points (the
// last curve lowest), in drawing order.
std::vector<BitmapTableCell> BitmapTableCells(std::span<const GraphCurve> curves, int height);

// Everything drawn over the graph's scene (graph_scene.h): the background
// band from G - 1 down, the three footer texts and, when asked, the table of
// the drawn records. Pixels, y downwards.
DrawList BitmapOverlay(const BitmapGeometry& geometry, std::span<const GraphCurve> curves,
                       bool dataTable, bool whiteBackground);

// What the window side needs to make the image once the dialog accepted.
struct BitmapExportRequest {
  std::string path;
  bool dataTable = false;
  bool whiteBackground = false;
  BitmapGeometry geometry;
};

// Dialog "グラフビューを画像出力".
class CBitmapExportDlg {
 public:
  // Opening: the path and both check boxes from the settings.
  void Open(const CSettingsStore& settings);
  // "参照": the save chooser; a confirmed path replaces the field.
  void Browse(IUserInterface& ui);
  // "ファイル出力": refuses an empty (trimmed) path with a message; otherwise
  // writes the three settings and returns what to draw and where to write.
  std::optional<BitmapExportRequest> Export(IUserInterface& ui, CSettingsStore& settings,
                                            const std::vector<CMeasureData*>& displayList,
                                            int timeScale);

  std::string path;  // file system bytes
  bool dataTable = false;
  bool whiteBackground = false;
};

// The message for a writer result code (0, 1 or 3).
Message BitmapExportResultMessage(int resultCode);

// Leading and trailing blanks removed.
std::string TrimBlanks(const std::string& text);

}  // namespace qv
