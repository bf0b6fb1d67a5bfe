#pragma once

#include "discovery/SearchSchedule.h"
#include "discovery/Upnpthread.h"
#include "language/LanguageChoice.h"

#include <QIcon>
#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class DeviceRowActions;
class KeyboardNavigation;
class ListAdvice;
class SearchController;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace Ui {
class frmMain;
}

// The main window: a frameless window with its own title strip and menu bar that searches the
// network for the maker's devices and opens the chosen one's web page. Its operations are split
// over Main.cpp (start-up and shutdown), SearchCycle.cpp, DeviceList.cpp,
// LanguageApplication.cpp, HelpActions.cpp and WindowState.cpp (tray icon and window states).
class TfrmMain : public QWidget {
    Q_OBJECT
public:
    // Makes the discovery worker of each search, not yet started. The program's factory makes
    // a worker that searches the machine's own addresses; tests give workers that search
    // nothing or fake ones.
    using WorkerFactory = std::function<std::unique_ptr<UpnpThread>()>;

    explicit TfrmMain(WorkerFactory workerFactory = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The program's arguments joined by single blanks; "simge" starts the program in the tray.
    void SetCommandLine(const QString& text) { commandLine = text; }

    // Start-up and shutdown.
    void InitializeMainWindow();
    void tmrInitTimer();
    void mnCloseClick();
    // A later start asked for the window: it comes back, raised, and searches unless a search
    // is already under way.
    void ShowForAnotherStart();

    // Search cycle.
    void btnRefreshClick();
    void StartSearch();
    void tmrSearchTimer();
    void ShowPanel(int which);
    // Whether a search is under way or about to start with the first tick of tmrInit.
    bool SearchPending() const;

    // Device list and opening a device.
    void FillDeviceList();
    void AddDeviceRow(const std::string& caption, const std::string& ipText, int imageIndex,
                      int rowPosition);
    void lstNetworkListDblClick();
    void btnNextClick();

    // Language choice and application.
    void mnTurkishClick();
    void mnEnglishClick();
    void mnGreekClick();
    void mnRussianClick();
    void ApplyLanguage();
    void FitMenuTitle(int number, const QString& text);

    // Help menu.
    void mnAboutClick();
    void mnUserManualClick();
    void mnLegalNoticeClick();

    // Window states and the tray icon.
    void btnMinimizeClick();
    void btnCloseFormClick();
    void mnShowClick();
    void RestoreMainWindow();
    bool UpdateTrayIcon(int request);
    QIcon TrayIconHandle() const;
    QString TrayTipText() const;
    // Hides the window in the tray, or minimises it where no tray can hold the icon.
    void SendToTray();
    bool TrayHoldsIcon() const;

    // Codes of the settings root of the local machine and of the tray requests.
    static constexpr int kLocalMachineRoot = 1;
    static constexpr int kTrayAdd = 0;
    static constexpr int kTrayModify = 1;
    static constexpr int kTrayDelete = 2;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // State and seams for tests and tools, reached through TfrmMainPeer.
    friend class TfrmMainPeer;
    const std::string& RegistryKeyPath() const { return registryKeyPath; }
    const DeviceList* FoundDevices() const { return foundDevices.get(); }
    std::int32_t TickCounter() const;
    UpnpThread* SearchWorker() const;
    std::size_t RetiredWorkerCount() const;
    QSystemTrayIcon* TrayIcon() const { return trayIcon; }
    bool TrayIsStatusNotifier() const { return trayIsStatusNotifier; }
    // Whether the desktop has a notification area to hold the icon; tests stand in for it.
    void SetTrayProbe(std::function<bool()> probe) { trayProbe = std::move(probe); }
    // Whether the tray is a StatusNotifierItem host, asked when the icon is added; tests
    // stand in for the session bus.
    void SetStatusNotifierProbe(std::function<bool()> probe) {
        statusNotifierProbe = std::move(probe);
    }
    // The search's pace; tests shorten it.
    void SetClock(SearchSchedule::WindowClock clock);

    void BuildMenus();
    void BuildTimers();
    void ConnectControls();
    void StartupLanguage();
    // Marks a chosen language's item, and puts its texts on the screen when they were read.
    void LanguageChosen(LanguageChoice::Language chosen, bool textsRead);
    void SetListColumns();
    void SearchStepped();
    void SearchFinished();
    // The advice under the list when the search's findings call for it.
    void ShowSearchAdvice();
    // Each row's tooltip and accessible description, in the current language.
    void DescribeRows();
    void FormClose();
    void FormDestroy();
    void TrayActivated(int reason);
    // The steps the designed handlers share, run under the guard of the handler that calls them.
    void SearchAgain();        // the search panel in front, and a new search
    void ShowFromTray();       // the window back, and a new search
    void OpenSelectedDevice(); // the selected row's web page in the browser

    std::unique_ptr<Ui::frmMain> ui;
    // The search: worker, clock, device merge and retired workers.
    SearchController* search = nullptr;
    Lang* lang = nullptr;
    std::unique_ptr<LanguageChoice> language;

    std::string registryKeyPath;
    std::unique_ptr<DeviceList> foundDevices;
    QString commandLine;

    std::function<bool()> trayProbe;
    std::function<bool()> statusNotifierProbe;
    bool trayIsStatusNotifier = false;
    bool placed = false;
    // Set by the Close items and by a close request on a minimised window: the close that
    // follows ends the program instead of sending the window to the tray.
    bool closingForGood = false;
    // Set while the window minimises itself, so that the minimise is not taken for the
    // window manager's request to go to the tray.
    bool minimisingByButton = false;

    // Controls that live outside the Designer layout, named as the layout names its own.
    QMenu* pmFile = nullptr;
    QMenu* pmLanguage = nullptr;
    QMenu* pmHelp = nullptr;
    QMenu* TrayMenu = nullptr;
    QTimer* tmrInit = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;

    // Keyboard and screen-reader access to the controls above.
    KeyboardNavigation* keyboard = nullptr;
    // Under the list: why it is empty; and each row's details, copy and context menu.
    ListAdvice* advice = nullptr;
    DeviceRowActions* rowActions = nullptr;
};
