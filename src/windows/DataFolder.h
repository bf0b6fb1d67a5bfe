#pragma once

#include <QDir>
#include <QString>

// The folder that holds the data entry `name` (lang.xml, Doc): the current folder when the
// entry is there, as when the program runs from its staged build folder; else the installed
// data folder when the entry is there, so that an installed program started from any folder
// finds its files; else the current folder, so that a missing entry fails as it always did.
QDir DataFolderHolding(const QString& name);
QDir DataFolderHolding(const QString& name, const QDir& current, const QDir& installed);

// The installed data folder, found from the program's own folder so that a relocated install
// works: "../share/pathmere" beside "bin" for the usual layout.
QDir InstalledDataFolder();
