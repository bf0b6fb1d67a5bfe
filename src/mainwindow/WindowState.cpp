#include "guard/Guarded.h"
#include "language/Language.h"
#include "mainwindow/Main.h"
#include "mainwindow/StatusNotifierHost.h"

#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWindowStateChangeEvent>

namespace {

constexpr int kTipLength = 50; // the tip field held 50 characters and a terminator

} // namespace

void TfrmMain::btnMinimizeClick() {
    Guarded([this] {
        // "_" minimises only; the window stays on the taskbar.
        minimisingByButton = true;
        showMinimized();
        minimisingByButton = false;
    });
}

void TfrmMain::btnCloseFormClick() {
    Guarded([this] { SendToTray(); });
}

void TfrmMain::mnShowClick() {
    Guarded([this] { ShowFromTray(); });
}

void TfrmMain::ShowFromTray() {
    RestoreMainWindow();
    SearchAgain();
}

void TfrmMain::RestoreMainWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

bool TfrmMain::TrayHoldsIcon() const {
    return trayIcon != nullptr &&
           (trayProbe ? trayProbe() : QSystemTrayIcon::isSystemTrayAvailable());
}

void TfrmMain::SendToTray() {
    if (!TrayHoldsIcon()) {
        // Without a notification area a hidden window could never be brought back.
        minimisingByButton = true;
        showMinimized();
        minimisingByButton = false;
        qCDebug(lcTray) << "no tray holds the icon: the window is minimised";
        return;
    }
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
    qCDebug(lcTray) << "the window went to the tray";
}

void TfrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || minimisingByButton || !isVisible()) {
        return;
    }
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized() && !(change->oldState() & Qt::WindowMinimized)) {
        // The window manager's minimise request sends the window to the tray. Hiding inside
        // the state change itself would confuse the platform, so it follows at once after.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isMinimized() && isVisible()) {
                    Guarded([this] { SendToTray(); });
                }
            },
            Qt::QueuedConnection);
    }
}

QString TfrmMain::TrayTipText() const {
    return lang != nullptr ? lang->stAppName : QString();
}

QIcon TfrmMain::TrayIconHandle() const {
    return windowIcon();
}

bool TfrmMain::UpdateTrayIcon(int request) {
    const QString tip = TrayTipText();
    switch (request) {
    case kTrayAdd:
        if (trayIcon != nullptr) {
            return false;
        }
        trayIcon = new QSystemTrayIcon(this);
        trayIcon->setObjectName(QStringLiteral("trayIcon"));
        trayIsStatusNotifier =
            statusNotifierProbe ? statusNotifierProbe() : StatusNotifierHostPresent();
        if (trayIsStatusNotifier) {
            // The host draws the menu itself, from the one the icon carries.
            trayIcon->setContextMenu(TrayMenu);
        }
        connect(trayIcon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    TrayActivated(static_cast<int>(reason));
                });
        return true;
    case kTrayModify:
        if (trayIcon == nullptr) {
            return false;
        }
        // The icon shows once it has a picture; a shell without a notification area
        // simply never shows it.
        trayIcon->setIcon(TrayIconHandle());
        trayIcon->setToolTip(tip.left(kTipLength));
        trayIcon->show();
        return true;
    case kTrayDelete:
        if (trayIcon == nullptr) {
            return false;
        }
        trayIcon->hide();
        delete trayIcon;
        trayIcon = nullptr;
        return true;
    default:
        return false;
    }
}

void TfrmMain::TrayActivated(int reason) {
    Guarded([&] {
        switch (static_cast<QSystemTrayIcon::ActivationReason>(reason)) {
        case QSystemTrayIcon::DoubleClick:
            ShowFromTray();
            break;
        case QSystemTrayIcon::Trigger:
            // A StatusNotifierItem host's Activate, its one click. The embedded tray reports
            // every single click, both of a double click too, as Trigger: there it does nothing.
            if (trayIsStatusNotifier) {
                ShowFromTray();
            }
            break;
        case QSystemTrayIcon::Context:
            if (!trayIsStatusNotifier) {
                TrayMenu->popup(QCursor::pos());
            }
            break;
        default:
            break; // single clicks do nothing
        }
    });
}
