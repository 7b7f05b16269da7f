// One projection year of one member: every population the member can reach,
// stepped in the order of the year: (a) the decrements of service, (b) the
// salary, contributions and exit amounts of the year, (c) retirement from
// service, (d) disability, (e) deferment and retirement from deferment,
// (f, g, h) the surviving spouses of each kind of pensioner, (i) the lump
// sums. Each step uses the events of the steps before it.
#pragma once

#include "core/member_record.h"
#include "projection/population_steps.h"

// The steps of the year, each of one population and those it feeds
// directly (year_step.cpp).
template <class A>
void stepInServiceYear(MemberProjection<A> &p, const ProjectionInputs &in, const MemberRecord &member,
                       const YearRates<A> &year);
template <class A>
SurvivorEntrants<A> stepServiceRetirees(MemberProjection<A> &p, const ProjectionInputs &in, const YearRates<A> &year,
                                        Order order, bool &spousesStepped);
// fromService: the member was in service at the valuation date and feeds
// the population from service.
template <class A>
void stepDisabledYear(MemberProjection<A> &p, const ProjectionInputs &in, const YearRates<A> &year,
                      bool fromService);
template <class A>
void stepDeferment(MemberProjection<A> &p, const ProjectionInputs &in, const MemberRecord &member,
                   const YearRates<A> &year, Order order, bool fromService);
template <class A>
void payLumpSums(const MemberProjection<A> &p, const ProjectionInputs &in, const YearRates<A> &year,
                 bool fromService);

// The year of a member that reaches the populations of `reach` in the
// given order (both fixed for each status, so that each status's year holds
// only its own steps).
template <Reach reach, Order order, class A>
void stepYear(MemberProjection<A> &p, const ProjectionInputs &in, const MemberRecord &member, int32_t U) {
    const PlanTerms &terms = *in.terms;
    const YearRates<A> year = ratesOfYear<A>(p.ages, p.needs, terms, *in.basis, *in.host, in.lanes, U);
    if constexpr (reach.inService) stepInServiceYear(p, in, member, year);          // a, b
    bool serviceSpousesStepped = false;
    // built where it is kept: the spouses' entrants are large in a block of scenarios
    const SurvivorEntrants<A> serviceSpouses = [&] {
        if constexpr (reach.serviceRetirees) {                                      // c
            return stepServiceRetirees(p, in, year, order, serviceSpousesStepped);
        } else {
            return noSurvivorEntrants<A>();
        }
    }();
    if constexpr (reach.disabled) stepDisabledYear(p, in, year, reach.inService);               // d
    if constexpr (reach.deferred) stepDeferment(p, in, member, year, order, reach.inService);           // e
    if constexpr (reach.serviceSurvivors) {                                         // f
        if (!serviceSpousesStepped) {
            stepSurvivors(*p.serviceSurvivors, serviceSpouses, terms, year, order, in.results);
        }
    }
    if constexpr (reach.disabledSurvivors) {                                        // g
        stepSurvivors(*p.disabledSurvivors, disabledSurvivorEntrants(*p.disabled, p.events), terms, year,
                      order, in.results);
    }
    if constexpr (reach.deferredSurvivors) {                                        // h
        stepSurvivors(*p.deferredSurvivors, retireeSurvivorEntrants(*p.deferredRetirees, p.events),
                      terms, year, order, in.results);
    }
    if constexpr (reach.deferred) payLumpSums(p, in, year, reach.inService);                  // i
}
