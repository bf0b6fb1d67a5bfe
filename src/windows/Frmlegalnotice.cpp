#include "windows/Frmlegalnotice.h"

#include "language/Language.h"
#include "ui_Frmlegalnotice.h"
#include "windows/SecondaryWindow.h"
#include "windows/chrome.h"

#include <QFile>
#include <QScrollBar>
#include <QTextCursor>

QString LegalNoticeText() {
    QFile file(QStringLiteral(":/legal/legal-notice.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

TlegalNotice::TlegalNotice(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      ui(std::make_unique<Ui::legalNotice>()) {
    ui->setupUi(this);
    setFixedSize(size());
    UseLayoutPixelFonts(this);
    KeepPressesOffPanel(ui->pnlMessage);

    ui->TntMemo1->setPlainText(LegalNoticeText());
    ui->TntMemo1->moveCursor(QTextCursor::Start);
    ui->TntMemo1->verticalScrollBar()->setValue(0);
    connect(ui->btnButton1, &PanelButton::clicked, this, &TlegalNotice::btnButton1Click);
    connect(ui->btnCloseForm, &PanelButton::clicked, this, &TlegalNotice::btnCloseFormClick);

    const Lang& table = Lang::Instance();
    ui->lblCaption->setText(table.stLegalNotice);
    ui->lblCaption->adjustSize();
    ui->btnButton1->setText(table.stClose);
    // The window title is never shown nor translated: screen readers get the heading instead.
    setAccessibleName(table.stLegalNotice);
    ui->TntMemo1->setAccessibleName(table.stLegalNotice);
    ui->btnCloseForm->setAccessibleName(table.stClose);
}

TlegalNotice::~TlegalNotice() = default;

void TlegalNotice::btnButton1Click() {
    close();
}

void TlegalNotice::btnCloseFormClick() {
    close();
}

void ShowLegalNotice(QWidget* owner) {
    ShowModalAt(new TlegalNotice(owner), QPoint(307, 240));
}
