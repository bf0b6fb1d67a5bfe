#include "WindowTestSupport.h"
#include "language/Language.h"
#include "mainwindow/MainPeer.h"
#include "settings/settings.h"
#include "windows/chrome.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTreeWidget>

namespace {

const char* const kKey = "\\SOFTWARE\\Korvane\\Pathmere\\";

class LanguageChoiceTest : public WindowTest {
protected:
    // The one checked item of the Language menu, or "" when none or several are.
    static QString CheckedItem(const TfrmMain& window) {
        QString checked;
        for (const char* name : {"mnEnglish", "mnGreek", "mnRussian", "mnTurkish"}) {
            if (window.findChild<QAction*>(QLatin1String(name))->isChecked()) {
                if (!checked.isEmpty()) {
                    return {};
                }
                checked = QLatin1String(name);
            }
        }
        return checked;
    }

    // The shipped file with only the sections of `codes`.
    static QString FileWithSections(const QStringList& codes) {
        QString text = ShippedLanguageFile();
        static const QRegularExpression section(
            QStringLiteral("\\s*<Language ID=\"(\\w+)\">.*?</Language>"),
            QRegularExpression::DotMatchesEverythingOption);
        QString kept;
        qsizetype last = 0;
        for (auto it = section.globalMatch(text); it.hasNext();) {
            const auto match = it.next();
            kept += text.mid(last, match.capturedStart() - last);
            if (codes.contains(match.captured(1))) {
                kept += match.captured(0);
            }
            last = match.capturedEnd();
        }
        return kept + text.mid(last);
    }

    static QString Country() { return Lang::Instance().stCountry; }
};

struct StoredCase {
    const char* name;
    const char* stored; // nullptr: nothing stored
    const char* country;
    const char* item;
    const char* storedAfter;
};

class StartupChoiceTest : public LanguageChoiceTest,
                          public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StartupChoiceTest, StoredCodeChoosesTheLanguage) {
    const StoredCase& c = GetParam();
    UseLanguageFile();
    if (c.stored != nullptr) {
        WriteRegistryValue(TfrmMain::kLocalMachineRoot, kKey, "Language", c.stored);
    }
    auto window = MakeWindow();
    EXPECT_EQ(Country(), QLatin1String(c.country));
    EXPECT_EQ(CheckedItem(*window), QLatin1String(c.item));
    EXPECT_EQ(StoredLanguage(), c.storedAfter);
    EXPECT_EQ(Child<QLabel>(*window, "lblNetworkList")->text(), Lang::Instance().stNetworkList);
}

INSTANTIATE_TEST_SUITE_P(
    Language, StartupChoiceTest,
    ::testing::Values(StoredCase{"NothingStored", nullptr, "Turkish", "mnTurkish", "TR"},
                      StoredCase{"Turkish", "TR", "Turkish", "mnTurkish", "TR"},
                      StoredCase{"English", "EN", "English", "mnEnglish", "EN"},
                      StoredCase{"Russian", "RU", "Russian", "mnRussian", "RU"},
                      StoredCase{"Greek", "EL", "Greek", "mnGreek", "EL"},
                      StoredCase{"GreekMenuCaption", "GR", "Turkish", "mnTurkish", "TR"},
                      StoredCase{"LowerCase", "el", "Turkish", "mnTurkish", "TR"},
                      StoredCase{"Empty", "", "Turkish", "mnTurkish", "TR"},
                      StoredCase{"TrailingBlank", "EN ", "Turkish", "mnTurkish", "TR"}),
    [](const ::testing::TestParamInfo<StoredCase>& row) { return std::string(row.param.name); });

TEST_F(LanguageChoiceTest, StoredNumberCountsAsUnknownAndStartUpGoesOn) {
    UseLanguageFile();
    WriteRegistryNumber(TfrmMain::kLocalMachineRoot, kKey, "Language", 1);
    auto window = MakeWindow();
    EXPECT_EQ(Country(), QStringLiteral("Turkish"));
    EXPECT_EQ(CheckedItem(*window), QStringLiteral("mnTurkish"));
    EXPECT_EQ(StoredLanguage(), "TR") << "stored back as a string";
    ASSERT_NE(TfrmMainPeer::FoundDevices(*window), nullptr) << "the rest of start-up ran";
    EXPECT_NE(TfrmMainPeer::TrayIcon(*window), nullptr);
    window->btnRefreshClick();
    EXPECT_NE(TfrmMainPeer::SearchWorker(*window), nullptr);
}

TEST_F(LanguageChoiceTest, SwitchShowsEveryTextAtOnce) {
    UseLanguageFile();
    auto window = MakeWindow();
    for (auto choose : {&TfrmMain::mnEnglishClick, &TfrmMain::mnRussianClick,
                        &TfrmMain::mnGreekClick, &TfrmMain::mnTurkishClick}) {
        (window.get()->*choose)();
        const Lang& t = Lang::Instance();
        SCOPED_TRACE(t.stCountry.toStdString());
        const std::pair<const char*, const QString*> labels[] = {
            {"lblNetworkList", &t.stNetworkList},
            {"lblSearch", &t.stSearchKorvaneProducts},
            {"mnFile", &t.stFile},
            {"mnHelp", &t.stHelp},
            {"mnLanguage", &t.stLanguage}};
        for (const auto& [name, text] : labels) {
            EXPECT_EQ(Child<QLabel>(*window, name)->text(), *text) << name;
        }
        EXPECT_EQ(Child<PanelButton>(*window, "btnNext")->text(), t.stConnect);
        EXPECT_EQ(Child<PanelButton>(*window, "btnRefresh")->text(), t.stRefresh);
        const std::pair<const char*, const QString*> items[] = {{"mnUserManual", &t.stMnUsageGuide},
                                                                {"mnLegalNotice", &t.stLegalNotice},
                                                                {"mnAbout", &t.stAbout},
                                                                {"mnClose", &t.stClose},
                                                                {"mnClose2", &t.stClose},
                                                                {"mnEnglish", &t.stEnglish},
                                                                {"mnTurkish", &t.stTurkish},
                                                                {"mnGreek", &t.stGreek},
                                                                {"mnRussian", &t.stRussian},
                                                                {"mnShow", &t.stShow}};
        for (const auto& [name, text] : items) {
            EXPECT_EQ(Child<QAction>(*window, name)->text(), *text) << name;
        }
        EXPECT_EQ(window->windowTitle(), t.stUtilityCaption);
        auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
        EXPECT_EQ(list->headerItem()->text(0), t.stProductName);
        EXPECT_EQ(list->headerItem()->text(1), t.stIpAddress);
        EXPECT_FALSE(t.stFile.isEmpty());
    }
    EXPECT_EQ(StoredLanguage(), "TR");
}

TEST_F(LanguageChoiceTest, TitlesLineUpAndColumnsResetAfterASwitch) {
    UseLanguageFile();
    auto window = MakeWindow();
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    list->setColumnWidth(0, 400);
    list->setColumnWidth(1, 30);
    window->mnGreekClick(); // "Αρχείο" is wider than "Dosya"

    auto* file = Child(*window, "pnlMnFile");
    auto* language = Child(*window, "pnlMnLanguage");
    auto* help = Child(*window, "pnlMnHelp");
    EXPECT_EQ(file->x(), 4);
    EXPECT_EQ(file->width(), Child(*window, "mnFile")->width() + 12);
    EXPECT_EQ(language->x(), file->x() + file->width());
    EXPECT_EQ(help->x(), language->x() + language->width());
    EXPECT_EQ(help->width(), Child(*window, "mnHelp")->width() + 12);
    EXPECT_GT(Child(*window, "mnFile")->width(), 31);
    EXPECT_EQ(list->columnWidth(0), 250);
    EXPECT_EQ(list->columnWidth(1), 150);
}

TEST_F(LanguageChoiceTest, MissingSectionKeepsTheTextsButStoresTheCode) {
    UseLanguageFile(FileWithSections({QStringLiteral("TR")}));
    auto window = MakeWindow();
    const QString turkish = Child<QLabel>(*window, "lblSearch")->text();
    EXPECT_EQ(turkish, Lang::Instance().stSearchKorvaneProducts);

    window->mnGreekClick();
    EXPECT_EQ(Child<QLabel>(*window, "lblSearch")->text(), turkish);
    EXPECT_EQ(Country(), QStringLiteral("Turkish"));
    EXPECT_EQ(StoredLanguage(), "EL");
    EXPECT_EQ(CheckedItem(*window), QStringLiteral("mnGreek"));

    // The next start chooses Greek again, fails again, and shows the layout's captions.
    window.reset();
    ClearLanguageTable();
    window = MakeWindow();
    EXPECT_EQ(CheckedItem(*window), QStringLiteral("mnGreek"));
    EXPECT_EQ(Child<QLabel>(*window, "mnFile")->text(), QStringLiteral("Dosya"));
    EXPECT_EQ(Child<QLabel>(*window, "lblSearch")->text(),
              QStringLiteral("Korvane ürünleri aranıyor"));
}

TEST_F(LanguageChoiceTest, WithoutALanguageFileCodesAreStillStored) {
    auto window = MakeWindow();
    EXPECT_EQ(StoredLanguage(), "TR");
    window->mnEnglishClick();
    EXPECT_EQ(StoredLanguage(), "EN");
    EXPECT_EQ(CheckedItem(*window), QStringLiteral("mnEnglish"));
    EXPECT_EQ(Child<QLabel>(*window, "mnFile")->text(), QStringLiteral("Dosya"));
    EXPECT_EQ(Child<QAction>(*window, "mnGreek")->text(), QStringLiteral("GR"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("frmMain"));
    EXPECT_EQ(TfrmMainPeer::TrayIcon(*window)->toolTip(), QString()) << "no language: an empty tip";
}

TEST_F(LanguageChoiceTest, StoreThatCannotBeWrittenStillMarksTheLanguageInUse) {
    UseLanguageFile();
    // The settings home lies below a plain file, so nothing can be written there.
    QFile blocker(folder.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("blocker/config")).toLocal8Bit());
    auto window = MakeWindow();
    EXPECT_EQ(Country(), QStringLiteral("Turkish")) << "the language is shown";
    EXPECT_EQ(CheckedItem(*window), QStringLiteral("mnTurkish"));
    ASSERT_NE(TfrmMainPeer::FoundDevices(*window), nullptr);
    window->mnGreekClick();
    EXPECT_EQ(Country(), QStringLiteral("Greek"));
    EXPECT_EQ(CheckedItem(*window), QStringLiteral("mnGreek")) << "one mark, on the one in use";
}

TEST_F(LanguageChoiceTest, TrayTipIsTheStartLanguagesNameCutTo50Characters) {
    const QString longName =
        QStringLiteral("Korvane Pathmere Ağ Aracı — 60 karakterlik uzun bir ad! 1234");
    ASSERT_EQ(longName.size(), 60);
    QString text = ShippedLanguageFile();
    text.replace(QStringLiteral("<stAppName>Korvane Pathmere</stAppName>"),
                 QStringLiteral("<stAppName>%1</stAppName>").arg(longName), Qt::CaseSensitive);
    // Only the first (Turkish) section keeps the long name; English gets a short one.
    const qsizetype english = text.indexOf(QStringLiteral("<Language ID=\"EN\">"));
    const qsizetype englishName = text.indexOf(longName, english);
    text.replace(englishName, longName.size(), QStringLiteral("Pathmere"));
    UseLanguageFile(text);

    auto window = MakeWindow();
    EXPECT_EQ(TfrmMainPeer::TrayIcon(*window)->toolTip(), longName.left(50));
    window->mnEnglishClick();
    EXPECT_EQ(Lang::Instance().stAppName, QStringLiteral("Pathmere"));
    EXPECT_EQ(TfrmMainPeer::TrayIcon(*window)->toolTip(), longName.left(50))
        << "keeps the start language";
}

// Records the folders handed to the desktop's file manager.
class FolderRecorder : public QObject {
    Q_OBJECT
public:
    FolderRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~FolderRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QStringList opened;
public slots:
    void Open(const QUrl& url) { opened << url.toLocalFile(); }
};

TEST_F(LanguageChoiceTest, UserManualOpensTheCurrentLanguagesFolder) {
    UseLanguageFile();
    QDir(folder.path()).mkpath(QStringLiteral("Doc/English"));
    QDir(folder.path()).mkpath(QStringLiteral("Doc/Turkish"));
    FolderRecorder folders;
    auto window = MakeWindow();
    auto* item = Child<QAction>(*window, "mnUserManual");
    item->trigger();
    window->mnEnglishClick();
    item->trigger();
    window->mnGreekClick(); // no Greek manual here: nothing opens
    item->trigger();
    ASSERT_EQ(folders.opened.size(), 2);
    EXPECT_EQ(folders.opened[0], folder.filePath(QStringLiteral("Doc/Turkish")));
    EXPECT_EQ(folders.opened[1], folder.filePath(QStringLiteral("Doc/English")));
}

} // namespace

#include "LanguageChoiceTest.moc"
