#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class frmAbout;
}

// The About window: the maker's heading and the program's version on a black frameless
// window. Built anew for each showing, so that its captions follow the current language.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* owner = nullptr);
    ~TfrmAbout() override;

    void btnCloseFormClick();

private:
    std::unique_ptr<Ui::frmAbout> ui;
};

// Shows a new About window modally at its stored position; returns when it has been closed,
// and the window is then released. Errors go to the caller, whose guard swallows them.
void ShowAboutWindow(QWidget* owner);
