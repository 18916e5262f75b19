#include "views/graph_view.h"

#include <QPainter>
#include <QScrollBar>

#include "data/document.h"

namespace qv::ui {

int CGraphView::YOf(double, const Scale&) {
  return 0;
}
std::vector<CGraphView::TimeTick> CGraphView::TimeTicks(int, const Scale&) {
  return {};
}
std::vector<CGraphView::VoltTick> CGraphView::VoltTicks(const Scale&) {
  return {};
}
int CGraphView::CursorSecond(int, int, const Scale&) {
  return 0;
}
std::string CGraphView::CursorLabelText(double, int) {
  return {};
}
int CGraphView::CurveStart(const std::vector<CMeasurePoint>&) {
  return -1;
}

CGraphView::CGraphView(CBrenlowDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc) {}
CGraphView::~CGraphView() = default;
void CGraphView::Refresh() {}
void CGraphView::Follow() {}
void CGraphView::Follow(int) {}
void CGraphView::Draw(QPainter&, const QRect&, bool, bool) {}
void CGraphView::ApplySettings(const GraphSettings&) {}
int CGraphView::CursorUpdate(int) {
  return 0;
}
bool CGraphView::PrepareDetail(int) {
  return false;
}
void CGraphView::OpenPointDetail() {}
int CGraphView::ScrollX() const {
  return horizontalScrollBar()->value();
}
void CGraphView::paintEvent(QPaintEvent*) {}
void CGraphView::mouseMoveEvent(QMouseEvent*) {}
void CGraphView::mousePressEvent(QMouseEvent*) {}
void CGraphView::keyPressEvent(QKeyEvent*) {}
void CGraphView::resizeEvent(QResizeEvent*) {}
void CGraphView::scrollContentsBy(int, int) {}
void CGraphView::SetContentWidth(int) {}
void CGraphView::InvalidateStrip(int) {}

}  // namespace qv::ui
