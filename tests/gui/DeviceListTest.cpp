#include "WindowTestSupport.h"
#include "mainwindow/DeviceRowActions.h"
#include "mainwindow/MainPeer.h"
#include "support/Descriptions.h"
#include "support/FakeDevice.h"
#include "support/LoopbackHttpServer.h"
#include "windows/chrome.h"

#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

LoopbackHttpServer::Responder ServeBody(const std::string& body) {
    return [body](int fd, const std::string&) {
        LoopbackHttpServer::SendAll(fd, LoopbackHttpServer::Response("200 OK", body));
    };
}

class DeviceListTest : public WindowTest {
protected:
    UrlRecorder urls;
};

// A device's name as it wrote it, through the real search and description reader to the row:
// its references decoded once, its control characters blanks; the row opens its address.
TEST_F(DeviceListTest, ARowShowsTheNameAsTheDeviceWroteIt) {
    LoopbackHttpServer http(
        ServeBody(Description("Korvane", "KT6610", "Ahmet&#39;s Office &amp; Lab\x1b[2J\tKT")),
        "127.0.0.1");
    FakeDevice device({Answer(http.Url("/d.xml"))});
    const int groupPort = FreeUdpPort();
    TfrmMain window([&] {
        auto worker =
            std::make_unique<UpnpThread>([] { return std::vector<std::string>{"0.0.0.0"}; });
        worker->searchTarget = SearchTarget{"127.0.0.1", std::to_string(device.Port()), groupPort};
        worker->networkSource = [](const std::vector<std::string>&) {
            return std::vector<Ipv4Network>{*ParseIPv4Network("127.0.0.0/8")};
        };
        return worker;
    });
    window.findChild<QTimer*>(QStringLiteral("tmrInit"))->stop();
    TfrmMainPeer::SetTrayProbe(window, [] { return false; });
    TfrmMainPeer::SetClock(window, {std::chrono::milliseconds(100), std::chrono::milliseconds(10)});
    window.btnRefreshClick();
    auto* list = Child<QTreeWidget>(window, "lstNetworkList");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() > 0; }, 30000));
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Ahmet's Office & Lab [2J KT"));
    EXPECT_EQ(RowAddress(*list->topLevelItem(0)), QStringLiteral("127.0.0.1"));
    window.btnNextClick();
    ASSERT_EQ(urls.opened.size(), 1u);
    EXPECT_EQ(urls.opened[0], QStringLiteral("http://127.0.0.1"));
}

TEST_F(DeviceListTest, NextRightAfterASearchOpensTheFirstDevice) {
    auto window =
        AfterSearch({Device("Korvane R-100", "192.168.1.1"),
                     Device("Korvane AP-300", "192.168.1.10"), Device("Korvane X-5", "10.0.0.7")});
    auto* next = Child<PanelButton>(*window, "btnNext");
    QTest::mouseClick(next, Qt::LeftButton);
    ASSERT_EQ(urls.opened.size(), 1u);
    EXPECT_EQ(urls.opened[0], QStringLiteral("http://192.168.1.1"));
    EXPECT_EQ(next->look(), PanelButton::Raised);

    // A right-button click on Next opens nothing.
    QTest::mouseClick(next, Qt::RightButton);
    EXPECT_EQ(urls.opened.size(), 1u);
}

TEST_F(DeviceListTest, DoubleClickOpensTheRowUnderThePointer) {
    auto window =
        AfterSearch({Device("Korvane R-100", "192.168.1.1"),
                     Device("Korvane AP-300", "192.168.1.10"), Device("Korvane X-5", "10.0.0.7")});
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    const QRect third = list->visualItemRect(list->topLevelItem(2));
    // The first click of a double click selects the row, the second opens it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third.center());
    ASSERT_FALSE(urls.opened.empty());
    EXPECT_EQ(urls.opened.back(), QStringLiteral("http://10.0.0.7"));
}

TEST_F(DeviceListTest, NothingSelectedOpensNothing) {
    auto window = AfterSearch({});
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    ASSERT_EQ(list->topLevelItemCount(), 0);
    QTest::mouseClick(Child(*window, "btnNext"), Qt::LeftButton);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(urls.opened.empty());

    // With rows but the selection cleared, neither.
    window->AddDeviceRow("Korvane R-100", "192.168.1.1", 0, 0);
    list->clearSelection();
    window->btnNextClick();
    EXPECT_TRUE(urls.opened.empty());
}

TEST_F(DeviceListTest, RowsShowTheRecordTextsAsTheyAre) {
    auto window =
        AfterSearch({Device("Korvane Köprü Ελλάδα", "192.168.1.1"), Device("", "192.168.1.2")});
    auto* list = Child<QTreeWidget>(*window, "lstNetworkList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("Korvane Köprü Ελλάδα"));
    EXPECT_EQ(list->topLevelItem(1)->text(0), QString());
    list->topLevelItem(0)->setSelected(false);
    list->topLevelItem(1)->setSelected(true);
    window->btnNextClick();
    ASSERT_EQ(urls.opened.size(), 1u);
    EXPECT_EQ(urls.opened[0], QStringLiteral("http://192.168.1.2"));
}

} // namespace
