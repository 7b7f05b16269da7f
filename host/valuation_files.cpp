#include "valuation_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "result_files.h"

const char *const kGroupNames[kGroups] = {"total", "in_service", "pensioners", "disabled", "deferred", "spouses"};

const char *const kPerMemberHeader =
    "line,member_number,status,sex,age,pvfb,pv_contributions,dbo,service_cost,duration\n";

namespace {

// The shortest text that reads back to the value (0.035, not 0.035000000000000003).
std::string formatRate(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// The change from the base in per cent, 100 (x / base - 1); empty where the
// base is 0 (a group without the figure, e.g. the service cost of pensioners).
void appendChange(std::string &text, double value, double base) {
    text += ',';
    if (base != 0.0) appendNumber(text, 100.0 * (value / base - 1.0));
}

struct ByStatusArray {
    const char *const *columns;
    int blocks;
};
constexpr ByStatusArray kByStatusArrays[3] = {{kMemberCountColumns, kMemberBlocks},
                                              {kDecrementCountColumns, kDecrementBlocks},
                                              {kCashflowColumns, kCashflowBlocks}};

const double *statusArray(const TalvekStatusArrays &arrays, int array) {
    if (array == kByStatusMemberCounts) return arrays.member_counts;
    if (array == kByStatusDecrementCounts) return arrays.decrement_counts;
    return arrays.benefit_cashflows;
}

// per_member.csv row by row through the stream's buffer (a large file need
// not be held whole), every write checked.
bool writePerMemberFile(const std::filesystem::path &path, const TalvekValuation &valuation,
                        const std::string &comment, std::string &problem) {
    std::FILE *out = openForWriting(path, problem);
    if (out == nullptr) return false;
    std::string text = commentLine(comment) + kPerMemberHeader;
    bool written = true;
    for (int64_t i = 0; written && i <= valuation.member_count; ++i) {
        if (i > 0) text += perMemberRow(valuation.members[i - 1]);
        // handed on in parts of about 64 KiB, and the rest at the end
        if (text.size() >= 65536 || i == valuation.member_count) {
            written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
            text.clear();
        }
    }
    return finishWriting(out, written, path, problem);
}

// The sensitivity's name and size as the basis file gives them.
const char *kindName(int32_t kind) {
    if (kind < 1 || kind > kSensitivityKinds) return "unknown";
    return sensitivityName(static_cast<SensitivityKind>(kind));
}

} // namespace

// 17 significant digits read back to the same double: the bytes of "%.17g",
// as today's files write them, at a seventh of snprintf's cost (a
// per-member file of 100,000 members holds half a million numbers)
void appendNumber(std::string &text, double value) {
    char number[32];
    const auto result = std::to_chars(number, number + sizeof number, value, std::chars_format::general, 17);
    text.append(number, result.ptr);
}

void appendPresentValues(std::string &text, const TalvekPresentValues &pv) {
    for (const double value : {pv.benefits, pv.contributions, pv.obligation, pv.service_cost,
                               pv.benefits_duration, pv.contributions_duration, pv.obligation_duration}) {
        text += ',';
        appendNumber(text, value);
    }
    for (int block = 1; block <= kCashflowBlocks; ++block) {
        text += ',';
        appendNumber(text, pv.cashflows[block]);
    }
}

std::string commentLine(const std::string &comment) { return comment.empty() ? std::string() : "# " + comment + "\n"; }

std::string csvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string byStatusText(const TalvekValuation &valuation, int array, const std::string &comment) {
    const ByStatusArray &shape = kByStatusArrays[array];
    std::string text = commentLine(comment) + "status,year";
    for (int block = 1; block <= shape.blocks; ++block) text += std::string(",") + shape.columns[block];
    text += '\n';
    for (int status = 1; status <= TALVEK_MEMBER_STATUSES; ++status) {
        const double *values = statusArray(valuation.by_status[status], array);
        for (int year = 0; year < kYearSlots; ++year) {
            text += kGroupNames[status];
            text += ',' + std::to_string(year);
            for (int block = 1; block <= shape.blocks; ++block) {
                text += ',';
                appendNumber(text, values[TALVEK_ELEMENT(block, year)]);
            }
            text += '\n';
        }
    }
    return text;
}

std::string presentValuesText(const TalvekValuation &valuation, const std::string &comment) {
    std::string text = commentLine(comment) +
                       "group,pvfb,pv_contributions,dbo,service_cost,pvfb_duration,contributions_duration,"
                       "dbo_duration";
    for (int block = 1; block <= kCashflowBlocks; ++block) text += std::string(",pv_") + kCashflowColumns[block];
    text += '\n';
    for (int group = 0; group < kGroups; ++group) {
        const TalvekPresentValues &pv = valuation.present_values[group];
        text += kGroupNames[group];
        appendPresentValues(text, pv);
        text += '\n';
    }
    return text;
}

std::string sensitivitiesText(const TalvekValuation &valuation, const std::string &comment) {
    std::string text = commentLine(comment) +
                       "sensitivity,size,group,pvfb,dbo,service_cost,pv_contributions,duration,pvfb_change_pct,"
                       "dbo_change_pct,service_cost_change_pct,pv_contributions_change_pct,duration_change_pct\n";
    const int count = std::clamp(valuation.sensitivity_count, 0, TALVEK_MAX_SENSITIVITIES);
    // row -1 is the base run, whose changes are 0
    for (int s = -1; s < count; ++s) {
        for (int group = 0; group < kGroups; ++group) {
            const TalvekPresentValues &base = valuation.present_values[group];
            const TalvekPresentValues &pv = s < 0 ? base : valuation.sensitivities[s].present_values[group];
            if (s < 0) {
                text += "base,0,";
            } else {
                text += std::string(kindName(valuation.sensitivities[s].sensitivity.kind)) + ',';
                appendNumber(text, valuation.sensitivities[s].sensitivity.size);
                text += ',';
            }
            text += kGroupNames[group];
            for (const double value : {pv.benefits, pv.obligation, pv.service_cost, pv.contributions,
                                       pv.benefits_duration}) {
                text += ',';
                appendNumber(text, value);
            }
            appendChange(text, pv.benefits, base.benefits);
            appendChange(text, pv.obligation, base.obligation);
            appendChange(text, pv.service_cost, base.service_cost);
            appendChange(text, pv.contributions, base.contributions);
            appendChange(text, pv.benefits_duration, base.benefits_duration);
            text += '\n';
        }
    }
    return text;
}

std::string discountFactorsText(const TalvekValuation &valuation) {
    std::string text = "year,discount_factor,mid_year_discount_factor\n";
    for (int year = 0; year < TALVEK_CURVE_SIZE; ++year) {
        text += std::to_string(year) + ',';
        appendNumber(text, valuation.discount_factors[year]);
        text += ',';
        // no flow falls in year 0: it has no mid-year factor
        if (year > 0) appendNumber(text, valuation.mid_year_factors[year]);
        text += '\n';
    }
    return text;
}

std::string perMemberRow(const TalvekMemberValues &member) {
    // the texts as read, cut at their room should the terminating NUL be missing
    const std::string number(member.member_number, strnlen(member.member_number, sizeof member.member_number));
    const std::string sex = member.sex == '\0' ? std::string() : std::string(1, member.sex);
    const bool known = member.status >= 1 && member.status <= TALVEK_MEMBER_STATUSES;
    std::string row = std::to_string(member.line) + ',' + csvField(number) + ',' +
                      (known ? kGroupNames[member.status] : std::to_string(member.status)) + ',' + csvField(sex) +
                      ',' + std::to_string(member.age);
    for (const double value : {member.benefits, member.contributions, member.obligation, member.service_cost,
                               member.duration}) {
        row += ',';
        appendNumber(row, value);
    }
    return row + '\n';
}

bool writeValuationFiles(const std::filesystem::path &directory, const TalvekValuation &valuation,
                         const ValuationChoice &choice, const std::string &comment,
                         std::vector<std::string> &written, std::string &problem) {
    const struct {
        const char *name;
        int array;
    } byStatus[] = {{kMemberCountsByStatusFile, kByStatusMemberCounts},
                    {kDecrementCountsByStatusFile, kByStatusDecrementCounts},
                    {kCashflowsByStatusFile, kByStatusCashflows}};
    for (const auto &file : byStatus) {
        if (!writeWholeFile(directory / file.name, byStatusText(valuation, file.array, comment), problem))
            return false;
        written.push_back(file.name);
    }
    if (!writeWholeFile(directory / kPresentValuesFile, presentValuesText(valuation, comment), problem)) return false;
    written.push_back(kPresentValuesFile);
    if (!writeWholeFile(directory / kDiscountFactorsFile, discountFactorsText(valuation), problem)) return false;
    written.push_back(kDiscountFactorsFile);
    if (choice.perMember) {
        if (!writePerMemberFile(directory / kPerMemberFile, valuation, comment, problem)) return false;
        written.push_back(kPerMemberFile);
    }
    if (choice.sensitivities) {
        if (!writeWholeFile(directory / kSensitivitiesFile, sensitivitiesText(valuation, comment), problem))
            return false;
        written.push_back(kSensitivitiesFile);
    }
    return true;
}

std::string curveDescription(const PlanBasis &basis) {
    const ValuationBasis &v = basis.valuation;
    if (v.curveForm == CurveForm::BasisRates) {
        return "the basis's discount rates, " + formatRate(basis.discountRateYears1To10) + " in years 1 to 10 and " +
               formatRate(basis.discountRateYears11To110) + " in years 11 to 110";
    }
    const bool spot = v.curveForm == CurveForm::SpotRates;
    std::string text = std::string(spot ? "spot rates by term" : "forward rates by year") + " from [discount], " +
                       std::to_string(v.termsGiven) + (spot ? " terms" : " years") + " given";
    if (v.termsGiven < kCurveYears)
        text += ", the last (" + formatRate(v.curve[v.termsGiven]) + ") carried on to " + (spot ? "term" : "year") +
                " 110";
    return text;
}

// An aligned table: the first column left, the others right.
void printAlignedTable(std::FILE *out, const std::vector<std::vector<std::string>> &rows) {
    std::vector<size_t> width;
    for (const auto &row : rows)
        for (size_t c = 0; c < row.size(); ++c) {
            if (width.size() <= c) width.push_back(0);
            width[c] = std::max(width[c], row[c].size());
        }
    for (const auto &row : rows) {
        std::fprintf(out, " ");
        for (size_t c = 0; c < row.size(); ++c)
            std::fprintf(out, c == 0 ? " %-*s" : "  %*s", static_cast<int>(width[c]), row[c].c_str());
        std::fprintf(out, "\n");
    }
}

namespace {

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string changeText(double value, double base) {
    return base != 0.0 ? fixed(100.0 * (value / base - 1.0), 2) + " %" : std::string("-");
}

} // namespace

void writeValuationSummary(std::FILE *out, const TalvekValuation &valuation, const ValuationChoice &choice,
                           const PlanBasis &basis) {
    std::fprintf(out, "\nPresent values at the valuation date (flows of year t discounted from t - 0.5; %s):\n",
                 curveDescription(basis).c_str());
    std::vector<std::vector<std::string>> rows = {
        {"", "PVFB", "contributions", "DBO", "service cost", "duration"}};
    // the statuses, then their total
    for (int i = 1; i <= kGroups; ++i) {
        const int group = i % kGroups;
        const TalvekPresentValues &pv = valuation.present_values[group];
        rows.push_back({kGroupNames[group], fixed(pv.benefits, 0), fixed(pv.contributions, 0),
                        fixed(pv.obligation, 0), fixed(pv.service_cost, 0), fixed(pv.benefits_duration, 2)});
    }
    printAlignedTable(out, rows);
    std::fprintf(out, "  (PVFB: all benefits; DBO: benefits for the service completed at the valuation date; "
                      "duration: of PVFB, years)\n");
    if (!choice.sensitivities) return;
    std::fprintf(out, "\nSensitivities, every member (change from the base in per cent):\n");
    const TalvekPresentValues &base = valuation.present_values[kAllMembers];
    rows = {{"", "size", "PVFB", "change", "DBO", "change", "service cost", "change", "duration"}};
    rows.push_back({"base", "", fixed(base.benefits, 0), "", fixed(base.obligation, 0), "", fixed(base.service_cost, 0),
                    "", fixed(base.benefits_duration, 2)});
    const int count = std::clamp(valuation.sensitivity_count, 0, TALVEK_MAX_SENSITIVITIES);
    for (int s = 0; s < count; ++s) {
        const TalvekSensitivityResult &result = valuation.sensitivities[s];
        const TalvekPresentValues &pv = result.present_values[kAllMembers];
        const bool factor = result.sensitivity.kind == static_cast<int32_t>(SensitivityKind::Mortality);
        std::string size = factor ? "x " + formatRate(result.sensitivity.size)
                                  : (result.sensitivity.size >= 0 ? "+" : "") + formatRate(result.sensitivity.size);
        rows.push_back({kindName(result.sensitivity.kind), size, fixed(pv.benefits, 0),
                        changeText(pv.benefits, base.benefits), fixed(pv.obligation, 0),
                        changeText(pv.obligation, base.obligation), fixed(pv.service_cost, 0),
                        changeText(pv.service_cost, base.service_cost), fixed(pv.benefits_duration, 2)});
    }
    printAlignedTable(out, rows);
}
