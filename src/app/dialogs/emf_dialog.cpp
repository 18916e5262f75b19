#include "app/dialogs/emf_dialog.h"

#include <QLabel>
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

constexpr int kFontPixels = 12;  // 9 points on a 96 dpi screen

}  // namespace

CEmfDialog::CEmfDialog(const CBrenlowDoc& doc, QWidget* parent)
    : QDialog(parent), model_(doc.Displayed()) {
  const EmfDialogTexts t = GetEmfDialogTexts();
  setWindowTitle(ToQt(t.caption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFixedSize(kWidth, kHeight);

  auto* description = new QLabel(ToQt(t.description), this);
  description->setWordWrap(true);
  description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont small = description->font();
  small.setPixelSize(11);
  description->setFont(small);
  description->setGeometry(10, 4, kWidth - 20, CEmfComparison::kBarArea.top - 8);

  close_ = new QPushButton(ToQt(t.close), this);
  close_->setGeometry(kWidth - 100, kHeight - 36, 90, 26);
  close_->setDefault(true);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  close_->setFocus();
}

void CEmfDialog::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  QPainter p(this);
  const QRect area = ToRect(CEmfComparison::kBarArea);
  p.setClipRect(area);
  p.fillRect(area, Qt::black);
  QFont font = GothicFont(kFontPixels);
  font.setStyleStrategy(QFont::NoAntialias);
  p.setFont(font);
  p.setBackgroundMode(Qt::TransparentMode);
  for (const EmfBar& bar : model_.Bars()) {
    const QColor c = ToQColor(bar.color);
    p.fillRect(ToRect(bar.rect), c);
    p.setPen(c);
    p.drawText(QRect(bar.textAt.x, bar.textAt.y, 60, 12),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, ToQt(bar.text));
  }
}

}  // namespace qv::ui
