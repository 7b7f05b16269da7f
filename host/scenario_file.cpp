#include "scenario_file.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "sha256.h"

const char *const kScenarioColumnNames[kScenarioColumns] = {
    "scenario",
    "year",
    "inflation",
    "salary_growth",
    "discount_rate",
    "spot_rate",
    "annuity_discount_rate_years_1_to_10",
    "annuity_discount_rate_years_11_to_110",
    "annuity_indexation_rate_years_1_to_10",
    "annuity_indexation_rate_years_11_to_110"};

namespace {

constexpr int kNoColumn = -1;
constexpr int kFirstAnnuityColumn = kScenarioAnnuityDiscount1To10Column;
constexpr size_t kReadChunk = 65536;

// The annuity column of each TalvekAnnuityRate element.
constexpr int kAnnuityColumnOf[TALVEK_ANNUITY_RATES] = {
    kScenarioAnnuityDiscount1To10Column, kScenarioAnnuityDiscount11To110Column,
    kScenarioAnnuityIndexation1To10Column, kScenarioAnnuityIndexation11To110Column};

// The scenario being read: its rows so far.
struct OpenScenario {
    int64_t label = 0;
    int64_t firstLine = 0;
    int64_t lastYear = -1;                   // the last year read, kept or skipped
    std::array<int64_t, kYearlyRateRow> yearLine{}; // the line of each year 0..110, 0 while unseen
    std::array<double, TALVEK_YEARLY_RATES_SIZE> yearlyRates{};
    std::array<double, TALVEK_CURVE_SIZE> curve{};
    std::array<double, TALVEK_ANNUITY_RATES> annuity{};
    int64_t annuityLine = 0; // the line that gave the annuity rates, 0 before
};

struct Reading {
    std::string shownName;
    const PlanBasis *basis = nullptr;
    ScenarioFileSet *set = nullptr;
    std::string *problem = nullptr;
    int64_t line = 0;            // the line being read, from 1
    bool headerRead = false;
    std::vector<int> columnOf;   // ScenarioColumn of each field of the header, kNoColumn for none
    int fieldOf[kScenarioColumns];
    size_t fieldCount = 0;
    bool open = false;           // a scenario is being read
    OpenScenario scenario;
    std::unordered_set<int64_t> labelsSeen;
    std::string pending;         // the start of a line whose end is not yet read
    std::vector<std::string> fields;
};

bool fail(Reading &r, const std::string &where, const std::string &what) {
    *r.problem = r.shownName + ": " + where + what;
    return false;
}

std::string lineWhere(const Reading &r) { return "line " + std::to_string(r.line) + ": "; }

std::string cellWhere(const Reading &r, size_t field) {
    std::string where = "line " + std::to_string(r.line) + ", column " + std::to_string(field + 1);
    if (field < r.columnOf.size() && r.columnOf[field] != kNoColumn)
        where += std::string(" (") + kScenarioColumnNames[r.columnOf[field]] + ")";
    return where + ": ";
}

std::string trimmed(const std::string &text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(begin, end - begin);
}

// The fields of one line split at commas; a field in double quotes may hold
// commas, and a doubled quote inside it stands for one.
void splitFields(const std::string &line, std::vector<std::string> &fields) {
    fields.clear();
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(trimmed(field));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(trimmed(field));
}

int columnNamed(const std::string &name) {
    for (int c = 0; c < kScenarioColumns; ++c)
        if (name == kScenarioColumnNames[c]) return c;
    return kNoColumn;
}

std::string knownColumns() {
    std::string list;
    for (int c = 0; c < kScenarioColumns; ++c) list += std::string(c == 0 ? "" : ", ") + kScenarioColumnNames[c];
    return list;
}

bool readHeader(Reading &r) {
    r.columnOf.assign(r.fields.size(), kNoColumn);
    for (int &field : r.fieldOf) field = kNoColumn;
    for (size_t f = 0; f < r.fields.size(); ++f) {
        const int column = columnNamed(r.fields[f]);
        if (column == kNoColumn)
            return fail(r, cellWhere(r, f), "unknown column \"" + r.fields[f] + "\" (the columns are " +
                                                knownColumns() + ")");
        if (r.fieldOf[column] != kNoColumn)
            return fail(r, cellWhere(r, f), "the column \"" + r.fields[f] + "\" appears again (first in column " +
                                                std::to_string(r.fieldOf[column] + 1) + ")");
        r.columnOf[f] = column;
        r.fieldOf[column] = static_cast<int>(f);
    }
    for (const int required : {kScenarioLabelColumn, kScenarioYearColumn})
        if (r.fieldOf[required] == kNoColumn)
            return fail(r, lineWhere(r), std::string("the header has no column \"") + kScenarioColumnNames[required] +
                                             "\", which every scenario file needs");
    if (r.fieldOf[kScenarioDiscountRateColumn] != kNoColumn && r.fieldOf[kScenarioSpotRateColumn] != kNoColumn) {
        const size_t later = static_cast<size_t>(
            std::max(r.fieldOf[kScenarioDiscountRateColumn], r.fieldOf[kScenarioSpotRateColumn]));
        return fail(r, cellWhere(r, later), "discount_rate and spot_rate both give the discount curve; give one "
                                            "of them");
    }
    r.fieldCount = r.fields.size();
    for (int c = 0; c < kScenarioColumns; ++c) r.set->columnGiven[c] = r.fieldOf[c] != kNoColumn;
    r.set->curveKind = r.set->columnGiven[kScenarioDiscountRateColumn] ? TALVEK_CURVE_FORWARD_RATES
                       : r.set->columnGiven[kScenarioSpotRateColumn]   ? TALVEK_CURVE_SPOT_RATES
                                                                       : TALVEK_CURVE_BASIS;
    r.headerRead = true;
    return true;
}

// A whole number in decimal digits only (no sign, point or exponent).
bool wholeNumberOf(const std::string &text, int64_t &value) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// A finite rate above -1 (1 + rate a growth or discount factor above 0).
bool rateOf(Reading &r, size_t field, double &rate) {
    const std::string &text = r.fields[field];
    const auto result = std::from_chars(text.data(), text.data() + text.size(), rate);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || !std::isfinite(rate))
        return fail(r, cellWhere(r, field), "\"" + text + "\" is not a finite number");
    if (rate <= -1.0) return fail(r, cellWhere(r, field), text + " is a rate of -1 or below");
    return true;
}

// A scenario's rows before its first: every rate the basis's, the curve
// (when the file gives one) still to come.
void openScenario(Reading &r, int64_t label) {
    OpenScenario &s = r.scenario;
    s = OpenScenario{};
    s.label = label;
    s.firstLine = r.line;
    const PlanBasis &basis = *r.basis;
    for (int year = 0; year < kYearlyRateRow; ++year) {
        s.yearlyRates[TALVEK_YEARLY_INFLATION + year] = basis.inflation[year];
        s.yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + year] = basis.realWageGrowth[year];
    }
    s.annuity[TALVEK_ANNUITY_DISCOUNT_YEARS_1_TO_10] = basis.discountRateYears1To10;
    s.annuity[TALVEK_ANNUITY_DISCOUNT_YEARS_11_TO_110] = basis.discountRateYears11To110;
    s.annuity[TALVEK_ANNUITY_INDEXATION_YEARS_1_TO_10] = basis.indexationRateYears1To10;
    s.annuity[TALVEK_ANNUITY_INDEXATION_YEARS_11_TO_110] = basis.indexationRateYears11To110;
    r.labelsSeen.insert(label);
    r.open = true;
}

// The scenario read whole: years 1..110 all there, then its vectors kept.
bool closeScenario(Reading &r) {
    const OpenScenario &s = r.scenario;
    std::vector<int> missing;
    for (int year = 1; year <= kScenarioLastYear; ++year)
        if (s.yearLine[year] == 0) missing.push_back(year);
    if (!missing.empty()) {
        std::string years;
        for (size_t i = 0; i < missing.size() && i < 5; ++i) years += (i == 0 ? "" : ", ") + std::to_string(missing[i]);
        if (missing.size() > 5) years += " and " + std::to_string(missing.size() - 5) + " more";
        return fail(r, "lines " + std::to_string(s.firstLine) + " to " + std::to_string(r.line - 1) +
                           ", column " + std::to_string(r.fieldOf[kScenarioYearColumn] + 1) + " (year): ",
                    "scenario " + std::to_string(s.label) + " has no row" + (missing.size() == 1 ? " for year " : "s for years ") +
                        years + " (years 1 to 110 are all needed)");
    }
    ScenarioFileSet &set = *r.set;
    // the engine counts scenarios in 32 bits
    if (set.labels.size() >= size_t(INT32_MAX))
        return fail(r, lineWhere(r), "more than " + std::to_string(INT32_MAX) + " scenarios");
    set.labels.push_back(s.label);
    set.yearlyRates.insert(set.yearlyRates.end(), s.yearlyRates.begin(), s.yearlyRates.end());
    bool annuity = false;
    for (int c = kFirstAnnuityColumn; c < kFirstAnnuityColumn + TALVEK_ANNUITY_RATES; ++c)
        annuity = annuity || set.columnGiven[c];
    if (annuity) set.annuityRates.insert(set.annuityRates.end(), s.annuity.begin(), s.annuity.end());
    if (set.curveKind != TALVEK_CURVE_BASIS) set.discountCurves.insert(set.discountCurves.end(), s.curve.begin(), s.curve.end());
    r.open = false;
    return true;
}

// The rates of one kept year of the open scenario.
bool readRates(Reading &r, int year) {
    OpenScenario &s = r.scenario;
    double rate = 0.0;
    const int inflation = r.fieldOf[kScenarioInflationColumn];
    if (inflation != kNoColumn) {
        if (!rateOf(r, size_t(inflation), rate)) return false;
        s.yearlyRates[TALVEK_YEARLY_INFLATION + year] = rate;
    }
    const int growth = r.fieldOf[kScenarioSalaryGrowthColumn];
    if (growth != kNoColumn) {
        if (!rateOf(r, size_t(growth), rate)) return false;
        s.yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + year] = rate;
    }
    const int curve = r.set->curveKind == TALVEK_CURVE_FORWARD_RATES ? r.fieldOf[kScenarioDiscountRateColumn]
                                                                     : r.fieldOf[kScenarioSpotRateColumn];
    // the curve starts at year (or term) 1: year 0's value is not read and may be empty
    if (r.set->curveKind != TALVEK_CURVE_BASIS && year > 0) {
        if (!rateOf(r, size_t(curve), rate)) return false;
        s.curve[year] = rate;
    }
    for (int a = 0; a < TALVEK_ANNUITY_RATES; ++a) {
        const int field = r.fieldOf[kAnnuityColumnOf[a]];
        if (field == kNoColumn) continue;
        if (!rateOf(r, size_t(field), rate)) return false;
        // one value per scenario: the first kept row sets it, every later row repeats it
        if (s.annuityLine == 0) {
            s.annuity[a] = rate;
        } else if (rate != s.annuity[a]) {
            char value[64];
            const auto end = std::to_chars(value, value + sizeof value, s.annuity[a]).ptr;
            return fail(r, cellWhere(r, size_t(field)),
                        r.fields[size_t(field)] + " differs from " + std::string(value, end) + " on line " +
                            std::to_string(s.annuityLine) + " of scenario " + std::to_string(s.label) +
                            " (the annuity rates are one value per scenario)");
        }
    }
    if (s.annuityLine == 0) s.annuityLine = r.line;
    return true;
}

bool readRow(Reading &r) {
    if (r.fields.size() != r.fieldCount)
        return fail(r, lineWhere(r), std::to_string(r.fields.size()) + " field" + (r.fields.size() == 1 ? "" : "s") +
                                         " where the header has " + std::to_string(r.fieldCount));
    const size_t labelField = size_t(r.fieldOf[kScenarioLabelColumn]);
    const size_t yearField = size_t(r.fieldOf[kScenarioYearColumn]);
    int64_t label = 0;
    if (!wholeNumberOf(r.fields[labelField], label) || label < 1)
        return fail(r, cellWhere(r, labelField),
                    "\"" + r.fields[labelField] + "\" is not a scenario label (a whole number 1 or above)");
    int64_t year = 0;
    if (!wholeNumberOf(r.fields[yearField], year))
        return fail(r, cellWhere(r, yearField), "\"" + r.fields[yearField] + "\" is not a year (a whole number 0 or above)");
    if (!r.open || label != r.scenario.label) {
        if (r.open && !closeScenario(r)) return false;
        if (r.labelsSeen.count(label) != 0)
            return fail(r, cellWhere(r, labelField), "scenario " + std::to_string(label) + " appears again after "
                        "scenario " + std::to_string(r.set->labels.back()) + " (each scenario's rows must be together)");
        openScenario(r, label);
    }
    OpenScenario &s = r.scenario;
    if (year <= kScenarioLastYear && s.yearLine[size_t(year)] != 0)
        return fail(r, cellWhere(r, yearField), "year " + std::to_string(year) + " of scenario " +
                    std::to_string(label) + " appears again (first on line " + std::to_string(s.yearLine[size_t(year)]) + ")");
    if (year <= s.lastYear)
        return fail(r, cellWhere(r, yearField), "year " + std::to_string(year) + " of scenario " +
                    std::to_string(label) + " comes after year " + std::to_string(s.lastYear) +
                    " (the years of a scenario ascend)");
    // years beyond the projection are allowed and skipped: nothing of them is kept
    if (year > kScenarioLastYear) {
        s.lastYear = year;
        ++r.set->skippedRows;
        return true;
    }
    if (!readRates(r, static_cast<int>(year))) return false;
    s.yearLine[size_t(year)] = r.line;
    s.lastYear = year;
    return true;
}

// One line of the file, its line break taken off.
bool readLine(Reading &r, std::string &line) {
    ++r.line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // a byte order mark before the header is not part of its first name
    if (r.line == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    // blank lines and comment lines ("# ...") carry no row
    const std::string content = trimmed(line);
    if (content.empty() || content[0] == '#') return true;
    splitFields(line, r.fields);
    return r.headerRead ? readRow(r) : readHeader(r);
}

// The bytes of the file as they come, cut into lines.
bool feedBytes(Reading &r, const char *bytes, size_t count) {
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] != '\n') continue;
        r.pending.append(bytes + start, i - start);
        if (!readLine(r, r.pending)) return false;
        r.pending.clear();
        start = i + 1;
    }
    r.pending.append(bytes + start, count - start);
    return true;
}

bool finishReading(Reading &r) {
    // the last line need not end with a line break
    if (!r.pending.empty() && !readLine(r, r.pending)) return false;
    ++r.line; // the scenario's last line is the one before
    if (!r.headerRead) return fail(r, "", "the file is empty: it has no header line");
    if (r.open && !closeScenario(r)) return false;
    if (r.set->labels.empty()) return fail(r, "", "the file holds no scenario (a header and no rows)");
    r.set->lines = r.line - 1;
    return true;
}

void startReading(Reading &r, const std::string &shownName, const PlanBasis &basis, ScenarioFileSet &set,
                  std::string &problem) {
    set = ScenarioFileSet{};
    r.shownName = shownName;
    r.basis = &basis;
    r.set = &set;
    r.problem = &problem;
}

} // namespace

int64_t scenarioCount(const ScenarioFileSet &set) { return static_cast<int64_t>(set.labels.size()); }

bool readScenarioText(const std::string &text, const std::string &shownName, const PlanBasis &basis,
                      ScenarioFileSet &set, std::string &problem) {
    Reading r;
    startReading(r, shownName, basis, set, problem);
    set.sha256 = sha256OfText(text);
    set.bytes = text.size();
    if (feedBytes(r, text.data(), text.size()) && finishReading(r)) return true;
    set = ScenarioFileSet{};
    return false;
}

bool readScenarioFile(const std::filesystem::path &path, const std::string &shownName, const PlanBasis &basis,
                      ScenarioFileSet &set, std::string &problem) {
    Reading r;
    startReading(r, shownName, basis, set, problem);
    std::FILE *in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        problem = shownName + ": cannot read the scenario file: " + std::strerror(errno);
        return false;
    }
    Sha256State digest;
    sha256Start(digest);
    std::vector<char> chunk(kReadChunk);
    bool ok = true;
    size_t got = 0;
    while (ok && (got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
        sha256Add(digest, reinterpret_cast<const unsigned char *>(chunk.data()), got);
        set.bytes += got;
        ok = feedBytes(r, chunk.data(), got);
    }
    // a read that failed is not an end of the file
    if (ok && std::ferror(in)) {
        problem = shownName + ": cannot read the scenario file to its end: " + std::strerror(errno);
        ok = false;
    }
    std::fclose(in);
    ok = ok && finishReading(r);
    if (!ok) {
        set = ScenarioFileSet{};
        return false;
    }
    set.sha256 = sha256Finish(digest);
    return true;
}

TalvekScenarioSet engineScenarioSet(const ScenarioFileSet &set) {
    TalvekScenarioSet engine{};
    engine.scenario_count = static_cast<int32_t>(set.labels.size());
    engine.curve_kind = set.discountCurves.empty() ? TALVEK_CURVE_BASIS : set.curveKind;
    engine.yearly_rates = set.yearlyRates.data();
    engine.annuity_rates = set.annuityRates.empty() ? nullptr : set.annuityRates.data();
    engine.discount_curves = set.discountCurves.empty() ? nullptr : set.discountCurves.data();
    return engine;
}
