#include "windows/About.h"

#include "language/Language.h"
#include "ui_frmAbout.h"
#include "version/Version.h"
#include "windows/JpegPicture.h"
#include "windows/Pictures.h"
#include "windows/SecondaryWindow.h"
#include "windows/chrome.h"

#include <QPixmap>

TfrmAbout::TfrmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), ui(std::make_unique<Ui::frmAbout>()) {
    ui->setupUi(this);
    setFixedSize(size());
    UseLayoutPixelFonts(this);
    KeepPressesOffPanel(ui->mnTopMenu);
    setWindowIcon(AboutIcon());

    const QPixmap logo =
        QPixmap::fromImage(LoadJpegPicture(QStringLiteral(":/pictures/about-logo.jpg")));
    if (!logo.isNull()) {
        ui->imgBanner->setPixmap(logo);
        ui->imgBanner->resize(logo.size());
    }
    connect(ui->btnCloseForm, &PanelButton::clicked, this, &TfrmAbout::btnCloseFormClick);

    const Lang& table = Lang::Instance();
    ui->lblVersionCaption->setText(table.stVersion);
    ui->lblVersion->setText(QString::fromLatin1(kPathmereFullVersion));
    setWindowTitle(table.stAbout);
    // Screen readers read the dialog by its title and heading; "X" by what it does.
    setAccessibleDescription(ui->TntLabel1->text());
    ui->btnCloseForm->setAccessibleName(table.stClose);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::btnCloseFormClick() {
    close();
}

void ShowAboutWindow(QWidget* owner) {
    ShowModalAt(new TfrmAbout(owner), QPoint(523, 176));
}
