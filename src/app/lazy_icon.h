// An icon that reads its picture file at its first use (painting, a pixmap
// or its size), not when it is made: the toolbar and menu icons are made
// before the main window is shown and drawn only after.
#pragma once

#include <QIcon>
#include <QString>

namespace qv::ui {

// The icon of the picture at `path` (a resource or file). A missing or
// unreadable file gives an icon that draws nothing, as QIcon(path) would.
QIcon LazyIcon(const QString& path);

}  // namespace qv::ui
