#pragma once

#include <QIcon>

// The program's icon, compiled in from the same pictures the desktop's icon theme gets, so the
// window looks like its menu entry.
class AppIcon {
public:
    // Every size that was compiled in; null only when the resource is missing.
    static QIcon Load();
};
