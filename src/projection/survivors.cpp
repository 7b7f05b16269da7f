// Surviving spouses in payment of one kind of pensioner: of pensioners
// retired from service (and spouses in payment at the valuation date), of
// disability pensioners, of pensioners retired from deferment.
#include <cstdint>

#include "projection/pension_amounts.h"
#include "projection/population_steps.h"

namespace {

// S1 = (S0 + new spouses) - deaths, or (new spouses - deaths) + S0 in the
// order of a later state; the spouses of the deaths come before those of
// the guarantee that ended.
template <class A>
double survivorsAfter(double atStart, const SurvivorEntrants<A> &entrants, double deaths, Order order) {
    if (order == Order::inService) {
        double count = atStart + entrants.ofDeaths.number;
        if (entrants.ofGuaranteeToo) count = count + entrants.ofGuarantee.number;
        return count - deaths;
    }
    if (!entrants.any) return atStart - deaths;
    double count = entrants.ofDeaths.number;
    if (entrants.ofGuaranteeToo) count = count + entrants.ofGuarantee.number;
    return count - deaths + atStart;
}

// What a group of new spouses brings, f of the pensioners' amount: in the
// order of members in service ((amount x f) x deaths) x survival, in that of
// a later state (amount x f) x number.
template <class A, class Amount>
Amount brought(const Amount &amount, const NewSurvivors<A> &group, double f, Order order) {
    if (order == Order::inService) return amount * f * group.deaths * group.survival;
    return amount * f * group.number;
}

// Averaged spouses, S1 != 0, K = S0 - deaths:
//   indexed    = (kept + brought of the guarantee + brought of the deaths) / S1
//   nonIndexed = (nonIndexed x K + the same) / S1
// where the kept indexed amount is indexed x I'(U) x K for spouses of
// old-age pensioners and indexed x K x I(U) for spouses of the disabled.
template <class A>
void averageSurvivorPensions(Survivors<A> &survivors, const SurvivorEntrants<A> &entrants, double kept,
                             const YearRates<A> &year, double f, Order order) {
    PensionAmounts<A> &amounts = survivors.pension;
    if (survivors.count == 0.0) {
        amounts.indexed = 0.0;
        amounts.nonIndexed = 0.0;
        return;
    }
    amounts.previousIndexed = amounts.indexed;
    amounts.previousNonIndexed = amounts.nonIndexed;
    IndexedOf<A> indexed = survivors.kind == SurvivorKind::ofRetirees
                         ? amounts.indexed * year.laggedIndexation * kept
                         : amounts.indexed * kept * year.indexation;
    A nonIndexed = amounts.nonIndexed * kept;
    if (entrants.ofGuaranteeToo) {
        indexed = indexed + brought(entrants.ofGuarantee.indexed, entrants.ofGuarantee, f, order);
        nonIndexed = nonIndexed + brought(entrants.ofGuarantee.nonIndexed, entrants.ofGuarantee, f, order);
    }
    amounts.indexed = (indexed + brought(entrants.ofDeaths.indexed, entrants.ofDeaths, f, order)) / survivors.count;
    amounts.nonIndexed =
        (nonIndexed + brought(entrants.ofDeaths.nonIndexed, entrants.ofDeaths, f, order)) / survivors.count;
}

// The spouses' per-head pension a year on, by how the population keeps it:
// averaged with the new spouses', a life's own indexed by the rate of year U
// or U - 1, or the disabled pensioner's own amounts, of which f is paid.
template <class A>
void updateSurvivorPensions(Survivors<A> &survivors, const SurvivorEntrants<A> &entrants, double kept,
                            const YearRates<A> &year, double f, Order order) {
    if (survivors.shareOfPensioner) {
        survivors.pension = *entrants.pensionerAmounts;
    } else if (survivors.keeping == Keeping::averaged) {
        averageSurvivorPensions(survivors, entrants, kept, year, f, order);
    } else {
        indexOwnPensions(survivors.pension, survivors.indexedWithYearRate ? year.indexation
                                                                          : year.laggedIndexation);
    }
}

// The pensions of the year at mid-year, 0.5 S0 (start amounts) + 0.5 S1
// (end amounts). A disabled life's spouses are paid f of that, and nothing
// in a year that ends with no spouse at all.
template <class A>
void paySurvivors(const Survivors<A> &survivors, double atStart, const PlanTerms &terms, int32_t U,
                  const Results &results) {
    const A paid = midYearPayment(survivors.pension, atStart, survivors.count);
    if (!survivors.shareOfPensioner) {
        addPayment(results, survivors.payment, survivors.male, U, paid);
    } else if (survivors.count != 0.0) {
        addPayment(results, survivors.payment, survivors.male, U, paid * terms.spouseFraction);
    }
}

} // namespace

// One year of the spouses in payment: deaths = S0 qs (a spouse in payment at
// the valuation date dies at the member's own q), the new spouses join, the
// amounts are updated and the year is paid. A spouse widowed this year is
// not exposed to the spouse's mortality again: the year is inside the
// survival already.
template <class A>
void stepSurvivors(Survivors<A> &survivors, const SurvivorEntrants<A> &entrants, const PlanTerms &terms,
                   const YearRates<A> &year, Order order, const Results &results) {
    const int32_t U = year.year;
    const double mortality = survivors.survivorIsMember ? year.memberMortality : year.spouseMortality;
    const double atStart = survivors.count;
    const double deaths = atStart * mortality;
    survivors.count = survivorsAfter(atStart, entrants, deaths, order);
    updateSurvivorPensions(survivors, entrants, atStart - deaths, year, terms.spouseFraction, order);
    countEvents(results, survivors.deaths, U, deaths);
    countPeople(results, survivors.people, survivors.male, U, survivors.count);
    if (entrants.sharesBridge && year.inBridgeWindow) {
        addPayment(results, Payment::bridgePension, survivors.male, U,
                   (atStart * 0.5 * entrants.bridgeAtStart + survivors.count * 0.5 * entrants.bridge) *
                       terms.spouseFraction);
    }
    paySurvivors(survivors, atStart, terms, U, results);
}

// The spouses of the year's disabled deaths, alive with the probability s
// from the valuation date, each with f of the disability pension as updated
// this year.
template <class A>
SurvivorEntrants<A> disabledSurvivorEntrants(const Disabled<A> &disabled, const YearEvents &events) {
    SurvivorEntrants<A> entrants = noSurvivorEntrants<A>();
    entrants.any = true;
    entrants.ofDeaths = NewSurvivors<A>{events.disabledDeaths, disabled.spouseSurvival,
                                     events.disabledDeaths * disabled.spouseSurvival, disabled.pension.indexed,
                                     disabled.pension.nonIndexed};
    entrants.pensionerAmounts = &disabled.pension;
    return entrants;
}

#define TALVEK_SURVIVOR_STEPS(A)                                                                            \
    template void stepSurvivors<A>(Survivors<A> &, const SurvivorEntrants<A> &, const PlanTerms &,          \
                                   const YearRates<A> &, Order, const Results &);                              \
    template SurvivorEntrants<A> disabledSurvivorEntrants<A>(const Disabled<A> &, const YearEvents &);
TALVEK_SURVIVOR_STEPS(double)
TALVEK_SURVIVOR_STEPS(ServiceLanes)
TALVEK_SURVIVOR_STEPS(ScenarioLanes)
TALVEK_SURVIVOR_STEPS(ScenarioValues)
