// A length limit that only limits typing: the user cannot make a field's text
// longer than the limit, while a text the program puts into the field
// (setText) is shown whole, however long, and is then checked like any other
// value. A line edit's own maximum length would cut such a text on display.
#pragma once

#include <QLineEdit>

namespace qv::ui {

// Installs the limit on `field` (in place of any validator). Typing or pasting
// that would make the text longer than `max` characters, and longer than it
// was, is refused; deleting from a longer text is always possible.
void LimitTyping(QLineEdit* field, int max);

// The limit LimitTyping installed on `field`, or -1 when it has none.
int TypingLimit(const QLineEdit* field);

}  // namespace qv::ui
