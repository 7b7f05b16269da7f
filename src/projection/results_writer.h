// The results of a valuation written by name: the people counted at the end
// of a year, the events during it and the payments during it, each in the
// block of its name and of the sex of the person counted or paid (events add
// both sexes into one block). Slot 0 of a block is the valuation date, slot U
// projection year U.
#pragma once

#include <cstdint>

#include "projection/result_layout.h"
#include "projection/scenario_lanes.h"
#include "talvek/engine.h"

// One member's present values, summed as its amounts are added: each
// amount of year U times v(U - 0.5), and times (U - 0.5) v(U - 0.5) for
// the durations; benefits in each service lane.
struct MemberSums {
    double benefits[kServiceLanes];
    double benefitTimes; // lane 0's, for its duration
    double contributions;
    double contributionTimes;
};

// What a valuation adds into beside the run's totals: the arrays of the
// member's status, the benefit cash flows of the two limited attributions
// (the obligation's and one year's; plain amounts go into both as they are),
// and the member's own present values.
struct ValuationSinks {
    double *memberCounts;      // of the member's status
    double *decrementCounts;
    double *benefitCashflows;
    double *accruedCashflows;  // no service after the valuation date
    double *oneYearCashflows;  // one year of it
    MemberSums *member;        // null: no per-member figures
    const double *midYearFactors; // v(U - 0.5), U = 1..110
    const double *timeFactors;    // (U - 0.5) v(U - 0.5)
};

// What the amounts of a block of scenarios add into, element by element of
// the benefit cash flows, each element's lanes side by side: every member's
// as the run attributes service (the scenarios' run totals; scenario l of
// element i at i x kScenarioLanes + l), and those of the member's status in
// the three attributions (laid out as ScenarioLanes: i x kLaneAmounts +
// laneOf(a, l)).
struct ScenarioSinks {
    double *totalCashflows;
    double *statusCashflows;
};

// The three result arrays a valuation adds into, and in a valuation with
// present values what it adds beside them (null in a plain run); a block of
// scenarios counts into the three arrays once and adds its amounts into
// `scenarios` only.
struct Results {
    double *memberCounts;
    double *decrementCounts;
    double *benefitCashflows;
    const ValuationSinks *valuation = nullptr;
    const ScenarioSinks *scenarios = nullptr;
};

enum class People {
    inService,
    disabled,
    deferred,
    serviceRetirees,            // retired from service, past the guarantee
    deferredRetirees,           // retired from deferment, past the guarantee
    serviceSurvivors,           // spouses of pensioners retired from service (and spouses in payment)
    disabledSurvivors,
    deferredSurvivors,
    lumpSums,                   // lump sums paid in the year: a count of the year, not a stock
    serviceRetireesInGuarantee, // alive or not: the guarantee pays them all
    deferredRetireesInGuarantee,
    count
};

enum class Event {
    deathsInService,
    disablements,
    serviceRetirements,
    deferredWithdrawals,
    transferWithdrawals,
    disabledDeaths,
    deferredDeaths,
    deferredRetirements,
    serviceRetireeDeaths,
    deferredRetireeDeaths,
    serviceSurvivorDeaths,
    disabledSurvivorDeaths, // also the deaths of spouses in payment at the valuation date
    deferredSurvivorDeaths,
    guaranteeDeathsService, // counted in the year the cohort's guarantee ends
    guaranteeDeathsDeferred,
    count
};

enum class Payment {
    contributions,
    servicePension,
    disabilityPension,
    deferredPension,
    serviceSpousePension,
    disabledSpousePension,
    deferredSpousePension,
    lumpSum,
    bridgePension, // to members and to surviving spouses
    count
};

// The male block of each; the female block follows it.
constexpr int kPeopleBlocks[static_cast<int>(People::count)] = {
    members::kActiveMale,           members::kDisabledMale,
    members::kDeferredMale,         members::kServiceRetireesMale,
    members::kDeferredRetireesMale, members::kServiceSurvivorsMale,
    members::kDisabledSurvivorsMale, members::kDeferredSurvivorsMale,
    members::kLumpSumsMale,         members::kServiceRetireesInGuaranteeMale,
    members::kDeferredRetireesInGuaranteeMale};
constexpr int kEventBlocks[static_cast<int>(Event::count)] = {
    decrements::kDeathsInService,        decrements::kDisablements,
    decrements::kServiceRetirements,     decrements::kDeferredWithdrawals,
    decrements::kTransferWithdrawals,    decrements::kDisabledDeaths,
    decrements::kDeferredDeaths,         decrements::kDeferredRetirements,
    decrements::kServiceRetireeDeaths,   decrements::kDeferredRetireeDeaths,
    decrements::kServiceSurvivorDeaths,  decrements::kDisabledSurvivorDeaths,
    decrements::kDeferredSurvivorDeaths, decrements::kGuaranteeDeathsService,
    decrements::kGuaranteeDeathsDeferred};
constexpr int kPaymentBlocks[static_cast<int>(Payment::count)] = {
    cashflows::kContributionsMale,        cashflows::kServicePensionMale,
    cashflows::kDisabilityPensionMale,    cashflows::kDeferredPensionMale,
    cashflows::kServiceSpousePensionMale, cashflows::kDisabledSpousePensionMale,
    cashflows::kDeferredSpousePensionMale, cashflows::kLumpSumMale,
    cashflows::kBridgePensionMale};

inline int sexBlock(int maleBlock, bool male) { return male ? maleBlock : maleBlock + kBlockSlots; }

inline void countPeople(const Results &results, People people, bool male, int32_t year, double number) {
    const int element = sexBlock(kPeopleBlocks[static_cast<int>(people)], male) + year;
    results.memberCounts[element] += number;
    if (results.valuation != nullptr) results.valuation->memberCounts[element] += number;
}

inline void countEvents(const Results &results, Event event, int32_t year, double number) {
    const int element = kEventBlocks[static_cast<int>(event)] + year;
    results.decrementCounts[element] += number;
    if (results.valuation != nullptr) results.valuation->decrementCounts[element] += number;
}

// A member's present values of the amount of year U of one payment:
//   benefits += amount x v(U - 0.5), contributions likewise, and the same
//   times (U - 0.5) for the durations.
inline void sumMemberValue(const ValuationSinks &sinks, Payment payment, int32_t year, const double *amount) {
    MemberSums &member = *sinks.member;
    const double v = sinks.midYearFactors[year];
    const double tv = sinks.timeFactors[year];
    if (payment == Payment::contributions) {
        member.contributions += amount[kProjectedLane] * v;
        member.contributionTimes += amount[kProjectedLane] * tv;
        return;
    }
    for (int k = 0; k < kServiceLanes; ++k) member.benefits[k] += amount[k] * v;
    member.benefitTimes += amount[kProjectedLane] * tv;
}

inline int paymentElement(Payment payment, bool male, int32_t year) {
    return sexBlock(kPaymentBlocks[static_cast<int>(payment)], male) + year;
}

// An amount of each scenario of a block in each attribution, added lane by
// lane as a valuation of the scenario adds it.
inline void addPayment(const Results &results, Payment payment, bool male, int32_t year,
                       const ScenarioLanes &amount) {
    const int element = paymentElement(payment, male, year);
    const ScenarioSinks &sinks = *results.scenarios;
    const ScenarioLanes lanes = amount; // apart from the sums: the adds below are one vector each
    double *__restrict total = sinks.totalCashflows + element * kScenarioLanes;
    double *__restrict status = sinks.statusCashflows + element * kLaneAmounts;
    for (int l = 0; l < kScenarioLanes; ++l) total[l] += lanes.v[laneOf(kProjectedLane, l)];
    for (int i = 0; i < kLaneAmounts; ++i) status[i] += lanes.v[i];
}

// An amount of each scenario of a member out of service, the same in every
// attribution: added into each attribution's lanes as the three equal lanes
// of a ScenarioLanes would be, so every sum is the same bytes.
inline void addPayment(const Results &results, Payment payment, bool male, int32_t year,
                       const ScenarioValues &amount) {
    const int element = paymentElement(payment, male, year);
    const ScenarioSinks &sinks = *results.scenarios;
    const ScenarioValues values = amount; // apart from the sums: the adds below are one vector each
    double *__restrict total = sinks.totalCashflows + element * kScenarioLanes;
    double *__restrict status = sinks.statusCashflows + element * kLaneAmounts;
    for (int l = 0; l < kScenarioLanes; ++l) total[l] += values.v[l];
    for (int k = 0; k < kServiceLanes; ++k)
        for (int l = 0; l < kScenarioLanes; ++l) status[laneOf(k, l)] += values.v[l];
}

// A plain amount: the same under every attribution of service.
inline void addPayment(const Results &results, Payment payment, bool male, int32_t year, double amount) {
    // beside a block of scenarios: the same in every scenario
    if (results.scenarios != nullptr) return addPayment(results, payment, male, year, ScenarioLanes(amount));
    const int element = sexBlock(kPaymentBlocks[static_cast<int>(payment)], male) + year;
    results.benefitCashflows[element] += amount;
    if (results.valuation == nullptr) return;
    const ValuationSinks &sinks = *results.valuation;
    sinks.benefitCashflows[element] += amount;
    sinks.accruedCashflows[element] += amount;
    sinks.oneYearCashflows[element] += amount;
    if (sinks.member != nullptr) {
        const double lanes[kServiceLanes] = {amount, amount, amount};
        sumMemberValue(sinks, payment, year, lanes);
    }
}

// An amount in the three lanes: lane 0 is the run's, the others go to the
// cash flows of their attribution.
inline void addPayment(const Results &results, Payment payment, bool male, int32_t year,
                       const ServiceLanes &amount) {
    const int element = sexBlock(kPaymentBlocks[static_cast<int>(payment)], male) + year;
    results.benefitCashflows[element] += amount.lane[kProjectedLane];
    if (results.valuation == nullptr) return;
    const ValuationSinks &sinks = *results.valuation;
    sinks.benefitCashflows[element] += amount.lane[kProjectedLane];
    sinks.accruedCashflows[element] += amount.lane[kAccruedLane];
    sinks.oneYearCashflows[element] += amount.lane[kOneYearLane];
    if (sinks.member != nullptr) sumMemberValue(sinks, payment, year, amount.lane);
}

// Every pair is male then female, one block apart.
static_assert(members::kActiveFemale == members::kActiveMale + kBlockSlots);
static_assert(members::kDeferredRetireesInGuaranteeFemale ==
              members::kDeferredRetireesInGuaranteeMale + kBlockSlots);
static_assert(members::kServiceSurvivorsFemale == members::kServiceSurvivorsMale + kBlockSlots);
static_assert(cashflows::kBridgePensionFemale == cashflows::kBridgePensionMale + kBlockSlots);
static_assert(cashflows::kDeferredSpousePensionFemale ==
              cashflows::kDeferredSpousePensionMale + kBlockSlots);
