// Whole runs on host arrays of exactly the documented sizes holding whatever
// a host may pass: NaN, infinities, huge and negative values, and the limits
// of every table. No run may read or write outside an array (the sanitizer
// build checks every access), every line must still be accounted for, and a
// plan that is valid but extreme must give finite results.
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/api_test_support.h"
#include "api/plausible_plan_support.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const double kHostileValues[] = {kNaN, kInf, -kInf, 1e300, -1e300, -7.0, 0.0};

// The edges of the tables and of 32-bit truncation, beside the hostile values.
const double kEdgeValues[] = {kNaN,  kInf, -kInf, 1e300, -1e300, -1.0, 0.0, 0.5, 1.0, 15,
                              19,    20,   21,    25,    40,     59,   60,  70,  100, 110,
                              111,   119,  120,   121,   200,    -200, 1e9, 2147483648.0,
                              -2147483649.0};

struct NamedArray {
    const char *name;
    std::vector<double> TestHost::*array;
};
const NamedArray kDoubleArrays[] = {
    {"baseMortality", &TestHost::baseMortality},
    {"mortalityImprovement", &TestHost::mortalityImprovement},
    {"planParameters", &TestHost::planParameters},
    {"retirementFactors", &TestHost::retirementFactors},
    {"demographicParameters", &TestHost::demographicParameters},
    {"economicParameters", &TestHost::economicParameters},
    {"retirementRates", &TestHost::retirementRates},
    {"disabilityRates", &TestHost::disabilityRates},
    {"withdrawalRates", &TestHost::withdrawalRates},
    {"salaryScale", &TestHost::salaryScale},
    {"yearlyRates", &TestHost::yearlyRates},
};

size_t countOf(const std::string &text, const std::string &pattern) {
    size_t n = 0;
    for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) ++n;
    return n;
}

class HostileParameters : public ::testing::Test {
protected:
    ExportedRun run{"hostile"};
    std::vector<MemberFields> members = membersOfEveryStatus();
    std::string memberFile = memberFileOf(members);

    HostileParameters() { fillPlausiblePlan(run.host); }

    // One run from zeroed results and counters; every member line is good,
    // so each is counted as a member and none is rejected.
    void runMembers() {
        for (std::vector<double> *values :
             {&run.host.memberCounts, &run.host.decrementCounts, &run.host.benefitCashflows}) {
            std::fill(values->begin(), values->end(), 0.0);
        }
        run.membersDone = 0;
        run.errorCount = 0;
        run.run(memberFile);
        EXPECT_EQ(run.membersDone, static_cast<int32_t>(members.size()));
        EXPECT_EQ(run.errorCount, 0);
        EXPECT_EQ(run.host.memberCounts[0], static_cast<double>(members.size()));
        EXPECT_EQ(countOf(run.listing(), "\n"), members.size() + 2);
        EXPECT_EQ(run.errors(), "");
    }
};

TEST_F(HostileParameters, EveryArrayFilledWithEachHostileValue) {
    const TestHost plausible = run.host;
    for (const NamedArray &named : kDoubleArrays) {
        for (const double value : kHostileValues) {
            SCOPED_TRACE(std::string(named.name) + " = " + std::to_string(value));
            run.host = plausible;
            std::vector<double> &values = run.host.*named.array;
            std::fill(values.begin(), values.end(), value);
            runMembers();
        }
    }
}

TEST_F(HostileParameters, RandomMixOfEdgesInEveryArray) {
    const TestHost plausible = run.host;
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<size_t> pick(0, std::size(kEdgeValues) - 1);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        run.host = plausible;
        for (const NamedArray &named : kDoubleArrays) {
            for (double &value : run.host.*named.array) {
                // Half of the elements keep their plausible value, so that the
                // valuations get past their first checks.
                if (random() % 2 == 0) value = kEdgeValues[pick(random)];
            }
        }
        runMembers();
    }
}

TEST_F(HostileParameters, ScalarsAndCountersAtTheirLimits) {
    // Years far apart in every direction, with garbage in the upper 16 bits.
    const int32_t years[][2] = {{32767, -32768}, {-32768, 32767}, {0x7FFF0000 | 2011, 1900},
                                {2011, static_cast<int32_t>(0xFFFF8000u)}};
    for (const auto &pair : years) {
        run.valuationYear = pair[0];
        run.mortalityBaseYear = pair[1];
        runMembers();
    }
    // Counters near their wrap keep counting, modulo 2^32.
    run.valuationYear = run.mortalityBaseYear = 2011;
    run.membersDone = std::numeric_limits<int32_t>::max();
    run.errorCount = std::numeric_limits<int32_t>::max();
    run.run(memberFile + "N1\tA\t130\t\n");
    EXPECT_EQ(run.membersDone,
              static_cast<int32_t>(static_cast<uint32_t>(std::numeric_limits<int32_t>::max()) +
                                   static_cast<uint32_t>(members.size())));
    EXPECT_EQ(run.errorCount, std::numeric_limits<int32_t>::min());
}

// Plans that are valid but sit at the limits of the tables: every result
// stays finite.
struct Limit {
    const char *name;
    std::function<void(TestHost &)> apply;
};

const Limit kLimits[] = {
    {"guarantee period 25", [](TestHost &h) { h.planParameters[13] = 25; }},
    {"guarantee period 19", [](TestHost &h) { h.planParameters[13] = 19; }},
    {"guarantee period 20", [](TestHost &h) { h.planParameters[13] = 20; }},
    {"averaging years 70", [](TestHost &h) { h.planParameters[5] = 70; }},
    {"averaging years 59.5", [](TestHost &h) { h.planParameters[5] = 59.5; }},
    {"first retirement age 100", [](TestHost &h) { h.retirementFactors[1] = 100; }},
    {"last retirement age 40 years after the first",
     [](TestHost &h) {
         h.retirementFactors[1] = 50;
         h.retirementFactors[21] = 90;
     }},
    {"last retirement age before the first",
     [](TestHost &h) {
         h.retirementFactors[1] = 65;
         h.retirementFactors[21] = 55;
     }},
    {"spouse age difference 50", [](TestHost &h) { h.demographicParameters[4] = 50; }},
    {"spouse age difference -50", [](TestHost &h) { h.demographicParameters[4] = -50; }},
    {"disabled age addition -200", [](TestHost &h) { h.demographicParameters[2] = -200; }},
    {"disabled age addition 1e9", [](TestHost &h) { h.demographicParameters[2] = 1e9; }},
    {"deferred retirement age 200", [](TestHost &h) { h.demographicParameters[5] = 200; }},
    {"deferred retirement age 16", [](TestHost &h) { h.demographicParameters[5] = 16; }},
    {"bridge ages 0 to 200",
     [](TestHost &h) {
         h.planParameters[14] = 0;
         h.planParameters[15] = 200;
     }},
    {"rate tables' ages beyond their columns",
     [](TestHost &h) {
         h.retirementRates[1] = 15, h.retirementRates[26] = 119;
         h.withdrawalRates[1] = 15, h.withdrawalRates[31] = 119;
         h.disabilityRates[1] = 15, h.disabilityRates[46] = 119;
         h.salaryScale[1] = 15, h.salaryScale[46] = 119;
     }},
    {"rate tables starting before birth",
     [](TestHost &h) {
         h.retirementRates[1] = -50, h.retirementRates[26] = 0;
         h.withdrawalRates[1] = -50;
         h.disabilityRates[1] = -50;
         h.salaryScale[1] = -50;
     }},
    {"service bounds not increasing",
     [](TestHost &h) {
         for (int k = 1; k <= 10; ++k) h.retirementFactors[22 * k] = 40 - 4 * k;
     }},
    {"mortality projected 200 years",
     [](TestHost &h) {
         (void)h; // set through the scalars below
     }},
};

TEST_F(HostileParameters, LimitsOfValidPlansGiveFiniteResults) {
    const TestHost plausible = run.host;
    for (const Limit &limit : kLimits) {
        SCOPED_TRACE(limit.name);
        run.host = plausible;
        limit.apply(run.host);
        run.mortalityBaseYear = std::string(limit.name).starts_with("mortality") ? 1811 : 2011;
        runMembers();
        EXPECT_TRUE(allResultsFinite(run.host));
    }
}

// A NaN where a count or a bound is expected runs no iteration of the loop it
// bounds, and a NaN age reads as 0: the runs stay finite.
TEST_F(HostileParameters, NaNBoundsRunNoIteration) {
    const Limit nanLimits[] = {
        {"guarantee period", [](TestHost &h) { h.planParameters[13] = kNaN; }},
        {"first retirement age", [](TestHost &h) { h.retirementFactors[1] = kNaN; }},
        {"last retirement age", [](TestHost &h) { h.retirementFactors[21] = kNaN; }},
        {"spouse age difference", [](TestHost &h) { h.demographicParameters[4] = kNaN; }},
        {"disabled age addition", [](TestHost &h) { h.demographicParameters[2] = kNaN; }},
        {"deferred retirement age", [](TestHost &h) { h.demographicParameters[5] = kNaN; }},
        {"bridge ages",
         [](TestHost &h) {
             h.planParameters[14] = kNaN;
             h.planParameters[15] = kNaN;
         }},
        {"ages of the rate tables",
         [](TestHost &h) {
             h.retirementRates[1] = h.retirementRates[26] = kNaN;
             h.withdrawalRates[1] = h.withdrawalRates[31] = kNaN;
             h.disabilityRates[1] = h.disabilityRates[46] = kNaN;
             h.salaryScale[1] = h.salaryScale[46] = kNaN;
         }},
        {"service bounds",
         [](TestHost &h) {
             for (int k = 1; k <= 10; ++k) h.retirementFactors[22 * k] = kNaN;
         }},
    };
    const TestHost plausible = run.host;
    for (const Limit &limit : nanLimits) {
        SCOPED_TRACE(limit.name);
        run.host = plausible;
        limit.apply(run.host);
        runMembers();
        EXPECT_TRUE(allResultsFinite(run.host));
    }
}

// The averaging period is not only a bound: the ceiling averages divide by
// it. A NaN period fills no past ceiling and runs no averaging loop, and the
// amounts that rest on the averages are NaN, as the division says; the counts
// of people and events do not depend on it and stay finite.
TEST_F(HostileParameters, NaNAveragingPeriodLeavesTheCountsFinite) {
    run.host.planParameters[5] = kNaN;
    runMembers();
    for (const double value : run.host.memberCounts) ASSERT_TRUE(std::isfinite(value));
    for (const double value : run.host.decrementCounts) ASSERT_TRUE(std::isfinite(value));
}

} // namespace
