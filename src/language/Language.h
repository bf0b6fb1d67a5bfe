#pragma once

#include <QString>

// The process-wide table of interface texts of the language loaded last.
class Lang {
public:
    static Lang& Instance();

    QString stCountry;
    QString stFile;
    QString stClose;
    QString stConnect;
    QString stLanguage;
    QString stTurkish;
    QString stEnglish;
    QString stGreek;
    QString stRussian;
    QString stRefresh;
    QString stAppName;
    QString stShow;
    QString stUtilityCaption;
    QString stNetworkList;
    QString stSearchKorvaneProducts;
    QString stMessage;
    QString stBtnRetry;
    QString stBtnOk;
    QString stYes;
    QString stNo;
    QString stProductName;
    QString stIpAddress;
    QString stAbout;
    QString stHelp;
    QString stVersion;
    QString stMnUsageGuide;
    QString stLegalNotice;

    // Texts that older language files lack: English until a file supplies them. %1 stands
    // for the address or folder.
    static constexpr const char* kEnglishCannotOpenAddress =
        "The browser could not be opened. Type this address into your browser: %1";
    static constexpr const char* kEnglishCannotOpenFolder =
        "The user manual folder could not be opened: %1";
    QString stCannotOpenAddress = QString::fromUtf8(kEnglishCannotOpenAddress);
    QString stCannotOpenFolder = QString::fromUtf8(kEnglishCannotOpenFolder);

private:
    Lang() = default;
};
