#include "result_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include <unistd.h>

const char *const kMemberCountColumns[kMemberBlocks + 1] = {
    "",
    "active_male",
    "active_female",
    "disabled_male",
    "disabled_female",
    "deferred_male",
    "deferred_female",
    "service_retirees_male",
    "service_retirees_female",
    "deferred_retirees_male",
    "deferred_retirees_female",
    "service_survivors_male",
    "service_survivors_female",
    "disabled_survivors_male",
    "disabled_survivors_female",
    "deferred_survivors_male",
    "deferred_survivors_female",
    "lump_sums_male",
    "lump_sums_female",
    "service_retirees_in_guarantee_male",
    "service_retirees_in_guarantee_female",
    "deferred_retirees_in_guarantee_male",
    "deferred_retirees_in_guarantee_female",
};

const char *const kDecrementCountColumns[kDecrementBlocks + 1] = {
    "",
    "deaths_in_service",
    "disablements",
    "service_retirements",
    "deferred_withdrawals",
    "transfer_withdrawals",
    "disabled_deaths",
    "deferred_deaths",
    "deferred_retirements",
    "service_retiree_deaths",
    "deferred_retiree_deaths",
    "service_survivor_deaths",
    "disabled_survivor_deaths",
    "deferred_survivor_deaths",
    "guarantee_deaths_service",
    "guarantee_deaths_deferred",
};

const char *const kCashflowColumns[kCashflowBlocks + 1] = {
    "",
    "contributions_male",
    "contributions_female",
    "old_age_pension_service_male",
    "old_age_pension_service_female",
    "disability_pension_male",
    "disability_pension_female",
    "old_age_pension_deferred_male",
    "old_age_pension_deferred_female",
    "spouse_pension_service_male",
    "spouse_pension_service_female",
    "spouse_pension_disabled_male",
    "spouse_pension_disabled_female",
    "spouse_pension_deferred_male",
    "spouse_pension_deferred_female",
    "lump_sum_male",
    "lump_sum_female",
    "bridge_pension_male",
    "bridge_pension_female",
};

bool writeResultTable(const std::filesystem::path &path, const std::vector<double> &results,
                      const char *const *columnNames, int blocks, const std::string &comment) {
    std::FILE *out = std::fopen(path.c_str(), "w");
    if (out == nullptr) return false;
    // one buffer for the whole file: 111 short rows
    std::string text = comment.empty() ? std::string() : "# " + comment + "\n";
    text += "year";
    for (int block = 1; block <= blocks; ++block) text += std::string(",") + columnNames[block];
    text += '\n';
    char number[32];
    for (int year = 0; year < kYearSlots; ++year) {
        text += std::to_string(year);
        for (int block = 1; block <= blocks; ++block) {
            // 17 significant digits read back to the same double
            std::snprintf(number, sizeof number, ",%.17g", results[block * kYearSlots + year]);
            text += number;
        }
        text += '\n';
    }
    // written, flushed to the disk and closed, or false with errno saying why
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    written = written && std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    const int reason = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written) errno = reason;
    return written && closed;
}

bool writeResultFiles(const std::filesystem::path &directory, const HostArraySet &arrays,
                      const std::string &comment, std::string &problem) {
    const struct {
        const char *name;
        const std::vector<double> *results;
        const char *const *columns;
        int blocks;
    } tables[] = {{kMemberCountsFile, &arrays.memberCounts, kMemberCountColumns, kMemberBlocks},
                  {kDecrementCountsFile, &arrays.decrementCounts, kDecrementCountColumns, kDecrementBlocks},
                  {kCashflowsFile, &arrays.benefitCashflows, kCashflowColumns, kCashflowBlocks}};
    for (const auto &table : tables) {
        const std::filesystem::path path = directory / table.name;
        errno = 0;
        if (!writeResultTable(path, *table.results, table.columns, table.blocks, comment)) {
            problem = "cannot write " + path.string() + ": " +
                      (errno != 0 ? std::strerror(errno) : "unknown reason");
            return false;
        }
    }
    return true;
}

int32_t countUnknownStatuses(const std::filesystem::path &errorLog) {
    std::ifstream in(errorLog);
    std::string line;
    int32_t count = 0;
    while (std::getline(in, line)) {
        if (line.rfind("Could not identify status", 0) == 0) ++count;
    }
    return count;
}

namespace {

constexpr int kSummaryYears[] = {0, 1, 5, 10, 20, 40};

double sumBlocks(const std::vector<double> &results, std::initializer_list<int> blocks, int year) {
    double sum = 0.0;
    for (int block : blocks) sum += results[block * kYearSlots + year];
    return sum;
}

struct SummaryColumn {
    const char *title;
    bool amount; // written without decimals
};

constexpr SummaryColumn kSummaryColumns[] = {
    {"year", true},         {"in service", false}, {"disabled", false},
    {"deferred", false},    {"pensioners", false}, {"spouses", false},
    {"contributions", true}, {"pensions", true},   {"lump sums", true},
};
constexpr int kSummaryColumnCount = sizeof kSummaryColumns / sizeof kSummaryColumns[0];

// The row of one year: the main populations (people at the end of the year)
// and the cash flows during it.
void summaryRow(const HostArraySet &a, int year, double (&row)[kSummaryColumnCount]) {
    const std::vector<double> &m = a.memberCounts;
    const std::vector<double> &c = a.benefitCashflows;
    row[0] = year;
    row[1] = sumBlocks(m, {1, 2}, year);
    row[2] = sumBlocks(m, {3, 4}, year);
    row[3] = sumBlocks(m, {5, 6}, year);
    row[4] = sumBlocks(m, {7, 8, 9, 10, 19, 20, 21, 22}, year);
    row[5] = sumBlocks(m, {11, 12, 13, 14, 15, 16}, year);
    row[6] = sumBlocks(c, {1, 2}, year);
    row[7] = sumBlocks(c, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17, 18}, year);
    row[8] = sumBlocks(c, {15, 16}, year);
}

} // namespace

void writeSummary(std::FILE *out, const RunFacts &facts, const HostArraySet &arrays) {
    const std::string errorLog = (facts.outputDirectory / kErrorLogFile).string();
    const int32_t valued = facts.membersRead - facts.unknownStatuses;
    // a stopped run says so before anything else
    if (facts.stoppedByUser) {
        std::fprintf(out, "STOPPED: the run was stopped (%s); the results cover only the lines read "
                          "before the stop, and run.json says \"complete\": false\n",
                     facts.stopSignal.c_str());
    }
    std::fprintf(out, "Valuation of %s with the basis %s\n", facts.memberFile.c_str(),
                 facts.basisFile.c_str());
    std::fprintf(out, "  member lines      %9d\n", facts.memberLines);
    std::fprintf(out, "  members read      %9d   (valued %d, unknown status %d)\n", facts.membersRead,
                 valued, facts.unknownStatuses);
    std::fprintf(out, "  members rejected  %9d   (a field error each)\n", facts.errorCount);
    std::fprintf(out, "  errors            %9d   (see %s)\n", facts.errorCount + facts.unknownStatuses,
                 errorLog.c_str());
    std::fprintf(out, "\nPeople at the end of the year, cash flows during it:\n");

    // every cell formatted first, so that the columns can be aligned
    std::vector<std::string> cells;
    size_t width[kSummaryColumnCount] = {};
    for (int c = 0; c < kSummaryColumnCount; ++c) {
        cells.emplace_back(kSummaryColumns[c].title);
        width[c] = cells.back().size();
    }
    char text[64];
    for (int year : kSummaryYears) {
        double row[kSummaryColumnCount];
        summaryRow(arrays, year, row);
        for (int c = 0; c < kSummaryColumnCount; ++c) {
            std::snprintf(text, sizeof text, kSummaryColumns[c].amount ? "%.0f" : "%.1f", row[c]);
            cells.emplace_back(text);
            width[c] = std::max(width[c], cells.back().size());
        }
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        const int c = static_cast<int>(i % kSummaryColumnCount);
        std::fprintf(out, "%s%*s", c == 0 ? "" : "  ", static_cast<int>(width[c]), cells[i].c_str());
        if (c == kSummaryColumnCount - 1) std::fprintf(out, "\n");
    }
    std::fprintf(out, "\nResults in %s:\n  %s  %s  %s\n  %s  %s\n",
                 facts.outputDirectory.string().c_str(), kMemberCountsFile, kDecrementCountsFile,
                 kCashflowsFile, kListingFile, kErrorLogFile);
}
