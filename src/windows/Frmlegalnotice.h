#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class legalNotice;
}

// The legal-notice window: the product's notice and the open-source licence texts in a
// read-only text box. Built anew for each showing, so that its heading and button follow the
// current language; the text is the same in every language.
class TlegalNotice : public QDialog {
    Q_OBJECT
public:
    explicit TlegalNotice(QWidget* owner = nullptr);
    ~TlegalNotice() override;

    void btnButton1Click();
    void btnCloseFormClick();

private:
    std::unique_ptr<Ui::legalNotice> ui;
};

// The notice text stored with the program (UTF-8), lines separated by '\n'.
QString LegalNoticeText();

// Shows a new legal-notice window modally at its stored position; returns when it has been
// closed, and the window is then released. Errors go to the caller, whose guard swallows them.
void ShowLegalNotice(QWidget* owner);
