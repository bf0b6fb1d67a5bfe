// Why the list is empty, said under it; and what is known of each listed device.
#include "WindowTestSupport.h"
#include "language/Language.h"
#include "mainwindow/DeviceRowActions.h"
#include "mainwindow/ListAdvice.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTextDocument>
#include <QTreeWidget>

namespace {

class SearchAdviceTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        UseLanguageFile();
    }

    static std::shared_ptr<WorkerScript> Script(std::vector<AddressReport> addresses,
                                                std::vector<DescriptionReport> descriptions = {},
                                                DeviceList devices = {}) {
        auto script = std::make_shared<WorkerScript>();
        script->addresses = std::move(addresses);
        script->descriptions = std::move(descriptions);
        script->devices = std::move(devices);
        script->networks = {*ParseIPv4Network("192.0.2.0/24")};
        return script;
    }

    static DescriptionReport Report(std::shared_ptr<Korvane::DeviceProperty> device,
                                    std::string modelName) {
        DescriptionReport report;
        report.host = report.sender = device->ipAddress;
        report.url = device->location;
        report.rejection = Rejection::None;
        report.manufacturer = "Korvane";
        report.modelName = std::move(modelName);
        report.device = std::move(device);
        return report;
    }

    static QLabel* Advice(const TfrmMain& window) {
        return window.findChild<QLabel*>(QStringLiteral("lblAdvice"));
    }
};

std::shared_ptr<Korvane::DeviceProperty> Router(const std::string& ip) {
    auto router = Device("Office <Router>", ip);
    router->modelNumber = "R-100";
    router->serialNumber = "KV123456";
    router->location = "http://" + ip + ":5000/rootDesc.xml";
    return router;
}

// The list is empty: what the first finding says, in a label a screen reader reads, gone when
// the next search starts.
TEST_F(SearchAdviceTest, AnEmptyListSaysWhyAndTheNextSearchClearsIt) {
    DescriptionReport foreign;
    foreign.host = foreign.sender = "192.0.2.20";
    foreign.rejection = Rejection::OtherMaker;
    foreign.manufacturer = "Acme";
    foreign.modelName = "AC1200";
    const struct {
        const char* name;
        std::shared_ptr<WorkerScript> script;
        const char* begins;
    } cases[] = {
        {"no address", Script({{"0.0.0.0", {}, 0, 0}}), "This computer is not connected"},
        {"silence", Script({{"192.0.2.1", {}, 0, 0}}),
         "No device answered the search on 192.0.2.1. A firewall on this computer is the "
         "likeliest cause: allow incoming UDP from port 1900 on the local network 192.0.2.0/24"},
        {"only another maker", Script({{"192.0.2.1", {}, 1, 0}}, {foreign}),
         "The search worked, but none of the devices that answered is a Korvane: 192.0.2.20 "
         "(Acme, AC1200)."},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        auto window = AfterScript(row.script);
        window->mnEnglishClick();
        auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
        QLabel* advice = Advice(*window);
        ASSERT_NE(advice, nullptr);
        EXPECT_TRUE(advice->isVisible());
        EXPECT_TRUE(advice->text().startsWith(QLatin1String(row.begins))) << advice->text().data();
        EXPECT_TRUE(list->viewport()->rect().contains(advice->geometry()));
        EXPECT_EQ(list->accessibleDescription(), advice->text());
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(advice);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->text(QAccessible::Name), advice->text());

        window->mnTurkishClick();
        EXPECT_NE(advice->text(), QString());
        EXPECT_FALSE(advice->text().startsWith(QLatin1String(row.begins)));

        window->btnRefreshClick();
        EXPECT_FALSE(advice->isVisible());
        EXPECT_EQ(list->accessibleDescription(), QString());
    }
}

// Listed devices and answers: nothing to say. Announcements listed while the answers were
// blocked: the firewall is named under the rows, never over them.
TEST_F(SearchAdviceTest, RowsGetAdviceOnlyWhenAnswersWereBlocked) {
    auto router = Router("192.0.2.10");
    auto healthy =
        AfterScript(Script({{"192.0.2.1", {}, 3, 1}}, {Report(router, "R-100")}, {router}));
    EXPECT_FALSE(Advice(*healthy)->isVisible());
    healthy.reset();

    auto blocked =
        AfterScript(Script({{"192.0.2.1", {}, 0, 4}}, {Report(router, "R-100")}, {router}));
    blocked->mnEnglishClick();
    QLabel* advice = Advice(*blocked);
    EXPECT_TRUE(advice->isVisible());
    EXPECT_TRUE(advice->text().startsWith(QLatin1String("No device answered the search on")));
    auto* list = Child<QTreeWidget>(*blocked, "lstNetworkList");
    EXPECT_GT(advice->geometry().top(), list->visualItemRect(list->topLevelItem(0)).bottom());
}

TEST(SearchAdviceText, NamesTheFirewallSeenAndLeavesTheRestToTheTool) {
    Finding silent{FindingKind::NoAnswer, "192.0.2.1"};
    silent.network = "192.0.2.0/24";
    silent.firewall = LocalFirewall::Ufw;
    Lang& texts = Lang::Instance();
    texts.stAdviceNoAnswer = QString::fromUtf8(Lang::kEnglishAdviceNoAnswer);
    texts.stAdviceFirewallFound = QString::fromUtf8(Lang::kEnglishAdviceFirewallFound);
    const QString text = AdviceText({silent}, true, texts);
    EXPECT_TRUE(text.endsWith(QLatin1String(" ufw is enabled on this computer."))) << text.data();
    // With rows listed, silence is worth a word only when announcements got through and no
    // other address was answered (else it is an adapter with nothing on its network).
    EXPECT_EQ(AdviceText({silent}, false, texts), QString());
    silent.announcements = 3;
    EXPECT_FALSE(AdviceText({silent}, false, texts).isEmpty());
    silent.anotherAnswered = true;
    EXPECT_EQ(AdviceText({silent}, false, texts), QString());
    Finding elsewhere{FindingKind::OtherAddress, "192.0.2.40"};
    EXPECT_EQ(AdviceText({elsewhere}, true, texts), QString());
}

TEST_F(SearchAdviceTest, ARowShowsWhatIsKnownAndCopiesItsWebAddress) {
    auto router = Router("192.0.2.10");
    auto window =
        AfterScript(Script({{"192.0.2.1", {}, 1, 0}}, {Report(router, "R-100 Pro")}, {router}));
    window->mnEnglishClick();
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    QTreeWidgetItem* row = list->topLevelItem(0);
    const QString details = QStringLiteral("Model: R-100 Pro\nModel number: R-100\n"
                                           "Serial number: KV123456\nDescription address: "
                                           "http://192.0.2.10:5000/rootDesc.xml");
    EXPECT_EQ(row->data(0, Qt::AccessibleDescriptionRole).toString(), details);
    // Shown as plain text whatever a device put in its texts.
    const QString tip = Qt::convertFromPlainText(details, Qt::WhiteSpaceNormal);
    EXPECT_EQ(row->toolTip(0), tip);
    EXPECT_EQ(row->toolTip(1), tip);
    QTreeWidgetItem marked(QStringList{QStringLiteral("x"), QStringLiteral("192.0.2.9")});
    DeviceRowActions::Describe(&marked, QStringLiteral("Model number: <b>KT</b>"));
    EXPECT_TRUE(marked.toolTip(0).contains(QLatin1String("&lt;b&gt;KT&lt;/b&gt;")))
        << marked.toolTip(0).toStdString();
    window->mnTurkishClick();
    EXPECT_TRUE(row->data(0, Qt::AccessibleDescriptionRole)
                    .toString()
                    .startsWith(QStringLiteral("Model: R-100 Pro\nModel numarası")))
        << row->toolTip(0).toStdString();

    // What is copied and opened is the address kept with the row, not the text it shows.
    row->setText(1, QStringLiteral("192.0.2.99"));
    QApplication::clipboard()->clear();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("http://192.0.2.10"));

    // The context menu: Connect opens the device, the other item copies its address.
    UrlRecorder urls;
    auto* menu = window->findChild<QMenu*>(QStringLiteral("pmDevice"));
    ASSERT_NE(menu, nullptr);
    const QPoint onRow = list->visualItemRect(row).center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, onRow,
                              list->viewport()->mapToGlobal(onRow));
    QApplication::sendEvent(list->viewport(), &request);
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000));
    EXPECT_EQ(menu->actions().at(0)->text(), QStringLiteral("Bağlan"));
    menu->actions().at(0)->trigger();
    menu->hide();
    EXPECT_EQ(urls.opened, std::vector<QString>{QStringLiteral("http://192.0.2.10")});
    QApplication::clipboard()->clear();
    menu->actions().at(1)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("http://192.0.2.10"));

    // No menu on an empty spot.
    const QPoint below(10, list->viewport()->height() - 5);
    QContextMenuEvent empty(QContextMenuEvent::Mouse, below, list->viewport()->mapToGlobal(below));
    QApplication::sendEvent(list->viewport(), &empty);
    QTest::qWait(50);
    EXPECT_FALSE(menu->isVisible());
}

} // namespace
