// The one place where the core's Shift-JIS texts meet Qt's strings.
#pragma once

#include <QString>
#include <string>

namespace qv::ui {

// CP932 bytes to a QString.
QString ToQt(const std::string& cp932);
// A QString to CP932 bytes (characters CP932 lacks become '?').
std::string FromQt(const QString& text);
// A UTF-8 literal written in the source, as a QString.
inline QString U8(const char* utf8) {
  return QString::fromUtf8(utf8);
}

}  // namespace qv::ui
