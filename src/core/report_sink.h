// Where a run's text reports go: the member listing and the error log. A
// report is written straight into its file, or kept in memory until the
// piece of the member file it belongs to is joined, or dropped (a pass that
// only reads lines). Every write to a file is checked.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

struct ReportSink {
    std::FILE *file;   // written straight through when not null
    std::string *kept; // otherwise appended here when not null
    bool failed;       // a write to the file came back short
    int reason;        // the system's error number of the first failed write
};

// Writes the bytes whole (NUL bytes included).
void writeReport(ReportSink &sink, const char *bytes, size_t length);

// Appends kept text to a file; false when the write came back short.
bool writeKeptText(std::FILE *file, const std::string &text);
