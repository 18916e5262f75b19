// The one painter of the core's drawing lists (the graph on the screen and in
// the bitmap export, the export's table overlay, printed pages). The core has
// placed every line, cell, text, curve and logo in the list's unit; a mapper
// turns those units into device coordinates and the painter only draws. A cell's text is aligned in
// the cell less its inset and vertically centred; where its line is taller than the room it hangs
// from the room's top, so that only the descent can be lost. A framed cell's text may run into the
// inset (a title a little wider than its column shows whole) and is clipped to the inside of the
// frame; an unframed cell's text to the cell less its inset. A text with a box (x2 > x1) is clipped
// to that box.
#pragma once

#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QStaticText>
#include <string>
#include <unordered_map>

#include "output/draw_list.h"
#include "output/print_layout.h"

namespace qv::ui {

// How one drawing list's units become device coordinates.
class DrawListMapper {
 public:
  virtual ~DrawListMapper() = default;
  virtual QPointF Point(int x, int y) const = 0;
  // The area of a cell spanning x1..x2 and y1..y2.
  virtual QRectF Cell(int x1, int y1, int x2, int y2) const = 0;
  // The rectangle a cell's frame is drawn along.
  virtual QRectF Frame(const QRectF& cell) const = 0;
  // The inside of a framed cell: what its frame lines leave.
  virtual QRectF Inside(const QRectF& cell) const = 0;
  virtual double Width(int units) const = 0;
  virtual double PenWidth() const = 0;
  // How lines end: pixel images keep their last pixel, paper lines end where
  // the layout says.
  virtual Qt::PenCapStyle LineCap() const = 0;
  // The list's font on `painter`'s device.
  virtual QFont Font(const DrawList& list, QPainter& painter) const = 0;
};

// Pixels one to one, as the bitmap export draws: a cell covers x1..x2 - 1 and
// y1..y2 - 1, so neighbouring cells share their border line; crisp glyphs of
// the list's character height (12 when it has none).
class PixelMapper final : public DrawListMapper {
 public:
  QPointF Point(int x, int y) const override;
  QRectF Cell(int x1, int y1, int x2, int y2) const override;
  QRectF Frame(const QRectF& cell) const override;
  QRectF Inside(const QRectF& cell) const override { return cell.adjusted(1, 1, -1, -1); }
  double Width(int units) const override { return units; }
  double PenWidth() const override { return 1.0; }
  Qt::PenCapStyle LineCap() const override { return Qt::SquareCap; }
  QFont Font(const DrawList& list, QPainter& painter) const override;
};

// Paper units (0.1 mm from the paper's top-left corner) to the pixels of a
// device whose origin is the printable area's corner described by `metrics`
// and whose resolution is dpiX x dpiY. Lines are 0.1 mm, at least one pixel.
// The character height is the whole cell of a line (ascent and descent).
class PaperMapper final : public DrawListMapper {
 public:
  PaperMapper(const PageMetrics& metrics, double dpiX, double dpiY)
      : metrics_(metrics), sx_(dpiX / 254.0), sy_(dpiY / 254.0) {}
  QPointF Point(int x, int y) const override;
  QRectF Cell(int x1, int y1, int x2, int y2) const override;
  QRectF Frame(const QRectF& cell) const override { return cell; }
  QRectF Inside(const QRectF& cell) const override;
  double Width(int units) const override { return units * sx_; }
  double PenWidth() const override;
  Qt::PenCapStyle LineCap() const override { return Qt::FlatCap; }
  QFont Font(const DrawList& list, QPainter& painter) const override;

 private:
  PageMetrics metrics_;
  double sx_, sy_;
};

// The laid-out texts of label items, kept from one paint to the next (a long
// graph shows hundreds of time labels); a change of font starts afresh.
class LabelTextCache {
 public:
  const QStaticText& Get(const std::string& cp932, const QFont& font);

 private:
  QFont font_;
  std::unordered_map<std::string, QStaticText> texts_;
};

// Draws `list` with `painter` through `map`; `labels` keeps the label texts
// laid out when given. Logos are the application's resource images; without
// them nothing is drawn in their place.
void PaintDrawList(QPainter& painter, const DrawList& list, const DrawListMapper& map,
                   LabelTextCache* labels = nullptr);

}  // namespace qv::ui
