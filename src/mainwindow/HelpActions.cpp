#include "language/Language.h"
#include "mainwindow/Guarded.h"
#include "mainwindow/Main.h"
#include "windows/About.h"
#include "windows/Frmlegalnotice.h"
#include "windows/UserManual.h"

void TfrmMain::mnAboutClick() {
    Guarded([this] { ShowAboutWindow(this); });
}

void TfrmMain::mnUserManualClick() {
    Guarded([this] { OpenUserManual(lang->stCountry); });
}

void TfrmMain::mnLegalNoticeClick() {
    Guarded([this] { ShowLegalNotice(this); });
}
