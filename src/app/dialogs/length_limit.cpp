#include "app/dialogs/length_limit.h"

#include <QValidator>

namespace qv::ui {

namespace {

class TypingLimitValidator final : public QValidator {
 public:
  TypingLimitValidator(QLineEdit* field, int max) : QValidator(field), field_(field), max_(max) {
    // The length of the text as it stands, after every accepted change.
    connect(field, &QLineEdit::textChanged, this,
            [this](const QString& text) { shown_ = text.size(); });
    shown_ = field->text().size();
  }

  State validate(QString& text, int&) const override {
    // A text set by the program leaves the field unmodified: shown whole.
    if (!field_->isModified()) return Acceptable;
    return text.size() <= max_ || text.size() <= shown_ ? Acceptable : Invalid;
  }

  int Max() const { return max_; }

 private:
  QLineEdit* field_;
  int max_;
  qsizetype shown_ = 0;
};

}  // namespace

void LimitTyping(QLineEdit* field, int max) {
  field->setValidator(new TypingLimitValidator(field, max));
}

int TypingLimit(const QLineEdit* field) {
  const auto* v = dynamic_cast<const TypingLimitValidator*>(field->validator());
  return v ? v->Max() : -1;
}

}  // namespace qv::ui
