#include "views/qt_text.h"

#include "data/codec.h"

namespace qv::ui {

QString ToQt(const std::string& cp932) {
  return QString::fromStdString(Cp932ToUtf8(cp932));
}

std::string FromQt(const QString& text) {
  return Utf8ToCp932(text.toStdString());
}

}  // namespace qv::ui
