// Drawing lists: what a page, the graph or an image overlay shows, as a few
// primitives that a painter on the window side turns into pixels, printer
// pages or PDF. The core computes every position and text; the painter only
// draws them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv {

enum class HAlign { kLeft, kCenter, kRight };

// The two logo pictures of printed pages.
enum class LogoImage { kNone, kHorizontal, kVertical };

enum class DrawKind {
  kLine,      // from (x1, y1) to (x2, y2)
  kCell,      // rectangle x1..x2, y1..y2: optional fill, optional frame, one
              // line of text vertically centred, `inset` from both sides
  kText,      // text with its top-left corner at (x1, y1), clipped to the box
              // up to (x2, y2) when x2 > x1
  kImage,     // `image` stretched into the rectangle x1..x2, y1..y2
  kPolyline,  // lines joining `points` in order; with `runs`, several polylines
              // back to back (runs[i] points each), a run of one point a dot
  kLabel,     // text centred over x1..x2 in whole units ((x2 - x1 - width) / 2
              // from x1, truncated), its top at y1, never clipped
};

struct DrawItem {
  DrawKind kind = DrawKind::kLine;
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::string text;  // CP932
  HAlign align = HAlign::kLeft;
  int inset = 0;
  bool frame = false;
  bool fill = false;
  uint32_t color = 0x000000;      // text or line colour, 0xRRGGBB
  uint32_t fillColor = 0xFFFFFF;  // cell fill when `fill`
  uint32_t frameColor = 0x000000;
  bool dotted = false;  // a line drawn dotted instead of solid
  LogoImage image = LogoImage::kNone;
  std::vector<std::pair<int, int>> points;
  std::vector<int> runs;
};

// One page, graph or overlay. Coordinates are in the list's unit (0.1 mm from
// the paper's top-left corner for printed pages, pixels for the graph and the
// bitmap), with y growing downwards. Every text uses one font.
struct DrawList {
  std::string fontFace;  // CP932
  int fontSize = 0;      // tenths of a point
  int charHeight = 0;    // character height in the list's unit
  std::vector<DrawItem> items;

  DrawItem& Line(int x1, int y1, int x2, int y2) {
    DrawItem d;
    d.kind = DrawKind::kLine;
    d.x1 = x1, d.y1 = y1, d.x2 = x2, d.y2 = y2;
    items.push_back(std::move(d));
    return items.back();
  }
  DrawItem& Cell(int left, int top, int right, int bottom, std::string text, HAlign align,
                 int inset, bool frame) {
    DrawItem d;
    d.kind = DrawKind::kCell;
    d.x1 = left, d.y1 = top, d.x2 = right, d.y2 = bottom;
    d.text = std::move(text);
    d.align = align;
    d.inset = inset;
    d.frame = frame;
    items.push_back(std::move(d));
    return items.back();
  }
  DrawItem& Text(int x, int y, std::string text) {
    DrawItem d;
    d.kind = DrawKind::kText;
    d.x1 = x, d.y1 = y;
    d.text = std::move(text);
    items.push_back(std::move(d));
    return items.back();
  }
  DrawItem& Image(LogoImage image, int left, int top, int right, int bottom) {
    DrawItem d;
    d.kind = DrawKind::kImage;
    d.image = image;
    d.x1 = left, d.y1 = top, d.x2 = right, d.y2 = bottom;
    items.push_back(std::move(d));
    return items.back();
  }
  DrawItem& Polyline(std::vector<std::pair<int, int>> points) {
    DrawItem d;
    d.kind = DrawKind::kPolyline;
    d.points = std::move(points);
    items.push_back(std::move(d));
    return items.back();
  }
  DrawItem& Label(int left, int top, int right, std::string text) {
    DrawItem d;
    d.kind = DrawKind::kLabel;
    d.x1 = left, d.y1 = top, d.x2 = right, d.y2 = top;
    d.text = std::move(text);
    items.push_back(std::move(d));
    return items.back();
  }
};

}  // namespace qv
