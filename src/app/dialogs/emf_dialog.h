// The EMF comparison ("起電圧比較"): one bar per drawn record with its
// electromotive voltage per cell at 120 s. Bars, colours and texts come from
// CEmfComparison.
#pragma once

#include <QDialog>
#include <QPushButton>

#include "analysis/simulator.h"
#include "data/document.h"

namespace qv::ui {

class CEmfDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kWidth = 340;
  static constexpr int kHeight = 396;

  CEmfDialog(const CBrenlowDoc& doc, QWidget* parent);

  QPushButton* CloseButton() const { return close_; }
  const CEmfComparison& Model() const { return model_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CEmfComparison model_;
  QPushButton* close_ = nullptr;
};

}  // namespace qv::ui
