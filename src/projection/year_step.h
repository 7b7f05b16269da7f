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
void stepInServiceYear(MemberProjection &p, const ProjectionInputs &in, const MemberRecord &member,
                       const YearRates &year);
SurvivorEntrants stepServiceRetirees(MemberProjection &p, const ProjectionInputs &in, const YearRates &year,
                                     Order order, Keeping keeping, bool &spousesStepped);
// fromService: the member was in service at the valuation date and feeds
// the population from service.
void stepDisabledYear(MemberProjection &p, const ProjectionInputs &in, const YearRates &year,
                      bool fromService, Keeping keeping);
void stepDeferment(MemberProjection &p, const ProjectionInputs &in, const MemberRecord &member,
                   const YearRates &year, Order order, bool fromService, Keeping keeping);
void payLumpSums(const MemberProjection &p, const ProjectionInputs &in, const YearRates &year,
                 bool fromService);

// The year of a member of the given shape (fixed for each status, so that
// each status's year holds only its own steps, its choices made once).
template <StatusShape shape>
void stepYear(MemberProjection &p, const ProjectionInputs &in, const MemberRecord &member, int32_t U) {
    constexpr Reach reach = shape.reach;
    constexpr Order order = shape.order;
    const PlanTerms &terms = *in.terms;
    const YearRates year = ratesOfYear(p.ages, p.needs, terms, *in.basis, *in.host, U);
    if constexpr (reach.inService) stepInServiceYear(p, in, member, year);                       // a, b
    SurvivorEntrants serviceSpouses = noSurvivorEntrants();
    bool serviceSpousesStepped = false;
    if constexpr (reach.serviceRetirees) {                                                       // c
        serviceSpouses = stepServiceRetirees(p, in, year, order, shape.serviceRetirees, serviceSpousesStepped);
    }
    if constexpr (reach.disabled) stepDisabledYear(p, in, year, reach.inService, shape.disabled); // d
    if constexpr (reach.deferred) {                                                              // e
        stepDeferment(p, in, member, year, order, reach.inService, shape.deferred);
    }
    if constexpr (reach.serviceSurvivors) {                                                      // f
        if (!serviceSpousesStepped) {
            stepSurvivors(*p.serviceSurvivors, shape.serviceSurvivors, serviceSpouses, terms, year, order,
                          in.results);
        }
    }
    if constexpr (reach.disabledSurvivors) {                                                     // g
        stepSurvivors(*p.disabledSurvivors, shape.disabledSurvivors, disabledSurvivorEntrants(*p.disabled, p.events),
                      terms, year, order, in.results);
    }
    if constexpr (reach.deferredSurvivors) {                                                     // h
        stepSurvivors(*p.deferredSurvivors, shape.deferredSurvivors,
                      retireeSurvivorEntrants(*p.deferredRetirees, p.events), terms, year, order, in.results);
    }
    if constexpr (reach.deferred) payLumpSums(p, in, year, reach.inService);                     // i
}
