// Where each result lives. Every result array is a row of blocks of 111
// yearly slots: block k starts at element 111k, slot 0 is the valuation date
// and slot U projection year U. Stocks take the number at the end of the year,
// flows the number or amount during it. Pairs of blocks are male then female,
// by the sex of the person counted or paid. The blocks are those the engine's
// public header names; here each is the element its block starts at.
#pragma once

#include "talvek/engine.h"

constexpr int kBlockSlots = TALVEK_YEAR_SLOTS;

namespace members {
constexpr int kLinesRead = TALVEK_MEMBERS_LINES_READ; // element 0 only: lines read without a field error
constexpr int kActiveMale = TALVEK_MEMBERS_ACTIVE_MALE * kBlockSlots;
constexpr int kActiveFemale = TALVEK_MEMBERS_ACTIVE_FEMALE * kBlockSlots;
constexpr int kDisabledMale = TALVEK_MEMBERS_DISABLED_MALE * kBlockSlots;
constexpr int kDisabledFemale = TALVEK_MEMBERS_DISABLED_FEMALE * kBlockSlots;
constexpr int kDeferredMale = TALVEK_MEMBERS_DEFERRED_MALE * kBlockSlots;
constexpr int kDeferredFemale = TALVEK_MEMBERS_DEFERRED_FEMALE * kBlockSlots;
constexpr int kServiceRetireesMale = TALVEK_MEMBERS_SERVICE_RETIREES_MALE * kBlockSlots;
constexpr int kServiceRetireesFemale = TALVEK_MEMBERS_SERVICE_RETIREES_FEMALE * kBlockSlots;
constexpr int kDeferredRetireesMale = TALVEK_MEMBERS_DEFERRED_RETIREES_MALE * kBlockSlots;
constexpr int kDeferredRetireesFemale = TALVEK_MEMBERS_DEFERRED_RETIREES_FEMALE * kBlockSlots;
constexpr int kServiceSurvivorsMale = TALVEK_MEMBERS_SERVICE_SURVIVORS_MALE * kBlockSlots;
constexpr int kServiceSurvivorsFemale = TALVEK_MEMBERS_SERVICE_SURVIVORS_FEMALE * kBlockSlots;
constexpr int kDisabledSurvivorsMale = TALVEK_MEMBERS_DISABLED_SURVIVORS_MALE * kBlockSlots;
constexpr int kDisabledSurvivorsFemale = TALVEK_MEMBERS_DISABLED_SURVIVORS_FEMALE * kBlockSlots;
constexpr int kDeferredSurvivorsMale = TALVEK_MEMBERS_DEFERRED_SURVIVORS_MALE * kBlockSlots;
constexpr int kDeferredSurvivorsFemale = TALVEK_MEMBERS_DEFERRED_SURVIVORS_FEMALE * kBlockSlots;
constexpr int kLumpSumsMale = TALVEK_MEMBERS_LUMP_SUMS_MALE * kBlockSlots; // a yearly count, not a stock
constexpr int kLumpSumsFemale = TALVEK_MEMBERS_LUMP_SUMS_FEMALE * kBlockSlots;
constexpr int kServiceRetireesInGuaranteeMale = TALVEK_MEMBERS_SERVICE_RETIREES_IN_GUARANTEE_MALE * kBlockSlots;
constexpr int kServiceRetireesInGuaranteeFemale = TALVEK_MEMBERS_SERVICE_RETIREES_IN_GUARANTEE_FEMALE * kBlockSlots;
constexpr int kDeferredRetireesInGuaranteeMale = TALVEK_MEMBERS_DEFERRED_RETIREES_IN_GUARANTEE_MALE * kBlockSlots;
constexpr int kDeferredRetireesInGuaranteeFemale = TALVEK_MEMBERS_DEFERRED_RETIREES_IN_GUARANTEE_FEMALE * kBlockSlots;
constexpr int kSize = TALVEK_MEMBER_COUNTS_SIZE;
} // namespace members

namespace decrements { // both sexes in one block
constexpr int kDeathsInService = TALVEK_DECREMENTS_DEATHS_IN_SERVICE * kBlockSlots;
constexpr int kDisablements = TALVEK_DECREMENTS_DISABLEMENTS * kBlockSlots;
constexpr int kServiceRetirements = TALVEK_DECREMENTS_SERVICE_RETIREMENTS * kBlockSlots;
constexpr int kDeferredWithdrawals = TALVEK_DECREMENTS_DEFERRED_WITHDRAWALS * kBlockSlots;
constexpr int kTransferWithdrawals = TALVEK_DECREMENTS_TRANSFER_WITHDRAWALS * kBlockSlots;
constexpr int kDisabledDeaths = TALVEK_DECREMENTS_DISABLED_DEATHS * kBlockSlots;
constexpr int kDeferredDeaths = TALVEK_DECREMENTS_DEFERRED_DEATHS * kBlockSlots;
constexpr int kDeferredRetirements = TALVEK_DECREMENTS_DEFERRED_RETIREMENTS * kBlockSlots;
constexpr int kServiceRetireeDeaths = TALVEK_DECREMENTS_SERVICE_RETIREE_DEATHS * kBlockSlots;
constexpr int kDeferredRetireeDeaths = TALVEK_DECREMENTS_DEFERRED_RETIREE_DEATHS * kBlockSlots;
constexpr int kServiceSurvivorDeaths = TALVEK_DECREMENTS_SERVICE_SURVIVOR_DEATHS * kBlockSlots;
constexpr int kDisabledSurvivorDeaths = TALVEK_DECREMENTS_DISABLED_SURVIVOR_DEATHS * kBlockSlots; // also spouses in payment
constexpr int kDeferredSurvivorDeaths = TALVEK_DECREMENTS_DEFERRED_SURVIVOR_DEATHS * kBlockSlots;
constexpr int kGuaranteeDeathsService = TALVEK_DECREMENTS_GUARANTEE_DEATHS_SERVICE * kBlockSlots;
constexpr int kGuaranteeDeathsDeferred = TALVEK_DECREMENTS_GUARANTEE_DEATHS_DEFERRED * kBlockSlots;
constexpr int kSize = TALVEK_DECREMENT_COUNTS_SIZE;
} // namespace decrements

namespace cashflows {
constexpr int kContributionsMale = TALVEK_CASHFLOWS_CONTRIBUTIONS_MALE * kBlockSlots;
constexpr int kContributionsFemale = TALVEK_CASHFLOWS_CONTRIBUTIONS_FEMALE * kBlockSlots;
constexpr int kServicePensionMale = TALVEK_CASHFLOWS_SERVICE_PENSION_MALE * kBlockSlots;
constexpr int kServicePensionFemale = TALVEK_CASHFLOWS_SERVICE_PENSION_FEMALE * kBlockSlots;
constexpr int kDisabilityPensionMale = TALVEK_CASHFLOWS_DISABILITY_PENSION_MALE * kBlockSlots;
constexpr int kDisabilityPensionFemale = TALVEK_CASHFLOWS_DISABILITY_PENSION_FEMALE * kBlockSlots;
constexpr int kDeferredPensionMale = TALVEK_CASHFLOWS_DEFERRED_PENSION_MALE * kBlockSlots;
constexpr int kDeferredPensionFemale = TALVEK_CASHFLOWS_DEFERRED_PENSION_FEMALE * kBlockSlots;
constexpr int kServiceSpousePensionMale = TALVEK_CASHFLOWS_SERVICE_SPOUSE_PENSION_MALE * kBlockSlots; // to widowers
constexpr int kServiceSpousePensionFemale = TALVEK_CASHFLOWS_SERVICE_SPOUSE_PENSION_FEMALE * kBlockSlots; // to widows
constexpr int kDisabledSpousePensionMale = TALVEK_CASHFLOWS_DISABLED_SPOUSE_PENSION_MALE * kBlockSlots;
constexpr int kDisabledSpousePensionFemale = TALVEK_CASHFLOWS_DISABLED_SPOUSE_PENSION_FEMALE * kBlockSlots;
constexpr int kDeferredSpousePensionMale = TALVEK_CASHFLOWS_DEFERRED_SPOUSE_PENSION_MALE * kBlockSlots;
constexpr int kDeferredSpousePensionFemale = TALVEK_CASHFLOWS_DEFERRED_SPOUSE_PENSION_FEMALE * kBlockSlots;
constexpr int kLumpSumMale = TALVEK_CASHFLOWS_LUMP_SUM_MALE * kBlockSlots;
constexpr int kLumpSumFemale = TALVEK_CASHFLOWS_LUMP_SUM_FEMALE * kBlockSlots;
constexpr int kBridgePensionMale = TALVEK_CASHFLOWS_BRIDGE_PENSION_MALE * kBlockSlots; // members and surviving husbands
constexpr int kBridgePensionFemale = TALVEK_CASHFLOWS_BRIDGE_PENSION_FEMALE * kBlockSlots; // members and surviving wives
constexpr int kSize = TALVEK_BENEFIT_CASHFLOWS_SIZE;
} // namespace cashflows

// Picks the block of a male/female pair by the sex of the person counted.
inline int blockForSex(bool male, int maleBlock, int femaleBlock) {
    return male ? maleBlock : femaleBlock;
}

// Adds a value for projection year U (slot U of the block).
inline void addToBlock(double *results, int block, int year, double value) {
    results[block + year] += value;
}
