#include "mainwindow/Main.h"

#include "guard/Guarded.h"
#include "language/Language.h"
#include "mainwindow/DeviceRowActions.h"
#include "mainwindow/KeyboardNavigation.h"
#include "mainwindow/ListAdvice.h"
#include "mainwindow/SearchController.h"
#include "ui_frmMain.h"
#include "windows/JpegPicture.h"
#include "windows/chrome.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace {

std::unique_ptr<UpnpThread> MakeRealWorker() {
    return std::make_unique<UpnpThread>();
}

QMenu* NamedMenu(QWidget* owner, const char* name, std::initializer_list<QAction*> items) {
    auto* menu = new QMenu(owner);
    menu->setObjectName(QLatin1String(name));
    for (QAction* item : items) {
        menu->addAction(item);
    }
    return menu;
}

} // namespace

TfrmMain::TfrmMain(WorkerFactory workerFactory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(std::make_unique<Ui::frmMain>()),
      search(new SearchController(
          workerFactory ? std::move(workerFactory) : WorkerFactory(MakeRealWorker), this)) {
    ui->setupUi(this);
    setFixedSize(584, 386);
    UseLayoutPixelFonts(this);
    InitPictureResources();
    setWindowIcon(QIcon(QStringLiteral(":/pictures/pathmere.png")));
    ui->imgBanner->setPixmap(
        QPixmap::fromImage(LoadJpegPicture(QStringLiteral(":/pictures/banner.jpg"))));
    BuildMenus();
    BuildTimers();
    ConnectControls();
    keyboard = new KeyboardNavigation(this, *ui, [this] { lstNetworkListDblClick(); });
    advice = new ListAdvice(ui->lstNetworkList);
    rowActions = new DeviceRowActions(ui->lstNetworkList, [this] { lstNetworkListDblClick(); });
    Guarded([this] {
        lang = &Lang::Instance();
        InitializeMainWindow();
    });
    // Armed whenever the language table was taken, even if a step of the start-up failed.
    if (lang != nullptr) {
        tmrInit->start();
    }
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    // A search still running is asked to stop but not waited for.
    delete search;
}

void TfrmMain::BuildMenus() {
    pmFile = NamedMenu(this, "pmFile", {ui->mnClose});
    pmLanguage =
        NamedMenu(this, "pmLanguage", {ui->mnEnglish, ui->mnGreek, ui->mnRussian, ui->mnTurkish});
    pmHelp = NamedMenu(this, "pmHelp", {ui->mnAbout, ui->mnUserManual, ui->mnLegalNotice});
    TrayMenu = NamedMenu(this, "TrayMenu", {ui->mnShow, ui->mnClose2});
    // One language is in use at a time: checking one item clears the others.
    auto* languages = new QActionGroup(this);
    for (QAction* item : {ui->mnEnglish, ui->mnGreek, ui->mnRussian, ui->mnTurkish}) {
        languages->addAction(item);
    }
    ui->pnlMnFile->setMenu(pmFile);
    ui->pnlMnLanguage->setMenu(pmLanguage);
    ui->pnlMnHelp->setMenu(pmHelp);
}

void TfrmMain::BuildTimers() {
    // The search's own timers belong to the search controller.
    tmrInit = new QTimer(this);
    tmrInit->setObjectName(QStringLiteral("tmrInit"));
    tmrInit->setInterval(1000);
}

void TfrmMain::ConnectControls() {
    connect(ui->mnClose, &QAction::triggered, this, &TfrmMain::mnCloseClick);
    connect(ui->mnClose2, &QAction::triggered, this, &TfrmMain::mnCloseClick);
    connect(ui->mnShow, &QAction::triggered, this, &TfrmMain::mnShowClick);
    connect(ui->mnTurkish, &QAction::triggered, this, &TfrmMain::mnTurkishClick);
    connect(ui->mnEnglish, &QAction::triggered, this, &TfrmMain::mnEnglishClick);
    connect(ui->mnGreek, &QAction::triggered, this, &TfrmMain::mnGreekClick);
    connect(ui->mnRussian, &QAction::triggered, this, &TfrmMain::mnRussianClick);
    connect(ui->mnAbout, &QAction::triggered, this, &TfrmMain::mnAboutClick);
    connect(ui->mnUserManual, &QAction::triggered, this, &TfrmMain::mnUserManualClick);
    connect(ui->mnLegalNotice, &QAction::triggered, this, &TfrmMain::mnLegalNoticeClick);
    connect(ui->btnRefresh, &PanelButton::clicked, this, &TfrmMain::btnRefreshClick);
    connect(ui->btnNext, &PanelButton::clicked, this, &TfrmMain::btnNextClick);
    connect(ui->btnMinimize, &PanelButton::clicked, this, &TfrmMain::btnMinimizeClick);
    connect(ui->btnCloseForm, &PanelButton::clicked, this, &TfrmMain::btnCloseFormClick);
    connect(search, &SearchController::stepped, this, &TfrmMain::SearchStepped);
    connect(search, &SearchController::finished, this, &TfrmMain::SearchFinished);
    connect(tmrInit, &QTimer::timeout, this, &TfrmMain::tmrInitTimer);
    // A double click anywhere in the list, on a row or not, opens the selected row.
    ui->lstNetworkList->viewport()->installEventFilter(this);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->lstNetworkList->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // The first click of the double click has already selected the row under the pointer.
        lstNetworkListDblClick();
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::InitializeMainWindow() {
    // First, so that searches can run whatever a later step meets.
    foundDevices = std::make_unique<DeviceList>();
    registryKeyPath = "\\SOFTWARE\\Korvane\\Pathmere\\";
    StartupLanguage();
    UpdateTrayIcon(kTrayAdd);
    UpdateTrayIcon(kTrayModify);
    ui->lstNetworkList->clear();
    SetListColumns();
    ShowPanel(0);
}

// The list's column captions in the current language, with the widths the window gives them.
void TfrmMain::SetListColumns() {
    QTreeWidget* list = ui->lstNetworkList;
    list->headerItem()->setText(0, lang->stProductName);
    list->setColumnWidth(0, 250);
    list->headerItem()->setText(1, lang->stIpAddress);
    list->setColumnWidth(1, 150);
}

void TfrmMain::ShowForAnotherStart() {
    Guarded([this] {
        // The user asked for the window: a start in the tray still pending is dropped.
        commandLine.clear();
        RestoreMainWindow();
        if (!SearchPending()) {
            SearchAgain();
        }
    });
}

void TfrmMain::tmrInitTimer() {
    Guarded([this] {
        tmrInit->stop();
        SearchAgain(); // first: the search runs even if going to the tray fails
        if (commandLine == QStringLiteral("simge")) {
            SendToTray();
        }
    });
}

void TfrmMain::mnCloseClick() {
    Guarded([this] {
        closingForGood = true;
        close();
    });
}

void TfrmMain::showEvent(QShowEvent* event) {
    if (!placed) {
        // Centred at the first showing; later showings keep the last position.
        placed = true;
        if (QScreen* where = screen()) {
            const QRect area = where->geometry();
            move(std::max(area.x(), area.x() + (area.width() - width()) / 2),
                 std::max(area.y(), area.y() + (area.height() - height()) / 2));
        }
    }
    QWidget::showEvent(event);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!closingForGood && !isMinimized()) {
        // The system's close request on a shown window only sends it to the tray.
        event->ignore();
        Guarded([this] { SendToTray(); });
        return;
    }
    closingForGood = true;
    event->accept();
    FormClose();
    QCoreApplication::quit();
}

void TfrmMain::FormClose() {
    Guarded([this] { UpdateTrayIcon(kTrayDelete); });
}

void TfrmMain::FormDestroy() {
    FormClose(); // again: the second request finds no icon
}
