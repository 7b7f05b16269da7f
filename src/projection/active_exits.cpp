// Members in service: the amounts of the exits other than retirement. The
// disability pension, the deferred pension and its indexation during
// deferment, the pensions of the spouses who survive each kind of pensioner,
// and the transfer values of leavers and of deferred members who die.
#include <cstdint>

#include "projection/active_member_state.h"
#include "projection/result_layout.h"

namespace {

// Per-head pensions of a population after the year's update: those still in
// it (kept), indexed a year, plus what the entrants bring. The amounts of
// the first half of the payment are refreshed only in a year that leaves
// anybody in the population; an empty population has no amounts.
void averagePensions(PensionAverage &average, double kept, double population, double indexation,
                     double enteringIndexed, double enteringNonIndexed) {
    if (population != 0.0) {
        average.previousIndexed = average.indexed;
        average.previousNonIndexed = average.nonIndexed;
        average.indexed = (average.indexed * kept * indexation + enteringIndexed) / population;
        average.nonIndexed = (average.nonIndexed * kept + enteringNonIndexed) / population;
    } else {
        average.indexed = 0.0;
        average.nonIndexed = 0.0;
    }
}

// Half a year at the start population and amounts, half at the end ones.
double midYearPayment(const PensionAverage &average, double atStart, double atEnd) {
    return 0.5 * atStart * (average.previousIndexed + average.previousNonIndexed) +
           0.5 * atEnd * (average.indexed + average.nonIndexed);
}

// Spouses of pensioners retired from one origin: those of the cohort whose
// guarantee ended this year (the deaths inside it surface now) and those of
// this year's deaths past the guarantee, each with the spouse's share of the
// pension the pensioner had.
struct SurvivorEntrants {
    const GuaranteeCohort *leaving;  // slot 0 of the origin's ring
    double guaranteeDeaths;          // deaths inside the guarantee of that cohort
    const PensionAverage *retirees;  // pensioners past the guarantee, updated this year
    double retireeDeaths;            // their deaths this year
    double retireeSpouseSurvival;    // average spouse survival among them
};

void averageRetireeSurvivorPensions(PensionAverage &average, double kept, double population,
                                    double indexation, double spouseFraction,
                                    const SurvivorEntrants &entrants) {
    const GuaranteeCohort &leaving = *entrants.leaving;
    if (population != 0.0) {
        average.previousIndexed = average.indexed;
        average.previousNonIndexed = average.nonIndexed;
        average.indexed =
            (average.indexed * indexation * kept +
             leaving.indexedPension * spouseFraction * entrants.guaranteeDeaths * leaving.spouseSurvival +
             spouseFraction * entrants.retirees->indexed * entrants.retireeDeaths *
                 entrants.retireeSpouseSurvival) /
            population;
        average.nonIndexed =
            (average.nonIndexed * kept +
             leaving.nonIndexedPension * spouseFraction * entrants.guaranteeDeaths *
                 leaving.spouseSurvival +
             spouseFraction * entrants.retirees->nonIndexed * entrants.retireeDeaths *
                 entrants.retireeSpouseSurvival) /
            population;
    } else {
        average.indexed = 0.0;
        average.nonIndexed = 0.0;
    }
}

} // namespace

void payDisabled(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                 double disabledAtStart) {
    const ActiveEvents &events = state.events;
    // New disabled members bring the accrued pensions of the year, without a
    // retirement factor; the disabled are indexed with the rate of year U.
    averagePensions(state.disabled, disabledAtStart - events.disabledDeaths, state.disabledCount,
                    year.indexation, state.accruedIndexedPension * events.disablements,
                    state.accruedNonIndexedPension * events.disablements);
    addToBlock(host.benefitCashflows,
               blockForSex(state.terms.male, cashflows::kDisabilityPensionMale,
                           cashflows::kDisabilityPensionFemale),
               year.year, midYearPayment(state.disabled, disabledAtStart, state.disabledCount));
}

void updateDeferredPension(ActiveMemberState &state, const ActiveYear &year,
                           double deferredAtStart) {
    const ActiveEvents &events = state.events;
    const double kept = deferredAtStart - events.deferredDeaths - events.deferredRetirements;
    const double population = state.deferredCount;
    const double leavers = events.deferredWithdrawals;
    if (population != 0.0) {
        // leavers of year U bring the accrued pensions and the whole years
        // of service they had at its start
        const double leaverService = static_cast<double>(
            int64_t{state.terms.wholeServiceYears} + year.year - 1);
        state.deferredIndexedPension =
            (state.deferredIndexedPension * kept * year.laggedIndexation +
             state.accruedIndexedPension * leavers) /
            population;
        state.deferredNonIndexedPension =
            (state.deferredNonIndexedPension * kept + state.accruedNonIndexedPension * leavers) /
            population;
        state.deferredServiceYears =
            (state.deferredServiceYears * kept + leaverService * leavers) / population;
    } else {
        // Nobody deferred: the indexed amount still rises, by the rate of
        // year U; the fixed amount and the service keep their values.
        state.deferredIndexedPension = state.deferredIndexedPension * year.indexation;
    }
}

void payServiceSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                         double survivorsAtStart) {
    const ActiveEvents &events = state.events;
    SurvivorEntrants entrants{};
    entrants.leaving = &state.serviceCohorts.slot[0];
    entrants.guaranteeDeaths = events.guaranteeDeathsService;
    entrants.retirees = &state.serviceRetiree.pension;
    entrants.retireeDeaths = events.serviceRetireeDeaths;
    entrants.retireeSpouseSurvival = state.serviceRetireeSpouseSurvival;
    averageRetireeSurvivorPensions(state.serviceSurvivor,
                                   survivorsAtStart - events.serviceSurvivorDeaths,
                                   state.serviceRetireeSurvivors, year.laggedIndexation,
                                   state.terms.spouseFraction, entrants);
    // paid to the spouse, of the other sex
    addToBlock(host.benefitCashflows,
               blockForSex(state.terms.male, cashflows::kServiceSpousePensionFemale,
                           cashflows::kServiceSpousePensionMale),
               year.year,
               midYearPayment(state.serviceSurvivor, survivorsAtStart, state.serviceRetireeSurvivors));
}

void payDisabledSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                          double survivorsAtStart) {
    const ActiveEvents &events = state.events;
    const double fraction = state.terms.spouseFraction;
    // spouses of this year's disabled deaths take their share of the
    // disability pension as updated this year
    averagePensions(
        state.disabledSurvivor, survivorsAtStart - events.disabledSurvivorDeaths,
        state.disabledSurvivors, year.indexation,
        state.disabled.indexed * fraction * events.disabledDeaths * state.spouseSurvival,
        state.disabled.nonIndexed * fraction * events.disabledDeaths * state.spouseSurvival);
    addToBlock(host.benefitCashflows,
               blockForSex(state.terms.male, cashflows::kDisabledSpousePensionFemale,
                           cashflows::kDisabledSpousePensionMale),
               year.year,
               midYearPayment(state.disabledSurvivor, survivorsAtStart, state.disabledSurvivors));
}

void payDeferredSurvivors(ActiveMemberState &state, const HostArrays &host, const ActiveYear &year,
                          double survivorsAtStart) {
    const ActiveEvents &events = state.events;
    SurvivorEntrants entrants{};
    entrants.leaving = &state.deferredCohorts.slot[0];
    entrants.guaranteeDeaths = events.guaranteeDeathsDeferred;
    entrants.retirees = &state.deferredRetiree.pension;
    entrants.retireeDeaths = events.deferredRetireeDeaths;
    entrants.retireeSpouseSurvival = state.deferredRetireeSpouseSurvival;
    averageRetireeSurvivorPensions(state.deferredSurvivor,
                                   survivorsAtStart - events.deferredSurvivorDeaths,
                                   state.deferredRetireeSurvivors, year.laggedIndexation,
                                   state.terms.spouseFraction, entrants);
    addToBlock(host.benefitCashflows,
               blockForSex(state.terms.male, cashflows::kDeferredSpousePensionFemale,
                           cashflows::kDeferredSpousePensionMale),
               year.year,
               midYearPayment(state.deferredSurvivor, survivorsAtStart, state.deferredRetireeSurvivors));
}

void payTransferValues(const ActiveMemberState &state, const HostArrays &host, const Basis &basis,
                       const ActiveYear &year) {
    const ActiveEvents &events = state.events;
    const bool male = state.terms.male;
    // One pair of table entries for both terms: the band of the service
    // reached this year and the age at its end (ages above 49 read 49).
    const double indexedValue = deferredAnnuityValue(basis, state.serviceBand, year.ageReached,
                                                     male ? MaleIndexed : FemaleIndexed);
    const double nonIndexedValue = deferredAnnuityValue(basis, state.serviceBand, year.ageReached,
                                                        male ? MaleNonIndexed : FemaleNonIndexed);
    const double lumpSums =
        (state.accruedIndexedPension * indexedValue + state.accruedNonIndexedPension * nonIndexedValue) *
            events.transferWithdrawals +
        (state.deferredIndexedPension * indexedValue + state.deferredNonIndexedPension * nonIndexedValue) *
            events.deferredDeaths;
    addToBlock(host.benefitCashflows,
               blockForSex(male, cashflows::kLumpSumMale, cashflows::kLumpSumFemale), year.year,
               lumpSums);
}
