#include "member_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "check_report.h"
#include "data_summary.h"

bool readWholeFile(const std::filesystem::path &path, std::string &bytes, std::string &problem) {
    std::FILE *in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        problem = std::strerror(errno);
        return false;
    }
    // read straight into a string of the file's size, then whatever follows
    // (a file that grows while it is read is taken as far as it is read)
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    bytes.resize(error ? 0 : static_cast<size_t>(size));
    size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), in);
    bytes.resize(got);
    char buffer[1 << 16];
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.append(buffer, got);
    const bool failed = std::ferror(in) != 0;
    if (failed) problem = std::strerror(errno);
    std::fclose(in);
    return !failed;
}

int checkThreads(int jobs) {
    if (jobs > 0) return jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

bool libraryReadsFileAsItIs(const PlanBasis &basis) {
    return !basis.spreadsheetLayout && !basis.headerRow && basis.decimalSeparator == '.';
}

int prepareMemberInput(const PlanBasis &basis, const std::filesystem::path &memberFile,
                       const std::string &shownName, bool acceptAsRead, int jobs, MemberInput &input) {
    std::string problem;
    if (!readWholeFile(memberFile, input.fileBytes, problem)) {
        std::fprintf(stderr, "talvek: %s: cannot read the member file (%s); nothing was run\n", shownName.c_str(),
                     problem.c_str());
        return 1; // a failure of the machine, not of the data
    }
    checkMemberBytes(basis, input.fileBytes.data(), static_cast<int64_t>(input.fileBytes.size()), input.check,
                     checkThreads(jobs));
    const MemberCheck &check = input.check;
    if (check.hasErrors) {
        const int64_t errors = printFindings(stderr, check, shownName, false, kListedFindings);
        const bool refused = !acceptAsRead || check.hasUnacceptableErrors;
        std::fprintf(stderr, "talvek: %s: %lld error%s in %lld line%s%s\n", shownName.c_str(),
                     static_cast<long long>(errors), errors == 1 ? "" : "s",
                     static_cast<long long>(check.summary.linesWithErrors),
                     check.summary.linesWithErrors == 1 ? "" : "s",
                     refused ? "; nothing was run" : ", valued as the library reads them (--accept-as-read)");
        if (refused) {
            std::fprintf(stderr, "talvek check --out DIR lists every finding in %s%s\n", kDataCheckFile,
                         check.hasUnacceptableErrors ? "" : "; --accept-as-read values the lines as the library reads them");
            return 2;
        }
    }
    return 0;
}

void useCheckedMembers(const MemberInput &input, TalvekRunDef &def, HostArraySet &arrays) {
    const MemberCheck &check = input.check;
    if (check.converted) {
        def.member_bytes = check.convertedBytes.data();
        def.member_byte_count = static_cast<int64_t>(check.convertedBytes.size());
    } else {
        // the file's own bytes, after a header row
        def.member_bytes = input.fileBytes.data() + check.firstByte;
        def.member_byte_count = static_cast<int64_t>(input.fileBytes.size()) - check.firstByte;
    }
    def.member_file = nullptr;
    for (int field = 1; field <= kMemberFields; ++field) {
        arrays.columnMap[field] = static_cast<int16_t>(check.engineColumns[field]);
    }
}

bool writeMemberDataFiles(const std::filesystem::path &directory, const MemberInput &input, const PlanBasis &basis) {
    const bool summary = writeDataSummary(directory / kDataSummaryFile, input.check.summary, basis);
    const bool findings = writeDataCheck(directory / kDataCheckFile, input.check);
    return summary && findings;
}
