#include "views/point_detail_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableView>

#include "analysis/point_detail.h"
#include "data/document.h"
#include "views/fonts.h"
#include "views/qt_color.h"
#include "views/qt_text.h"
#include "views/report_ctrl.h"

namespace qv::ui {

CPointDetailDialog::CPointDetailDialog(CBrenlowDoc& doc, int elapsedTime, QWidget* parent)
    : QDialog(parent), doc_(doc), time_(elapsedTime) {
  setWindowTitle(QString::fromUtf8("詳細情報"));
  setFont(GothicFont(12));
  setFixedSize(522, 204);

  auto* label = new QLabel(QString::fromUtf8("経過時間[秒]"), this);
  label->setGeometry(10, 12, 90, 18);

  // A read-only number field whose arrows step the second.
  spin_ = new QSpinBox(this);
  spin_->setGeometry(104, 10, 80, 22);
  spin_->setRange(kDetailTimeMin, kDetailTimeMax);
  spin_->setSingleStep(1);
  if (auto* field = spin_->findChild<QLineEdit*>()) field->setReadOnly(true);

  list_ = new CReportCtrl(this);
  list_->setGeometry(QRect(QPoint(10, 40), QPoint(511, 161)));
  list_->SetRowNumbers(false);
  list_->SetSortingEnabled(true);
  // The six columns fill the rectangle exactly: a frame would push the last
  // one under a scroll bar.
  list_->Table()->setFrameShape(QFrame::NoFrame);
  SetSlotPalette(*list_);
  ReportHooks hooks;
  hooks.buildColumns = [this] { BuildColumns(); };
  hooks.fillRows = [this] { FillRows(); };
  list_->SetHooks(std::move(hooks));

  auto* close = new QPushButton(QString::fromUtf8("閉じる"), this);
  close->setGeometry(432, 170, 80, 24);
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  {
    const QSignalBlocker block(spin_);
    spin_->setValue(elapsedTime);
  }
  connect(spin_, &QSpinBox::valueChanged, this, [this](int v) { SetElapsedTime(v); });
  list_->Refresh(false);
}

void CPointDetailDialog::Open(CBrenlowDoc& doc, int elapsedTime, QWidget* parent) {
  CPointDetailDialog dlg(doc, elapsedTime, parent);
  dlg.exec();
}

void CPointDetailDialog::SetElapsedTime(int t) {
  time_ = t;
  if (spin_->value() != t) {
    const QSignalBlocker block(spin_);
    spin_->setValue(t);
  }
  list_->Refresh(false);
}

void CPointDetailDialog::BuildColumns() {
  for (const DetailColumn& c : PointDetailColumns()) {
    const int column = list_->AddColumn(c.title, c.width);
    if (c.numeric) list_->SetColumnNumeric(column);
  }
}

void CPointDetailDialog::FillRows() {
  for (const PointDetailRow& row : PointDetailRows(doc_, time_)) {
    const int key = list_->InsertRow();
    for (size_t c = 0; c < row.cells.size(); ++c)
      list_->SetCellText(key, static_cast<int>(c), row.cells[c], row.paletteIndex);
  }
}

}  // namespace qv::ui
