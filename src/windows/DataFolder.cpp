#include "windows/DataFolder.h"

#include <QCoreApplication>
#include <QFileInfo>

QDir DataFolderHolding(const QString& name, const QDir& current, const QDir& installed) {
    if (QFileInfo::exists(current.filePath(name)) || !QFileInfo::exists(installed.filePath(name))) {
        return current;
    }
    return installed;
}

QDir DataFolderHolding(const QString& name) {
    return DataFolderHolding(name, QDir::current(), InstalledDataFolder());
}

QDir InstalledDataFolder() {
    // PATHMERE_DATA_FROM_PROGRAM is the data folder relative to the install's program folder.
    return QDir(QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                QStringLiteral(PATHMERE_DATA_FROM_PROGRAM)));
}
