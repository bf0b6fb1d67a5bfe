#include "guard/Guarded.h"
#include "mainwindow/FirewallProbe.h"
#include "mainwindow/ListAdvice.h"
#include "mainwindow/Main.h"
#include "mainwindow/SearchController.h"
#include "ui_frmMain.h"

#include <QTimer>
#include <QTreeWidget>
#include <optional>

void TfrmMain::btnRefreshClick() {
    Guarded([this] { SearchAgain(); });
}

void TfrmMain::SearchAgain() {
    ShowPanel(0);
    if (!foundDevices) {
        return; // start-up stopped before the list existed: no search can start
    }
    StartSearch();
}

void TfrmMain::StartSearch() {
    ui->lstNetworkList->clear();
    advice->Clear();
    ui->Progress->setValue(0);
    search->Start(*foundDevices);
}

void TfrmMain::tmrSearchTimer() {
    search->Tick();
}

void TfrmMain::SearchStepped() {
    Guarded([this] {
        QProgressBar* progress = ui->Progress;
        progress->setValue(progress->value() < 100 ? progress->value() + 1 : 0);
    });
}

void TfrmMain::SearchFinished() {
    Guarded([this] {
        // The list first: the search is over, whatever filling it or the advice meets.
        ShowPanel(1);
        FillDeviceList();
        ShowSearchAdvice();
    });
}

void TfrmMain::ShowSearchAdvice() {
    const auto& evidence = search->Evidence();
    if (!evidence) {
        advice->Clear(); // ended early: nothing to conclude
        return;
    }
    auto findings = Diagnose(*evidence);
    // Only a silent address needs the firewall, and asking the bus takes a moment.
    std::optional<LocalFirewall> firewall;
    for (auto& finding : findings) {
        if (finding.kind == FindingKind::NoAnswer) {
            if (!firewall) {
                firewall = FirewallOnThisComputer();
            }
            finding.firewall = *firewall;
        }
    }
    advice->Show(std::move(findings), *lang);
}

void TfrmMain::ShowPanel(int which) {
    QWidget* panel = which == 0 ? ui->pnlSearch : which == 1 ? ui->pnlNetworks : nullptr;
    if (panel != nullptr) {
        panel->show();
        panel->raise();
    }
}

bool TfrmMain::SearchPending() const {
    return search->Running() || tmrInit->isActive();
}

void TfrmMain::SetClock(SearchSchedule::WindowClock clock) {
    search->SetClock(clock);
}

std::int32_t TfrmMain::TickCounter() const {
    return search->TickCounter();
}

UpnpThread* TfrmMain::SearchWorker() const {
    return search->Worker();
}

std::size_t TfrmMain::RetiredWorkerCount() const {
    return search->RetiredCount();
}
