// Speed and resources of the program, measured on the program's own main window, built and run
// as the program's entry point does it:
//   pathmere-bench-program start RUNS   start to the first painted window, a fresh process each
//                                       run, timed from just before its fork
//   pathmere-bench-program search NETNS one whole search: CPU time and memory when the list
//                                       comes to the front, in the client namespace NETNS of
//                                       a simulated network (netns.sh)
// The window searches the network it runs in, so "start" makes an empty namespace of its own
// and "search" refuses to run outside the named test namespace.
#include "mainwindow/Main.h"

#include "discovery/RetiredWorkers.h"
#include "mainwindow/MainPeer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// True when this process runs in the named namespace of `ip netns` that a test script made.
bool InTestNamespace(const std::string& name) {
    struct stat mine {};
    struct stat named {};
    return name.rfind("pathmere-", 0) == 0 && name.find('/') == std::string::npos &&
           stat("/proc/self/ns/net", &mine) == 0 &&
           stat(("/run/netns/" + name).c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
           mine.st_ino == named.st_ino;
}

long StatusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) {
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
    }
    return -1;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage); // every thread of the process, the worker's included
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs the program's window as its entry point does; `watch` is called once the window exists.
// The result is the event loop's exit code.
int RunProgram(int argc, char** argv, const std::function<void(TfrmMain&)>& watch) {
    int result = 1;
    {
        QApplication application(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        TfrmMain frmMain;
        frmMain.SetCommandLine(QString());
        watch(frmMain);
        frmMain.show();
        result = QApplication::exec();
    }
    if (RetiredWorkers::AbandonedCount() > 0) {
        std::_Exit(result); // as the program: a search thread may still use what exit tears down
    }
    return result;
}

// Notes the first paint of the window; the time is taken when that event is done, so that the
// painting and the flush to the screen are counted.
class FirstPaint : public QObject {
public:
    FirstPaint(TfrmMain& window, long long startNs) : frmMain(window), start(startNs) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == &frmMain) {
            seen = true;
            QTimer::singleShot(0, this, [this] {
                const double ms = static_cast<double>(MonotonicNs() - start) / 1e6;
                std::printf("first_paint_ms=%.1f rss_kib=%ld\n", ms, StatusKib("VmRSS"));
                std::fflush(stdout);
                QApplication::exit(0);
            });
        }
        return false;
    }

private:
    TfrmMain& frmMain;
    long long start;
    bool seen = false;
};

int ChildStart(int argc, char** argv, long long startNs) {
    FirstPaint* watcher = nullptr;
    const int status = RunProgram(argc, argv, [&](TfrmMain& window) {
        watcher = new FirstPaint(window, startNs);
        qApp->installEventFilter(watcher);
    });
    delete watcher;
    return status;
}

int Start(int runs) {
    for (int run = 0; run < runs; ++run) {
        const std::string start = std::to_string(MonotonicNs());
        const pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", "pathmere-bench-program", "child-start", start.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "bench: start run %d failed\n", run + 1);
            return 1;
        }
    }
    return 0;
}

// Polls the window's state: a search has started once a worker exists, and has ended once the
// worker is gone and the list panel is filled.
int Search(int argc, char** argv) {
    static constexpr int kLimitSeconds = 150;
    QElapsedTimer wall;
    double searchCpuStart = 0;
    bool started = false;
    return RunProgram(argc, argv, [&](TfrmMain& window) {
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&, poll] {
            if (!started && TfrmMainPeer::SearchWorker(window) != nullptr) {
                started = true;
                wall.start();
                searchCpuStart = CpuSeconds();
            } else if (started && TfrmMainPeer::SearchWorker(window) == nullptr) {
                poll->stop();
                const double cpu = CpuSeconds();
                const auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lstNetworkList"));
                std::printf("rows=%d search_s=%.1f search_cpu_ms=%.0f total_cpu_ms=%.0f "
                            "rss_kib=%ld peak_rss_kib=%ld\n",
                            list != nullptr ? list->topLevelItemCount() : -1,
                            static_cast<double>(wall.elapsed()) / 1000.0,
                            (cpu - searchCpuStart) * 1000.0, cpu * 1000.0, StatusKib("VmRSS"),
                            StatusKib("VmHWM"));
                std::fflush(stdout);
                QApplication::exit(0);
            }
        });
        poll->start(500); // seldom, so that the watching costs next to nothing
        QTimer::singleShot(kLimitSeconds * 1000, &window, [] {
            std::fprintf(stderr, "bench: the search did not end within %d s\n", kLimitSeconds);
            QApplication::exit(1);
        });
    });
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "start" && argc == 3) {
        // A namespace of its own with only a loopback that is down: nothing to search. Its
        // children are born in it.
        if (unshare(CLONE_NEWNET) != 0) {
            std::perror("bench: a network namespace of its own (needs root)");
            return 2;
        }
        return Start(std::max(1, std::atoi(argv[2])));
    }
    if (mode == "child-start" && argc == 3) {
        return ChildStart(1, argv, std::atoll(argv[2]));
    }
    if (mode == "search" && argc == 3) {
        if (!InTestNamespace(argv[2])) {
            std::fprintf(stderr, "bench: not in the test namespace %s (see run.sh)\n", argv[2]);
            return 2;
        }
        return Search(1, argv);
    }
    std::fprintf(stderr, "usage: pathmere-bench-program start RUNS | search NETNS\n");
    return 2;
}
