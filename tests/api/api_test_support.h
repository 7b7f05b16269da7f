// Calling the exported functions the way a host does: descriptors around the
// arrays of a TestHost, paths in a scratch directory.
#pragma once

#include <filesystem>
#include <string>

#include "support/test_support.h"
#include "talvek_pension_model.h"

// The host's counters around one call.
struct ExportedCounters {
    int32_t memberTotal;
    int32_t membersDone;
    int32_t errorCount;
    int16_t statusWord;
};

// GenerateLiabilities on the arrays of a TestHost, each behind a descriptor
// with lower bound 1, in the current directory.
void callGenerateLiabilities(TestHost &host, const std::string &memberFile,
                             const std::string &listingFile, const std::string &errorFile,
                             int32_t valuationYear, int32_t mortalityBaseYear,
                             int32_t delimiterCode, ExportedCounters &counters);

struct ExportedRun {
    TestHost host;
    std::filesystem::path dir;
    int32_t memberTotal = 0;
    int32_t membersDone = 0;
    int32_t errorCount = 0;
    int16_t statusWord = 0;
    int32_t delimiterCode = 1;
    int32_t valuationYear = 2011;
    int32_t mortalityBaseYear = 2011;

    // Tab-delimited member files with fields 1..14 in columns 1..14 and the
    // status codes A..E; every table zero.
    explicit ExportedRun(const std::string &name);
    ~ExportedRun();

    std::filesystem::path path(const std::string &file) const { return dir / file; }
    // Writes the member file and runs GenerateLiabilities on it.
    void run(const std::string &memberBytes);
    // Runs on the given paths as they are.
    void runFiles(const std::string &memberFile, const std::string &listingFile,
                  const std::string &errorFile);
    std::string listing() const;
    std::string errors() const;
};
