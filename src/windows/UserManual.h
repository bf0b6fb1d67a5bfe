#pragma once

#include <QString>

// The user-manual folder of the language whose folder name (its stCountry text) is
// `country`: "Doc/<country>" in the folder that holds Doc (the current folder first, then the
// installed data folder), as an absolute, cleaned path. Empty when the name leads out of "Doc"
// (a name with "..").
QString UserManualFolder(const QString& country);

enum class ManualOpening {
    Opened,        // handed to the desktop's file manager
    NoFolder,      // no such folder: nothing to open
    DesktopRefused // the folder exists, but the desktop could not open it
};

// Opens the desktop's file manager on the user-manual folder of `country` when that folder
// exists, without waiting for it; otherwise does nothing.
ManualOpening OpenUserManual(const QString& country);
