// The commands of `talvek`. Each returns the exit status: 0 done, 2 the
// input was refused before anything was written, 1 a file could not be
// written, 130 the run was stopped with Ctrl-C (its results are written).
#pragma once

#include <cstdint>
#include <string>

constexpr int kExitDone = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitRefused = 2;
constexpr int kExitStopped = 130;

struct RunOptions {
    std::string basisFile;
    std::string memberFile;
    std::string outputDirectory = "results";
    int jobs = 0; // pieces valued at once; 0: one per core
    bool acceptAsRead = false; // value lines with check errors as the library reads them
    bool noCheck = false;      // hand the file to the engine as it is, without the check
};

struct CheckOptions {
    std::string basisFile;
    std::string memberFile;
    std::string outputDirectory; // empty: write no files
};

int runValuationCommand(const RunOptions &options);
int checkMembersCommand(const CheckOptions &options);
int countMembersCommand(const std::string &memberFile);
int generateMembersCommand(int64_t members, uint64_t seed, const std::string &outputFile);
