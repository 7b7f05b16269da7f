// The commands of `talvek`. Each returns the exit status: 0 done, every line
// valued; 3 done, but lines were rejected or of unknown status (results
// written); 2 nothing was valued because of the command, the basis (a
// discount curve the valuation refuses included) or the member file (or
// another run was writing --out); 1 a failure of the
// machine (a file could not be written or read, the member file changed
// during the run), earlier results untouched; 130 stopped by Ctrl-C, 143 by
// SIGTERM (the results of the lines before the stop written whole, marked
// as stopped).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kExitDone = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitRefused = 2;
constexpr int kExitLinesRejected = 3;
constexpr int kExitStopped = 130;
constexpr int kExitTerminated = 143;

struct RunOptions {
    std::string basisFile;
    std::string memberFile;
    std::string outputDirectory = "results";
    int jobs = 0; // pieces valued at once; 0: one per core
    bool force = false; // replace an --out that holds no run record
    std::vector<std::string> commandLine; // as typed, for the run record
    bool acceptAsRead = false; // value lines with check errors as the library reads them
    bool noCheck = false;      // hand the file to the engine as it is, without the check
    bool perMember = false;       // per_member.csv: each member's present values
    bool sensitivities = false;   // sensitivities.csv: the basis's set of sensitivities valued
    bool noPresentValues = false; // the projection only: today's three files, no present values
    std::string scenarioFile;     // every member valued under every scenario of this file ("": none)
    bool scenarioCashflows = false; // scenario_cashflows.csv: every scenario's cash flows
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
