#pragma once

#include "ScanOptions.h"

// Runs one search as options ask, prints what it found, and gives the exit status: 0 after a
// completed search, 1 when there was no usable address or the search could not start.
int RunScan(const ScanOptions& options);
