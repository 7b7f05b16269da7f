#include "basis_file.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "basis_values.h"
#include "member_file_basis.h"
#include "valuation_basis_file.h"

const char *const kMemberFieldNames[kMemberFields + 1] = {
    "",                       // no field code 0
    "member_number",          // 1
    "status",                 // 2
    "age",                    // 3
    "sex",                    // 4
    "annual_salary",          // 5
    "service_with_guarantee", // 6, weeks
    "service_without_guarantee", // 7, weeks
    "current_pension",        // 8
    "marital_status",         // 9
    "spouse_age",             // 10
    "years_retired",          // 11
    "bridge_pension",         // 12
    "guaranteed_fraction",    // 13
    "average_salary",         // 14
};

const char *const kStatusNames[kStatuses + 1] = {
    "", "in_service", "pensioner", "disabled", "deferred", "surviving_spouse",
};

namespace {

// Ranges the valuation works with. The limits on ages and counts keep every
// table read inside the arrays the library is given.
constexpr Range kYear{1900, 2200, true};
constexpr Range kShare{0, 1, false};
constexpr Range kRate{-0.5, 1, false};          // a yearly rate; 1 + rate stays well above 0
constexpr Range kProbability{0, 1, false};
constexpr Range kImprovement{-0.5, 0.5, false};
constexpr Range kAge{15, 120, true};
constexpr Range kAveragingYears{1, 59, true};   // past salaries and ceilings hold 59 years
// with 0 years the pensioners of members in service would vanish after one
// year; the cohort rings hold at most 19 years
constexpr Range kGuaranteePeriod{1, 19, true};
// the transfer-value table holds exit ages up to 60, one below the earliest
// retirement age
constexpr Range kFirstRetirementAge{15, 61, true};
constexpr Range kServiceFrom{0, 100, true};
constexpr Range kFactor{0, 10, false};
// a man's spouse this much younger must keep the transfer-value table's year
// index within the 110 projection years
constexpr Range kSpouseAgeDifference{0, 6, true};
constexpr Range kDisabledAgeAddition{0, 30, true};
constexpr Range kLoading{0, 10, false};
constexpr Range kCeiling{1, 1e9, false};

// The library's by-age tables: the age column and the rate column share a
// fixed number of slots; the slot after the last listed age holds the age at
// which the table stops.
constexpr AgeLimits kRetirementRateAges{15, 120, 25};
constexpr AgeLimits kWithdrawalRateAges{15, 120, 30};
constexpr AgeLimits kDisabilityRateAges{15, 120, 45};
constexpr AgeLimits kSalaryScaleAges{15, 120, 46};

void readMortality(BasisReader &reader, const toml::table &root, PlanBasis &basis) {
    const toml::table *mortality = readTable(reader, root, "mortality", "");
    if (mortality == nullptr) return;
    checkKnownKeys(reader, *mortality, "mortality", {"base_year", "male", "female"});
    readWhole(reader, *mortality, "base_year", "mortality", kYear, basis.mortalityBaseYear);
    const char *sexes[2] = {"male", "female"};
    for (int sex = 0; sex < 2; ++sex) {
        const std::string path = std::string("mortality.") + sexes[sex];
        const toml::table *rates = readTable(reader, *mortality, sexes[sex], "mortality");
        if (rates == nullptr) continue;
        checkKnownKeys(reader, *rates, path, {"base", "improvement"});
        readRatesForAllAges(reader, *rates, "base", path, kProbability, true,
                            sex == 0 ? basis.maleBaseMortality : basis.femaleBaseMortality);
        readRatesForAllAges(reader, *rates, "improvement", path, kImprovement, false,
                            sex == 0 ? basis.maleImprovement : basis.femaleImprovement);
    }
}

void readRetirementFactors(BasisReader &reader, const toml::table &plan, PlanBasis &basis) {
    const std::string path = "plan.retirement_factors";
    const toml::table *factors = readTable(reader, plan, "retirement_factors", "plan");
    if (factors == nullptr) return;
    checkKnownKeys(reader, *factors, path, {"first_age", "last_age", "rows"});
    bool ok = readWhole(reader, *factors, "first_age", path, kFirstRetirementAge,
                        basis.firstRetirementAge);
    if (ok) {
        // at most 21 retirement ages: one factor column each
        const Range lastAge{double(basis.firstRetirementAge),
                            double(basis.firstRetirementAge + kMaxRetirementAges - 1), true};
        ok = readWhole(reader, *factors, "last_age", path, lastAge, basis.lastRetirementAge);
    }
    const toml::node *rowsNode = factors->get("rows");
    const toml::array *rows = rowsNode != nullptr ? rowsNode->as_array() : nullptr;
    const std::string rowsShape = "1 to 10 rows [[plan.retirement_factors.rows]], each "
                                  "{ service_from = YEARS, factors = [...] }";
    if (rows == nullptr || rows->empty() || rows->size() > size_t(kMaxFactorRows)) {
        reportProblem(reader, rowsNode != nullptr ? rowsNode : factors, path + ".rows",
                      rowsNode == nullptr ? "missing" : "not 1 to 10 rows", rowsShape);
        return;
    }
    basis.factorRows.clear();
    for (size_t i = 0; i < rows->size(); ++i) {
        const std::string rowPath = path + ".rows[" + std::to_string(i) + "]";
        const toml::table *row = rows->get(i)->as_table();
        if (row == nullptr) {
            reportProblem(reader, rows->get(i), rowPath, "not a table", rowsShape);
            continue;
        }
        checkKnownKeys(reader, *row, rowPath, {"service_from", "factors"});
        FactorRow factorRow;
        if (readWhole(reader, *row, "service_from", rowPath, kServiceFrom, factorRow.serviceFrom)) {
            // every service must find a row: the first row starts at 0 years
            if (i == 0 && factorRow.serviceFrom != 0) {
                reportProblem(reader, row->get("service_from"), rowPath + ".service_from",
                              std::to_string(factorRow.serviceFrom) + " is not 0",
                              "0 for the first row");
            }
            if (i > 0 && !basis.factorRows.empty() &&
                factorRow.serviceFrom < basis.factorRows.back().serviceFrom) {
                reportProblem(reader, row->get("service_from"), rowPath + ".service_from",
                              std::to_string(factorRow.serviceFrom) + " is below the row before",
                              "a whole number from " +
                                  std::to_string(basis.factorRows.back().serviceFrom) + " to 100");
            }
        }
        const toml::node *list = row->get("factors");
        const toml::array *values = list != nullptr ? list->as_array() : nullptr;
        const int columns = basis.lastRetirementAge - basis.firstRetirementAge + 1;
        const std::string countShape = "one factor for each retirement age " +
                                       std::to_string(basis.firstRetirementAge) + " to " +
                                       std::to_string(basis.lastRetirementAge) + " (" +
                                       std::to_string(columns) + " factors)";
        if (values == nullptr || (ok && values->size() != size_t(columns))) {
            reportProblem(reader, list != nullptr ? list : row, rowPath + ".factors",
                          values == nullptr ? "missing list"
                                            : std::to_string(values->size()) + " factors",
                          countShape);
        } else {
            for (size_t v = 0; v < values->size(); ++v) {
                double factor = 0;
                readNumberNode(reader, *values->get(v),
                               rowPath + ".factors[" + std::to_string(v) + "] (age " +
                                   std::to_string(basis.firstRetirementAge + int(v)) + ")",
                               kFactor, factor);
                factorRow.factors.push_back(factor);
            }
        }
        basis.factorRows.push_back(factorRow);
    }
    // ten rows that all start at 0 years read as a falling table, leaving
    // every service without a row
    if (basis.factorRows.size() == size_t(kMaxFactorRows) &&
        basis.factorRows.back().serviceFrom == 0) {
        reportProblem(reader, rowsNode, path + ".rows", "ten rows all from 0 years of service",
                      "a last row starting above 0 years when ten rows are given");
    }
}

void readPlan(BasisReader &reader, const toml::table &root, PlanBasis &basis) {
    const toml::table *plan = readTable(reader, root, "plan", "");
    if (plan == nullptr) return;
    const std::string path = "plan";
    checkKnownKeys(reader, *plan, path,
                   {"averaging_years", "lower_accrual_rate", "upper_accrual_rate", "indexation_share",
                    "spouse_fraction", "guarantee_period", "bridge_rate", "bridge_start_age",
                    "bridge_end_age", "contributions", "retirement_factors"});
    readWhole(reader, *plan, "averaging_years", path, kAveragingYears, basis.averagingYears);
    readNumber(reader, *plan, "lower_accrual_rate", path, kShare, basis.lowerAccrualRate);
    readNumber(reader, *plan, "upper_accrual_rate", path, kShare, basis.upperAccrualRate);
    readNumber(reader, *plan, "indexation_share", path, kShare, basis.indexationShare);
    readNumber(reader, *plan, "spouse_fraction", path, kShare, basis.spouseFraction);
    readWhole(reader, *plan, "guarantee_period", path, kGuaranteePeriod, basis.guaranteePeriod);
    readNumber(reader, *plan, "bridge_rate", path, kShare, basis.bridgeRate);
    const bool startRead = readWhole(reader, *plan, "bridge_start_age", path, kAge, basis.bridgeStartAge);
    if (startRead) {
        readWhole(reader, *plan, "bridge_end_age", path,
                  Range{double(basis.bridgeStartAge), 120, true}, basis.bridgeEndAge);
    }
    if (const toml::table *contributions = readTable(reader, *plan, "contributions", path)) {
        const std::string sub = "plan.contributions";
        checkKnownKeys(reader, *contributions, sub,
                       {"member_up_to_ceiling", "member_above_ceiling", "employer_up_to_ceiling",
                        "employer_above_ceiling"});
        readNumber(reader, *contributions, "member_up_to_ceiling", sub, kShare, basis.memberRateUpToCeiling);
        readNumber(reader, *contributions, "member_above_ceiling", sub, kShare, basis.memberRateAboveCeiling);
        readNumber(reader, *contributions, "employer_up_to_ceiling", sub, kShare,
                   basis.employerRateUpToCeiling);
        readNumber(reader, *contributions, "employer_above_ceiling", sub, kShare,
                   basis.employerRateAboveCeiling);
    }
    readRetirementFactors(reader, *plan, basis);
}

void readDecrements(BasisReader &reader, const toml::table &root, PlanBasis &basis) {
    const toml::table *decrements = readTable(reader, root, "decrements", "");
    if (decrements == nullptr) return;
    const std::string path = "decrements";
    checkKnownKeys(reader, *decrements, path,
                   {"disablement_loading", "disabled_age_addition", "transfer_share",
                    "spouse_age_difference", "deferred_retirement_age", "retirement_rates",
                    "withdrawal_rates", "disability_rates"});
    readNumber(reader, *decrements, "disablement_loading", path, kLoading, basis.disablementLoading);
    readWhole(reader, *decrements, "disabled_age_addition", path, kDisabledAgeAddition,
              basis.disabledAgeAddition);
    readNumber(reader, *decrements, "transfer_share", path, kShare, basis.transferShare);
    readWhole(reader, *decrements, "spouse_age_difference", path, kSpouseAgeDifference,
              basis.spouseAgeDifference);
    const bool retirementRead = readAgeTable(reader, *decrements, "retirement_rates", path,
                                             kRetirementRateAges, kProbability, basis.retirementRates);
    readAgeTable(reader, *decrements, "withdrawal_rates", path, kWithdrawalRateAges, kProbability,
                 basis.withdrawalRates);
    readAgeTable(reader, *decrements, "disability_rates", path, kDisabilityRateAges, kProbability,
                 basis.disabilityRates);

    // deferred members retiring before the retirement rates begin would leave
    // deferment without joining a pensioner cohort
    const int firstRateAge = retirementRead ? basis.retirementRates.firstAge : 15;
    int deferredAge = 0;
    if (readWhole(reader, *decrements, "deferred_retirement_age", path, Range{0, 120, true}, deferredAge)) {
        if (deferredAge != 0 && deferredAge < firstRateAge) {
            reportProblem(reader, decrements->get("deferred_retirement_age"),
                          path + ".deferred_retirement_age", std::to_string(deferredAge) + " is out of range",
                          "0 (retire by the retirement rates) or a whole number from " +
                              std::to_string(firstRateAge) + " to 120");
        }
        basis.deferredRetirementAge = deferredAge;
    }
}

void readEconomic(BasisReader &reader, const toml::table &root, PlanBasis &basis) {
    const toml::table *economic = readTable(reader, root, "economic", "");
    if (economic == nullptr) return;
    const std::string path = "economic";
    checkKnownKeys(reader, *economic, path,
                   {"discount_rate", "indexation_rate", "salary_ceiling", "carry_back_rate",
                    "inflation", "real_wage_growth", "salary_scale"});
    const char *splitKeys[2] = {"discount_rate", "indexation_rate"};
    double *targets[2][2] = {{&basis.discountRateYears1To10, &basis.discountRateYears11To110},
                             {&basis.indexationRateYears1To10, &basis.indexationRateYears11To110}};
    for (int k = 0; k < 2; ++k) {
        const toml::table *split = readTable(reader, *economic, splitKeys[k], path);
        if (split == nullptr) continue;
        const std::string sub = joinKey(path, splitKeys[k]);
        checkKnownKeys(reader, *split, sub, {"years_1_to_10", "years_11_to_110"});
        readNumber(reader, *split, "years_1_to_10", sub, kRate, *targets[k][0]);
        readNumber(reader, *split, "years_11_to_110", sub, kRate, *targets[k][1]);
    }
    readNumber(reader, *economic, "salary_ceiling", path, kCeiling, basis.salaryCeiling);
    readNumber(reader, *economic, "carry_back_rate", path, kRate, basis.carryBackRate);
    readYearlyRates(reader, *economic, "inflation", path, kRate, basis.inflation);
    readYearlyRates(reader, *economic, "real_wage_growth", path, kRate, basis.realWageGrowth);
    readAgeTable(reader, *economic, "salary_scale", path, kSalaryScaleAges, kRate, basis.salaryScale);
}

// A by-age table whose ages start before the first retirement factor would
// take a retiree's factor from outside the row.
void checkRetirementAges(BasisReader &reader, const PlanBasis &basis) {
    if (basis.firstRetirementAge == 0 || basis.retirementRates.values.empty()) return;
    if (basis.firstRetirementAge > basis.retirementRates.firstAge) {
        reportProblem(reader, nullptr, "plan.retirement_factors.first_age",
                      std::to_string(basis.firstRetirementAge) +
                          " is above decrements.retirement_rates.from (" +
                          std::to_string(basis.retirementRates.firstAge) + ")",
                      "a whole number from 15 to " +
                          std::to_string(std::min(61, basis.retirementRates.firstAge)));
    }
}

} // namespace

bool readBasisText(std::string_view text, const std::string &shownName,
                   const std::filesystem::path &baseDirectory, PlanBasis &basis,
                   std::vector<std::string> &errors) {
    basis = PlanBasis{};
    BasisReader reader{shownName, baseDirectory, &errors};
    const size_t errorsBefore = errors.size();
    toml::table root;
    try {
        root = toml::parse(text, shownName);
    } catch (const toml::parse_error &failure) {
        errors.push_back(shownName + ":" + std::to_string(failure.source().begin.line) +
                         ": not a TOML file: " + std::string(failure.description()));
        return false;
    }
    checkKnownKeys(reader, root, "",
                   {"valuation_year", "mortality", "plan", "decrements", "economic", "member_file", "discount",
                    "sensitivities"});
    readWhole(reader, root, "valuation_year", "", kYear, basis.valuationYear);
    readMortality(reader, root, basis);
    readPlan(reader, root, basis);
    readDecrements(reader, root, basis);
    readEconomic(reader, root, basis);
    readMemberFileSection(reader, root, basis);
    readValuationTables(reader, root, basis.valuation);
    checkRetirementAges(reader, basis);
    return errors.size() == errorsBefore;
}

bool readBasisFile(const std::filesystem::path &path, const std::string &shownName,
                   PlanBasis &basis, std::vector<std::string> &errors) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back(shownName + ": cannot read the basis file");
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return readBasisText(text.str(), shownName, path.parent_path(), basis, errors);
}
