#include "guard/Guarded.h"
#include "language/Language.h"
#include "language/LanguageChoice.h"
#include "mainwindow/DeviceRowActions.h"
#include "mainwindow/KeyboardNavigation.h"
#include "mainwindow/ListAdvice.h"
#include "mainwindow/Main.h"
#include "ui_frmMain.h"
#include "windows/DataFolder.h"
#include "windows/chrome.h"

#include <QTreeWidget>
#include <array>

namespace {

QString LanguageFilePath() {
    const QString name = QStringLiteral("lang.xml");
    return DataFolderHolding(name).filePath(name);
}

// The menu item of each language, in LanguageChoice's order.
constexpr std::array<QAction * Ui::frmMain::*, LanguageChoice::kLanguageCount> kLanguageItems{
    &Ui::frmMain::mnTurkish, &Ui::frmMain::mnEnglish, &Ui::frmMain::mnRussian,
    &Ui::frmMain::mnGreek};

} // namespace

void TfrmMain::StartupLanguage() {
    language = std::make_unique<LanguageChoice>(
        *lang, kLocalMachineRoot, registryKeyPath, LanguageFilePath,
        [this](LanguageChoice::Language chosen, bool textsRead) {
            LanguageChosen(chosen, textsRead);
        });
    language->ChooseStored();
}

void TfrmMain::mnTurkishClick() {
    Guarded([this] { language->Choose(LanguageChoice::Turkish); });
}

void TfrmMain::mnEnglishClick() {
    Guarded([this] { language->Choose(LanguageChoice::English); });
}

void TfrmMain::mnRussianClick() {
    Guarded([this] { language->Choose(LanguageChoice::Russian); });
}

void TfrmMain::mnGreekClick() {
    Guarded([this] { language->Choose(LanguageChoice::Greek); });
}

void TfrmMain::LanguageChosen(LanguageChoice::Language chosen, bool textsRead) {
    // The mark shows the language in use even when the choice cannot be remembered.
    (ui.get()->*kLanguageItems[chosen])->setChecked(true);
    if (textsRead) {
        FitMenuTitle(1, lang->stFile);
        FitMenuTitle(2, lang->stLanguage);
        FitMenuTitle(3, lang->stHelp);
        ApplyLanguage();
    }
}

void TfrmMain::FitMenuTitle(int number, const QString& text) {
    ::FitMenuTitle({ui->pnlMnFile, ui->pnlMnLanguage, ui->pnlMnHelp}, number, text);
}

void TfrmMain::ApplyLanguage() {
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
}
