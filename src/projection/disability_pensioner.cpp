// Valuation of a disability pensioner (status 3): a pension for life at the
// mortality of a disabled life, then a spouse pension for the spouse's life.
#include <cstdint>

#include "projection/projection_year.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

void valueDisabilityPensioner(const ValuationContext &context, const MemberRecord &member) {
    const Basis &basis = *context.basis;
    const HostArrays &host = *context.host;
    const double *yearlyRates = host.yearlyRates;
    const int64_t ageAddition = truncToInt(host.demographicParameters[TALVEK_DEMOGRAPHIC_DISABLED_AGE_ADDITION]);
    const double indexationShare = host.planParameters[TALVEK_PLAN_INDEXATION_SHARE];
    const double spouseFraction = host.planParameters[TALVEK_PLAN_SPOUSE_FRACTION];

    // Any sex but M, m, F, f values nothing, not even the start count.
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    const MortalityTable &memberMortality = memberTable(basis, male);
    const MortalityTable &spouseMortality = spouseTable(basis, male);
    const int countBlock = blockForSex(male, members::kDisabledMale, members::kDisabledFemale);
    const int survivorBlock = blockForSex(male, members::kDisabledSurvivorsFemale, members::kDisabledSurvivorsMale);
    const int pensionBlock =
        blockForSex(male, cashflows::kDisabilityPensionMale, cashflows::kDisabilityPensionFemale);
    const int spousePensionBlock =
        blockForSex(male, cashflows::kDisabledSpousePensionFemale, cashflows::kDisabledSpousePensionMale);

    double disabledCount = 1.0;  // pensioner alive
    double survivors = 0.0;      // surviving spouses in payment
    double spouseSurvival = 1.0; // spouse alive, whatever the pensioner
    double indexedPension = member.currentPension * member.guaranteedFraction;
    const double nonIndexedPension = member.currentPension * (1.0 - member.guaranteedFraction);
    addToBlock(host.memberCounts, countBlock, 0, 1.0);

    const int32_t projectionYears = boundedProjectionYears(member.projectionYears);
    for (int32_t u = 1; u < projectionYears; ++u) {
        const double countAtStart = disabledCount;
        const double survivorsAtStart = survivors;
        const double indexedAtStart = indexedPension;
        const double nonIndexedAtStart = nonIndexedPension;

        // A disabled life dies as one older by the age addition; a loaded age
        // below 0 has no deaths, one above 120 dies within the year.
        const int64_t x = int64_t{member.age} + u - 1;
        const int64_t y = int64_t{member.spouseAge} + u - 1;
        const double qd = mortalityAt(memberMortality, x + ageAddition, u - 1);
        const double qs = mortalityAt(spouseMortality, y, u - 1);

        const double disabledDeaths = countAtStart * qd;
        addToBlock(host.decrementCounts, decrements::kDisabledDeaths, u, disabledDeaths);
        spouseSurvival = (1.0 - qs) * spouseSurvival;
        disabledCount = countAtStart - disabledDeaths;
        addToBlock(host.memberCounts, countBlock, u, disabledCount);

        // Indexed at this year's rate, unlike an old-age pension.
        indexedPension = indexedAtStart * (1.0 + yearlyRates[u] * indexationShare);
        addToBlock(host.benefitCashflows, pensionBlock, u,
                   countAtStart * 0.5 * (indexedAtStart + nonIndexedAtStart) +
                       disabledCount * 0.5 * (nonIndexedPension + indexedPension));

        // A spouse widowed this year meets the spouse's mortality from the next year on.
        const double survivorDeaths = survivorsAtStart * qs;
        addToBlock(host.decrementCounts, decrements::kDisabledSurvivorDeaths, u, survivorDeaths);
        survivors = disabledDeaths * spouseSurvival - survivorDeaths + survivorsAtStart;
        addToBlock(host.memberCounts, survivorBlock, u, survivors);
        // A year that ends with exactly no survivor pays no spouse pension at all.
        if (survivors != 0.0) {
            addToBlock(host.benefitCashflows, spousePensionBlock, u,
                       (survivorsAtStart * 0.5 * (indexedAtStart + nonIndexedAtStart) +
                        survivors * 0.5 * (indexedPension + nonIndexedPension)) *
                           spouseFraction);
        }
    }
}
