// The steps of a projection year, population by population.
#include "projection/year_step.h"

#include <type_traits>

#include "basis/basis_lookups.h"
#include "projection/population_steps.h"

// a, b. The members in service: their decrements, contributions and the
// amounts of an exit this year.
template <class A>
void stepInServiceYear(MemberProjection<A> &p, const ProjectionInputs &in, const MemberRecord &member,
                       const YearRates<A> &year) {
    InService<A> &inService = *p.inService;
    const double atStart = inService.count;
    decrementInService(inService, p.events, *in.terms, year, p.ages.male, in.results);           // a
    addContributions(inService, *in.terms, in, year, atStart, p.ages.male, in.results);           // b
    computeExitAmounts(inService, *in.terms, in, member, year);                                   // b
    // a member in service values the retirements and lump sums of its
    // deferred leavers at its own band, factor and ceiling average of the year
    p.deferred->serviceBand = inService.serviceBand;
    p.deferred->retirementFactor = inService.retirementFactor;
    p.deferred->averageCeiling = inService.averageCeiling;
}

// c. Members in service retire from the year in which the age reached passes
// the first age of the retirement rates; before it nothing of the step runs
// and no pensioner's death reaches the spouses. One pensioner valued from the
// valuation date is stepped as one life; inside its guarantee the same step
// counts and pays its spouse. Gives the spouses the year leaves.
template <class A>
SurvivorEntrants<A> stepServiceRetirees(MemberProjection<A> &p, const ProjectionInputs &in,
                                        const YearRates<A> &year, Order order, bool &spousesStepped) {
    Retirees<A> &retirees = *p.serviceRetirees;
    const PlanTerms &terms = *in.terms;
    const bool male = p.ages.male;
    // one pensioner from the valuation date has no service to come: plain
    // amounts, or a block of scenarios
    if constexpr (!std::is_same_v<A, ServiceLanes>) {
        if (retirees.keeping == Keeping::ownLife) {
            if (retirees.inGuarantee > 0.0) {
                guaranteeYearOfOnePensioner(retirees, *p.serviceSurvivors, p.events, terms, year, male,
                                            in.results);
                spousesStepped = true;
                return noSurvivorEntrants<A>();
            }
            return lifeYearOfOnePensioner(retirees, p.events, year, male, in.results);
        }
    }
    if constexpr (AmountKind<A>::serviceToCome) {
        if (year.ageReached > terms.firstRetirementRateAge) {
            const RetireeYear moved = moveRetirees(retirees, p.events.serviceRetirements, p.events, terms, year,
                                                   order, male, in.results);
            receiveAndPayRetirees(retirees, serviceRetirementArrivals(*p.inService, p.events, terms, year),
                                  moved, terms, year, order, male, in.results);
        } else {
            p.events.serviceRetireeDeaths = 0.0;
            p.events.guaranteeDeathsService = 0.0;
        }
        return retireeSurvivorEntrants(retirees, p.events);
    } else {
        // amounts out of service are those of one pensioner only, stepped above
        (void)order;
        return noSurvivorEntrants<A>();
    }
}

// d. Disability pensioners, fed by the year's disablements when the member is in service.
template <class A>
void stepDisabledYear(MemberProjection<A> &p, const ProjectionInputs &in, const YearRates<A> &year,
                      bool fromService) {
    const Entrants<A> entrants = [&] {
        if constexpr (AmountKind<A>::serviceToCome) {
            return fromService ? disablementEntrants(*p.inService, p.events) : noEntrants<A>();
        } else {
            return noEntrants<A>(); // amounts out of service have no entrants from service
        }
    }();
    stepDisabled(*p.disabled, entrants, p.events, year, p.ages.male, in.results);
}

namespace {

// A member deferred at the valuation date retires at the band of its service
// then and the ceiling averaged over the years its service reaches back.
template <class A>
void ownDeferredExitAmounts(Deferred<A> &deferred, const ProjectionInputs &in, const MemberRecord &member,
                            const YearRates<A> &year) {
    deferred.retirementFactor = retirementFactorOf(*in.basis, *in.host, deferred.serviceBand, year.ageReached);
    deferred.averageCeiling =
        ceilingAverageIn<A>(in, in.terms->averagingYears, member.cappedServiceYears, year.year);
}

} // namespace

// e. Deferred members, fed by the year's leavers from service, and the
// pensioners they become: the ring moves whatever the age; the year's
// retirements form a cohort and the year is paid as formsDeferredCohort says.
template <class A>
void stepDeferment(MemberProjection<A> &p, const ProjectionInputs &in, const MemberRecord &member,
                   const YearRates<A> &year, Order order, bool fromService) {
    const PlanTerms &terms = *in.terms;
    const bool male = p.ages.male;
    const Entrants<A> leavers = [&] {
        if constexpr (AmountKind<A>::serviceToCome) {
            return fromService ? deferredLeavers(*p.inService, p.events, terms, year) : noEntrants<A>();
        } else {
            return noEntrants<A>(); // amounts out of service have no leavers from service
        }
    }();
    stepDeferred(*p.deferred, leavers, p.events, terms, year, order, male, in.results);

    Retirees<A> &retirees = *p.deferredRetirees;
    const bool formsCohort = formsDeferredCohort(retirees, p.events, terms, year);
    const RetireeYear moved =
        moveRetirees(retirees, p.events.deferredRetirements, p.events, terms, year, order, male, in.results);
    if (!formsCohort) return;
    if (p.deferred->keeping == Keeping::ownLife) ownDeferredExitAmounts(*p.deferred, in, member, year);
    receiveAndPayRetirees(retirees, deferredRetirementArrivals(*p.deferred, p.events, terms, year), moved,
                          terms, year, order, male, in.results);
}

// i. Lump sums of the year: transfer values of leavers who take one, and of
// deferred members who die. Both read one pair of table entries: the band
// of the service reached (in service, or of a deferred member's service)
// and the age at the end of the year (ages above 49 read 49):
//   (accrued indexed x Ti + accrued fixed x Tn) x transfers
//     + (deferred indexed x Ti + deferred fixed x Tn) x deferred deaths.
// The number is a count of the year only, never carried over.
template <class A>
void payLumpSums(const MemberProjection<A> &p, const ProjectionInputs &in, const YearRates<A> &year,
                 bool fromService) {
    const bool male = p.ages.male;
    const Deferred<A> &deferred = *p.deferred;
    using X = IndexedOf<A>;
    const X indexedValue =
        deferredAnnuityIn<A>(in, deferred.serviceBand, year.ageReached, male ? MaleIndexed : FemaleIndexed);
    const X nonIndexedValue =
        deferredAnnuityIn<A>(in, deferred.serviceBand, year.ageReached, male ? MaleNonIndexed : FemaleNonIndexed);
    const A deathValues =
        (deferred.indexedPension * indexedValue + deferred.nonIndexedPension * nonIndexedValue) *
        p.events.deferredDeaths;
    if (!fromService) {
        countPeople(in.results, People::lumpSums, male, year.year, p.events.deferredDeaths);
        addPayment(in.results, Payment::lumpSum, male, year.year, deathValues);
        return;
    }
    const InService<A> &inService = *p.inService;
    const A transferValues = (inService.accruedIndexedPension * indexedValue +
                                   inService.accruedNonIndexedPension * nonIndexedValue) *
                                  p.events.transferWithdrawals;
    countPeople(in.results, People::lumpSums, male, year.year,
                p.events.transferWithdrawals + p.events.deferredDeaths);
    addPayment(in.results, Payment::lumpSum, male, year.year, transferValues + deathValues);
}


#define TALVEK_YEAR_STEPS(A)                                                                                \
    template void stepInServiceYear<A>(MemberProjection<A> &, const ProjectionInputs &, const MemberRecord &, \
                                       const YearRates<A> &);                                                  \
    template SurvivorEntrants<A> stepServiceRetirees<A>(MemberProjection<A> &, const ProjectionInputs &,    \
                                                        const YearRates<A> &, Order, bool &);                  \
    template void stepDisabledYear<A>(MemberProjection<A> &, const ProjectionInputs &, const YearRates<A> &, bool); \
    template void stepDeferment<A>(MemberProjection<A> &, const ProjectionInputs &, const MemberRecord &,    \
                                   const YearRates<A> &, Order, bool);                                         \
    template void payLumpSums<A>(const MemberProjection<A> &, const ProjectionInputs &, const YearRates<A> &, bool);
TALVEK_YEAR_STEPS(double)
TALVEK_YEAR_STEPS(ServiceLanes)
TALVEK_YEAR_STEPS(ScenarioLanes)
// Amounts out of service in a block of scenarios: the steps of later states only.
template SurvivorEntrants<ScenarioValues> stepServiceRetirees<ScenarioValues>(
    MemberProjection<ScenarioValues> &, const ProjectionInputs &, const YearRates<ScenarioValues> &, Order, bool &);
template void stepDisabledYear<ScenarioValues>(MemberProjection<ScenarioValues> &, const ProjectionInputs &,
                                               const YearRates<ScenarioValues> &, bool);
template void stepDeferment<ScenarioValues>(MemberProjection<ScenarioValues> &, const ProjectionInputs &,
                                            const MemberRecord &, const YearRates<ScenarioValues> &, Order, bool);
template void payLumpSums<ScenarioValues>(const MemberProjection<ScenarioValues> &, const ProjectionInputs &,
                                          const YearRates<ScenarioValues> &, bool);
