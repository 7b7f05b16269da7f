#include "data_summary.h"

#include <algorithm>
#include <vector>

#include "basis_file.h"

namespace {

constexpr double kWeeksPerYear = 365.25 / 7; // 52.17857142857143
constexpr int32_t kAllStatuses = 0;
constexpr int32_t kInService = 1;

const char *const kStatusTitles[kStatuses + 1] = {
    "all", "in service", "pensioners", "disabled", "deferred", "surviving spouses",
};

bool paysPension(int32_t status) { return status == 2 || status == 3 || status == 5; }

double averageOf(double total, int64_t count) { return count > 0 ? total / double(count) : 0.0; }

// The cells of one row of the table by status; salaries only for members in
// service, pensions only for those in payment.
std::vector<std::string> statusRow(const DataSummary &summary, const PlanBasis &basis, int32_t status) {
    const StatusTotals &t = summary.byStatus[status];
    char cell[64];
    std::vector<std::string> row;
    row.emplace_back(kStatusTitles[status]);
    row.emplace_back(status == kAllStatuses ? "" : basis.statusCodes[status]);
    row.push_back(std::to_string(t.members));
    std::snprintf(cell, sizeof cell, "%.1f", 100.0 * averageOf(double(t.male), t.members));
    row.emplace_back(cell);
    std::snprintf(cell, sizeof cell, "%.1f", 100.0 * averageOf(double(t.female), t.members));
    row.emplace_back(cell);
    std::snprintf(cell, sizeof cell, "%.1f", averageOf(t.ageSum, t.members));
    row.emplace_back(cell);
    const bool salaries = status == kInService || status == kAllStatuses;
    const bool pensions = paysPension(status) || status == kAllStatuses;
    std::snprintf(cell, sizeof cell, "%.2f", t.salaryTotal);
    row.emplace_back(salaries ? cell : "-");
    std::snprintf(cell, sizeof cell, "%.2f", averageOf(t.salaryTotal, summary.byStatus[kInService].members));
    row.emplace_back(status == kInService ? cell : "-");
    std::snprintf(cell, sizeof cell, "%.2f", t.pensionTotal);
    row.emplace_back(pensions ? cell : "-");
    int64_t inPayment = 0;
    for (int32_t s = 1; s <= kStatuses; ++s) inPayment += paysPension(s) ? summary.byStatus[s].members : 0;
    std::snprintf(cell, sizeof cell, "%.2f", averageOf(t.pensionTotal, status == kAllStatuses ? inPayment : t.members));
    row.emplace_back(pensions ? cell : "-");
    std::snprintf(cell, sizeof cell, "%.1f", t.serviceWeeks / kWeeksPerYear);
    row.emplace_back(cell);
    return row;
}

void printTable(std::FILE *out, const std::vector<std::vector<std::string>> &rows) {
    std::vector<size_t> width(rows[0].size(), 0);
    for (const auto &row : rows) {
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    }
    for (const auto &row : rows) {
        std::fprintf(out, "  %-*s", static_cast<int>(width[0]), row[0].c_str());
        for (size_t c = 1; c < row.size(); ++c) {
            std::fprintf(out, "  %*s", static_cast<int>(width[c]), row[c].c_str());
        }
        std::fprintf(out, "\n");
    }
}

void printCounts(std::FILE *out, const DataSummary &s) {
    std::fprintf(out, "  lines read        %9lld\n", static_cast<long long>(s.linesRead));
    std::fprintf(out, "  skipped           %9lld   (header %lld, blank %lld)\n",
                 static_cast<long long>(s.headerLines + s.blankLines), static_cast<long long>(s.headerLines),
                 static_cast<long long>(s.blankLines));
    std::fprintf(out, "  rejected          %9lld\n", static_cast<long long>(rejectedLines(s)));
    for (int32_t r = 1; r < kRejectionCount; ++r) {
        if (s.rejected[r] == 0) continue;
        std::fprintf(out, "    %-54s %9lld\n", rejectionText(Rejection(r)), static_cast<long long>(s.rejected[r]));
    }
    std::fprintf(out, "  members           %9lld\n", static_cast<long long>(s.byStatus[kAllStatuses].members));
    std::fprintf(out, "  lines with errors %9lld   (errors %lld)\n", static_cast<long long>(s.linesWithErrors),
                 static_cast<long long>(errorCount(s)));
    std::fprintf(out, "  warnings          %9lld\n", static_cast<long long>(warningCount(s)));
    for (int32_t r = 0; r < kRuleCount; ++r) {
        if (!ruleInfo(CheckRule(r)).warning || s.findings[r] == 0) continue;
        std::fprintf(out, "    %-54s %9lld\n", ruleInfo(CheckRule(r)).name, static_cast<long long>(s.findings[r]));
    }
}

std::string csvCell(const std::string &text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace

void addMemberToSummary(DataSummary &summary, const LibraryMember &m, int32_t status) {
    for (int32_t index : {kAllStatuses, status}) {
        StatusTotals &t = summary.byStatus[index];
        t.members += 1;
        t.male += m.sex == 'M' || m.sex == 'm' ? 1 : 0;
        t.female += m.sex == 'F' || m.sex == 'f' ? 1 : 0;
        t.ageSum += m.age;
        t.salaryTotal += status == kInService ? m.annualSalary : 0.0;
        t.pensionTotal += paysPension(status) ? m.currentPension : 0.0;
        t.serviceWeeks += m.serviceWithGuarantee + m.serviceWithoutGuarantee;
    }
}

void addSummary(DataSummary &into, const DataSummary &part) {
    into.linesRead += part.linesRead;
    into.headerLines += part.headerLines;
    into.blankLines += part.blankLines;
    into.linesWithErrors += part.linesWithErrors;
    for (int32_t r = 0; r < kRejectionCount; ++r) into.rejected[r] += part.rejected[r];
    for (int32_t s = 0; s <= kStatuses; ++s) {
        StatusTotals &t = into.byStatus[s];
        const StatusTotals &p = part.byStatus[s];
        t.members += p.members;
        t.male += p.male;
        t.female += p.female;
        t.ageSum += p.ageSum;
        t.salaryTotal += p.salaryTotal;
        t.pensionTotal += p.pensionTotal;
        t.serviceWeeks += p.serviceWeeks;
    }
    for (int32_t r = 0; r < kRuleCount; ++r) into.findings[r] += part.findings[r];
}

int64_t rejectedLines(const DataSummary &summary) {
    int64_t total = 0;
    for (int32_t r = 1; r < kRejectionCount; ++r) total += summary.rejected[r];
    return total;
}

int64_t errorCount(const DataSummary &summary) {
    int64_t total = 0;
    for (int32_t r = 0; r < kRuleCount; ++r) total += ruleInfo(CheckRule(r)).warning ? 0 : summary.findings[r];
    return total;
}

int64_t warningCount(const DataSummary &summary) {
    int64_t total = 0;
    for (int32_t r = 0; r < kRuleCount; ++r) total += ruleInfo(CheckRule(r)).warning ? summary.findings[r] : 0;
    return total;
}

void printDataSummary(std::FILE *out, const DataSummary &summary, const PlanBasis &basis,
                      const std::string &memberFile) {
    std::fprintf(out, "Member data of %s\n", memberFile.c_str());
    printCounts(out, summary);
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"status", "code", "members", "male %", "female %", "average age", "total salary",
                    "average salary", "total pension", "average pension", "service years"});
    for (int32_t status = 1; status <= kStatuses; ++status) rows.push_back(statusRow(summary, basis, status));
    rows.push_back(statusRow(summary, basis, kAllStatuses));
    std::fprintf(out, "\n");
    printTable(out, rows);
}

bool writeDataSummary(const std::filesystem::path &path, const DataSummary &summary, const PlanBasis &basis) {
    std::string text = "status,code,members,male,female,average_age,total_salary,total_pension,"
                       "total_service_weeks\n";
    char cell[64];
    for (int32_t status : {1, 2, 3, 4, 5, kAllStatuses}) {
        const StatusTotals &t = summary.byStatus[status];
        text += std::string(status == kAllStatuses ? "all" : kStatusNames[status]) + ",";
        text += csvCell(status == kAllStatuses ? "" : basis.statusCodes[status]) + ",";
        std::snprintf(cell, sizeof cell, "%lld,%lld,%lld,", static_cast<long long>(t.members),
                      static_cast<long long>(t.male), static_cast<long long>(t.female));
        text += cell;
        std::snprintf(cell, sizeof cell, "%.4f,%.2f,%.2f,%.2f\n", averageOf(t.ageSum, t.members), t.salaryTotal,
                      t.pensionTotal, t.serviceWeeks);
        text += cell;
    }
    text += "\nlines,count\n";
    const long long counts[] = {summary.linesRead, summary.headerLines, summary.blankLines, rejectedLines(summary),
                                summary.byStatus[kAllStatuses].members, summary.linesWithErrors};
    const char *names[] = {"read", "header", "blank", "rejected", "members", "with_errors"};
    for (int i = 0; i < 6; ++i) text += std::string(names[i]) + "," + std::to_string(counts[i]) + "\n";
    for (int32_t r = 1; r < kRejectionCount; ++r) {
        if (summary.rejected[r] == 0) continue;
        text += csvCell(std::string("rejected: ") + rejectionText(Rejection(r))) + "," +
                std::to_string(summary.rejected[r]) + "\n";
    }
    text += "\nrule,kind,count\n";
    for (int32_t r = 0; r < kRuleCount; ++r) {
        const RuleInfo &info = ruleInfo(CheckRule(r));
        // every warning rule, so that a zero can be seen; errors where found
        if (!info.warning && summary.findings[r] == 0) continue;
        text += std::string(info.name) + (info.warning ? ",warning," : ",error,") + std::to_string(summary.findings[r]) + "\n";
    }
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}
