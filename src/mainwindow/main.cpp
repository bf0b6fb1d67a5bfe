#include "mainwindow/Main.h"

#include "version/VersionOption.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <exception>

int main(int argc, char** argv) {
    if (PrintVersionIfAsked(argc, argv, "pathmere"))
        return 0;
    QApplication application(argc, argv);
    // The program ends through its Close items, not when its last window is hidden or an
    // About window closes while the main window is in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    try {
        TfrmMain frmMain;
        QStringList words = QApplication::arguments();
        words.removeFirst();
        frmMain.SetCommandLine(words.join(QLatin1Char(' ')));
        if (frmMain.FormCreate()) {
            frmMain.show();
            QApplication::exec();
        }
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
