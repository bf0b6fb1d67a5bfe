#pragma once

#include "mainwindow/Main.h"

// What tests, the start-up benchmark and the program's test tick reach inside the main window:
// its state and its seams, kept out of the window's own interface.
class TfrmMainPeer {
public:
    static const std::string& RegistryKeyPath(const TfrmMain& window) {
        return window.RegistryKeyPath();
    }
    static const DeviceList* FoundDevices(const TfrmMain& window) { return window.FoundDevices(); }
    static std::int32_t TickCounter(const TfrmMain& window) { return window.TickCounter(); }
    static UpnpThread* SearchWorker(const TfrmMain& window) { return window.SearchWorker(); }
    static std::size_t RetiredWorkerCount(const TfrmMain& window) {
        return window.RetiredWorkerCount();
    }
    static QSystemTrayIcon* TrayIcon(const TfrmMain& window) { return window.TrayIcon(); }
    static bool TrayIsStatusNotifier(const TfrmMain& window) {
        return window.TrayIsStatusNotifier();
    }
    static void SetTrayProbe(TfrmMain& window, std::function<bool()> probe) {
        window.SetTrayProbe(std::move(probe));
    }
    static void SetStatusNotifierProbe(TfrmMain& window, std::function<bool()> probe) {
        window.SetStatusNotifierProbe(std::move(probe));
    }
    static void SetClock(TfrmMain& window, SearchSchedule::WindowClock clock) {
        window.SetClock(clock);
    }
};
