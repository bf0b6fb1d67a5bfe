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

private:
    Lang() = default;
};
