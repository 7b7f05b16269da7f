// Members in service: salary history, contributions, final average salary
// with its average ceiling, the two accrued pensions of an exit in the year,
// the service band and the retirement factor.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "basis/basis_lookups.h"
#include "projection/population_steps.h"

namespace {

// Weeks in a year of service: 365.25 / 7, as the accrual has always written it.
constexpr double kWeeksPerYear = 52.1785714285714;

constexpr int32_t kLastPastSlot = kPastSalarySlots - 1;
constexpr int32_t kLastProjectedSlot = kProjectedSalarySlots - 1;

int32_t saturate(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// The final average salary of year U: the n years that end with year U - 1,
// reaching back before the valuation date; over only U + c years when the
// past service c is too short to fill n. Each term is divided before it is
// added. The past vector holds 60 slots, so no bound reaches beyond slot 59,
// and a bound that is not a number ends its loop at once. The ceiling is
// averaged over the same years by the basis.
template <class S>
S finalAverageSalary(const SalaryHistory<S> &salary, int32_t U, double n, int32_t c) {
    S average = 0.0;
    const double cappedYears = static_cast<double>(int64_t{U} + c);
    if (U >= n) {
        for (int32_t j = U - 1; j >= 0 && j >= U - n; --j) average += salary.projectedSalaryShare[j];
    } else if (cappedYears >= n) {
        for (int32_t j = U - 1; j >= 0; --j) average += salary.projectedSalaryShare[j];
        for (int32_t k = 1; k <= kLastPastSlot && k <= n - U; ++k) average += salary.pastSalaryShare[k];
    } else {
        for (int32_t j = U - 1; j >= 0; --j) average += salary.projectedSalary[j] / cappedYears;
        const int32_t pastYears = std::min(c, kLastPastSlot);
        for (int32_t k = 1; k <= pastYears; ++k) average += salary.pastSalary[k] / cappedYears;
    }
    return average;
}

// Back over the years that the final average may reach before the valuation
// date; slots beyond them stay as they are.
void projectPastSalaries(double *past, const PlanTerms &terms, const HostArrays &host, const MemberRecord &member) {
    const double deflation = terms.salaryCarryBackRate;
    past[0] = member.annualSalary;
    const int32_t pastYears = std::min(member.cappedServiceYears, kLastPastSlot);
    for (int32_t k = 1; k <= pastYears; ++k) {
        const double scale = salaryScaleAt(host, saturate(int64_t{member.age} - k));
        past[k] = past[k - 1] / (1.0 + deflation);
        past[k] = past[k] / (1.0 + scale);
    }
}

// Forward to the last retirement age, and at least over year 1, whose
// contribution every member pays a part of, by the two yearly rates `rates`.
void projectFutureSalaries(double *projected, const double *rates, const HostArrays &host,
                           const MemberRecord &member) {
    projected[0] = member.annualSalary;
    const int32_t futureYears =
        std::min(std::max(member.yearsToLastRetirementAge, 1), kLastProjectedSlot);
    for (int32_t t = 1; t <= futureYears; ++t) {
        const double scale = salaryScaleAt(host, saturate(int64_t{member.age} + t - 1));
        projected[t] = (1.0 + rates[t]) * projected[t - 1] * (1.0 + rates[kProjectionSlots + t]);
        projected[t] = projected[t] * (1.0 + scale);
    }
}

// Scenario l's salaries into its lane.
void putScenarioSalaries(ScenarioValues *slots, const double *values, int32_t count, int32_t l) {
    for (int32_t t = 0; t < count; ++t) slots[t].v[l] = values[t];
}

} // namespace

template <class S>
void projectSalaryHistory(SalaryHistory<S> &salary, const PlanTerms &terms, const HostArrays &host,
                          const LaneEconomics *lanes, const MemberRecord &member) {
    if constexpr (std::is_same_v<S, double>) {
        (void)lanes;
        projectPastSalaries(salary.pastSalary, terms, host, member);
        projectFutureSalaries(salary.projectedSalary, host.yearlyRates, host, member);
    } else {
        // every scenario has the same past; each grows by its own rates
        double past[kPastSalarySlots] = {};
        double projected[kProjectedSalarySlots] = {};
        projectPastSalaries(past, terms, host, member);
        for (int32_t l = 0; l < kScenarioLanes; ++l) {
            putScenarioSalaries(salary.pastSalary, past, kPastSalarySlots, l);
            projectFutureSalaries(projected, lanes->host[l]->yearlyRates, host, member);
            putScenarioSalaries(salary.projectedSalary, projected, kProjectedSalarySlots, l);
        }
    }
    shareSalaryHistory(salary, terms.averagingYears);
}

template <class S>
void shareSalaryHistory(SalaryHistory<S> &salary, double n) {
    // each salary over the averaging years, as the full-period averages add it
    for (int32_t k = 0; k < kPastSalarySlots; ++k) salary.pastSalaryShare[k] = salary.pastSalary[k] / n;
    for (int32_t t = 0; t < kProjectedSalarySlots; ++t)
        salary.projectedSalaryShare[t] = salary.projectedSalary[t] / n;
}

// Contributions of year U on the members in service at mid-year, the mean
// of the start and the end, with s = projectedSalary[U], c = salaryCeiling[U]:
//   (a0 + a1)/2 x min(s, c) x cappedRate + (a0 + a1)/2 x max(s - c, 0) x excessRate.
template <class A>
void addContributions(const InService<A> &state, const PlanTerms &terms, const ProjectionInputs &in,
                      const YearRates<A> &year, double inServiceAtStart, bool male, const Results &results) {
    using X = IndexedOf<A>;
    const int32_t U = year.year;
    const X salary = state.salary->projectedSalary[U];
    const X ceiling = salaryCeilingOf<A>(in, U);
    const X capped = lesserOf(salary, ceiling);
    const X excess = excessOver(salary, ceiling);
    const double active = (inServiceAtStart + state.count) / 2.0;
    const X contribution =
        active * capped * terms.cappedContributionRate + active * excess * terms.excessContributionRate;
    addPayment(results, Payment::contributions, male, U, contribution);
}

// The amounts of an exit in year U: the final average salary F and the
// average ceiling C over the same years, base = min(F, C) x lowerRate +
// max(F - C, 0) x upperRate, and
//   accruedIndexedPension    = base x serviceWithGuarantee / 52.1785714285714
//   accruedNonIndexedPension = base x (serviceWithoutGuarantee / 52.1785714285714 + U - 0.5):
// only the past service with the guarantee is indexed; all future service,
// to the middle of year U, accrues to the fixed part (of which an attribution
// that limits it to k years counts min(U - 0.5, k)). Then the band of the
// service reached, wholeServiceYears + U, and its factor at the age reached.
template <class A>
void computeExitAmounts(InService<A> &state, const PlanTerms &terms, const ProjectionInputs &in,
                        const MemberRecord &member, const YearRates<A> &year) {
    using X = IndexedOf<A>;
    const int32_t U = year.year;
    state.finalAverageSalary =
        finalAverageSalary(*state.salary, U, terms.averagingYears, member.cappedServiceYears);
    state.averageCeiling = ceilingAverageIn<A>(in, terms.averagingYears, member.cappedServiceYears, U);

    const X capped = lesserOf(state.finalAverageSalary, state.averageCeiling);
    const X excess = excessOver(state.finalAverageSalary, state.averageCeiling);
    const X base = capped * terms.lowerAccrualRate + excess * terms.upperAccrualRate;
    state.accruedIndexedPension = base * member.serviceWithGuarantee / kWeeksPerYear;
    const double pastYears = member.serviceWithoutGuarantee / kWeeksPerYear;
    state.accruedNonIndexedPension =
        byAttribution(terms.attributions, static_cast<A *>(nullptr), [&](const ServiceAttribution &a) {
            return base * fixedAccrualYears(pastYears, U, a);
        });

    state.serviceBand = serviceBandOf(*in.basis, saturate(int64_t{state.wholeServiceYears} + U));
    state.retirementFactor = retirementFactorOf(*in.basis, *in.host, state.serviceBand, year.ageReached);
}

#define TALVEK_IN_SERVICE_AMOUNTS(A)                                                                        \
    template void addContributions<A>(const InService<A> &, const PlanTerms &, const ProjectionInputs &,    \
                                      const YearRates<A> &, double, bool, const Results &);                 \
    template void computeExitAmounts<A>(InService<A> &, const PlanTerms &, const ProjectionInputs &,        \
                                        const MemberRecord &, const YearRates<A> &);
#define TALVEK_SALARY_HISTORY(S)                                                                            \
    template void projectSalaryHistory<S>(SalaryHistory<S> &, const PlanTerms &, const HostArrays &,        \
                                          const LaneEconomics *, const MemberRecord &);                     \
    template void shareSalaryHistory<S>(SalaryHistory<S> &, double);
TALVEK_SALARY_HISTORY(double)
TALVEK_SALARY_HISTORY(ScenarioValues)
TALVEK_IN_SERVICE_AMOUNTS(double)
TALVEK_IN_SERVICE_AMOUNTS(ServiceLanes)
TALVEK_IN_SERVICE_AMOUNTS(ScenarioLanes)
