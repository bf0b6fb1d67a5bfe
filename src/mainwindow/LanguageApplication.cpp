#include "language/Language.h"
#include "language/LanguageFile.h"
#include "language/settings.h"
#include "mainwindow/KeyboardNavigation.h"
#include "mainwindow/Main.h"
#include "ui_frmMain.h"
#include "windows/DataFolder.h"
#include "windows/Guarded.h"
#include "windows/chrome.h"

#include <QTreeWidget>

namespace {

const char* const kLanguageValue = "Language";

QString LanguageFilePath() {
    const QString name = QStringLiteral("lang.xml");
    return DataFolderHolding(name).filePath(name);
}

} // namespace

void TfrmMain::mnTurkishClick() {
    ChooseLanguage("TR", ui->mnTurkish);
}

void TfrmMain::mnEnglishClick() {
    ChooseLanguage("EN", ui->mnEnglish);
}

void TfrmMain::mnGreekClick() {
    ChooseLanguage("EL", ui->mnGreek);
}

void TfrmMain::mnRussianClick() {
    ChooseLanguage("RU", ui->mnRussian);
}

void TfrmMain::ChooseLanguage(const std::string& code, QAction* item) {
    Guarded([&] {
        LoadLanguage(code, LanguageFilePath());
        // The mark shows the language in use even when the choice cannot be remembered.
        item->setChecked(true);
        WriteRegistryValue(kLocalMachineRoot, registryKeyPath, kLanguageValue, code);
    });
}

void TfrmMain::StartupLanguage() {
    std::string stored;
    try {
        stored = ReadRegistryValue(kLocalMachineRoot, registryKeyPath, kLanguageValue);
    } catch (const RegistryError&) {
        // A value of another type counts as an unknown one: Turkish is chosen and stored as a
        // string, and start-up goes on.
        stored.clear();
    }
    if (stored == "EN") {
        mnEnglishClick();
    } else if (stored == "RU") {
        mnRussianClick();
    } else if (stored == "EL") {
        mnGreekClick();
    } else {
        mnTurkishClick(); // "TR", nothing stored, and anything else
    }
}

void TfrmMain::LoadLanguage(const std::string& code, const QString& path) {
    Guarded([&] {
        if (!ReadLanguageFile(code, path, *lang)) {
            return; // the window keeps its texts
        }
        FitMenuTitle(1, lang->stFile);
        FitMenuTitle(2, lang->stLanguage);
        FitMenuTitle(3, lang->stHelp);
        ApplyLanguage();
    });
}

void TfrmMain::FitMenuTitle(int number, const QString& text) {
    Guarded([&] {
        ::FitMenuTitle({ui->pnlMnFile, ui->pnlMnLanguage, ui->pnlMnHelp}, number, text);
    });
}

void TfrmMain::ApplyLanguage() {
    Guarded([this] {
        const Lang& texts = *lang;
        ui->lblNetworkList->setText(texts.stNetworkList);
        ui->lblSearch->setText(texts.stSearchKorvaneProducts);
        ui->btnNext->setText(texts.stConnect);
        ui->btnRefresh->setText(texts.stRefresh);
        ui->mnFile->setText(texts.stFile);
        ui->mnHelp->setText(texts.stHelp);
        ui->mnUserManual->setText(texts.stMnUsageGuide);
        ui->mnLegalNotice->setText(texts.stLegalNotice);
        ui->mnAbout->setText(texts.stAbout);
        ui->mnClose->setText(texts.stClose);
        ui->mnClose2->setText(texts.stClose);
        ui->mnLanguage->setText(texts.stLanguage);
        ui->mnEnglish->setText(texts.stEnglish);
        ui->mnTurkish->setText(texts.stTurkish);
        ui->mnGreek->setText(texts.stGreek);
        ui->mnRussian->setText(texts.stRussian);
        ui->mnShow->setText(texts.stShow);
        setWindowTitle(texts.stUtilityCaption);
        QTreeWidget* list = ui->lstNetworkList;
        list->headerItem()->setText(0, texts.stProductName);
        list->setColumnWidth(0, 250);
        list->headerItem()->setText(1, texts.stIpAddress);
        list->setColumnWidth(1, 150);
        keyboard->NameControls(texts);
    });
}
