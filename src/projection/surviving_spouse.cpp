// Valuation of a surviving spouse in payment (status 5): the pension is paid
// for the member's life and nothing follows it.
#include <cstdint>

#include "projection/projection_year.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"

void valueSurvivingSpouse(const ValuationContext &context, const MemberRecord &member) {
    const Basis &basis = *context.basis;
    const HostArrays &host = *context.host;
    const double *yearlyRates = host.yearlyRates;
    const double indexationShare = host.planParameters[TALVEK_PLAN_INDEXATION_SHARE];

    // Any sex but M, m, F, f values nothing, not even the start count.
    const bool male = isMale(member.sex);
    if (!male && !isFemale(member.sex)) return;
    const MortalityTable &mortality = memberTable(basis, male);
    const int countBlock = blockForSex(male, members::kServiceSurvivorsMale, members::kServiceSurvivorsFemale);
    const int pensionBlock =
        blockForSex(male, cashflows::kServiceSpousePensionMale, cashflows::kServiceSpousePensionFemale);

    double memberAlive = 1.0;
    double indexedPension = member.currentPension * member.guaranteedFraction;
    const double nonIndexedPension = member.currentPension * (1.0 - member.guaranteedFraction);
    addToBlock(host.memberCounts, countBlock, 0, 1.0);

    // The spouse age of the record only fixes the length of the projection;
    // past age 120 the years add zeros.
    const int32_t projectionYears = boundedProjectionYears(member.projectionYears);
    for (int32_t u = 1; u < projectionYears; ++u) {
        const double aliveAtStart = memberAlive;
        const double indexedAtStart = indexedPension;
        indexedPension = indexedAtStart * (1.0 + yearlyRates[u] * indexationShare);
        const double q = mortalityAt(mortality, int64_t{member.age} + u - 1, u - 1);

        // Deaths of spouses in payment share the block of the disabled's survivors.
        const double deaths = aliveAtStart * q;
        addToBlock(host.decrementCounts, decrements::kDisabledSurvivorDeaths, u, deaths);
        memberAlive = aliveAtStart - deaths;
        addToBlock(host.memberCounts, countBlock, u, memberAlive);
        addToBlock(host.benefitCashflows, pensionBlock, u,
                   aliveAtStart * 0.5 * (indexedAtStart + nonIndexedPension) +
                       memberAlive * 0.5 * (indexedPension + nonIndexedPension));
    }
}
