// The closing buttons of a dialog: the accepting one (the default button)
// and the cancelling one, side by side at the right of one row. Enter
// presses the button that has the keyboard focus, else the default one.
#pragma once

#include <QHBoxLayout>
#include <QPushButton>
#include <QString>

namespace qv::ui {

struct DialogButtons {
  QPushButton* accept = nullptr;
  QPushButton* cancel = nullptr;
  QHBoxLayout* row = nullptr;
};

inline DialogButtons MakeDialogButtons(QWidget* dialog, const QString& acceptText,
                                       const QString& cancelText) {
  DialogButtons b;
  b.accept = new QPushButton(acceptText, dialog);
  b.accept->setDefault(true);
  b.cancel = new QPushButton(cancelText, dialog);
  b.row = new QHBoxLayout;
  b.row->addStretch(1);
  b.row->addWidget(b.accept);
  b.row->addWidget(b.cancel);
  return b;
}

}  // namespace qv::ui
