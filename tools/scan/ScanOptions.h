#pragma once

#include <chrono>
#include <string>

enum class OutputForm { Automatic, Table, Tsv, Csv, Json };
enum class Streaming { Automatic, On, Off };

// What pathmere-scan is asked to do.
struct ScanOptions {
    // Time between two ticks. The first address is listened on until the 40th tick value,
    // so --seconds N gives N/40 s per tick.
    std::chrono::milliseconds tickPeriod{125};
    // The search's length, for the progress line.
    double seconds = 5.0;
    OutputForm form = OutputForm::Automatic;    // a table on a terminal, else tab-separated
    Streaming streaming = Streaming::Automatic; // on when standard output is a terminal
    bool all = false;                           // every description read, listed or not, and why
    bool help = false;
    bool stats = false; // report the run's CPU time and added memory on stderr
};

// Parses the arguments; on failure returns false and sets error to a message for the user.
bool ParseScanOptions(int argc, const char* const* argv, ScanOptions& options, std::string& error);

const char* ScanUsage();
