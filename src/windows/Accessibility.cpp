#include "windows/Accessibility.h"

#include "windows/chrome.h"

#include <QAccessibleWidget>
#include <QMenu>

namespace {

const QString& PressAction() {
    return QAccessibleActionInterface::pressAction();
}

class PanelButtonAccessible : public QAccessibleWidget {
public:
    explicit PanelButtonAccessible(PanelButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return Button()->text();
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = Button()->look() == PanelButton::Pressed;
        return state;
    }

    QStringList actionNames() const override {
        return QStringList(PressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == PressAction()) {
            Button()->click();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    PanelButton* Button() const { return static_cast<PanelButton*>(widget()); }
};

// Its label is its name, so it is not offered again as a child of its own.
class MenuTitleAccessible : public QAccessibleWidget {
public:
    explicit MenuTitleAccessible(MenuTitle* title)
        : QAccessibleWidget(title, QAccessible::MenuItem) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return Title()->text();
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.hasPopup = true;
        state.expanded = Title()->menu() != nullptr && Title()->menu()->isVisible();
        state.collapsed = !state.expanded;
        return state;
    }

    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QStringList actionNames() const override {
        return {PressAction(), QAccessibleActionInterface::showMenuAction()};
    }

    void doAction(const QString& action) override {
        if (action == PressAction() || action == QAccessibleActionInterface::showMenuAction()) {
            Title()->OpenMenu();
        }
    }

private:
    MenuTitle* Title() const { return static_cast<MenuTitle*>(widget()); }
};

QAccessibleInterface* ChromeInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("PanelButton")) {
        if (auto* button = qobject_cast<PanelButton*>(object)) {
            return new PanelButtonAccessible(button);
        }
    } else if (className == QLatin1String("MenuTitle")) {
        if (auto* title = qobject_cast<MenuTitle*>(object)) {
            return new MenuTitleAccessible(title);
        }
    }
    return nullptr;
}

} // namespace

void InstallChromeAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(ChromeInterface);
        return true;
    }();
    (void)installed;
}
