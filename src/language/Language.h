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

    // Advice after a search that found nothing (or heard answers blocked), and the words of a
    // device row's details and menu. %1 and %2 stand for addresses, networks, a reason or a
    // list of devices.
    static constexpr const char* kEnglishAdviceNotConnected =
        "This computer is not connected to a network. Connect it to your router's network, by "
        "cable or Wi-Fi, then press Refresh.";
    static constexpr const char* kEnglishAdviceNoAnswer =
        "No device answered the search on %1. A firewall on this computer is the likeliest cause: "
        "allow incoming UDP from port 1900 on the local network %2 (the user manual shows how). If "
        "no firewall runs here, the network may keep devices apart (guest Wi-Fi, client "
        "isolation): connect to the main network, or by cable.";
    static constexpr const char* kEnglishAdviceFirewallFound = "%1 is enabled on this computer.";
    static constexpr const char* kEnglishAdviceOtherNetwork =
        "A device at %1 is in another network (%2), so it cannot be reached. Give this computer an "
        "address in that network for a while, or reset the router to its factory settings.";
    static constexpr const char* kEnglishAdviceUnreadable =
        "The device at %1 answered, but its description could not be read (%2). Press Refresh to "
        "try again.";
    static constexpr const char* kEnglishAdviceForeignOnly =
        "The search worked, but none of the devices that answered is a Korvane: %1.";
    static constexpr const char* kEnglishModelName = "Model";
    static constexpr const char* kEnglishModelNumber = "Model number";
    static constexpr const char* kEnglishSerialNumber = "Serial number";
    static constexpr const char* kEnglishDescriptionAddress = "Description address";
    static constexpr const char* kEnglishCopyAddress = "Copy address";
    QString stAdviceNotConnected = QString::fromUtf8(kEnglishAdviceNotConnected);
    QString stAdviceNoAnswer = QString::fromUtf8(kEnglishAdviceNoAnswer);
    QString stAdviceFirewallFound = QString::fromUtf8(kEnglishAdviceFirewallFound);
    QString stAdviceOtherNetwork = QString::fromUtf8(kEnglishAdviceOtherNetwork);
    QString stAdviceUnreadable = QString::fromUtf8(kEnglishAdviceUnreadable);
    QString stAdviceForeignOnly = QString::fromUtf8(kEnglishAdviceForeignOnly);
    QString stModelName = QString::fromUtf8(kEnglishModelName);
    QString stModelNumber = QString::fromUtf8(kEnglishModelNumber);
    QString stSerialNumber = QString::fromUtf8(kEnglishSerialNumber);
    QString stDescriptionAddress = QString::fromUtf8(kEnglishDescriptionAddress);
    QString stCopyAddress = QString::fromUtf8(kEnglishCopyAddress);

private:
    Lang() = default;
};
