#include "discovery/RetiredWorkers.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/InstanceLock.h"
#include "mainwindow/Main.h"
#include "mainwindow/MainPeer.h"
#include "version/VersionOption.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace {

// The program's arguments joined by single blanks, as given.
std::string CommandLine(int argc, char** argv) {
    std::string words;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            words += ' ';
        }
        words += argv[i];
    }
    return words;
}

// A test seam: PATHMERE_TEST_TICK_MS gives the search's tick in milliseconds, so that tests
// of the whole program see a search end in seconds instead of a minute.
void UseTestClock(TfrmMain& window) {
    bool valid = false;
    const int period = qEnvironmentVariableIntValue("PATHMERE_TEST_TICK_MS", &valid);
    if (valid && period > 0) {
        TfrmMainPeer::SetClock(
            window, SearchSchedule::WindowClock::WithPeriod(std::chrono::milliseconds(period)));
    }
}

constexpr char kHelp[] =
    "Usage: pathmere [simge]\n"
    "\n"
    "Finds the Korvane routers and access points on the local network (UPnP discovery,\n"
    "about a minute) and opens the chosen one's web management page in the browser.\n"
    "\n"
    "  simge        start in the notification area, with the window hidden\n"
    "  --version    print the version and end\n"
    "  -h, --help   print this text and end\n"
    "\n"
    "Only one Pathmere runs per user: starting it again brings the running one's window back.\n"
    "The chosen language is kept in $XDG_CONFIG_HOME/Korvane/machine.conf\n"
    "(~/.config/Korvane/machine.conf when XDG_CONFIG_HOME is not set).\n"
    "pathmere-scan runs one search from the command line; see man pathmere-scan.\n";

// Answers -h and --help before anything of the interface is built, so that no display is needed.
bool PrintHelpIfAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-h" || word == "--help") {
            std::fputs(kHelp, stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (PrintVersionIfAsked(argc, argv, "pathmere") || PrintHelpIfAsked(argc, argv))
        return 0;
    const std::string commandLine = CommandLine(argc, argv);
    // One instance per user, decided before anything is built: a later start neither writes
    // the settings nor shows an icon. It asks the running one for its window and ends.
    const std::string lockFolder = InstanceLock::Folder();
    InstanceLock::Result lockResult = InstanceLock::Result::Unavailable;
    const std::unique_ptr<InstanceLock> lock = InstanceLock::Acquire(lockFolder, lockResult);
    if (lockResult == InstanceLock::Result::HeldByAnother) {
        if (commandLine != "simge") {
            InstanceChannel::AskToShow(lockFolder, std::chrono::milliseconds(1500));
        }
        return 0;
    }
    const int listening = lock ? InstanceChannel::Listen(lockFolder) : -1;

    QApplication application(argc, argv);
    // The program ends through its Close items, not when its last window is hidden or an
    // About window closes while the main window is in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    try {
        ShowRequests laterStarts;
        if (lock) {
            laterStarts.Adopt(listening,
                              [lockFolder] { return InstanceChannel::Listen(lockFolder); });
        }
        TfrmMain frmMain;
        UseTestClock(frmMain);
        QObject::connect(&laterStarts, &ShowRequests::showRequested, &frmMain,
                         &TfrmMain::ShowForAnotherStart);
        QStringList words = QApplication::arguments(); // without the options Qt took
        words.removeFirst();
        frmMain.SetCommandLine(words.join(QLatin1Char(' ')));
        frmMain.show();
        QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QString(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QString(), QString());
    }
    if (RetiredWorkers::AbandonedCount() > 0) {
        // A search still runs: leave without tearing down what its thread may still use.
        std::_Exit(0);
    }
    return 0;
}
