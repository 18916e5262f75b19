// The virtual-curve simulator ("バーチャルカーブ シミュレーター"): every suitable
// drawn record's virtual curve at one current the user steps with a spin
// control, painted in a plot of the dialog's own. The curves, the frame and
// every pixel position come from CVirtualSimulator; nothing is stored.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QSpinBox>

#include "analysis/simulator.h"
#include "data/document.h"

namespace qv::ui {

class CSimulatorDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kWidth = 670;
  static constexpr int kHeight = 466;

  CSimulatorDialog(const CBrenlowDoc& doc, QWidget* parent);

  QSpinBox* CurrentField() const { return current_; }
  QPushButton* CloseButton() const { return close_; }
  const CVirtualSimulator& Model() const { return model_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void OnCurrentChanged(int amperes);

  CVirtualSimulator model_;
  QSpinBox* current_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace qv::ui
