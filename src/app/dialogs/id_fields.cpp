#include "app/dialogs/id_fields.h"

#include <QLabel>

#include "app/dialogs/length_limit.h"
#include "data/registration_id.h"
#include "views/qt_text.h"

namespace qv::ui {

void AddIdFields(QHBoxLayout* row, std::array<QLineEdit*, 3>& fields, QWidget* parent) {
  for (size_t i = 0; i < 3; ++i) {
    if (i > 0) row->addWidget(new QLabel(U8("－"), parent));
    auto* f = new QLineEdit(parent);
    LimitTyping(f, static_cast<int>(RegistrationId::kFieldChars));
    f->setAlignment(Qt::AlignRight);
    f->setFixedWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    fields[i] = f;
    row->addWidget(f);
  }
}

}  // namespace qv::ui
