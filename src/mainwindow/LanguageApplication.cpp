#include "guard/Guarded.h"
#include "language/Language.h"
#include "language/LanguageFile.h"
#include "mainwindow/DeviceRowActions.h"
#include "mainwindow/KeyboardNavigation.h"
#include "mainwindow/ListAdvice.h"
#include "mainwindow/Main.h"
#include "settings/settings.h"
#include "ui_frmMain.h"
#include "windows/DataFolder.h"
#include "windows/chrome.h"

#include <QTreeWidget>
#include <array>

namespace {

const char* const kLanguageValue = "Language";

QString LanguageFilePath() {
    const QString name = QStringLiteral("lang.xml");
    return DataFolderHolding(name).filePath(name);
}

// The four languages: the code is the section's ID in lang.xml and the value stored; Turkish
// comes first, as the fallback.
struct LanguageItem {
    const char* code;
    QAction* Ui::frmMain::*item;
};
constexpr std::array<LanguageItem, 4> kLanguages{{
    {"TR", &Ui::frmMain::mnTurkish},
    {"EN", &Ui::frmMain::mnEnglish},
    {"RU", &Ui::frmMain::mnRussian},
    {"EL", &Ui::frmMain::mnGreek},
}};

} // namespace

void TfrmMain::ChooseLanguageNumber(std::size_t index) {
    ChooseLanguage(kLanguages[index].code, ui.get()->*kLanguages[index].item);
}

void TfrmMain::mnTurkishClick() {
    ChooseLanguageNumber(0);
}

void TfrmMain::mnEnglishClick() {
    ChooseLanguageNumber(1);
}

void TfrmMain::mnRussianClick() {
    ChooseLanguageNumber(2);
}

void TfrmMain::mnGreekClick() {
    ChooseLanguageNumber(3);
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
    for (std::size_t index = 0; index < kLanguages.size(); ++index) {
        if (stored == kLanguages[index].code) {
            ChooseLanguageNumber(index);
            return;
        }
    }
    ChooseLanguageNumber(0); // nothing stored, and anything else
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
        SetListColumns();
        keyboard->NameControls(texts);
        advice->Retranslate(texts);
        rowActions->Retranslate(texts);
        DescribeRows();
    });
}
