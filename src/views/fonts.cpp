#include "views/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace qv::ui {

namespace {

QString ResolveGothic() {
  // Monospaced gothic faces first: the Windows face is fixed-pitch for its
  // Latin letters, and the column widths were chosen for that.
  static const char* const kCandidates[] = {
      "IPAGothic",        "IPAexGothic", "TakaoGothic", "VL Gothic", "Noto Sans Mono CJK JP",
      "Noto Sans CJK JP", "IPAPGothic"};
  const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
  for (const char* c : kCandidates) {
    const QString name = QString::fromLatin1(c);
    if (families.contains(name, Qt::CaseInsensitive)) {
      QFont f(name);
      return QFontInfo(f).family();
    }
  }
  // Nothing known: let fontconfig pick a Japanese-capable face.
  QFont f(QStringLiteral("monospace"));
  f.setStyleHint(QFont::TypeWriter);
  return QFontInfo(f).family();
}

}  // namespace

QString GothicFamily() {
  static const QString family = ResolveGothic();
  return family;
}

QFont GothicFont(int pixelSize) {
  QFont f(GothicFamily());
  f.setPixelSize(pixelSize);
  f.setWeight(QFont::Normal);
  f.setStyleStrategy(QFont::PreferDefault);
  return f;
}

QString MapFaceName(const QString& face) {
  // "ＭＳ ゴシック" with an ASCII or a full-width space.
  static const QString kMsGothic1 = QString::fromUtf8("ＭＳ ゴシック");
  static const QString kMsGothic2 = QString::fromUtf8("ＭＳ　ゴシック");
  if (face == kMsGothic1 || face == kMsGothic2) return GothicFamily();
  return face;
}

}  // namespace qv::ui
