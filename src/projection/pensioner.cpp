// Valuation of a pensioner (status 2): a pension in payment, possibly still
// inside its guarantee period, then for life, with a spouse pension after the
// pensioner's death and a bridge pension inside the bridge ages.
#include <algorithm>
#include <cstdint>

#include "projection/guarantee_cohort.h"
#include "projection/projection_year.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

namespace {

// Host parameters of the pensioner valuation.
struct PensionerRules {
    double indexationShare; // share of inflation granted to indexed pensions
    double spouseFraction;  // share of the pension paid to a surviving spouse
    double guaranteePeriod; // years, as given
    int32_t guaranteeSlots; // P, kept inside the ring
    double bridgeStartAge;  // bridge window, as reals
    double bridgeEndAge;
};

PensionerRules readPensionerRules(const HostArrays &host) {
    const double *plan = host.planParameters;
    PensionerRules rules{};
    rules.indexationShare = plan[TALVEK_PLAN_INDEXATION_SHARE];
    rules.spouseFraction = plan[TALVEK_PLAN_SPOUSE_FRACTION];
    rules.guaranteePeriod = plan[TALVEK_PLAN_GUARANTEE_PERIOD];
    rules.guaranteeSlots = guaranteeSlots(plan[TALVEK_PLAN_GUARANTEE_PERIOD]);
    rules.bridgeStartAge = plan[TALVEK_PLAN_BRIDGE_START_AGE];
    rules.bridgeEndAge = plan[TALVEK_PLAN_BRIDGE_END_AGE];
    return rules;
}

// Where a pensioner's results go, by the pensioner's sex; the survivor
// blocks follow the sex of the spouse.
struct PensionerBlocks {
    int inGuarantee;   // memberCounts
    int retirees;      // memberCounts, past the guarantee
    int survivors;     // memberCounts
    int pension;       // benefitCashflows
    int spousePension; // benefitCashflows
    int bridge;        // benefitCashflows, to the pensioner
    int spouseBridge;  // benefitCashflows, to the surviving spouse
};

PensionerBlocks pensionerBlocks(bool male) {
    PensionerBlocks blocks{};
    blocks.inGuarantee = blockForSex(male, members::kServiceRetireesInGuaranteeMale,
                                     members::kServiceRetireesInGuaranteeFemale);
    blocks.retirees = blockForSex(male, members::kServiceRetireesMale, members::kServiceRetireesFemale);
    blocks.survivors = blockForSex(male, members::kServiceSurvivorsFemale, members::kServiceSurvivorsMale);
    blocks.pension = blockForSex(male, cashflows::kServicePensionMale, cashflows::kServicePensionFemale);
    blocks.spousePension = blockForSex(male, cashflows::kServiceSpousePensionFemale,
                                       cashflows::kServiceSpousePensionMale);
    blocks.bridge = blockForSex(male, cashflows::kBridgePensionMale, cashflows::kBridgePensionFemale);
    blocks.spouseBridge = blockForSex(male, cashflows::kBridgePensionFemale, cashflows::kBridgePensionMale);
    return blocks;
}

// The projection state of one pensioner.
struct PensionerState {
    double inGuarantee;               // 1 while the guarantee lasts, then 0
    double retirees;                  // alive and past the guarantee
    double survivors;                 // surviving spouses in payment
    double spouseSurvival;            // spouse of the living pensioner alive
    double indexedPension;            // the pensioner's parts this year
    double nonIndexedPension;
    double bridgePension;
    double survivorIndexedPension;    // spouseFraction of the pensioner's parts
    double survivorNonIndexedPension;
};

// Married and unknown marital status are valued with a spouse.
bool hasSpouse(char maritalStatus) {
    return maritalStatus == 'M' || maritalStatus == 'm' || maritalStatus == 'U' || maritalStatus == 'u';
}

// A year inside the guarantee period. The pensioner moves one slot down the
// ring and is paid whether alive or not; in the year the cohort reaches slot 0
// the guarantee ends, the deaths inside it surface and create spouse pensions.
void guaranteeYear(const PensionerRules &rules, const PensionerBlocks &blocks, const HostArrays &host,
                   GuaranteeRing &ring, int32_t startSlot, PensionerState &state, int32_t u, double q,
                   double qs, bool insideBridge) {
    const double *yearlyRates = host.yearlyRates;
    const int32_t p = rules.guaranteeSlots;
    advanceRingThrough(ring, startSlot, 1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1] * rules.indexationShare,
                       1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1],
                       1.0 + yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + u - 1], q, qs);
    const GuaranteeCohort &leaving = ring.slot[0];

    state.inGuarantee = state.inGuarantee - leaving.retiredNumber;
    addToBlock(host.memberCounts, blocks.inGuarantee, u, state.inGuarantee);
    state.retirees = state.retirees + leaving.survivingNumber;
    addToBlock(host.memberCounts, blocks.retirees, u, state.retirees);
    const double guaranteeDeaths = leaving.retiredNumber - leaving.survivingNumber;
    addToBlock(host.decrementCounts, decrements::kGuaranteeDeathsService, u, guaranteeDeaths);
    // set, not added: only the year the guarantee ends creates survivors
    state.survivors = guaranteeDeaths * leaving.spouseSurvival;
    addToBlock(host.memberCounts, blocks.survivors, u, state.survivors);

    // Full guaranteed years, then the last year: half certain, half if alive.
    double pensions = 0.0;
    for (int32_t s = 1; s <= p - 1; ++s) {
        const GuaranteeCohort &cohort = ring.slot[s];
        pensions += (cohort.indexedPension + cohort.nonIndexedPension) * cohort.retiredNumber;
    }
    const double leavingPension = leaving.indexedPension + leaving.nonIndexedPension;
    pensions += leavingPension * 0.5 * leaving.retiredNumber;
    pensions += leavingPension * 0.5 * leaving.survivingNumber;
    addToBlock(host.benefitCashflows, blocks.pension, u, pensions);
    addToBlock(host.benefitCashflows, blocks.spousePension, u,
               leavingPension * 0.5 * rules.spouseFraction * guaranteeDeaths * leaving.spouseSurvival);

    // The last guarantee year's bridge terms are paid whatever the age.
    double bridges = 0.0;
    if (insideBridge) {
        for (int32_t s = 1; s <= p - 1; ++s) bridges += ring.slot[s].bridgePension * ring.slot[s].retiredNumber;
    }
    bridges += 0.5 * leaving.bridgePension * leaving.retiredNumber +
               0.5 * leaving.bridgePension * leaving.survivingNumber;
    addToBlock(host.benefitCashflows, blocks.bridge, u, bridges);
    addToBlock(host.benefitCashflows, blocks.spouseBridge, u,
               0.5 * leaving.bridgePension * rules.spouseFraction * guaranteeDeaths * leaving.spouseSurvival);

    // Hand-over: the amounts of the year the guarantee ends carry into life payment.
    state.indexedPension = leaving.indexedPension;
    state.nonIndexedPension = leaving.nonIndexedPension;
    state.bridgePension = leaving.bridgePension;
    state.survivorIndexedPension = leaving.indexedPension * rules.spouseFraction;
    state.survivorNonIndexedPension = leaving.nonIndexedPension * rules.spouseFraction;
    state.spouseSurvival = leaving.spouseSurvival;
}

// A year of life payment: amounts indexed with last year's rates, deaths of
// the pensioner and of the surviving spouse, payments by the trapezoid rule.
void lifeYear(const PensionerRules &rules, const PensionerBlocks &blocks, const HostArrays &host,
              PensionerState &state, int32_t u, double q, double qs, bool insideBridge) {
    const double *yearlyRates = host.yearlyRates;
    const double survivorsAtStart = state.survivors;
    const double retireesAtStart = state.retirees;
    const double indexedAtStart = state.indexedPension;
    const double nonIndexedAtStart = state.nonIndexedPension;
    const double bridgeAtStart = state.bridgePension;
    const double survivorIndexedAtStart = state.survivorIndexedPension;
    const double survivorNonIndexedAtStart = state.survivorNonIndexedPension;

    state.indexedPension =
        (1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1] * rules.indexationShare) * state.indexedPension;
    state.bridgePension = (1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1]) *
                          (1.0 + yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + u - 1]) * state.bridgePension;
    state.survivorIndexedPension =
        (1.0 + yearlyRates[TALVEK_YEARLY_INFLATION + u - 1] * rules.indexationShare) * state.survivorIndexedPension;
    state.spouseSurvival = state.spouseSurvival * (1.0 - qs);

    const double retireeDeaths = retireesAtStart * q;
    addToBlock(host.decrementCounts, decrements::kServiceRetireeDeaths, u, retireeDeaths);
    state.retirees = retireesAtStart - retireeDeaths;
    addToBlock(host.memberCounts, blocks.retirees, u, state.retirees);

    // A spouse widowed this year is not exposed to the spouse's mortality
    // again: the year is already inside spouseSurvival.
    const double survivorDeaths = survivorsAtStart * qs;
    addToBlock(host.decrementCounts, decrements::kServiceSurvivorDeaths, u, survivorDeaths);
    state.survivors = retireeDeaths * state.spouseSurvival - survivorDeaths + survivorsAtStart;
    addToBlock(host.memberCounts, blocks.survivors, u, state.survivors);

    addToBlock(host.benefitCashflows, blocks.pension, u,
               retireesAtStart * 0.5 * (indexedAtStart + nonIndexedAtStart) +
                   state.retirees * 0.5 * (state.indexedPension + state.nonIndexedPension));
    if (insideBridge) {
        addToBlock(host.benefitCashflows, blocks.bridge, u,
                   retireesAtStart * 0.5 * bridgeAtStart + state.retirees * 0.5 * state.bridgePension);
        addToBlock(host.benefitCashflows, blocks.spouseBridge, u,
                   (survivorsAtStart * 0.5 * bridgeAtStart + state.survivors * 0.5 * state.bridgePension) *
                       rules.spouseFraction);
    }
    addToBlock(host.benefitCashflows, blocks.spousePension, u,
               survivorsAtStart * 0.5 * (survivorIndexedAtStart + survivorNonIndexedAtStart) +
                   state.survivors * 0.5 * (state.survivorIndexedPension + state.survivorNonIndexedPension));
}

} // namespace

void valuePensioner(const ValuationContext &context, const MemberRecord &member) {
    const Basis &basis = *context.basis;
    const HostArrays &host = *context.host;
    const PensionerRules rules = readPensionerRules(host);
    const double spouse = hasSpouse(member.maritalStatus) ? 1.0 : 0.0;

    // Any sex but M, m, F, f values nothing, not even the start count.
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    const MortalityTable &memberMortality = memberTable(basis, male);
    const MortalityTable &spouseMortality = spouseTable(basis, male);
    const PensionerBlocks blocks = pensionerBlocks(male);
    const int32_t p = rules.guaranteeSlots;

    PensionerState state{};
    GuaranteeRing ring;
    resetRing(ring);
    const double indexedPension = member.currentPension * member.guaranteedFraction;
    const double nonIndexedPension = member.currentPension * (1.0 - member.guaranteedFraction);

    // Inside the guarantee period only while the ring has a slot for the years
    // already retired. A pension whose guarantee ends within the coming year
    // (a fractional or over-long period) starts one slot up, so that it leaves
    // the guarantee in year 1 instead of dropping out of the ring unpaid.
    const bool startsInGuarantee =
        static_cast<double>(member.yearsRetired) < rules.guaranteePeriod && member.yearsRetired <= p;
    // (Years retired below 0, which the reader does not let through, would
    // start above slot P; they start at P.)
    const int32_t startSlot = startsInGuarantee
        ? static_cast<int32_t>(std::clamp<int64_t>(int64_t{p} - member.yearsRetired, 1, std::max(p, 1)))
        : 0;
    if (startsInGuarantee) {
        state.inGuarantee = 1.0;
        addToBlock(host.memberCounts, blocks.inGuarantee, 0, 1.0);
        GuaranteeCohort &pensioner = ring.slot[startSlot];
        pensioner.indexedPension = indexedPension;
        pensioner.nonIndexedPension = nonIndexedPension;
        pensioner.retiredNumber = 1.0;
        pensioner.survivingNumber = 1.0;
        pensioner.bridgePension = member.bridgePension;
        pensioner.spouseSurvival = spouse;
    } else {
        state.retirees = 1.0;
        addToBlock(host.memberCounts, blocks.retirees, 0, 1.0);
        state.indexedPension = indexedPension;
        state.nonIndexedPension = nonIndexedPension;
        state.bridgePension = member.bridgePension;
        state.survivorIndexedPension = indexedPension * rules.spouseFraction;
        state.survivorNonIndexedPension = nonIndexedPension * rules.spouseFraction;
        state.spouseSurvival = spouse;
    }

    const int32_t projectionYears = boundedProjectionYears(member.projectionYears);
    for (int32_t u = 1; u < projectionYears; ++u) {
        const int64_t x = int64_t{member.age} + u - 1;
        const int64_t y = int64_t{member.spouseAge} + u - 1;
        const double q = mortalityAt(memberMortality, x, u - 1);
        const double qs = mortalityAt(spouseMortality, y, u - 1);
        const bool insideBridge =
            insideBridgeAges(rules.bridgeStartAge, rules.bridgeEndAge, int64_t{member.age} + u);
        if (startsInGuarantee && state.inGuarantee > 0.0) {
            guaranteeYear(rules, blocks, host, ring, startSlot, state, u, q, qs, insideBridge);
        } else {
            lifeYear(rules, blocks, host, state, u, q, qs, insideBridge);
        }
    }
}
