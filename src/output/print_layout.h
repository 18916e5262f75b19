// Printed pages: the page metrics taken from the printer, the three page
// layouts as drawing lists, and the print engine that ties the settings,
// the record filter, the pagination and the layouts together for one run.
//
// Drawing lists of printed pages are in 0.1 mm, as distances from the
// paper's top-left corner (x to the right, y downwards); the painter maps a
// point to the device with PaperToLogical.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "output/draw_list.h"
#include "output/graph_scene.h"
#include "output/print_settings.h"

namespace qv {

// What the printer reports, in its own device units.
struct PrinterDevice {
  int offsetX = 0, offsetY = 0;         // printable area's physical offsets
  int paperWidth = 0, paperHeight = 0;  // physical paper size
  int dpiX = 0, dpiY = 0;               // device dots per inch
  int screenDpiY = 0;                   // the screen's vertical resolution; 0 without a screen
};

struct PageMetrics {
  int offsetX = 0, offsetY = 0;       // mm
  int pageWidth = 0, pageHeight = 0;  // mm
  int pitch = 1;                      // p, 0.1 mm
  int fontSize = 0;                   // N, tenths of a point
  int recordsPerTablePage = 1;
  int charHeight = 0;  // 0.1 mm
};

// Device units to whole millimetres (truncated).
int DeviceToMm(int units, int dpi);

// Lines and characters per line of a label type.
std::pair<int, int> LabelLineLayout(int labelType);

PageMetrics ComputePageMetrics(const PrinterDevice& device, const PrintSettings& settings);

// A paper distance (X right, Y down, 0.1 mm) as the logical point of a
// device whose origin is the printable area's corner and whose y points up.
std::pair<int, int> PaperToLogical(const PageMetrics& m, int x, int y);

// Everything a page layout needs.
struct PrintLayout {
  PrintSettings settings;
  PageMetrics metrics;
  GraphSettings graph;
  int graphCX = 2, graphCY = 3;  // after the landscape exchange

  int Pitch() const { return metrics.pitch; }
  int Left() const { return settings.topX * 10; }
  int Top() const { return settings.topY * 10; }
  int Right() const { return (metrics.pageWidth - settings.topX) * 10; }
  DrawList NewList() const;
};

// Left and right edges of the fifteen table columns from `x`.
std::vector<std::pair<int, int>> TableColumnEdges(int x, int pitch);

// Pieces of pages (each appends to `out`).
void DrawTableHeader(DrawList& out, const PrintLayout& layout, int y);
void DrawTableRow(DrawList& out, const PrintLayout& layout, const CMeasureData& r, int y);
void DrawLogoAndNotice(DrawList& out, const PrintLayout& layout, int y);
// A record's graph cell (graph_scene.h) over the print settings' graph
// width, or the record's own discharge time when that is 0.
void DrawGraphCell(DrawList& out, const PrintLayout& layout, const CMeasureData& r, int left,
                   int top, int right, int bottom);
// A label's texts each carry their box: from the text to the end of its
// column (the left column of the two-column type ends where the right one
// begins, every other text 2 mm inside the label's right edge), one line of
// characters high.
void DrawLabel(DrawList& out, const PrintLayout& layout, const CMeasureData& r, int left, int top);

// Whole pages.
DrawList TablePageList(const PrintLayout& layout, const PrintPage& page, int pageNumber,
                       int pageCount);
DrawList GraphPageList(const PrintLayout& layout, const PrintPage& page);
DrawList LabelPageList(const PrintLayout& layout, const PrintPage& page);

// A pack's graph sheet: the curves of up to kPackCurvesPerSheet records
// overlaid in one graph over the graph area (as wide as the margins leave,
// its span the print settings' graph width or the longest discharge time),
// in the colours of the graph's overlay slots 2, 3, ... in order, titled
// `title`, with the table of their values below (a square of each curve's
// colour in the left margin beside its row) and the logo and notice.
inline constexpr size_t kPackCurvesPerSheet = 6;
DrawList PackGraphPageList(const PrintLayout& layout,
                           const std::vector<const CMeasureData*>& records,
                           const std::string& title);
// A line of text above the top margin (two pitches above it, at the paper's
// edge at the least), from the left margin to the right one.
void DrawPageHeader(DrawList& out, const PrintLayout& layout, const std::string& text);

// The graph area's end and one graph cell's size on a graph page.
struct GraphPageGeometry {
  int areaEnd = 0;  // T
  int cellWidth = 0, cellHeight = 0;
};
GraphPageGeometry ComputeGraphPageGeometry(const PrintLayout& layout);

class CPrintEngine {
 public:
  // Reads the settings, takes the records to print (`selected`: the records
  // selected in the data view, printed when the settings choose the
  // selection), measures the page and paginates by the print form.
  void BeginPrinting(const CSettingsStore& settings, const PrinterDevice& device,
                     const RecordList& list, const std::vector<const CMeasureData*>& selected,
                     const GraphSettings& graph);
  // The same over settings already read.
  void BeginPrinting(const PrintSettings& settings, const PrinterDevice& device,
                     const RecordList& list, const std::vector<const CMeasureData*>& selected,
                     const GraphSettings& graph);
  // At least 1.
  int GetPageCount() const;
  // The page `pageNumber` (from 1); a number outside the page list gives an
  // empty list.
  DrawList PrintPage(int pageNumber) const;

  const std::vector<qv::PrintPage>& Pages() const { return pages_; }
  const PrintLayout& Layout() const { return layout_; }

 private:
  PrintLayout layout_;
  std::vector<qv::PrintPage> pages_;
};

}  // namespace qv
