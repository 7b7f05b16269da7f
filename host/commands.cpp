#include "commands.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include <signal.h>

#include "basis_file.h"
#include "host_arrays.h"
#include "member_generator.h"
#include "parallel_run.h"
#include "result_files.h"
#include "talvek_pension_model.h"

namespace fs = std::filesystem;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopRequest(int) {
    stopRequested = 1;
    requestParallelStop();
}

// The library stops its run on SIGINT and, because a handler of ours is in
// place, raises SIGINT again when it returns: that is how we learn of it. A
// run in several pieces is stopped by the handler itself.
void installStopHandler() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = onStopRequest;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

// A member file the run can read: it exists and is not a directory.
bool memberFileReadable(const fs::path &path, std::string &problem) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        problem = "the member file does not exist";
        return false;
    }
    if (fs::is_directory(status)) {
        problem = "the member file is a directory";
        return false;
    }
    std::FILE *in = std::fopen(path.c_str(), "r");
    if (in == nullptr) {
        problem = "the member file cannot be read";
        return false;
    }
    std::fclose(in);
    return true;
}

fs::path absoluteOf(const std::string &path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    return error ? fs::path(path) : absolute.lexically_normal();
}

} // namespace

int runValuationCommand(const RunOptions &options) {
    // everything is checked before anything is written
    PlanBasis basis;
    std::vector<std::string> problems;
    if (!readBasisFile(options.basisFile, options.basisFile, basis, problems)) {
        for (const std::string &problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
        std::fprintf(stderr, "talvek: the basis file %s was refused (%zu problem%s); nothing was run\n",
                     options.basisFile.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
        return kExitRefused;
    }
    const fs::path memberFile = absoluteOf(options.memberFile);
    std::string problem;
    if (!memberFileReadable(memberFile, problem)) {
        std::fprintf(stderr, "talvek: %s: %s; nothing was run\n", options.memberFile.c_str(),
                     problem.c_str());
        return kExitRefused;
    }

    const fs::path outputDirectory = absoluteOf(options.outputDirectory);
    std::error_code error;
    fs::create_directories(outputDirectory, error);
    if (error || !fs::is_directory(outputDirectory)) {
        std::fprintf(stderr, "talvek: cannot create the output directory %s\n",
                     outputDirectory.c_str());
        return kExitWriteFailed;
    }
    const fs::path listingFile = outputDirectory / kListingFile;
    const fs::path errorLog = outputDirectory / kErrorLogFile;

    static HostArraySet arrays; // large: kept off the stack
    fillHostArrays(basis, arrays);
    RunCounters counters;
    CountInputData(memberFile.c_str(), &counters.memberTotal);

    // the library writes its scratch file into the current directory: run it
    // inside the output directory, every path already absolute
    const fs::path startDirectory = fs::current_path(error);
    fs::current_path(outputDirectory, error);
    if (error) {
        std::fprintf(stderr, "talvek: cannot enter the output directory %s\n", outputDirectory.c_str());
        return kExitWriteFailed;
    }
    installStopHandler();
    const int jobs = options.jobs > 0 ? options.jobs
                                      : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    if (jobs == 1) {
        // one piece: through the library's exported function, as any host calls it
        callGenerateLiabilities(arrays, memberFile.string(), listingFile.string(), errorLog.string(),
                                counters);
    } else {
        runInParallel(arrays, memberFile.string(), listingFile.string(), errorLog.string(), jobs,
                      counters);
    }
    fs::current_path(startDirectory, error);

    RunFacts facts;
    facts.basisFile = options.basisFile;
    facts.memberFile = options.memberFile;
    facts.outputDirectory = outputDirectory;
    facts.memberLines = counters.memberTotal;
    facts.membersRead = counters.membersDone;
    facts.errorCount = counters.errorCount;
    facts.unknownStatuses = countUnknownStatuses(errorLog);
    facts.stoppedByUser = stopRequested != 0;
    const bool written = writeResultFiles(outputDirectory, arrays);
    writeSummary(stdout, facts, arrays);
    std::fflush(stdout);
    if (!written) {
        std::fprintf(stderr, "talvek: the result files could not all be written to %s\n",
                     outputDirectory.c_str());
        return kExitWriteFailed;
    }
    return facts.stoppedByUser ? kExitStopped : kExitDone;
}

int countMembersCommand(const std::string &memberFile) {
    std::string problem;
    const fs::path path = absoluteOf(memberFile);
    if (!memberFileReadable(path, problem)) {
        std::fprintf(stderr, "talvek: %s: %s\n", memberFile.c_str(), problem.c_str());
        return kExitRefused;
    }
    int32_t count = 0;
    CountInputData(path.c_str(), &count);
    std::printf("%d\n", count);
    return kExitDone;
}

int generateMembersCommand(int64_t members, uint64_t seed, const std::string &outputFile) {
    const bool toStandardOutput = outputFile == "-";
    std::FILE *out = toStandardOutput ? stdout : std::fopen(outputFile.c_str(), "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "talvek: cannot write %s\n", outputFile.c_str());
        return kExitWriteFailed;
    }
    bool ok = generateMembers(out, members, seed);
    if (!toStandardOutput) ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "talvek: writing %s failed\n", outputFile.c_str());
        return kExitWriteFailed;
    }
    return kExitDone;
}
