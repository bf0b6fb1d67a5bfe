// The search sends multicast on every local address: run it only where that is wanted (for
// example inside a test namespace).
#include "ScanRun.h"

#include "Diagnosis.h"
#include "RunStats.h"
#include "ScanJson.h"
#include "ScanOutput.h"
#include "discovery/AsciiText.h"
#include "discovery/Upnpthread.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Standard output's rows and standard error's progress line, from any thread: a row first
// wipes the progress line so that the two never share a line of the terminal.
class Console {
public:
    explicit Console(bool progress) : showProgress(progress) {}

    void Out(const std::string& line) {
        std::lock_guard<std::mutex> guard(lock);
        WipeProgress();
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    void Err(const std::string& line) {
        std::lock_guard<std::mutex> guard(lock);
        WipeProgress();
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    void Progress(const std::string& text) {
        if (!showProgress)
            return;
        std::lock_guard<std::mutex> guard(lock);
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
        std::fflush(stderr);
        shown = true;
    }
    void EndProgress() {
        std::lock_guard<std::mutex> guard(lock);
        WipeProgress();
    }

private:
    void WipeProgress() {
        if (shown) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            shown = false;
        }
    }

    std::mutex lock;
    bool showProgress;
    bool shown = false;
};

std::string TableHeading(const std::string& name) {
    std::string heading = AsciiUpper(name);
    std::replace(heading.begin(), heading.end(), '_', ' ');
    return heading;
}

// Prints rows in one of the line forms: a table, tab-separated or comma-separated.
class RowPrinter {
public:
    RowPrinter(Console& out, OutputForm lineForm, bool allColumns)
        : console(out), form(lineForm), all(allColumns) {}

    void Heading(const TextTable& table) {
        if (form == OutputForm::Tsv)
            return;
        std::vector<std::string> names = ColumnNames(all);
        if (form == OutputForm::Table) {
            for (auto& name : names)
                name = TableHeading(name);
            console.Out(table.Line(names));
        } else {
            console.Out(CsvLine(names));
        }
    }
    void Row(const TextTable& table, const ScanRow& row) {
        const auto fields = RowFields(row, all);
        console.Out(form == OutputForm::Table ? table.Line(fields)
                    : form == OutputForm::Csv ? CsvLine(fields)
                                              : TsvLine(fields));
    }

private:
    Console& console;
    OutputForm form;
    bool all;
};

std::string Progress(double secondsLeft, int answers, int devices) {
    char text[160];
    if (secondsLeft > 0)
        std::snprintf(text, sizeof text, "searching: %.1f s left, %d answers heard, %d found",
                      secondsLeft, answers, devices);
    else
        std::snprintf(text, sizeof text, "reading descriptions: %d answers heard, %d found",
                      answers, devices);
    return text;
}

} // namespace

int RunScan(const ScanOptions& options) {
    const bool outTerminal = isatty(STDOUT_FILENO) == 1;
    const OutputForm form = options.form != OutputForm::Automatic ? options.form
                            : outTerminal                         ? OutputForm::Table
                                                                  : OutputForm::Tsv;
    const bool stream = options.streaming == Streaming::Automatic
                            ? outTerminal
                            : options.streaming == Streaming::On;
    const bool printAsFound = stream && form != OutputForm::Json;

    Console console(isatty(STDERR_FILENO) == 1);
    RowPrinter printer(console, form, options.all);
    const TextTable streamTable = TextTable::ForStream(options.all);
    if (printAsFound)
        printer.Heading(streamTable);

    std::atomic<int> found{0};

    const RunStats before = RunStats::Now();
    UpnpThread worker;
    worker.streamDescriptions = stream;
    worker.onDescription = [&](const DescriptionReport& report) {
        if (report.device)
            found.fetch_add(1, std::memory_order_relaxed);
        if (printAsFound && (report.device || options.all))
            printer.Row(streamTable, RowOf(report));
    };
    if (!worker.Start()) {
        std::fprintf(stderr, "pathmere-scan: the search thread could not be started\n");
        return 1;
    }
    // Ticks as the main window gives them: 0 on the first, then one more each time; the
    // acquire read of running makes the finished device list visible.
    const auto start = Clock::now();
    for (int tick = 0; worker.running.load(std::memory_order_acquire); ++tick) {
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        console.Progress(Progress(options.seconds - elapsed.count(),
                                  worker.answersHeard.load(std::memory_order_relaxed),
                                  found.load(std::memory_order_relaxed)));
        std::this_thread::sleep_for(options.tickPeriod);
        if (!worker.running.load(std::memory_order_acquire))
            break;
        worker.searchTick.store(tick);
    }
    console.EndProgress();
    if (options.stats)
        std::fprintf(stderr, "%s\n", FormatRunCost(before, RunStats::Now()).c_str());

    std::vector<ScanRow> devices;
    if (worker.deviceList) {
        for (const auto& device : *worker.deviceList)
            devices.push_back(RowOf(*device));
    }
    std::vector<ScanRow> described;
    for (const auto& report : worker.descriptionReports)
        described.push_back(RowOf(report));
    const Diagnosis diagnosis =
        Explain(SearchEvidence{worker.addressReports, worker.descriptionReports,
                               worker.searchedNetworks, DetectLocalFirewall()});

    if (form == OutputForm::Json) {
        console.Out(ScanJson(devices, options.all ? &described : nullptr, worker.addressReports,
                             diagnosis));
        return diagnosis.usableAddress ? 0 : 1;
    }
    const auto& rows = options.all ? described : devices;
    if (!printAsFound) {
        std::vector<std::vector<std::string>> fields;
        for (const auto& row : rows)
            fields.push_back(RowFields(row, options.all));
        const auto table = TextTable::Fitting(fields, options.all);
        printer.Heading(table);
        for (const auto& row : rows)
            printer.Row(table, row);
    }
    // After a table the diagnosis belongs to the reader; after lines for a script it goes
    // to standard error, so that standard output stays the lines alone.
    const auto note = [&](const std::string& line) {
        form == OutputForm::Table ? console.Out(line) : console.Err(line);
    };
    note("");
    for (const auto& line : diagnosis.addresses)
        note(line);
    for (const auto& line : diagnosis.advice)
        note("! " + line);
    return diagnosis.usableAddress ? 0 : 1;
}
