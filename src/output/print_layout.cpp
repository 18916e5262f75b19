#include "output/print_layout.h"

#include <algorithm>
#include <cstdint>

#include "core/numtext.h"
#include "data/codec.h"
#include "data/text_format.h"
#include "output/record_texts.h"

namespace qv {
namespace {

struct ColumnDef {
  const char* title;  // line 1, UTF-8
  const char* unit;   // line 2, UTF-8
  int width;          // pitches
  HAlign align;
};

const ColumnDef kTableColumns[15] = {
    {"", "登録ID", 6, HAlign::kCenter},     {"", "計測日時", 10, HAlign::kCenter},
    {"放電時間", "秒", 4, HAlign::kRight},  {"放電容量", "mAh", 4, HAlign::kRight},
    {"放電電力", "mWh", 4, HAlign::kRight}, {"平均電圧１", "V", 5, HAlign::kRight},
    {"平均電圧２", "V", 5, HAlign::kRight}, {"内部抵抗", "mΩ", 4, HAlign::kRight},
    {"ＰＩＲ", "", 3, HAlign::kRight},      {"放電電流Ａ", "A", 5, HAlign::kRight},
    {"放電電流Ｂ", "A", 5, HAlign::kRight}, {"放電電流Ｃ", "A", 5, HAlign::kRight},
    {"セル数", "", 3, HAlign::kRight},      {"終了電圧", "V", 4, HAlign::kRight},
    {"V1測定点", "秒", 4, HAlign::kRight},
};

std::vector<std::string> TableRowTexts(const CMeasureData& r) {
  RecordTexts t = MakeRecordTexts(r);
  return {std::move(t.id),          std::move(t.dateTime),   std::move(t.seconds),
          std::move(t.capacity),    std::move(t.energy),     std::move(t.avgVoltage1),
          std::move(t.avgVoltage2), std::move(t.resistance), std::move(t.pir),
          std::move(t.currentA),    std::move(t.currentB),   std::move(t.currentC),
          std::move(t.cells),       std::move(t.endVoltage), std::move(t.v1Point)};
}

// One framed table cell on the line from y: one pitch (plus one unit) high.
void TableCell(DrawList& out, int left, int right, int y, int p, std::string text, HAlign align) {
  out.Cell(left, y, right, y + p + 1, std::move(text), align, p / 2, true);
}

// The texts of a label.
struct LabelTexts {
  std::string sec, mah, mwh, av, ir, pir, cut, da, id;
};

LabelTexts MakeLabelTexts(const CMeasureData& r, int labelType) {
  const RecordTexts v = MakeRecordTexts(r);
  LabelTexts t;
  t.sec = "SEC " + v.seconds;
  t.mah = "mAh " + v.capacity;
  t.mwh = "mWh " + v.energy;
  t.av = "AV  " + v.avgVoltage2;
  t.ir = "IR  " + v.resistance;
  if (labelType == 0 || labelType == 1) t.ir += Sj("mΩ");
  t.pir = "PIR " + v.pir;
  t.cut = "CUT " + v.endVoltage;
  t.da = "DA  " + v.currentA;
  t.id = v.id;
  return t;
}

}  // namespace

int DeviceToMm(int units, int dpi) {
  if (dpi <= 0) return 0;
  return TruncInt(units * 25.4 / dpi);
}

std::pair<int, int> LabelLineLayout(int labelType) {
  if (labelType == 0) return {12, 13};
  if (labelType == 1) return {9, 18};
  return {5, 20};
}

PageMetrics ComputePageMetrics(const PrinterDevice& d, const PrintSettings& s) {
  PageMetrics m;
  m.offsetX = DeviceToMm(d.offsetX, d.dpiX);
  m.offsetY = DeviceToMm(d.offsetY, d.dpiY);
  m.pageWidth = DeviceToMm(d.paperWidth, d.dpiX);
  m.pageHeight = DeviceToMm(d.paperHeight, d.dpiY);
  if (s.form == kPrintGraphs || s.form == kPrintTable) {
    m.pitch = (m.pageWidth - 2 * s.topX) * 10 / 70;
    // Margins wider than the paper would give no pitch at all; one unit
    // keeps every later division defined.
    m.pitch = std::max(m.pitch, 1);
    m.fontSize = 7 * m.pitch;
    if (s.form == kPrintTable) {
      const int lines = s.tableLine > 0 ? s.tableLine : 2;
      m.recordsPerTablePage = ((m.pageHeight - 2 * s.topY) * 10 / m.pitch - 6) / lines;
      m.recordsPerTablePage = std::max(m.recordsPerTablePage, 1);
    }
  } else {
    auto [l, chars] = LabelLineLayout(s.labelType);
    const int o = (10 * s.labelH - 20) / l;
    const int t = (10 * s.labelW - 40) / chars;
    if (9 * o < 18 * t) {
      m.pitch = o;
      m.fontSize = 9 * o;
    } else {
      m.pitch = 2 * t;
      m.fontSize = 18 * t;
    }
  }
  const int screenDpi = d.screenDpiY > 0 ? d.screenDpiY : 96;
  m.charHeight = m.fontSize * screenDpi / 720;
  return m;
}

std::pair<int, int> PaperToLogical(const PageMetrics& m, int x, int y) {
  return {x - 10 * m.offsetX, 10 * m.offsetY - y};
}

DrawList PrintLayout::NewList() const {
  DrawList list;
  list.fontFace = settings.font;
  list.fontSize = metrics.fontSize;
  list.charHeight = metrics.charHeight;
  return list;
}

std::vector<std::pair<int, int>> TableColumnEdges(int x, int pitch) {
  std::vector<std::pair<int, int>> edges;
  for (size_t i = 0; i < std::size(kTableColumns); ++i) {
    if (i == 9) x += 5;  // 0.5 mm gap before the currents
    edges.emplace_back(x, x + kTableColumns[i].width * pitch);
    x += kTableColumns[i].width * pitch;
  }
  return edges;
}

void DrawTableHeader(DrawList& out, const PrintLayout& layout, int y) {
  const int p = layout.Pitch();
  const auto edges = TableColumnEdges(layout.Left(), p);
  out.Cell(edges[0].first, y, edges[1].second, y + p + 1, "", HAlign::kCenter, p / 2, true);
  for (size_t i = 2; i < edges.size(); ++i)
    TableCell(out, edges[i].first, edges[i].second, y, p, Sj(kTableColumns[i].title),
              HAlign::kCenter);
  for (size_t i = 0; i < edges.size(); ++i)
    TableCell(out, edges[i].first, edges[i].second, y + p, p, Sj(kTableColumns[i].unit),
              i < 2 ? HAlign::kLeft : HAlign::kRight);
}

void DrawTableRow(DrawList& out, const PrintLayout& layout, const CMeasureData& r, int y) {
  const int p = layout.Pitch();
  const auto edges = TableColumnEdges(layout.Left(), p);
  std::vector<std::string> texts = TableRowTexts(r);
  for (size_t i = 0; i < edges.size(); ++i)
    TableCell(out, edges[i].first, edges[i].second, y, p, std::move(texts[i]),
              kTableColumns[i].align);
  if (layout.settings.tableLine >= 2)
    out.Cell(edges.front().first, y + p, edges.back().second, y + 2 * p, r.remark, HAlign::kLeft,
             p / 2, false);
}

void DrawLogoAndNotice(DrawList& out, const PrintLayout& layout, int y) {
  const int p = layout.Pitch();
  const int left = layout.Left();
  const int top = y + 10;
  const int w = TruncInt(2 * p * 3.96);
  out.Image(LogoImage::kHorizontal, left, top, left + w, top + 2 * p);
  out.Cell(left + w + 10, top + p, layout.Right(), top + 2 * p, kMakerNotice, HAlign::kLeft, 0,
           false);
}

DrawList TablePageList(const PrintLayout& layout, const PrintPage& page, int pageNumber,
                       int pageCount) {
  DrawList out = layout.NewList();
  const int p = layout.Pitch();
  const int top = layout.Top();
  out.Cell(layout.Left(), top, layout.Right(), top + p, Sj("計測データ一覧表"), HAlign::kCenter, 0,
           false);
  out.Cell(layout.Left(), top, layout.Right(), top + p,
           Format("(Page %d/%d)", pageNumber, pageCount), HAlign::kRight, 0, false);
  DrawTableHeader(out, layout, top + 2 * p);
  const int step = layout.settings.tableLine * p;
  int y = top + 4 * p;
  for (const CMeasureData* r : page.records) {
    DrawTableRow(out, layout, *r, y);
    y += step;
  }
  DrawLogoAndNotice(out, layout, y);
  return out;
}

GraphPageGeometry ComputeGraphPageGeometry(const PrintLayout& layout) {
  const PageMetrics& m = layout.metrics;
  const int p = layout.Pitch();
  const int cx = std::max(layout.graphCX, 1);
  const int cy = std::max(layout.graphCY, 1);
  GraphPageGeometry g;
  g.areaEnd =
      (m.pageHeight - layout.settings.topY) * 10 - (cx * cy * layout.settings.tableLine + 5) * p;
  g.cellHeight = (g.areaEnd - layout.Top()) / cy;
  g.cellWidth = (m.pageWidth - 2 * layout.settings.topX) * 10 / cx;
  return g;
}

void DrawGraphCell(DrawList& out, const PrintLayout& layout, const CMeasureData& r, int left,
                   int top, int right, int bottom) {
  const int span = layout.settings.graphWS > 0 ? layout.settings.graphWS : r.GetDischargeTime();
  AppendGraphCell(out, r, layout.graph, {left, top, right, bottom, layout.Pitch(), span});
}

namespace {

// The table of a graph sheet's records from the graph area's end, then the
// logo and the notice.
void DrawSheetTable(DrawList& out, const PrintLayout& layout,
                    const std::vector<const CMeasureData*>& records, int areaEnd) {
  const int p = layout.Pitch();
  DrawTableHeader(out, layout, areaEnd + p);
  int y = areaEnd + 3 * p;
  for (const CMeasureData* r : records) {
    DrawTableRow(out, layout, *r, y);
    y += layout.settings.tableLine * p;
  }
  DrawLogoAndNotice(out, layout, y);
}

}  // namespace

DrawList GraphPageList(const PrintLayout& layout, const PrintPage& page) {
  DrawList out = layout.NewList();
  const GraphPageGeometry g = ComputeGraphPageGeometry(layout);
  std::vector<const CMeasureData*> records;
  for (size_t i = 0; i < page.rows.size(); ++i) {
    for (size_t j = 0; j < page.rows[i].size(); ++j) {
      const CMeasureData* r = page.rows[i][j];
      if (!r) continue;
      const int left = layout.Left() + static_cast<int>(j) * g.cellWidth;
      const int top = layout.Top() + static_cast<int>(i) * g.cellHeight;
      DrawGraphCell(out, layout, *r, left, top, left + g.cellWidth, top + g.cellHeight);
      records.push_back(r);
    }
  }
  DrawSheetTable(out, layout, records, g.areaEnd);
  return out;
}

DrawList PackGraphPageList(const PrintLayout& layout,
                           const std::vector<const CMeasureData*>& records,
                           const std::string& title) {
  DrawList out = layout.NewList();
  // The graph area leaves room for a table row per curve.
  PrintLayout rows = layout;
  rows.graphCX = static_cast<int>(kPackCurvesPerSheet);
  rows.graphCY = 1;
  const int areaEnd = ComputeGraphPageGeometry(rows).areaEnd;
  std::vector<GraphCurve> curves;
  int span = layout.settings.graphWS;
  for (size_t i = 0; i < records.size() && i < kPackCurvesPerSheet; ++i) {
    curves.push_back({records[i], static_cast<int>(i) + 2});
    if (layout.settings.graphWS <= 0) span = std::max(span, records[i]->GetDischargeTime());
  }
  AppendGraphCell(out, curves, layout.graph,
                  {layout.Left(), layout.Top(), layout.Right(), areaEnd, layout.Pitch(), span},
                  title);
  DrawSheetTable(out, layout, {records.begin(), records.begin() + curves.size()}, areaEnd);
  // A square of its curve's colour in the margin beside each row.
  const int p = layout.Pitch();
  const int right = std::max(layout.Left() - 10, 20);
  for (size_t i = 0; i < curves.size(); ++i) {
    const int top = areaEnd + 3 * p + static_cast<int>(i) * layout.settings.tableLine * p + p / 4;
    DrawItem& mark = out.Cell(right - 20, top, right, top + 20, "", HAlign::kLeft, 0, false);
    mark.fill = true;
    mark.fillColor = SlotColor(curves[i].slot);
  }
  return out;
}

void DrawPageHeader(DrawList& out, const PrintLayout& layout, const std::string& text) {
  const int p = layout.Pitch();
  const int top = std::max(layout.Top() - 2 * p, 0);
  out.Cell(layout.Left(), top, layout.Right(), top + p, text, HAlign::kLeft, 0, false);
}

void DrawLabel(DrawList& out, const PrintLayout& layout, const CMeasureData& r, int left, int top) {
  const PrintSettings& s = layout.settings;
  const int p = layout.Pitch();
  const int x0 = left + 20, y0 = top + 10;
  const bool logo = s.LogoOnLabels();
  LabelTexts t = MakeLabelTexts(r, s.labelType);
  // Every text is clipped to its box: from its place to the end of its column
  // (the label's text area ends 2 mm inside its right edge), as high as a
  // line's characters.
  const int textRight = left + 10 * s.labelW - 20;
  const int lineHeight = std::max(p, layout.metrics.charHeight);
  auto boxed = [&](int x, int right, int k, std::string text) {
    DrawItem& d = out.Text(x, y0 + k * p, std::move(text));
    d.x2 = std::max(right, x + 1);  // a box even where no room is left
    d.y2 = d.y1 + lineHeight;
  };
  auto line = [&](int x, int k, std::string text) { boxed(x, textRight, k, std::move(text)); };

  if (s.labelType == 0) {
    if (logo) {
      int w = TruncInt((10 * s.labelW - 40) * 0.95);
      int h = TruncInt(w * 0.2525);
      if (TruncInt(2.5 * p) < h) {
        h = TruncInt(2.5 * p);
        w = TruncInt(h * 3.96);
      }
      const int y = y0 + (3 * p - h) / 2;
      out.Image(LogoImage::kHorizontal, x0, y, x0 + w, y + h);
    }
    int k = 3;
    for (std::string* text : {&t.sec, &t.mah, &t.mwh, &t.av, &t.ir, &t.pir, &t.cut, &t.da, &t.id})
      line(x0, k++, std::move(*text));
  } else if (s.labelType == 1) {
    if (logo) {
      int w = TruncInt(3 * p * 0.95);
      int h = TruncInt(w * 3.92);
      if (h > 9 * p) {
        h = 9 * p;
        w = TruncInt(9 * p * 0.255);
      }
      out.Image(LogoImage::kVertical, x0, y0, x0 + w, y0 + h);
    }
    int k = 0;
    for (std::string* text : {&t.sec, &t.mah, &t.mwh, &t.av, &t.ir, &t.pir, &t.cut, &t.da, &t.id})
      line(x0 + 3 * p, k++, std::move(*text));
  } else {
    const int half = (10 * s.labelW - 40) / 2 - p / 2;
    const int x1 = x0 + half;
    int k = 0;
    for (std::string* text : {&t.sec, &t.mah, &t.cut, &t.da})
      boxed(x0, x1, k++, std::move(*text));
    k = 0;
    for (std::string* text : {&t.mwh, &t.av, &t.ir, &t.pir})
      line(x1, k++, std::move(*text));
    if (logo) {
      int w = TruncInt(half * 0.95);
      int h = TruncInt(w * 0.2525);
      if (p < h) {
        h = p;
        w = TruncInt(p * 3.96);
      }
      out.Image(LogoImage::kHorizontal, x0, y0 + 4 * p, x0 + w, y0 + 4 * p + h);
    }
    line(x1 - TruncInt(p * 0.5), 4, std::move(t.id));
  }
}

DrawList LabelPageList(const PrintLayout& layout, const PrintPage& page) {
  DrawList out = layout.NewList();
  const PrintSettings& s = layout.settings;
  for (size_t i = 0; i < page.rows.size(); ++i) {
    for (size_t j = 0; j < page.rows[i].size(); ++j) {
      const CMeasureData* r = page.rows[i][j];
      if (!r) continue;  // a blank label position
      const int left = (s.topX + static_cast<int>(j) * (s.labelW + s.labelGX)) * 10;
      const int top = (s.topY + static_cast<int>(i) * (s.labelH + s.labelGY)) * 10;
      DrawLabel(out, layout, *r, left, top);
    }
  }
  return out;
}

void CPrintEngine::BeginPrinting(const CSettingsStore& settings, const PrinterDevice& device,
                                 const RecordList& list,
                                 const std::vector<const CMeasureData*>& selected,
                                 const GraphSettings& graph) {
  BeginPrinting(ReadPrintSettings(settings), device, list, selected, graph);
}

void CPrintEngine::BeginPrinting(const PrintSettings& settings, const PrinterDevice& device,
                                 const RecordList& list,
                                 const std::vector<const CMeasureData*>& selected,
                                 const GraphSettings& graph) {
  layout_ = PrintLayout{};
  layout_.settings = settings;
  layout_.graph = graph;
  pages_.clear();
  layout_.metrics = ComputePageMetrics(device, layout_.settings);
  const std::vector<const CMeasureData*> records =
      FilterPrintRecords(list, layout_.settings, selected);
  const PrintSettings& s = layout_.settings;
  layout_.graphCX = s.graphCX;
  layout_.graphCY = s.graphCY;
  switch (s.form) {
    case kPrintGraphs:
      if (layout_.metrics.pageWidth > layout_.metrics.pageHeight)
        std::swap(layout_.graphCX, layout_.graphCY);
      pages_ = PaginateGraphs(records, layout_.graphCX, layout_.graphCY);
      break;
    case kPrintTable:
      pages_ = PaginateTable(records, layout_.metrics.recordsPerTablePage);
      break;
    default:
      pages_ = PaginateLabels(records, list.empty(), s.labelDummy, s.labelCX, s.labelCY);
      break;
  }
}

int CPrintEngine::GetPageCount() const {
  return std::max<int>(1, static_cast<int>(pages_.size()));
}

DrawList CPrintEngine::PrintPage(int pageNumber) const {
  if (pageNumber < 1 || pageNumber > static_cast<int>(pages_.size())) return layout_.NewList();
  const qv::PrintPage& page = pages_[static_cast<size_t>(pageNumber - 1)];
  switch (layout_.settings.form) {
    case kPrintGraphs:
      return GraphPageList(layout_, page);
    case kPrintTable:
      return TablePageList(layout_, page, pageNumber, GetPageCount());
    default:
      return LabelPageList(layout_, page);
  }
}

}  // namespace qv
