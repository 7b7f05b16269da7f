#include "commands.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include <signal.h>

#include "basis_file.h"
#include "host_arrays.h"
#include "member_generator.h"
#include "member_input.h"
#include "progress_bar.h"
#include "result_files.h"
#include "talvek/engine.h"

namespace fs = std::filesystem;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void onStopRequest(int) { stopRequested = 1; }

// Ctrl-C asks the run to stop: the engine's progress callback hands the
// request on at its next check.
void installStopHandler() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = onStopRequest;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

// The engine asks this as the run goes: the bar moves, and a Ctrl-C stops it.
int32_t reportProgress(void *user, int64_t membersDone, int64_t memberTotal) {
    drawProgressBar(*static_cast<ProgressBar *>(user), membersDone, memberTotal);
    return stopRequested != 0 ? 1 : 0;
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
    // the member data checked, and converted where needed, before anything is written
    MemberInput input;
    if (options.noCheck && !libraryReadsFileAsItIs(basis)) {
        std::fprintf(stderr, "talvek: --no-check hands the member file to the valuation as it is, but the basis's "
                             "[member_file] needs the check's conversion; nothing was run\n");
        return kExitRefused;
    }
    if (!options.noCheck &&
        prepareMemberInput(basis, memberFile, options.memberFile, options.acceptAsRead, options.jobs, input) != kExitDone) {
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
    TalvekRunDef def = talvek_default_run_def();
    def.member_file = memberFile.c_str();
    const std::string listingPath = listingFile.string();
    const std::string errorPath = errorLog.string();
    def.listing_file = listingPath.c_str();
    def.error_file = errorPath.c_str();
    def.assumptions = engineAssumptions(arrays);
    def.jobs = options.jobs; // 0: one per core
    if (!options.noCheck) useCheckedMembers(input, def, arrays);
    int64_t memberLines = 0;
    talvek_count_line_reads(&def, &memberLines);
    def.member_total = memberLines;
    ProgressBar bar;
    def.progress = reportProgress;
    def.progress_user = &bar;

    installStopHandler();
    startProgressBar(bar, memberLines);
    static TalvekResults results; // large: kept off the stack
    const int32_t status = talvek_run(&def, &results);
    endProgressBar(bar, status == TALVEK_OK);
    if (status != TALVEK_OK && status != TALVEK_STOPPED) {
        std::fprintf(stderr, "talvek: %s\n", results.message);
        return status == TALVEK_ERROR_MEMBER_FILE ? kExitRefused : kExitWriteFailed;
    }
    takeResults(results, arrays);

    RunFacts facts;
    facts.basisFile = options.basisFile;
    facts.memberFile = options.memberFile;
    facts.outputDirectory = outputDirectory;
    facts.memberLines = static_cast<int32_t>(memberLines);
    facts.membersRead = static_cast<int32_t>(results.members_done);
    facts.errorCount = static_cast<int32_t>(results.error_count);
    facts.unknownStatuses = static_cast<int32_t>(results.unknown_statuses);
    facts.stoppedByUser = results.stopped != 0;
    const bool written = writeResultFiles(outputDirectory, arrays) &&
                         (options.noCheck || writeMemberDataFiles(outputDirectory, input, basis));
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
    TalvekRunDef def = talvek_default_run_def();
    const std::string file = path.string();
    def.member_file = file.c_str();
    int64_t count = 0;
    talvek_count_line_reads(&def, &count);
    std::printf("%lld\n", static_cast<long long>(count));
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
