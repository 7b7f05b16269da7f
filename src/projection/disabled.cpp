// Disability pensioners: a pension for life at the mortality of a disabled
// life (the member's table at the age loaded by disabledAgeAddition), indexed
// with the rate of the year itself.
#include <cstdint>

#include "projection/pension_amounts.h"
#include "projection/population_steps.h"

// d. With D0 the disabled at the start of the year and qd their mortality:
//   deaths = D0 qd,  D1 = (D0 + disablements) - deaths,
// the spouse alive s <- s (1 - qs), and the per-head pension of the kept
// D0 - deaths indexed by I(U): averaged with the entrants' accrued pensions
// when the disabled come from service, the life's own pension otherwise.
// Paid mid-year: 0.5 D0 (start amounts) + 0.5 D1 (end amounts).
template <class A>
void stepDisabled(Disabled<A> &disabled, const Entrants<A> &entrants, YearEvents &events,
                  const YearRates<A> &year, bool male, const Results &results) {
    const double atStart = disabled.count;
    const double deaths = atStart * year.disabledMortality;
    const double atEnd = atStart + entrants.number - deaths;
    events.disabledDeaths = deaths;
    disabled.spouseSurvival = disabled.spouseSurvival * (1.0 - year.spouseMortality);
    disabled.count = atEnd;
    if (disabled.keeping == Keeping::averaged) {
        averagePensions(disabled.pension, atStart - deaths, atEnd, year.indexation, entrants.indexed,
                        entrants.nonIndexed);
    } else {
        indexOwnPensions(disabled.pension, year.indexation);
    }
    const A paid = midYearPayment(disabled.pension, atStart, atEnd);
    // the results last: nothing read above is changed by them
    countEvents(results, Event::disabledDeaths, year.year, deaths);
    countPeople(results, People::disabled, male, year.year, atEnd);
    addPayment(results, Payment::disabilityPension, male, year.year, paid);
}

template void stepDisabled<double>(Disabled<double> &, const Entrants<double> &, YearEvents &, const YearRates<double> &,
                                   bool, const Results &);
template void stepDisabled<ServiceLanes>(Disabled<ServiceLanes> &, const Entrants<ServiceLanes> &, YearEvents &,
                                         const YearRates<ServiceLanes> &, bool, const Results &);
template void stepDisabled<ScenarioLanes>(Disabled<ScenarioLanes> &, const Entrants<ScenarioLanes> &, YearEvents &,
                                          const YearRates<ScenarioLanes> &, bool, const Results &);
template void stepDisabled<ScenarioValues>(Disabled<ScenarioValues> &, const Entrants<ScenarioValues> &, YearEvents &,
                                           const YearRates<ScenarioValues> &, bool, const Results &);
