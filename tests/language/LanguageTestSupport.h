#pragma once

#include "common/TempFolder.h"
#include "language/Language.h"

#include <QString>
#include <array>

// The 27 keys in the order the loader reads them, with the member each one fills.
struct KeyMember {
    const char* name;
    QString Lang::*member;
};

inline const std::array<KeyMember, 27> kReadingOrder{{
    {"stCountry", &Lang::stCountry},
    {"stConnect", &Lang::stConnect},
    {"stFile", &Lang::stFile},
    {"stClose", &Lang::stClose},
    {"stLanguage", &Lang::stLanguage},
    {"stTurkish", &Lang::stTurkish},
    {"stEnglish", &Lang::stEnglish},
    {"stGreek", &Lang::stGreek},
    {"stRussian", &Lang::stRussian},
    {"stRefresh", &Lang::stRefresh},
    {"stAppName", &Lang::stAppName},
    {"stShow", &Lang::stShow},
    {"stNetworkList", &Lang::stNetworkList},
    {"stMessage", &Lang::stMessage},
    {"stBtnRetry", &Lang::stBtnRetry},
    {"stBtnOk", &Lang::stBtnOk},
    {"stYes", &Lang::stYes},
    {"stNo", &Lang::stNo},
    {"stSearchKorvaneProducts", &Lang::stSearchKorvaneProducts},
    {"stProductName", &Lang::stProductName},
    {"stIpAddress", &Lang::stIpAddress},
    {"stUtilityCaption", &Lang::stUtilityCaption},
    {"stAbout", &Lang::stAbout},
    {"stHelp", &Lang::stHelp},
    {"stVersion", &Lang::stVersion},
    {"stMnUsageGuide", &Lang::stMnUsageGuide},
    {"stLegalNotice", &Lang::stLegalNotice},
}};
