// Valuation of a deferred member (status 4): a leaver whose accrued pension is
// fixed at the valuation date and indexed until it starts. The member is
// followed through deferment, retirement into a guarantee cohort, life as a
// pensioner and, after the pensioner's death, a surviving spouse.
#include <algorithm>
#include <cstdint>

#include "basis/basis_lookups.h"
#include "projection/guarantee_cohort.h"
#include "projection/projection_year.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

namespace {

constexpr double kWeeksPerYear = 365.25 / 7.0;
constexpr int32_t kLongestBridgeService = 10;

// Host parameters of the deferred valuation, read once per member.
struct DeferredRules {
    double averagingYears;     // years the salary ceiling is averaged over
    double lowerAccrualRate;   // on salary up to the ceiling average
    double upperAccrualRate;   // on salary above it
    double bridgeRate;         // bridge per year of service, share of the ceiling average
    double indexationShare;    // share of inflation granted to indexed pensions
    double spouseFraction;     // share of the pension paid to a surviving spouse
    int32_t guaranteeSlots;    // P
    double bridgeStartAge;     // bridge window, as reals
    double bridgeEndAge;
    int32_t retirementAge;     // 0: retire by the rate table; else everyone at this age
    int32_t firstRetirementAge; // F of the retirement-rate table
};

DeferredRules readDeferredRules(const HostArrays &host) {
    const double *plan = host.planParameters;
    DeferredRules rules{};
    rules.averagingYears = plan[TALVEK_PLAN_AVERAGING_YEARS];
    rules.lowerAccrualRate = plan[TALVEK_PLAN_LOWER_ACCRUAL_RATE];
    rules.upperAccrualRate = plan[TALVEK_PLAN_UPPER_ACCRUAL_RATE];
    rules.bridgeRate = plan[TALVEK_PLAN_BRIDGE_RATE];
    rules.indexationShare = plan[TALVEK_PLAN_INDEXATION_SHARE];
    rules.spouseFraction = plan[TALVEK_PLAN_SPOUSE_FRACTION];
    rules.guaranteeSlots = guaranteeSlots(plan[TALVEK_PLAN_GUARANTEE_PERIOD]);
    rules.bridgeStartAge = plan[TALVEK_PLAN_BRIDGE_START_AGE];
    rules.bridgeEndAge = plan[TALVEK_PLAN_BRIDGE_END_AGE];
    rules.retirementAge = truncToInt(host.demographicParameters[TALVEK_DEMOGRAPHIC_DEFERRED_RETIREMENT_AGE]);
    rules.firstRetirementAge = truncToInt(host.retirementRates[TALVEK_RATES_FIRST_AGE]);
    return rules;
}

// Where a deferred member's results go, by the member's sex; the survivor
// blocks follow the sex of the spouse.
struct DeferredBlocks {
    int deferred;            // memberCounts
    int retirees;            // memberCounts, past the guarantee
    int retireesInGuarantee; // memberCounts
    int survivors;           // memberCounts
    int lumpSums;            // memberCounts, a yearly count
    int pension;             // benefitCashflows
    int bridge;              // benefitCashflows
    int spousePension;       // benefitCashflows
    int transferValue;       // benefitCashflows
};

DeferredBlocks deferredBlocks(bool male) {
    DeferredBlocks blocks{};
    blocks.deferred = blockForSex(male, members::kDeferredMale, members::kDeferredFemale);
    blocks.retirees = blockForSex(male, members::kDeferredRetireesMale, members::kDeferredRetireesFemale);
    blocks.retireesInGuarantee = blockForSex(male, members::kDeferredRetireesInGuaranteeMale,
                                             members::kDeferredRetireesInGuaranteeFemale);
    blocks.survivors = blockForSex(male, members::kDeferredSurvivorsFemale, members::kDeferredSurvivorsMale);
    blocks.lumpSums = blockForSex(male, members::kLumpSumsMale, members::kLumpSumsFemale);
    blocks.pension = blockForSex(male, cashflows::kDeferredPensionMale, cashflows::kDeferredPensionFemale);
    blocks.bridge = blockForSex(male, cashflows::kBridgePensionMale, cashflows::kBridgePensionFemale);
    blocks.spousePension = blockForSex(male, cashflows::kDeferredSpousePensionFemale,
                                       cashflows::kDeferredSpousePensionMale);
    blocks.transferValue = blockForSex(male, cashflows::kLumpSumMale, cashflows::kLumpSumFemale);
    return blocks;
}

// Ceiling average at the valuation date: this year's ceiling and the past
// ones, each divided by the averaging years. Past ceilings exist for 59 years
// back; a NaN bound makes no step.
double valuationCeilingAverage(const Basis &basis, double averagingYears) {
    double average = basis.salaryCeiling[0] / averagingYears;
    for (int32_t t = 1; t < kPastCeilingSlots && static_cast<double>(t) <= averagingYears - 1.0; ++t) {
        average += basis.pastSalaryCeiling[t] / averagingYears;
    }
    return average;
}

// The projection state of one deferred member.
struct DeferredState {
    double deferredCount;                 // still deferred
    double retireesInGuarantee;           // retired, inside the guarantee (alive or not)
    double retirees;                      // retired, past the guarantee, alive
    double survivors;                     // surviving spouses in payment
    double retireeIndexedPension;         // per head of retirees
    double retireeNonIndexedPension;
    double retireeBridgePension;
    double savedRetireeIndexedPension;    // averages before the last non-zero update
    double savedRetireeNonIndexedPension;
    double retireeSpouseSurvival;         // among retirees: spouse alive
    double survivorIndexedPension;        // per head of survivors
    double survivorNonIndexedPension;
    double savedSurvivorIndexedPension;   // averages before the last non-zero update
    double savedSurvivorNonIndexedPension;
    double accruedIndexedPension;         // indexed until retirement
    double accruedNonIndexedPension;      // fixed
};

// Bridge pensions of the guarantee cohorts: half a year to the new cohort,
// full years to those inside, half a year to the cohort leaving.
double cohortBridgePayments(const GuaranteeRing &ring, int32_t p) {
    const GuaranteeCohort &arriving = ring.slot[p];
    const GuaranteeCohort &leaving = ring.slot[0];
    double sum = 0.5 * arriving.bridgePension * arriving.retiredNumber;
    for (int32_t s = 1; s <= p - 1; ++s) sum += ring.slot[s].bridgePension * ring.slot[s].retiredNumber;
    sum += 0.5 * leaving.bridgePension * leaving.retiredNumber;
    return sum;
}

} // namespace

void valueDeferredMember(const ValuationContext &context, const MemberRecord &member) {
    const Basis &basis = *context.basis;
    const HostArrays &host = *context.host;
    const DeferredRules rules = readDeferredRules(host);
    const double *yearlyRates = host.yearlyRates;

    // Accrued pension at the valuation date, from the ceiling average.
    const double ceilingAverage = valuationCeilingAverage(basis, rules.averagingYears);
    const double lower = member.averageSalary < ceilingAverage ? member.averageSalary : ceilingAverage;
    const double excess = member.averageSalary - ceilingAverage;
    const double upper = excess > 0.0 ? excess : 0.0;
    const double accrualBase = lower * rules.lowerAccrualRate + upper * rules.upperAccrualRate;

    DeferredState state{};
    state.accruedIndexedPension = accrualBase * member.serviceWithGuarantee / kWeeksPerYear;
    state.accruedNonIndexedPension = accrualBase * (member.serviceWithoutGuarantee / kWeeksPerYear);
    const int32_t serviceBand = locateServiceBand(basis, member.wholeServiceYears);
    const int32_t bridgeServiceYears = std::min(truncToInt(member.serviceYears), kLongestBridgeService);
    GuaranteeRing ring;
    resetRing(ring);

    // Any sex but M, m, F, f values nothing, not even the start count.
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    const MortalityTable &memberMortality = memberTable(basis, male);
    const MortalityTable &spouseMortality = spouseTable(basis, male);
    const AnnuityVariant indexedVariant = male ? MaleIndexed : FemaleIndexed;
    const AnnuityVariant nonIndexedVariant = male ? MaleNonIndexed : FemaleNonIndexed;
    const DeferredBlocks blocks = deferredBlocks(male);
    const int32_t p = rules.guaranteeSlots;

    state.deferredCount = 1.0;
    addToBlock(host.memberCounts, blocks.deferred, 0, 1.0);

    const int64_t youngerAge = std::min(member.age, member.spouseAge);
    const int32_t projectionYears = boundedProjectionYears(121 - youngerAge);
    for (int32_t u = 1; u < projectionYears; ++u) {
        const int64_t x = int64_t{member.age} + u - 1;
        const int64_t y = int64_t{member.spouseAge} + u - 1;
        const int64_t ageReached = int64_t{member.age} + u;
        const int32_t reached32 = static_cast<int32_t>(std::clamp<int64_t>(ageReached, INT32_MIN, INT32_MAX));

        // 1-2. Ceiling average and rates of the year.
        const double averageCeiling =
            ceilingAverageOf(basis, host, rules.averagingYears, member.cappedServiceYears, u);
        const double q = mortalityAt(memberMortality, x, u - 1);
        const double qs = mortalityAt(spouseMortality, y, u - 1);
        const double r = retirementRateOf(basis, host, static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)));
        const double retirementFactor = retirementFactorOf(basis, host, serviceBand, reached32);

        // 3. The cohorts move one slot on; a ring that holds nobody stays put.
        const double inGuaranteeAtStart = state.retireesInGuarantee;
        if (inGuaranteeAtStart > 0.0) {
            advanceRingThrough(ring, p, 1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1] * rules.indexationShare,
                               1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1],
                               1.0 + yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + u - 1], q, qs);
        } else {
            clearLeavingSlot(ring);
        }
        const GuaranteeCohort &leaving = ring.slot[0];

        // 4. Deaths inside the guarantee surface when the cohort leaves it.
        const double guaranteeDeaths = leaving.retiredNumber - leaving.survivingNumber;
        addToBlock(host.decrementCounts, decrements::kGuaranteeDeathsDeferred, u, guaranteeDeaths);

        // 5. Deaths of the pensioners past the guarantee.
        const double retireesAtStart = state.retirees;
        const double retireeDeaths = retireesAtStart * q;
        addToBlock(host.decrementCounts, decrements::kDeferredRetireeDeaths, u, retireeDeaths);

        // 6. Deaths and retirements out of deferment.
        const double deferredAtStart = state.deferredCount;
        double deferredDeaths = 0.0;
        double deferredRetirements = 0.0;
        if (rules.retirementAge == 0) {
            deferredDeaths = deferredAtStart * q * (1.0 - r / 2.0);
            deferredRetirements = deferredAtStart * r * (1.0 - q / 2.0);
        } else if (ageReached >= rules.retirementAge) {
            // everyone still deferred retires in the year the age is reached, or
            // in year 1 when it was reached before; half the year's deaths come first
            deferredDeaths = deferredAtStart * q / 2.0;
            deferredRetirements = (1.0 - q / 2.0) * deferredAtStart;
        } else {
            deferredDeaths = deferredAtStart * q;
        }
        addToBlock(host.decrementCounts, decrements::kDeferredDeaths, u, deferredDeaths);
        addToBlock(host.decrementCounts, decrements::kDeferredRetirements, u, deferredRetirements);
        state.deferredCount = deferredAtStart - (deferredDeaths + deferredRetirements);
        addToBlock(host.memberCounts, blocks.deferred, u, state.deferredCount);

        // 7. Pensioner counts.
        state.retirees = leaving.survivingNumber - retireeDeaths + retireesAtStart;
        addToBlock(host.memberCounts, blocks.retirees, u, state.retirees);
        state.retireesInGuarantee = deferredRetirements - leaving.retiredNumber + state.retireesInGuarantee;
        addToBlock(host.memberCounts, blocks.retireesInGuarantee, u, state.retireesInGuarantee);

        // 8. From the first retirement age on: the new cohort, the pensioner
        // averages and the year's pensions. A fixed retirement age below the
        // table's first age retires members earlier; their cohort is formed
        // all the same, or they would stay inside the guarantee for ever, and
        // the cohorts and pensioners are paid in every year that has any.
        const double stillRetired = retireesAtStart - retireeDeaths;
        if (ageReached > int64_t{rules.firstRetirementAge} - 1 || deferredRetirements != 0.0 ||
            inGuaranteeAtStart > 0.0 || retireesAtStart != 0.0) {
            const double newBridge = averageCeiling * rules.bridgeRate * bridgeServiceYears;
            GuaranteeCohort &arriving = ring.slot[p];
            arriving.indexedPension = retirementFactor * state.accruedIndexedPension;
            arriving.nonIndexedPension = retirementFactor * state.accruedNonIndexedPension;
            arriving.retiredNumber = deferredRetirements;
            arriving.survivingNumber = deferredRetirements;
            arriving.bridgePension = newBridge;
            arriving.spouseSurvival = 1.0;

            if (state.retirees == 0.0) {
                // nobody past the guarantee: the averages are void, the spouse
                // probability and the saved averages stay as they were
                state.retireeIndexedPension = 0.0;
                state.retireeNonIndexedPension = 0.0;
            } else {
                state.savedRetireeIndexedPension = state.retireeIndexedPension;
                state.savedRetireeNonIndexedPension = state.retireeNonIndexedPension;
                state.retireeIndexedPension =
                    (stillRetired * state.savedRetireeIndexedPension *
                         (1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1] * rules.indexationShare) +
                     leaving.indexedPension * leaving.survivingNumber) /
                    state.retirees;
                state.retireeNonIndexedPension =
                    (stillRetired * state.savedRetireeNonIndexedPension +
                     leaving.nonIndexedPension * leaving.survivingNumber) /
                    state.retirees;
                state.retireeSpouseSurvival =
                    ((1.0 - qs) * state.retireeSpouseSurvival * stillRetired +
                     leaving.survivingNumber * leaving.spouseSurvival) /
                    state.retirees;
            }

            // Guaranteed years to every cohort member, then the life pensions
            // past the guarantee by the trapezoid rule.
            double pensions = guaranteedPensionPayments(ring, p);
            pensions += retireesAtStart * 0.5 *
                            (state.savedRetireeIndexedPension + state.savedRetireeNonIndexedPension) +
                        state.retirees * 0.5 * (state.retireeIndexedPension + state.retireeNonIndexedPension);
            addToBlock(host.benefitCashflows, blocks.pension, u, pensions);

            if (insideBridgeAges(rules.bridgeStartAge, rules.bridgeEndAge, ageReached)) {
                double bridges = cohortBridgePayments(ring, p);
                const double bridgeAtStart = state.retireeBridgePension;
                if (state.retirees > 0.0) {
                    state.retireeBridgePension =
                        (stillRetired * bridgeAtStart * (1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u]) * (1.0 + yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + u]) +
                         leaving.bridgePension * leaving.survivingNumber) /
                        state.retirees;
                }
                bridges += retireesAtStart * 0.5 * bridgeAtStart + state.retirees * 0.5 * state.retireeBridgePension;
                addToBlock(host.benefitCashflows, blocks.bridge, u, bridges);
            }
        }

        // 9. Surviving spouses of the pensioners, whatever the age.
        const double survivorsAtStart = state.survivors;
        const double survivorDeaths = survivorsAtStart * qs;
        addToBlock(host.decrementCounts, decrements::kDeferredSurvivorDeaths, u, survivorDeaths);
        state.survivors = retireeDeaths * state.retireeSpouseSurvival +
                          guaranteeDeaths * leaving.spouseSurvival - survivorDeaths + survivorsAtStart;
        addToBlock(host.memberCounts, blocks.survivors, u, state.survivors);
        if (state.survivors == 0.0) {
            // no survivor in payment: the averages are void, the saved ones stay
            state.survivorIndexedPension = 0.0;
            state.survivorNonIndexedPension = 0.0;
        } else {
            state.savedSurvivorIndexedPension = state.survivorIndexedPension;
            state.savedSurvivorNonIndexedPension = state.survivorNonIndexedPension;
            const double remaining = survivorsAtStart - survivorDeaths;
            const double fromGuarantee = guaranteeDeaths * leaving.spouseSurvival;
            const double fromRetirees = retireeDeaths * state.retireeSpouseSurvival;
            state.survivorIndexedPension =
                ((1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1] * rules.indexationShare) * state.savedSurvivorIndexedPension * remaining +
                 leaving.indexedPension * rules.spouseFraction * fromGuarantee +
                 state.retireeIndexedPension * rules.spouseFraction * fromRetirees) /
                state.survivors;
            state.survivorNonIndexedPension =
                (remaining * state.savedSurvivorNonIndexedPension +
                 leaving.nonIndexedPension * rules.spouseFraction * fromGuarantee +
                 state.retireeNonIndexedPension * rules.spouseFraction * fromRetirees) /
                state.survivors;
        }
        addToBlock(host.benefitCashflows, blocks.spousePension, u,
                   survivorsAtStart * 0.5 *
                           (state.savedSurvivorIndexedPension + state.savedSurvivorNonIndexedPension) +
                       state.survivors * 0.5 * (state.survivorIndexedPension + state.survivorNonIndexedPension));

        // 10-11. A death in deferment is paid out as a lump sum, valued at the
        // age reached (the table stops at 49) from the pensions at the start of the year.
        addToBlock(host.memberCounts, blocks.lumpSums, u, deferredDeaths);
        const double transferValue =
            (state.accruedIndexedPension * deferredAnnuityValue(basis, serviceBand, reached32, indexedVariant) +
             state.accruedNonIndexedPension * deferredAnnuityValue(basis, serviceBand, reached32, nonIndexedVariant)) *
            deferredDeaths;
        addToBlock(host.benefitCashflows, blocks.transferValue, u, transferValue);

        // 12. Indexation during deferment, at this year's rate.
        state.accruedIndexedPension = (1.0 + yearlyRates[u] * rules.indexationShare) * state.accruedIndexedPension;
    }
}
