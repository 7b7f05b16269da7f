// Where each result lives. Every result array is a row of blocks of 111
// yearly slots: block k starts at element 111k, slot 0 is the valuation date
// and slot U projection year U. Stocks take the number at the end of the year,
// flows the number or amount during it. Pairs of blocks are male then female,
// by the sex of the person counted or paid.
#pragma once

namespace members {
constexpr int kLinesRead = 0; // element 0 only: lines read without a field error
constexpr int kActiveMale = 111;
constexpr int kActiveFemale = 222;
constexpr int kDisabledMale = 333;
constexpr int kDisabledFemale = 444;
constexpr int kDeferredMale = 555;
constexpr int kDeferredFemale = 666;
constexpr int kServiceRetireesMale = 777;
constexpr int kServiceRetireesFemale = 888;
constexpr int kDeferredRetireesMale = 999;
constexpr int kDeferredRetireesFemale = 1110;
constexpr int kServiceSurvivorsMale = 1221;
constexpr int kServiceSurvivorsFemale = 1332;
constexpr int kDisabledSurvivorsMale = 1443;
constexpr int kDisabledSurvivorsFemale = 1554;
constexpr int kDeferredSurvivorsMale = 1665;
constexpr int kDeferredSurvivorsFemale = 1776;
constexpr int kLumpSumsMale = 1887; // a yearly count of lump sums, not a stock
constexpr int kLumpSumsFemale = 1998;
constexpr int kServiceRetireesInGuaranteeMale = 2109;
constexpr int kServiceRetireesInGuaranteeFemale = 2220;
constexpr int kDeferredRetireesInGuaranteeMale = 2331;
constexpr int kDeferredRetireesInGuaranteeFemale = 2442;
constexpr int kSize = 2553;
} // namespace members

namespace decrements { // both sexes in one block
constexpr int kDeathsInService = 111;
constexpr int kDisablements = 222;
constexpr int kServiceRetirements = 333;
constexpr int kDeferredWithdrawals = 444;
constexpr int kTransferWithdrawals = 555;
constexpr int kDisabledDeaths = 666;
constexpr int kDeferredDeaths = 777;
constexpr int kDeferredRetirements = 888;
constexpr int kServiceRetireeDeaths = 999;
constexpr int kDeferredRetireeDeaths = 1110;
constexpr int kServiceSurvivorDeaths = 1221;
constexpr int kDisabledSurvivorDeaths = 1332; // also the deaths of spouses in payment
constexpr int kDeferredSurvivorDeaths = 1443;
constexpr int kGuaranteeDeathsService = 1554;
constexpr int kGuaranteeDeathsDeferred = 1665;
constexpr int kSize = 1776;
} // namespace decrements

namespace cashflows {
constexpr int kContributionsMale = 111;
constexpr int kContributionsFemale = 222;
constexpr int kServicePensionMale = 333;
constexpr int kServicePensionFemale = 444;
constexpr int kDisabilityPensionMale = 555;
constexpr int kDisabilityPensionFemale = 666;
constexpr int kDeferredPensionMale = 777;
constexpr int kDeferredPensionFemale = 888;
constexpr int kServiceSpousePensionMale = 999; // to widowers
constexpr int kServiceSpousePensionFemale = 1110; // to widows
constexpr int kDisabledSpousePensionMale = 1221;
constexpr int kDisabledSpousePensionFemale = 1332;
constexpr int kDeferredSpousePensionMale = 1443;
constexpr int kDeferredSpousePensionFemale = 1554;
constexpr int kLumpSumMale = 1665;
constexpr int kLumpSumFemale = 1776;
constexpr int kBridgePensionMale = 1887; // members and surviving husbands
constexpr int kBridgePensionFemale = 1998; // members and surviving wives
constexpr int kSize = 2109;
} // namespace cashflows

constexpr int kBlockSlots = 111;

// Picks the block of a male/female pair by the sex of the person counted.
inline int blockForSex(bool male, int maleBlock, int femaleBlock) {
    return male ? maleBlock : femaleBlock;
}

// Adds a value for projection year U (slot U of the block).
inline void addToBlock(double *results, int block, int year, double value) {
    results[block + year] += value;
}
