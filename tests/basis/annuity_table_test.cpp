#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Retirement ages F..L with the same factor in every column of every row,
// service bounds 0, 5, ..., 45.
void setRetirement(TestHost &host, double first, double last, double factor) {
    host.retirementFactors[1] = first;
    host.retirementFactors[21] = last;
    for (int k = 1; k <= kServiceBands; ++k) {
        host.retirementFactors[22 * k] = 5.0 * (k - 1);
        for (int v = 1; v <= 21; ++v) host.retirementFactors[22 * k + v] = factor;
    }
}

// One base rate for ages from..to of one sex (female when female is set).
void setMortality(TestHost &host, bool female, int from, int to, double rate) {
    for (int x = from; x <= to; ++x) host.baseMortality[x + (female ? 121 : 0)] = rate;
}

// The whole basis, built in the order of a run, valuation year = base year.
std::unique_ptr<Basis> buildBasis(TestHost &host) {
    auto basis = makeZeroBasis();
    const HostArrays arrays = host.arrays();
    buildMortalityTables(*basis, arrays, 2011, 2011);
    buildCeilingVectors(*basis, arrays);
    buildServiceBandKeys(*basis, arrays);
    buildDiscountVectors(*basis, arrays);
    buildAnnuityTable(*basis, arrays);
    return basis;
}

double entry(const Basis &basis, int block, int age, int variant) {
    return basis.deferredAnnuityTable[block][age - kAnnuityFirstAge][variant];
}

bool wholeTableIsZero(const Basis &basis) {
    for (const auto &block : basis.deferredAnnuityTable)
        for (const auto &age : block)
            for (double value : age)
                if (value != 0.0) return false;
    return true;
}

// Zero mortality, no spouse pension, no guarantee, no discounting: a single
// retirement age of 60 unless a test changes it.
TestHost plainHost() {
    TestHost host;
    setRetirement(host, 60.0, 60.0, 1.0);
    return host;
}

} // namespace

TEST(AnnuityTable, ZeroMortalityPaysUntilTheTableEnds) {
    TestHost host = plainHost();
    auto basis = buildBasis(host);
    for (int q = 15; q < 60; ++q) {
        for (int k = 0; k < kServiceBands; ++k) {
            EXPECT_EQ(entry(*basis, k, q, MaleIndexed), 119.0 - 60.0);
            EXPECT_EQ(entry(*basis, k, q, MaleNonIndexed), 119.0 - 60.0);
            // A woman's survival falls from 1 to 0 within her year of age 120.
            EXPECT_EQ(entry(*basis, k, q, FemaleIndexed), 119.5 - 60.0);
            EXPECT_EQ(entry(*basis, k, q, FemaleNonIndexed), 119.5 - 60.0);
        }
    }
    // Ages from the earliest retirement age on are not computed.
    EXPECT_EQ(entry(*basis, 0, 60, MaleIndexed), 0.0);
}

TEST(AnnuityTable, ThreeStepMortalityWithSpousePension) {
    TestHost host = plainHost();
    for (bool female : {false, true}) {
        setMortality(host, female, 61, 62, 0.5);
        setMortality(host, female, 63, 119, 1.0);
    }
    host.planParameters[12] = 0.5; // spouse fraction
    host.planParameters[13] = 1.0; // one guaranteed year
    auto basis = buildBasis(host);
    // 1 for year 61; 0.375 + 0.1171875 in year 62; 0.125 + 0.015625 in year 63.
    for (int v = 0; v < 4; ++v)
        for (int q = 15; q < 60; ++q) EXPECT_EQ(entry(*basis, 0, q, v), 1.6328125) << v << " " << q;
}

TEST(AnnuityTable, BestRetirementAgeAndFactorsPerRow) {
    TestHost host = plainHost();
    setRetirement(host, 55.0, 65.0, 1.0);
    // Row 2 favours late retirement: factor 1 + 0.2 per year after 55.
    for (int v = 1; v <= 11; ++v) host.retirementFactors[44 + v] = 1.0 + 0.2 * (v - 1);
    host.retirementFactors[66 + 1] = 0.0;           // row 3: age 55 gives nothing,
    host.retirementFactors[88 + 1] = 2.0;           // row 4: age 55 counts twice,
    for (int v = 1; v <= 21; ++v) host.retirementFactors[110 + v] = -1.0; // row 5: all negative
    host.retirementFactors[132 + 3] = kNaN;         // row 6: one unusable column
    auto basis = buildBasis(host);

    double row2 = 0.0;
    for (int v = 1; v <= 11; ++v) row2 = std::max(row2, (1.0 + 0.2 * (v - 1)) * (119.0 - (54 + v)));
    for (int q = 15; q < 55; ++q) {
        EXPECT_EQ(entry(*basis, 0, q, MaleNonIndexed), 64.0);
        EXPECT_EQ(entry(*basis, 1, q, MaleNonIndexed), row2);
        EXPECT_EQ(entry(*basis, 2, q, MaleNonIndexed), 63.0);
        EXPECT_EQ(entry(*basis, 3, q, MaleNonIndexed), 128.0);
        EXPECT_EQ(entry(*basis, 4, q, MaleNonIndexed), 0.0);
        EXPECT_EQ(entry(*basis, 5, q, MaleNonIndexed), 64.0);
        EXPECT_EQ(entry(*basis, 0, q, FemaleIndexed), 64.5);
    }
}

TEST(AnnuityTable, EarliestRetirementAgeAtOrBelowFifteenLeavesTheTableEmpty) {
    for (double first : {15.0, 10.0, -3.0, kNaN, -kInf}) {
        TestHost host = plainHost();
        setRetirement(host, first, 60.0, 1.0);
        auto basis = buildBasis(host);
        EXPECT_TRUE(wholeTableIsZero(*basis)) << first;
    }
    TestHost host = plainHost();
    setRetirement(host, 15.5, 60.0, 1.0); // compared as a double: age 15 is computed
    EXPECT_GT(entry(*buildBasis(host), 0, 15, MaleIndexed), 0.0);
}

TEST(AnnuityTable, GuaranteePaysWhetherTheMemberLivesOrNot) {
    TestHost host = plainHost();
    setMortality(host, false, 61, 119, 1.0);
    setMortality(host, true, 61, 119, 1.0);
    host.planParameters[13] = 5.0;
    EXPECT_EQ(entry(*buildBasis(host), 0, 40, MaleNonIndexed), 5.0);
    host.planParameters[13] = 0.0; // half a year: death within the first year
    EXPECT_EQ(entry(*buildBasis(host), 0, 40, MaleNonIndexed), 0.5);
    EXPECT_EQ(entry(*buildBasis(host), 0, 40, FemaleNonIndexed), 0.5);
}

TEST(AnnuityTable, WidowIsPaidPastTheMembersLastAge) {
    TestHost host = plainHost();
    setMortality(host, false, 61, 119, 1.0); // husbands die in their first retired year
    host.planParameters[12] = 1.0;
    host.planParameters[13] = 5.0;
    auto basis = buildBasis(host);
    // Five certain years, then the widow's full pension through age 119.
    EXPECT_EQ(entry(*basis, 0, 30, MaleIndexed), 59.0);

    host.demographicParameters[4] = 3.0; // the widow is 3 years younger
    basis = buildBasis(host);
    EXPECT_EQ(entry(*basis, 0, 30, MaleIndexed), 62.0);
    // A woman whose husband is 3 years older: he dies during her guarantee
    // and she is paid alone, half a year in her year of age 120.
    EXPECT_EQ(entry(*basis, 0, 30, FemaleIndexed), 59.5);
}

TEST(AnnuityTable, NonWholeGuaranteeGivesNoSpousePensionForItsDeaths) {
    TestHost host = plainHost();
    setMortality(host, false, 61, 119, 1.0);
    host.planParameters[12] = 1.0;
    host.planParameters[13] = 1.5;
    EXPECT_EQ(entry(*buildBasis(host), 0, 30, MaleNonIndexed), 2.0);
    host.planParameters[13] = 2.0;
    EXPECT_EQ(entry(*buildBasis(host), 0, 30, MaleNonIndexed), 59.0);
}

TEST(AnnuityTable, NoSpouseFractionIsASingleLifeValue) {
    TestHost host = plainHost();
    setMortality(host, false, 61, 119, 0.5);
    auto basis = buildBasis(host);
    // Mid-year survivals 0.75 x 0.5^(k-1) for k = 1..59 years after 60.
    const double singleLife = 1.5 * (1.0 - std::pow(0.5, 59));
    EXPECT_DOUBLE_EQ(entry(*basis, 0, 20, MaleIndexed), singleLife);

    // The spouse's mortality and age play no part.
    setMortality(host, true, 1, 119, 0.3);
    host.demographicParameters[4] = 4.0;
    auto other = buildBasis(host);
    EXPECT_EQ(entry(*other, 0, 20, MaleIndexed), entry(*basis, 0, 20, MaleIndexed));
}

TEST(AnnuityTable, IndexationAndDiscountingCountFromTheExitAge) {
    TestHost host = plainHost();
    host.economicParameters[11] = 0.03;
    host.economicParameters[12] = 0.03;
    host.economicParameters[15] = 0.03;
    host.economicParameters[16] = 0.03;
    host.planParameters[9] = 1.0;
    auto basis = buildBasis(host);
    // Indexation cancels the discount: one unit per year paid.
    EXPECT_NEAR(entry(*basis, 0, 40, MaleIndexed), 59.0, 1e-9);
    // Level payments: an annuity certain of 59 years deferred 21 years.
    const double v = 1.0 / 1.03;
    const double certain = std::pow(v, 21) * (1.0 - std::pow(v, 59)) / (1.0 - v);
    EXPECT_NEAR(entry(*basis, 0, 40, MaleNonIndexed), certain, 1e-9);
    EXPECT_GT(entry(*basis, 0, 41, MaleNonIndexed), entry(*basis, 0, 40, MaleNonIndexed));
}

TEST(AnnuityTable, YearIndexStopsAtTheLastProjectionYear) {
    // A widow 10 years younger would need years past 110 for early exits.
    TestHost host = plainHost();
    setMortality(host, false, 61, 119, 1.0);
    host.planParameters[12] = 1.0;
    host.demographicParameters[4] = 10.0;
    auto basis = buildBasis(host);
    // Year 61 pays 1 (half own pension, half widow's), every later year 0.5
    // up to the widow's 119 (member's 129) or the exit age + 110.
    for (int q = 15; q < 60; ++q) {
        const int lastAge = std::min(129, q + 110);
        EXPECT_EQ(entry(*basis, 0, q, MaleNonIndexed), 1.0 + 0.5 * (lastAge - 61)) << q;
    }
}

TEST(AnnuityTable, HostileRetirementAgesStayInsideTheArrays) {
    // Earliest age far above the table: exits 15..60 computed, never beyond.
    TestHost host = plainHost();
    setRetirement(host, 100.0, 120.0, 1.0);
    auto basis = buildBasis(host);
    EXPECT_EQ(entry(*basis, 9, 60, MaleIndexed), 19.0);
    EXPECT_EQ(entry(*basis, 9, 15, FemaleNonIndexed), 19.5);

    // More than 21 retirement ages: only the first 21 columns count.
    setRetirement(host, 40.0, 100.0, 1.0);
    for (int v = 1; v <= 21; ++v) host.retirementFactors[220 + v] = 0.1 * v;
    basis = buildBasis(host);
    double best = 0.0;
    for (int v = 1; v <= 21; ++v) best = std::max(best, 0.1 * v * (119.0 - (39 + v)));
    EXPECT_EQ(entry(*basis, 9, 30, MaleNonIndexed), best);

    // Saturated ages and a last age before the first.
    for (double first : {1e300, kInf}) {
        setRetirement(host, first, 1e300, 1.0);
        EXPECT_TRUE(wholeTableIsZero(*buildBasis(host))) << first;
    }
    setRetirement(host, 50.0, -1e300, 1.0);
    EXPECT_TRUE(wholeTableIsZero(*buildBasis(host)));
    setRetirement(host, 50.0, kNaN, 1.0);
    EXPECT_TRUE(wholeTableIsZero(*buildBasis(host)));
}

TEST(AnnuityTable, HostileSpouseDifferenceAndGuaranteeAreBounded) {
    TestHost host = plainHost();
    host.planParameters[12] = 1.0;
    // Spouse out of every table below: no deaths; the member's own years only.
    host.demographicParameters[4] = 1e300;
    auto basis = buildBasis(host);
    EXPECT_EQ(entry(*basis, 0, 30, MaleIndexed), 59.0);
    EXPECT_EQ(entry(*basis, 0, 30, FemaleIndexed), 59.5);
    // A widow older than any table ends the man's loop before it starts.
    host.demographicParameters[4] = -1e300;
    basis = buildBasis(host);
    EXPECT_EQ(entry(*basis, 0, 30, MaleIndexed), 0.0);
    // A woman's husband that young never dies: her own half year at 120 and
    // his full pension from her death within it.
    EXPECT_EQ(entry(*basis, 0, 30, FemaleIndexed), 59.0 + 0.5 + 1.0);
    host.demographicParameters[4] = kNaN; // reads as no difference
    basis = buildBasis(host);
    EXPECT_EQ(entry(*basis, 0, 30, MaleIndexed), 59.0);

    host.demographicParameters[4] = 0.0;
    host.planParameters[13] = kInf; // every retired year certain
    basis = buildBasis(host);
    EXPECT_EQ(entry(*basis, 0, 30, MaleIndexed), 59.0);
    EXPECT_EQ(entry(*basis, 0, 30, FemaleIndexed), 60.0);
    for (double guarantee : {kNaN, -kInf, -5.0}) { // every retired year a later year
        host.planParameters[13] = guarantee;
        basis = buildBasis(host);
        EXPECT_EQ(entry(*basis, 0, 30, MaleIndexed), 59.0) << guarantee;
        EXPECT_EQ(entry(*basis, 0, 30, FemaleIndexed), 59.5) << guarantee;
    }
}

TEST(DeferredAnnuityValue, ReadsTheBandAndAgeItIsGiven) {
    auto basis = makeZeroBasis();
    for (int b = 0; b < kServiceBands; ++b)
        for (int age = 0; age < kAnnuityAges; ++age)
            for (int v = 0; v < 4; ++v)
                basis->deferredAnnuityTable[b][age][v] = 1000.0 * b + 10.0 * age + v;
    EXPECT_EQ(deferredAnnuityValue(*basis, 3, 20, FemaleIndexed), 2000.0 + 50.0 + 2.0);
    EXPECT_EQ(deferredAnnuityValue(*basis, 0, 20, MaleIndexed), deferredAnnuityValue(*basis, 1, 20, MaleIndexed));
    EXPECT_EQ(deferredAnnuityValue(*basis, 11, 20, MaleNonIndexed), 9000.0 + 50.0 + 1.0);
    EXPECT_EQ(deferredAnnuityValue(*basis, 1, 49, MaleIndexed), 340.0);
    EXPECT_EQ(deferredAnnuityValue(*basis, 1, 75, MaleIndexed), 340.0);
    EXPECT_EQ(deferredAnnuityValue(*basis, 1, 15, FemaleNonIndexed), 3.0);
    EXPECT_EQ(deferredAnnuityValue(*basis, 1, 14, FemaleNonIndexed), 0.0);
    EXPECT_EQ(deferredAnnuityValue(*basis, 1, -40, MaleIndexed), 0.0);
}
