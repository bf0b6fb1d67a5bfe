#include "guard/Guarded.h"
#include "language/Language.h"
#include "mainwindow/Main.h"
#include "windows/About.h"
#include "windows/Frmlegalnotice.h"
#include "windows/OpenFailure.h"
#include "windows/UserManual.h"

void TfrmMain::mnAboutClick() {
    Guarded([this] { ShowAboutWindow(this); });
}

void TfrmMain::mnUserManualClick() {
    Guarded([this] {
        if (OpenUserManual(lang->stCountry) == ManualOpening::DesktopRefused) {
            ShowOpenFailure(this, lang->stCannotOpenFolder, UserManualFolder(lang->stCountry));
        }
    });
}

void TfrmMain::mnLegalNoticeClick() {
    Guarded([this] { ShowLegalNotice(this); });
}
