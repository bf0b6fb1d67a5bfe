#include "windows/OpenFailure.h"

#include "language/Language.h"

#include <QMessageBox>
#include <QPushButton>

void ShowOpenFailure(QWidget* owner, const QString& text, const QString& target) {
    const Lang& table = Lang::Instance();
    auto* message = new QMessageBox(QMessageBox::Warning, table.stMessage, text.arg(target),
                                    QMessageBox::Ok, owner);
    message->setObjectName(QStringLiteral("msgOpenFailure"));
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->setWindowModality(Qt::NonModal);
    // The address is meant to be copied into a browser.
    message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (!table.stBtnOk.isEmpty()) {
        message->button(QMessageBox::Ok)->setText(table.stBtnOk);
    }
    message->show();
}
