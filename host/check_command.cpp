// talvek check: the member data check and the data summary, without a
// valuation.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "basis_file.h"
#include "check_report.h"
#include "commands.h"
#include "data_summary.h"
#include "member_file_check.h"
#include "member_input.h"

namespace fs = std::filesystem;

namespace {

bool readCheckedBasis(const std::string &file, PlanBasis &basis) {
    std::vector<std::string> problems;
    if (readBasisFile(file, file, basis, problems)) return true;
    for (const std::string &problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
    std::fprintf(stderr, "talvek: the basis file %s was refused (%zu problem%s); nothing was checked\n",
                 file.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
    return false;
}

// The findings and the summary, on standard output.
void printCheck(const MemberCheck &check, const PlanBasis &basis, const std::string &shownName) {
    const int64_t errors = printFindings(stdout, check, shownName, false, kListedFindings);
    const int64_t warnings = printFindings(stdout, check, shownName, true, kListedFindings);
    if (errors + warnings > 0) std::printf("\n");
    printDataSummary(stdout, check.summary, basis, shownName);
    std::printf("\n%lld error%s, %lld warning%s%s\n", static_cast<long long>(errors), errors == 1 ? "" : "s",
                static_cast<long long>(warnings), warnings == 1 ? "" : "s",
                errors == 0 ? "" : ": talvek run would value nothing (unless --accept-as-read)");
}

} // namespace

int checkMembersCommand(const CheckOptions &options) {
    PlanBasis basis;
    if (!readCheckedBasis(options.basisFile, basis)) return kExitRefused;
    MemberInput input;
    std::string problem;
    // a FIFO or a device would never end: regular files only
    FileSnapshot snapshot;
    if (!regularFileSnapshot(options.memberFile, "the member file", snapshot, problem)) {
        std::fprintf(stderr, "talvek: %s: %s\n", options.memberFile.c_str(), problem.c_str());
        return kExitRefused;
    }
    if (!readWholeFile(options.memberFile, input.fileBytes, problem)) {
        std::fprintf(stderr, "talvek: %s: cannot read the member file (%s)\n", options.memberFile.c_str(),
                     problem.c_str());
        return kExitWriteFailed; // a failure of the machine, not of the data
    }
    checkMemberBytes(basis, input.fileBytes.data(), static_cast<int64_t>(input.fileBytes.size()), input.check,
                     checkThreads(0));
    printCheck(input.check, basis, options.memberFile);
    std::fflush(stdout);
    if (!options.outputDirectory.empty()) {
        std::error_code error;
        fs::create_directories(options.outputDirectory, error);
        if (error || !fs::is_directory(options.outputDirectory) ||
            !writeMemberDataFiles(options.outputDirectory, input, basis)) {
            std::fprintf(stderr, "talvek: %s and %s could not be written to %s\n", kDataCheckFile, kDataSummaryFile,
                         options.outputDirectory.c_str());
            return kExitWriteFailed;
        }
    }
    return input.check.hasErrors ? kExitRefused : kExitDone;
}
