#include "client/qt/app_icon.h"

#include <QDir>

QIcon AppIcon::Load() {
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons"));
    for (const QString& name : folder.entryList(QDir::Files)) {
        icon.addFile(folder.filePath(name));
    }
    return icon;
}
