#pragma once

#include "FakeWorker.h"
#include "mainwindow/Main.h"

#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class QWidget;

// Empties the process-wide language table, as at the start of the program.
void ClearLanguageTable();

// Records the addresses handed to the desktop's URL opener while it lives.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder();
    ~UrlRecorder() override;
    std::vector<QString> opened;
public slots:
    void Open(const QUrl& url);
};

// Each test runs in a folder of its own that serves as current folder, settings home and
// runtime folder; with a language file copied in when asked for.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Puts the program's lang.xml (or the given text) into the current folder.
    void UseLanguageFile(const QString& text = {});
    static QString ShippedLanguageFile();

    // A window whose searches are run by fake workers that follow `scripts` in turn (the
    // last one again once they are used up). Its start-up and search timers never fire by
    // themselves: tests tick them, and its pumping pause is short.
    std::unique_ptr<TfrmMain> MakeWindow(std::vector<std::shared_ptr<WorkerScript>> scripts = {});

    // A shown window whose first search has ended with `devices`, or as `script` says.
    std::unique_ptr<TfrmMain> AfterSearch(DeviceList devices);
    std::unique_ptr<TfrmMain> AfterScript(std::shared_ptr<WorkerScript> script);

    template <typename T = QWidget> T* Child(const TfrmMain& window, const char* name) {
        T* found = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Which of the two content panels is seen at the centre of the content area.
    static QString FrontPanel(const TfrmMain& window);

    std::string StoredLanguage() const;

    QTemporaryDir folder;
    QString previousFolder;
};
