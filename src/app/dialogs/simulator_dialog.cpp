#include "app/dialogs/simulator_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

#include "analysis/dialog_texts.h"
#include "views/fonts.h"
#include "views/qt_color.h"
#include "views/qt_text.h"

namespace qv::ui {

namespace {

QRect ToRect(const PixelRect& r) {
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// A line without its end pixel, as the window system draws lines.
void DrawSegment(QPainter& p, const LineSegment& s) {
  const QPoint a(s.from.x, s.from.y), b(s.to.x, s.to.y);
  if (a == b) return;
  QPoint end = b;
  if (a.x() == b.x())
    end.ry() += b.y() > a.y() ? -1 : 1;
  else if (a.y() == b.y())
    end.rx() += b.x() > a.x() ? -1 : 1;
  p.drawLine(a, end);
}

// 9 points on a 96 dpi screen.
constexpr int kFontPixels = 12;

}  // namespace

CSimulatorDialog::CSimulatorDialog(const CBrenlowDoc& doc, QWidget* parent)
    : QDialog(parent), model_(doc.Displayed(), doc.App().graph, doc.App().avg3) {
  const SimulatorDialogTexts t = GetSimulatorDialogTexts();
  setWindowTitle(ToQt(t.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(kWidth, kHeight);

  auto* description = new QLabel(ToQt(t.description), this);
  description->setGeometry(10, 8, kWidth - 20, 18);
  auto* note = new QLabel(ToQt(t.exclusionNote), this);
  note->setGeometry(10, 28, kWidth - 20, 18);
  auto* label = new QLabel(ToQt(t.label), this);
  label->setGeometry(10, 64, 130, 22);

  // The number field is read-only: only the spin arrows (and the arrow
  // keys) change it, within the start current and 1000 A.
  current_ = new QSpinBox(this);
  current_->setGeometry(140, 62, 90, 24);
  current_->setAlignment(Qt::AlignRight);
  current_->setRange(model_.StartCurrent(), model_.MaxCurrent());
  current_->setSingleStep(1);
  current_->setValue(model_.Current());
  current_->findChild<QLineEdit*>()->setReadOnly(true);
  label->setBuddy(current_);

  close_ = new QPushButton(ToQt(t.close), this);
  close_->setGeometry(kWidth - 100, kHeight - 36, 90, 26);
  close_->setDefault(true);

  connect(current_, &QSpinBox::valueChanged, this, &CSimulatorDialog::OnCurrentChanged);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  current_->setFocus();
}

void CSimulatorDialog::OnCurrentChanged(int amperes) {
  const int used = model_.SetCurrent(amperes);
  if (used != amperes) current_->setValue(used);
  update(ToRect(CVirtualSimulator::kPlotRect));
}

void CSimulatorDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter p(this);
  const QRect plot = ToRect(CVirtualSimulator::kPlotRect);
  p.setClipRect(plot);
  p.fillRect(plot, Qt::black);

  const QColor axis = ToQColor(kPlotAxisColor);
  QPen solid(axis, 1, Qt::SolidLine);
  solid.setCosmetic(true);
  QPen dotted(axis, 1, Qt::DotLine);
  dotted.setCosmetic(true);
  QFont font = GothicFont(kFontPixels);
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  p.setBackgroundMode(Qt::TransparentMode);

  const PlotFrame frame = model_.Frame();
  p.setPen(solid);
  DrawSegment(p, frame.voltageAxis);
  DrawSegment(p, frame.timeAxis);
  for (const TimeTick& tick : frame.timeTicks)
    DrawSegment(p, tick.line);
  p.setPen(frame.dottedGrid ? dotted : solid);
  for (const VoltageTick& tick : frame.voltageTicks)
    DrawSegment(p, tick.line);

  p.setPen(Qt::white);
  for (const TimeTick& tick : frame.timeTicks) {
    if (!tick.labelled) continue;
    p.drawText(ToRect(tick.labelRect), Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
               ToQt(tick.label));
  }
  for (const VoltageTick& tick : frame.voltageTicks)
    p.drawText(ToRect(tick.labelRect), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
               ToQt(tick.label));

  for (const CurvePath& curve : model_.Curves()) {
    if (curve.points.size() < 2) continue;
    QPen pen(ToQColor(curve.color), 1, Qt::SolidLine);
    pen.setCosmetic(true);
    p.setPen(pen);
    QPolygon poly;
    poly.reserve(static_cast<int>(curve.points.size()));
    for (const PixelPoint& pt : curve.points)
      poly << QPoint(pt.x, pt.y);
    p.drawPolyline(poly);
  }
}

}  // namespace qv::ui
