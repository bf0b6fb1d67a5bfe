#include "WindowTestSupport.h"
#include "language/Language.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>

namespace {

// The offscreen platform cannot hand anything to a desktop: with no handler registered, every
// address and folder fails to open, as on a desktop without a browser or a file manager.
class OpenFailureTest : public WindowTest {
protected:
    std::unique_ptr<TfrmMain> WindowWithOneDevice() {
        return AfterSearch({Device("Korvane R-100", "192.0.2.10")});
    }

    static QMessageBox* Message(const TfrmMain& window) {
        return window.findChild<QMessageBox*>(QStringLiteral("msgOpenFailure"));
    }
};

TEST_F(OpenFailureTest, AddressThatCannotBeOpenedIsNamedInTheCurrentLanguage) {
    UseLanguageFile();
    auto window = WindowWithOneDevice();
    window->mnRussianClick();
    window->btnNextClick();
    QMessageBox* message = Message(*window);
    ASSERT_NE(message, nullptr);
    EXPECT_TRUE(message->isVisible());
    EXPECT_FALSE(message->isModal()) << "the message blocks nothing";
    EXPECT_TRUE(message->text().startsWith(QStringLiteral("Не удалось открыть браузер")))
        << message->text().toStdString();
    EXPECT_TRUE(message->text().endsWith(QStringLiteral(": http://192.0.2.10")));
    EXPECT_EQ(message->windowTitle(), Lang::Instance().stMessage);
    message->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Message(*window), nullptr) << "released once closed";
}

TEST_F(OpenFailureTest, LanguageFileWithoutTheNewTextsFallsBackToEnglish) {
    QString text = ShippedLanguageFile();
    text.remove(
        QRegularExpression(QStringLiteral("\\s*<stCannotOpen\\w+>[^<]*</stCannotOpen\\w+>")));
    ASSERT_FALSE(text.contains(QStringLiteral("<stCannotOpen")));
    UseLanguageFile(text);
    auto window = WindowWithOneDevice();
    window->mnRussianClick(); // a Russian text of the earlier run must not linger either
    ASSERT_EQ(Lang::Instance().stCountry, QStringLiteral("Russian"));
    window->btnNextClick();
    ASSERT_NE(Message(*window), nullptr);
    EXPECT_EQ(Message(*window)->text(),
              QStringLiteral("The browser could not be opened. Type this address into your "
                             "browser: http://192.0.2.10"));
}

TEST_F(OpenFailureTest, ManualFolderThatCannotBeOpenedIsNamed) {
    UseLanguageFile();
    auto window = MakeWindow();
    window->mnUserManualClick();
    EXPECT_EQ(Message(*window), nullptr) << "no Doc/Turkish here: nothing to open, nothing said";

    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("Doc/Turkish")));
    window->mnUserManualClick();
    ASSERT_NE(Message(*window), nullptr);
    EXPECT_EQ(Message(*window)->text(), QStringLiteral("Kullanım kılavuzu klasörü açılamadı: ") +
                                            folder.filePath(QStringLiteral("Doc/Turkish")));
}

} // namespace
