// On valid inputs every result stays finite: plans drawn at random inside the
// ranges an actuary would use (rates between 0 and 1, ages of working life,
// guarantee periods the ring holds, averaging periods the past ceiling holds)
// and members of all five statuses, through the exported function.
#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "api/api_test_support.h"
#include "api/plausible_plan_support.h"

namespace {

struct Draw {
    std::mt19937_64 random;
    explicit Draw(uint64_t seed) : random(seed) {}
    // Uniform in [low, high], from the raw 64-bit output (the same everywhere).
    double between(double low, double high) {
        return low + (high - low) * static_cast<double>(random() >> 11) * 0x1.0p-53;
    }
    double whole(int low, int high) { return std::floor(between(low, high + 0.999)); }
};

// A valid plan at random: every value inside its meaningful range.
void drawValidPlan(TestHost &host, Draw &draw) {
    fillPlausiblePlan(host);
    for (int x = 1; x <= 119; ++x) {
        host.baseMortality[x] = std::min(draw.between(0.5, 1.5) * 0.0004 * std::exp(0.09 * (x - 20)), 1.0);
        host.baseMortality[x + 121] = std::min(draw.between(0.5, 1.5) * 0.0003 * std::exp(0.09 * (x - 20)), 1.0);
        host.mortalityImprovement[x] = draw.between(-0.02, 0.05);
        host.mortalityImprovement[x + 121] = draw.between(-0.02, 0.05);
    }
    std::vector<double> &plan = host.planParameters;
    for (const int k : {1, 2, 3, 4}) plan[k] = draw.between(0, 0.15);
    plan[5] = draw.whole(1, 59);
    plan[6] = draw.between(0, 0.03);
    plan[7] = draw.between(0, 0.03);
    plan[8] = draw.between(0, 0.01);
    plan[9] = draw.between(0, 1);
    plan[12] = draw.between(0, 1);
    plan[13] = draw.between(0, 19.99); // fractional periods too
    plan[14] = draw.whole(50, 65);
    plan[15] = plan[14] + draw.whole(0, 10);

    const double first = draw.whole(50, 65);
    host.retirementFactors[1] = first;
    host.retirementFactors[21] = first + draw.whole(0, 20);
    for (int k = 1; k <= 10; ++k) {
        host.retirementFactors[22 * k] = 4 * (k - 1);
        for (int column = 1; column <= 21; ++column) {
            host.retirementFactors[22 * k + column] = draw.between(0, 2);
        }
    }
    std::vector<double> &demographic = host.demographicParameters;
    demographic[1] = draw.between(0, 3);
    demographic[2] = draw.whole(0, 10);
    demographic[3] = draw.between(0, 1);
    demographic[4] = draw.whole(-10, 10);
    demographic[5] = draw.between(0, 1) < 0.5 ? 0 : draw.whole(55, 70);

    std::vector<double> &economic = host.economicParameters;
    economic[3] = draw.between(0, 0.06);
    for (const int k : {11, 12}) economic[k] = draw.between(-0.01, 0.1);
    for (const int k : {15, 16}) economic[k] = draw.between(0, 0.1);
    economic[19] = draw.between(20000, 120000);

    host.retirementRates[1] = draw.whole(45, 62);
    host.retirementRates[26] = host.retirementRates[1] + draw.whole(0, 25);
    for (int i = 28; i < 54; ++i) host.retirementRates[i] = draw.between(0, 1);
    host.withdrawalRates[1] = draw.whole(15, 30);
    host.withdrawalRates[31] = host.withdrawalRates[1] + draw.whole(0, 30);
    for (int i = 33; i < 64; ++i) host.withdrawalRates[i] = draw.between(0, 0.3);
    host.disabilityRates[1] = draw.whole(15, 30);
    host.disabilityRates[46] = host.disabilityRates[1] + draw.whole(0, 45);
    for (int i = 48; i < 94; ++i) host.disabilityRates[i] = draw.between(0, 0.05);
    host.salaryScale[1] = draw.whole(15, 30);
    host.salaryScale[46] = host.salaryScale[1] + draw.whole(0, 45);
    for (int i = 48; i < 94; ++i) host.salaryScale[i] = draw.between(-0.05, 0.15);
    for (int t = 0; t < 111; ++t) {
        host.yearlyRates[t] = draw.between(-0.02, 0.1);
        host.yearlyRates[t + 111] = draw.between(-0.02, 0.05);
    }
}

TEST(FiniteResults, PlausiblePlanValuesEveryStatus) {
    ExportedRun run("finite");
    fillPlausiblePlan(run.host);
    const std::vector<MemberFields> members = membersOfEveryStatus();
    run.run(memberFileOf(members));
    EXPECT_EQ(run.membersDone, static_cast<int32_t>(members.size()));
    EXPECT_EQ(run.errors(), "");
    EXPECT_TRUE(allResultsFinite(run.host));
    // the members were valued: every result array received amounts
    for (const std::vector<double> *values :
         {&run.host.memberCounts, &run.host.decrementCounts, &run.host.benefitCashflows}) {
        double sum = 0;
        for (size_t i = 1; i < values->size(); ++i) sum += std::fabs((*values)[i]);
        EXPECT_GT(sum, 0.0);
    }
}

TEST(FiniteResults, RandomValidPlansStayFinite) {
    const std::string memberFile = memberFileOf(membersOfEveryStatus());
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("plan " + std::to_string(seed));
        Draw draw(seed * 7919);
        ExportedRun run("finite-random");
        drawValidPlan(run.host, draw);
        run.mortalityBaseYear = 2011 - static_cast<int32_t>(draw.whole(-10, 30));
        run.run(memberFile);
        EXPECT_EQ(run.errorCount, 0);
        EXPECT_TRUE(allResultsFinite(run.host));
    }
}

} // namespace
