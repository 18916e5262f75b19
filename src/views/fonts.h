// Font faces. The texts name the Windows face "ＭＳ ゴシック", which Linux
// does not have; the program maps it to an installed Japanese gothic face so
// that sizes and metrics stay close to what the layouts expect.
#pragma once

#include <QFont>
#include <QString>

namespace qv::ui {

// The installed Japanese gothic family that stands in for "ＭＳ ゴシック"
// (IPAGothic when present). Resolved once; returns the family Qt really uses.
QString GothicFamily();
// The gothic face at a character height in pixels, normal weight.
QFont GothicFont(int pixelSize);
// "ＭＳ ゴシック" and "ＭＳ　ゴシック" (full-width space) map to GothicFamily();
// any other face name is returned unchanged.
QString MapFaceName(const QString& face);

}  // namespace qv::ui
