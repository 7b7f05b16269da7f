// Economic scenarios through the published interface: each scenario's
// figures are the bytes of a valuation of the basis with its rates, for any
// number of jobs; a scenario of the basis's own rates is today's valuation;
// the distribution over the scenarios is the mean and the interpolated
// percentiles; a set that cannot be valued says why and a stopped one keeps
// the scenarios that finished.
#include "talvek/engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/api_test_support.h"
#include "api/plausible_plan_support.h"

namespace {

std::string everyStatusFile(int copies) {
    const std::string once = memberFileOf(membersOfEveryStatus());
    std::string all;
    for (int i = 0; i < copies; ++i) all += once;
    return all;
}

bool sameBytes(const void *a, const void *b, size_t size) { return std::memcmp(a, b, size) == 0; }

// Scenarios on the plausible plan, scenario after scenario: the basis's own
// rates; inflation a point higher with its annuity rates moved too; a path of
// rates that falls and rises; and from the fourth on, paths that differ in
// every year and annuity rates of their own; each with a discount curve of
// its own.
struct ThreeScenarios {
    std::vector<double> yearly;
    std::vector<double> annuity;
    std::vector<double> curves;
    TalvekScenarioSet set{};

    ThreeScenarios(const TestHost &host, bool withCurves, int count = 3) {
        for (int k = 0; k < count; ++k) {
            for (int i = 0; i < TALVEK_YEARLY_RATES_SIZE; ++i) {
                double rate = host.yearlyRates[i];
                if (k == 1 && i < TALVEK_YEARLY_SALARY_GROWTH) rate += 0.01;
                if (k == 2) rate += 0.004 * std::sin(0.3 * i) - 0.001;
                if (k >= 3) rate += 0.003 * std::cos(0.17 * i * k) + 0.0005 * k;
                yearly.push_back(rate);
            }
            for (int r = 0; r < TALVEK_ANNUITY_RATES; ++r) {
                static constexpr int kParameter[] = {11, 12, 15, 16};
                const double moved = k == 1 ? 0.01 : k >= 3 ? 0.001 * (k - r) : 0.0;
                annuity.push_back(host.economicParameters[kParameter[r]] + moved);
            }
            for (int t = 0; t < TALVEK_CURVE_SIZE; ++t)
                curves.push_back(t == 0 ? 0.0 : 0.025 + 0.0002 * t + 0.002 * k);
        }
        set.scenario_count = count;
        set.yearly_rates = yearly.data();
        set.annuity_rates = annuity.data();
        set.curve_kind = withCurves ? TALVEK_CURVE_FORWARD_RATES : 0;
        set.discount_curves = withCurves ? curves.data() : nullptr;
    }
};

// A set's run on a member file in memory on the plausible plan.
struct ScenarioRun {
    ExportedRun files;
    std::string members;
    TalvekRunDef def = talvek_default_run_def();
    std::unique_ptr<TalvekResults> results = std::make_unique<TalvekResults>();
    TalvekScenarioResults scenarios{};

    ScenarioRun(const std::string &name, const std::string &memberBytes) : files(name), members(memberBytes) {
        fillPlausiblePlan(files.host);
        def.member_bytes = members.data();
        def.member_byte_count = static_cast<int64_t>(members.size());
        def.jobs = 1;
        def.assumptions = assumptions();
    }
    ~ScenarioRun() { talvek_release_scenarios(&scenarios); }
    TalvekAssumptions assumptions() {
        return files.host.assumptions(files.valuationYear, files.mortalityBaseYear, files.delimiterCode);
    }
    int32_t value(const TalvekScenarioSet &set) {
        talvek_release_scenarios(&scenarios);
        return talvek_value_scenarios(&def, &set, results.get(), &scenarios);
    }
};

// The valuation of the basis with scenario k's rates put into its arrays.
struct ValuationWithRates {
    std::unique_ptr<TalvekResults> results = std::make_unique<TalvekResults>();
    std::unique_ptr<TalvekValuation> valuation = std::make_unique<TalvekValuation>();
    ~ValuationWithRates() { talvek_release_valuation(valuation.get()); }
};

void valueWithRates(ScenarioRun &run, const ThreeScenarios &three, int k, ValuationWithRates &out) {
    TestHost &host = run.files.host;
    const std::vector<double> yearly = host.yearlyRates;
    const std::vector<double> economic = host.economicParameters;
    std::copy_n(three.yearly.begin() + k * TALVEK_YEARLY_RATES_SIZE, TALVEK_YEARLY_RATES_SIZE, host.yearlyRates.begin());
    static constexpr int kParameter[] = {11, 12, 15, 16};
    for (int r = 0; r < TALVEK_ANNUITY_RATES; ++r)
        host.economicParameters[kParameter[r]] = three.annuity[k * TALVEK_ANNUITY_RATES + r];
    TalvekRunDef def = run.def;
    def.assumptions = run.assumptions();
    if (three.set.discount_curves != nullptr) {
        def.discount_curve_kind = three.set.curve_kind;
        def.discount_curve = three.set.discount_curves + k * TALVEK_CURVE_SIZE;
    }
    ASSERT_EQ(talvek_value(&def, out.results.get(), out.valuation.get()), TALVEK_OK) << out.results->message;
    host.yearlyRates = yearly;
    host.economicParameters = economic;
}

TEST(Scenarios, EachScenarioIsTheValuationWithItsRatesForAnyJobs) {
    for (const bool withCurves : {false, true}) {
        ScenarioRun run("scenario-bytes", everyStatusFile(12));
        const ThreeScenarios three(run.files.host, withCurves);
        std::vector<ValuationWithRates> plain(3);
        for (int k = 0; k < 3; ++k) valueWithRates(run, three, k, plain[k]);

        for (const int32_t jobs : {1, 2}) {
            run.def.jobs = jobs;
            ASSERT_EQ(run.value(three.set), TALVEK_OK) << run.results->message;
            ASSERT_EQ(run.scenarios.scenario_count, 3);
            // the first scenario's run is the results, the counts those of every scenario
            EXPECT_TRUE(sameBytes(run.results.get(), plain[0].results.get(), sizeof(TalvekResults)));
            EXPECT_TRUE(sameBytes(run.results->member_counts, plain[2].results->member_counts,
                                  sizeof plain[2].results->member_counts));
            for (int k = 0; k < 3; ++k) {
                EXPECT_TRUE(sameBytes(run.scenarios.values[k].present_values, plain[k].valuation->present_values,
                                      sizeof plain[k].valuation->present_values))
                    << "scenario " << k + 1 << ", jobs " << jobs << ", curves " << withCurves;
                EXPECT_TRUE(sameBytes(run.scenarios.cashflows + k * TALVEK_BENEFIT_CASHFLOWS_SIZE,
                                      plain[k].results->benefit_cashflows, sizeof plain[k].results->benefit_cashflows));
            }
        }
        // higher inflation raises what the plan pays (blocks 3.. are the benefits)
        double paid[2] = {0.0, 0.0};
        for (int k = 0; k < 2; ++k)
            for (int i = 3 * TALVEK_YEAR_SLOTS; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i)
                paid[k] += run.scenarios.cashflows[k * TALVEK_BENEFIT_CASHFLOWS_SIZE + i];
        EXPECT_GT(paid[1], paid[0]);
    }
}

// The instruction sets this machine works the lanes of a block with; the
// engine takes the one TALVEK_LANES names.
std::vector<const char *> lanePathsOfThisMachine() {
    std::vector<const char *> paths{"portable"};
#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
    if (__builtin_cpu_supports("avx2")) paths.push_back("avx2");
    if (__builtin_cpu_supports("avx512f")) paths.push_back("avx512");
#endif
    return paths;
}

// Eleven scenarios: the first on its own, a full block of eight and a block
// of two whose other lanes repeat its last; every one is the valuation with
// its rates on every path, and the paths agree to the byte.
TEST(Scenarios, EveryScenarioOfEveryBlockIsItsValuationOnEveryPath) {
    constexpr int kCount = 11;
    ScenarioRun run("scenario-blocks", everyStatusFile(4));
    const ThreeScenarios eleven(run.files.host, true, kCount);
    std::vector<ValuationWithRates> plain(kCount);
    for (int k = 0; k < kCount; ++k) valueWithRates(run, eleven, k, plain[k]);
    for (const char *path : lanePathsOfThisMachine()) {
        ASSERT_EQ(setenv("TALVEK_LANES", path, 1), 0);
        // with the figures alone the first scenario is a lane of a block too
        for (const uint64_t options : {uint64_t{0}, uint64_t{TALVEK_SCENARIOS_FIGURES_ONLY}}) {
            for (const int32_t jobs : {1, 2}) {
                run.def.jobs = jobs;
                TalvekScenarioSet set = eleven.set;
                set.options = options;
                ASSERT_EQ(run.value(set), TALVEK_OK) << run.results->message;
                ASSERT_EQ(run.scenarios.scenario_count, kCount);
                const std::string what = std::string("path ") + path + ", jobs " + std::to_string(jobs) +
                                         (options != 0 ? ", figures only" : "");
                for (int k = 0; k < kCount; ++k) {
                    EXPECT_TRUE(sameBytes(run.scenarios.values[k].present_values, plain[k].valuation->present_values,
                                          sizeof plain[k].valuation->present_values))
                        << "scenario " << k + 1 << ", " << what;
                    EXPECT_TRUE(sameBytes(run.scenarios.cashflows + k * TALVEK_BENEFIT_CASHFLOWS_SIZE,
                                          plain[k].results->benefit_cashflows,
                                          sizeof plain[k].results->benefit_cashflows))
                        << "scenario " << k + 1 << ", " << what;
                }
                // the counts come with the first scenario's own run only
                EXPECT_EQ(run.results->members_done > 0, options == 0) << what;
            }
        }
    }
    unsetenv("TALVEK_LANES");
    // the scenarios differ: no lane took another's rates
    for (int k = 1; k < kCount; ++k)
        EXPECT_NE(run.scenarios.values[k].present_values[0].obligation,
                  run.scenarios.values[k - 1].present_values[0].obligation)
            << k;
}

TEST(Scenarios, OneScenarioOfTheBasisRatesIsTodaysValuation) {
    ScenarioRun run("scenario-basis", everyStatusFile(3));
    std::vector<double> yearly(run.files.host.yearlyRates.begin(), run.files.host.yearlyRates.end());
    TalvekScenarioSet set{};
    set.scenario_count = 1;
    set.yearly_rates = yearly.data();
    ValuationWithRates today;
    ASSERT_EQ(talvek_value(&run.def, today.results.get(), today.valuation.get()), TALVEK_OK);
    ASSERT_EQ(run.value(set), TALVEK_OK) << run.results->message;
    EXPECT_TRUE(sameBytes(run.scenarios.values[0].present_values, today.valuation->present_values,
                          sizeof today.valuation->present_values));
    EXPECT_TRUE(sameBytes(run.results.get(), today.results.get(), sizeof(TalvekResults)));
    // one scenario: every percentile is the scenario's figure
    for (int d = 0; d < TALVEK_DISTRIBUTION_SIZE; ++d)
        EXPECT_TRUE(sameBytes(run.scenarios.distribution[d], today.results->benefit_cashflows,
                              sizeof today.results->benefit_cashflows)) << d;
}

TEST(Scenarios, TheDistributionIsTheMeanAndTheInterpolatedPercentiles) {
    // {3, 1, 2, 4} sorted 1 2 3 4; h = 3p: P5 h 0.15, P25 h 0.75, P50 h 1.5, P75 h 2.25, P95 h 2.85
    const double values[] = {3, -9, 1, -9, 2, -9, 4, -9};
    double out[TALVEK_DISTRIBUTION_SIZE];
    ASSERT_EQ(talvek_distribution_of(values, 4, 2, out), TALVEK_OK);
    const double expected[] = {2.5, 1.15, 1.75, 2.5, 3.25, 3.85};
    for (int d = 0; d < TALVEK_DISTRIBUTION_SIZE; ++d) EXPECT_NEAR(out[d], expected[d], 1e-15) << d;
    ASSERT_EQ(talvek_distribution_of(values, 0, 1, out), TALVEK_OK);
    for (double x : out) EXPECT_EQ(x, 0.0);
    EXPECT_EQ(talvek_distribution_of(nullptr, 3, 1, out), TALVEK_ERROR_ARGUMENT);

    // over a set: each element's distribution from its scenarios' cash flows
    ScenarioRun run("scenario-distribution", everyStatusFile(2));
    const ThreeScenarios three(run.files.host, true);
    ASSERT_EQ(run.value(three.set), TALVEK_OK) << run.results->message;
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) {
        double x[3];
        for (int k = 0; k < 3; ++k) x[k] = run.scenarios.cashflows[k * TALVEK_BENEFIT_CASHFLOWS_SIZE + i];
        const double mean = (x[0] + x[1] + x[2]) / 3;
        std::sort(x, x + 3);
        // n = 3: h = 2p, P25 halfway between the lowest two, P50 the middle one
        ASSERT_EQ(run.scenarios.distribution[TALVEK_DISTRIBUTION_MEAN][i], mean) << i;
        ASSERT_EQ(run.scenarios.distribution[TALVEK_DISTRIBUTION_P50][i], x[1]) << i;
        ASSERT_NEAR(run.scenarios.distribution[TALVEK_DISTRIBUTION_P25][i], x[0] + 0.5 * (x[1] - x[0]),
                    1e-12 * std::fabs(x[1]) + 1e-300) << i;
        ASSERT_NEAR(run.scenarios.distribution[TALVEK_DISTRIBUTION_P95][i], x[1] + 0.9 * (x[2] - x[1]),
                    1e-12 * std::fabs(x[2]) + 1e-300) << i;
    }
}

TEST(Scenarios, ASetThatCannotBeValuedSaysWhy) {
    ScenarioRun base("scenario-refused", everyStatusFile(1));
    const ThreeScenarios good(base.files.host, true);
    struct Case {
        const char *what;
        void (*spoil)(TalvekRunDef &, TalvekScenarioSet &, ThreeScenarios &);
        const char *message;
    };
    const Case cases[] = {
        {"per member", [](TalvekRunDef &d, TalvekScenarioSet &, ThreeScenarios &) {
             d.valuation_options = TALVEK_VALUE_PER_MEMBER; }, "without per-member figures and sensitivities"},
        {"empty", [](TalvekRunDef &, TalvekScenarioSet &s, ThreeScenarios &) { s.scenario_count = 0; },
         "holds no scenario"},
        {"options", [](TalvekRunDef &, TalvekScenarioSet &s, ThreeScenarios &) { s.options = 2; },
         "the scenario set's options hold a flag that is not known"},
        {"kind", [](TalvekRunDef &, TalvekScenarioSet &s, ThreeScenarios &) { s.curve_kind = 0; },
         "curve kind must be forward or spot rates"},
        {"inflation", [](TalvekRunDef &, TalvekScenarioSet &s, ThreeScenarios &t) {
             t.yearly[2 * TALVEK_YEARLY_RATES_SIZE + 7] = -1.0;
             s.yearly_rates = t.yearly.data(); }, "scenario 3: the inflation rate of year 7 is not a number above -1"},
        {"growth", [](TalvekRunDef &, TalvekScenarioSet &s, ThreeScenarios &t) {
             t.yearly[TALVEK_YEARLY_SALARY_GROWTH + 40] = std::nan("");
             s.yearly_rates = t.yearly.data(); },
         "scenario 1: the salary growth rate of year 40 is not a number above -1"},
        {"annuity", [](TalvekRunDef &, TalvekScenarioSet &s, ThreeScenarios &t) {
             t.annuity[TALVEK_ANNUITY_RATES + 3] = INFINITY;
             s.annuity_rates = t.annuity.data(); }, "scenario 2: annuity rate 4 is not a number above -1"},
        {"curve", [](TalvekRunDef &, TalvekScenarioSet &s, ThreeScenarios &t) {
             t.curves[TALVEK_CURVE_SIZE + 20] = -1.0;
             s.discount_curves = t.curves.data(); },
         "the discount curve of year 20 gives a discount factor that is not a positive number"},
    };
    for (const Case &c : cases) {
        ScenarioRun run("scenario-refused-case", everyStatusFile(1));
        ThreeScenarios three(run.files.host, true);
        TalvekScenarioSet set = three.set;
        c.spoil(run.def, set, three);
        EXPECT_NE(run.value(set), TALVEK_OK) << c.what;
        EXPECT_NE(std::string(run.results->message).find(c.message), std::string::npos)
            << c.what << ": " << run.results->message;
        // a curve found wrong in the second scenario leaves the first one valued
        EXPECT_EQ(run.scenarios.scenario_count, std::string(c.what) == "curve" ? 1 : 0) << c.what;
    }
    EXPECT_EQ(talvek_value_scenarios(&base.def, nullptr, base.results.get(), &base.scenarios), TALVEK_ERROR_ARGUMENT);
}

// Stops once the second scenario's members have begun.
int32_t stopInTheSecondScenario(void *user, int64_t done, int64_t total) {
    const int64_t perScenario = *static_cast<const int64_t *>(user);
    (void)total;
    return done > perScenario ? 1 : 0;
}

TEST(Scenarios, AStoppedSetKeepsTheScenariosThatFinished) {
    ScenarioRun run("scenario-stopped", everyStatusFile(400));
    const ThreeScenarios three(run.files.host, false);
    int64_t lines = 0;
    ASSERT_EQ(talvek_count_line_reads(&run.def, &lines), TALVEK_OK);
    run.def.member_total = lines;
    run.def.progress = stopInTheSecondScenario;
    run.def.progress_user = &lines;
    EXPECT_EQ(run.value(three.set), TALVEK_STOPPED);
    EXPECT_EQ(run.results->stopped, 1);
    EXPECT_EQ(run.scenarios.scenario_count, 1);
    EXPECT_NE(std::string(run.results->message).find("scenario 2: "), std::string::npos) << run.results->message;
    // the first scenario's run stands whole
    EXPECT_EQ(run.results->members_done, static_cast<int64_t>(membersOfEveryStatus().size()) * 400);
}

} // namespace
