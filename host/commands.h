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
};

int runValuationCommand(const RunOptions &options);
int countMembersCommand(const std::string &memberFile);
int generateMembersCommand(int64_t members, uint64_t seed, const std::string &outputFile);
