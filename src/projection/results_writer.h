// The results of a valuation written by name: the people counted at the end
// of a year, the events during it and the payments during it, each in the
// block of its name and of the sex of the person counted or paid (events add
// both sexes into one block). Slot 0 of a block is the valuation date, slot U
// projection year U.
#pragma once

#include <cstdint>

#include "projection/result_layout.h"

// The three result arrays a valuation adds into.
struct Results {
    double *memberCounts;
    double *decrementCounts;
    double *benefitCashflows;
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
    results.memberCounts[sexBlock(kPeopleBlocks[static_cast<int>(people)], male) + year] += number;
}

inline void countEvents(const Results &results, Event event, int32_t year, double number) {
    results.decrementCounts[kEventBlocks[static_cast<int>(event)] + year] += number;
}

inline void addPayment(const Results &results, Payment payment, bool male, int32_t year, double amount) {
    results.benefitCashflows[sexBlock(kPaymentBlocks[static_cast<int>(payment)], male) + year] += amount;
}

// Every pair is male then female, one block apart.
static_assert(members::kActiveFemale == members::kActiveMale + kBlockSlots);
static_assert(members::kDeferredRetireesInGuaranteeFemale ==
              members::kDeferredRetireesInGuaranteeMale + kBlockSlots);
static_assert(members::kServiceSurvivorsFemale == members::kServiceSurvivorsMale + kBlockSlots);
static_assert(cashflows::kBridgePensionFemale == cashflows::kBridgePensionMale + kBlockSlots);
static_assert(cashflows::kDeferredSpousePensionFemale ==
              cashflows::kDeferredSpousePensionMale + kBlockSlots);
