#include "windows/UserManual.h"

#include "windows/DataFolder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString UserManualFolder(const QString& country) {
    const QDir base = DataFolderHolding(QStringLiteral("Doc"));
    const QString manuals = QDir::cleanPath(base.absoluteFilePath(QStringLiteral("Doc")));
    const QString folder = QDir::cleanPath(base.absoluteFilePath(QStringLiteral("Doc/") + country));
    // The name comes from the language file; it may name a folder of Doc or Doc itself only.
    if (folder != manuals && !folder.startsWith(manuals + QLatin1Char('/'))) {
        return {};
    }
    return folder;
}

ManualOpening OpenUserManual(const QString& country) {
    const QString folder = UserManualFolder(country);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return ManualOpening::NoFolder;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)) ? ManualOpening::Opened
                                                                  : ManualOpening::DesktopRefused;
}
