// The valuation through the published interface: the results stay the
// bytes of a plain run; statuses and members add up to the totals; the
// obligation and the service cost are the present values of the run with no
// and with one year of service after the valuation date; a pensioner's value
// is its pension times an annuity factor computed by hand; sensitivities
// move the figures the right way and agree with the durations.
#include "talvek/engine.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/api_test_support.h"
#include "api/plausible_plan_support.h"
#include "basis/basis.h"

namespace {

// A valuation of a member file in memory on the plausible plan.
struct ValuationRun {
    ExportedRun files;
    std::string members;
    TalvekRunDef def = talvek_default_run_def();
    std::unique_ptr<TalvekResults> results = std::make_unique<TalvekResults>();
    std::unique_ptr<TalvekValuation> valuation = std::make_unique<TalvekValuation>();

    ValuationRun(const std::string &name, const std::string &memberBytes) : files(name), members(memberBytes) {
        fillPlausiblePlan(files.host);
        def.member_bytes = members.data();
        def.member_byte_count = static_cast<int64_t>(members.size());
        def.jobs = 1;
    }
    ~ValuationRun() { talvek_release_valuation(valuation.get()); }
    int32_t value() {
        talvek_release_valuation(valuation.get());
        def.assumptions = files.host.assumptions(files.valuationYear, files.mortalityBaseYear, files.delimiterCode);
        return talvek_value(&def, results.get(), valuation.get());
    }
};

std::string everyStatusFile(int copies) {
    const std::string once = memberFileOf(membersOfEveryStatus());
    std::string all;
    for (int i = 0; i < copies; ++i) all += once;
    return all;
}

double relative(double a, double b) {
    const double scale = std::max(std::fabs(a), std::fabs(b));
    return scale == 0.0 ? 0.0 : std::fabs(a - b) / scale;
}

bool sameBytes(const void *a, const void *b, size_t size) { return std::memcmp(a, b, size) == 0; }

TEST(Valuation, ResultsAreThePlainRunsBytesForEveryJobsAndWithOrWithoutMembers) {
    ValuationRun run("valuation-bytes", everyStatusFile(40));
    std::unique_ptr<TalvekResults> plain = std::make_unique<TalvekResults>();
    run.def.assumptions = run.files.host.assumptions(run.files.valuationYear, run.files.mortalityBaseYear,
                                                     run.files.delimiterCode);
    ASSERT_EQ(talvek_run(&run.def, plain.get()), TALVEK_OK);

    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    EXPECT_TRUE(sameBytes(run.results->benefit_cashflows, plain->benefit_cashflows, sizeof plain->benefit_cashflows));
    EXPECT_TRUE(sameBytes(run.results->member_counts, plain->member_counts, sizeof plain->member_counts));
    EXPECT_TRUE(sameBytes(run.results->decrement_counts, plain->decrement_counts, sizeof plain->decrement_counts));
    const std::unique_ptr<TalvekValuation> oneJob = std::make_unique<TalvekValuation>(*run.valuation);
    run.valuation->members = nullptr; // the copy holds none; the run frees its own
    EXPECT_EQ(oneJob->member_count, 0);

    run.def.valuation_options = TALVEK_VALUE_PER_MEMBER;
    std::vector<TalvekMemberValues> rowsOfOneJob;
    for (const int32_t jobs : {1, 2}) {
        run.def.jobs = jobs;
        ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
        EXPECT_TRUE(sameBytes(run.results->benefit_cashflows, plain->benefit_cashflows,
                              sizeof plain->benefit_cashflows));
        // the totals, by status and present values: the same bytes with rows or without, for any jobs
        EXPECT_TRUE(sameBytes(run.valuation->present_values, oneJob->present_values, sizeof oneJob->present_values));
        EXPECT_TRUE(sameBytes(run.valuation->by_status, oneJob->by_status, sizeof oneJob->by_status));
        EXPECT_TRUE(sameBytes(run.valuation->accrued_cashflows, oneJob->accrued_cashflows,
                              sizeof oneJob->accrued_cashflows));
        EXPECT_EQ(run.valuation->member_count, run.results->members_done);
        // the rows of several pieces, joined in file order whatever the jobs
        if (jobs == 1) rowsOfOneJob.assign(run.valuation->members, run.valuation->members + run.valuation->member_count);
        ASSERT_EQ(static_cast<size_t>(run.valuation->member_count), rowsOfOneJob.size());
        EXPECT_TRUE(sameBytes(run.valuation->members, rowsOfOneJob.data(), rowsOfOneJob.size() * sizeof(TalvekMemberValues)));
        EXPECT_EQ(run.valuation->members[run.valuation->member_count - 1].line, run.results->line_reads);
    }
    EXPECT_GT(run.members.size(), size_t{3} * TALVEK_PIECE_BYTES); // several pieces
}

TEST(Valuation, StatusesAndMembersAddUpToTheTotals) {
    ValuationRun run("valuation-additivity", everyStatusFile(3));
    run.def.valuation_options = TALVEK_VALUE_PER_MEMBER;
    run.def.jobs = 2;
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    const TalvekValuation &v = *run.valuation;

    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) {
        double sum = 0.0;
        for (int s = 1; s <= TALVEK_MEMBER_STATUSES; ++s) sum += v.by_status[s].benefit_cashflows[i];
        ASSERT_LE(relative(sum, run.results->benefit_cashflows[i]), 1e-12) << "cash-flow element " << i;
    }
    for (int i = 0; i < TALVEK_MEMBER_COUNTS_SIZE; ++i) {
        double sum = 0.0;
        for (int s = 1; s <= TALVEK_MEMBER_STATUSES; ++s) sum += v.by_status[s].member_counts[i];
        ASSERT_LE(relative(sum, run.results->member_counts[i]), 1e-12) << "count element " << i;
    }
    double benefits = 0.0, contributions = 0.0, obligation = 0.0, serviceCost = 0.0;
    double statusBenefits = 0.0;
    for (int s = 1; s <= TALVEK_MEMBER_STATUSES; ++s) statusBenefits += v.present_values[s].benefits;
    for (int64_t k = 0; k < v.member_count; ++k) {
        const TalvekMemberValues &row = v.members[k];
        benefits += row.benefits;
        contributions += row.contributions;
        obligation += row.obligation;
        serviceCost += row.service_cost;
        if (k > 0) {
            EXPECT_GT(row.line, v.members[k - 1].line); // file order
        }
        if (row.status == TALVEK_MEMBER_IN_SERVICE) {
            EXPECT_LE(row.obligation, row.benefits * (1 + 1e-15)) << "line " << row.line;
            EXPECT_GE(row.service_cost, 0.0) << "line " << row.line;
        } else {
            // nothing is still to come out of service: the three lanes carry the same amounts
            EXPECT_EQ(row.obligation, row.benefits) << "line " << row.line;
            EXPECT_EQ(row.service_cost, 0.0) << "line " << row.line;
        }
    }
    const TalvekPresentValues &all = v.present_values[0];
    EXPECT_GT(all.benefits, 0.0);
    EXPECT_LE(relative(statusBenefits, all.benefits), 1e-12);
    EXPECT_LE(relative(benefits, all.benefits), 1e-9);
    EXPECT_LE(relative(contributions, all.contributions), 1e-9);
    EXPECT_LE(relative(obligation, all.obligation), 1e-9);
    EXPECT_LE(relative(serviceCost, all.service_cost), 1e-9);
    EXPECT_LT(all.obligation, all.benefits);
    EXPECT_GT(all.service_cost, 0.0);
    for (int s = 2; s <= TALVEK_MEMBER_STATUSES; ++s) {
        EXPECT_EQ(v.present_values[s].obligation, v.present_values[s].benefits) << "status " << s;
        EXPECT_EQ(v.present_values[s].service_cost, 0.0) << "status " << s;
    }
}

// The obligation's lane is a run that counts no service after the valuation
// date, and the service cost's one year of it: bit for bit, status by status.
TEST(Valuation, TheLanesAreRunsWithTheServiceLimited) {
    ValuationRun run("valuation-lanes", everyStatusFile(2));
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    const std::unique_ptr<TalvekValuation> both = std::make_unique<TalvekValuation>(*run.valuation);

    run.def.limit_future_service = 1;
    for (const double years : {0.0, 1.0}) {
        run.def.future_service_years = years;
        ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
        const auto &lane = years == 0.0 ? both->accrued_cashflows : both->one_year_cashflows;
        for (int s = 1; s <= TALVEK_MEMBER_STATUSES; ++s) {
            EXPECT_TRUE(sameBytes(lane[s], run.valuation->by_status[s].benefit_cashflows, sizeof lane[s]))
                << "status " << s << ", " << years << " years";
        }
        const double value = run.valuation->present_values[TALVEK_MEMBER_IN_SERVICE].benefits;
        const double expected = years == 0.0 ? both->present_values[TALVEK_MEMBER_IN_SERVICE].obligation
                                             : both->present_values[TALVEK_MEMBER_IN_SERVICE].obligation +
                                                   both->present_values[TALVEK_MEMBER_IN_SERVICE].service_cost;
        EXPECT_LE(relative(value, expected), 1e-14);
    }
}

MemberFields pensionerAged65() {
    MemberFields f{};
    f.number = "P1";
    f.status = "B";
    f.age = 65;
    f.sex = 'M';
    f.pension = 12000;
    f.marital = 'S';
    f.spouseAge = 62;
    f.yearsRetired = 10; // past the five-year guarantee
    f.guaranteedFraction = 0.0; // all of it fixed
    return f;
}

// A single pensioner past the guarantee: PV = pension x a, with the annuity
// factor computed here from the basis's own mortality and the discount rates
// (3 % for ten years, 3.5 % after) with payments at mid-year,
//   a = sum over t of 0.5 (l(t - 1) + l(t)) v(t - 0.5),
//   l(t) = l(t - 1) (1 - q(65 + t - 1, t - 1)),  v(t - 0.5) = 1.03^-(t - 0.5), ...
TEST(Valuation, APensionersValueIsThePensionTimesAnAnnuityFactor) {
    ValuationRun run("valuation-pensioner", memberFileOf({pensionerAged65()}));
    run.def.valuation_options = TALVEK_VALUE_PER_MEMBER;
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;

    std::unique_ptr<Basis> basis = makeZeroBasis();
    buildMortalityTables(*basis, run.files.host.arrays(), static_cast<int16_t>(run.files.valuationYear),
                         static_cast<int16_t>(run.files.mortalityBaseYear));
    double factor = 0.0;
    double alive = 1.0;
    for (int t = 1; t <= 110 && alive > 0.0; ++t) {
        const int age = 65 + t - 1;
        const double q = age > 120 ? 1.0 : mortalityRate(basis->maleMortality, age, t - 1);
        const double after = alive * (1.0 - q);
        const double v = t <= 10 ? std::pow(1.03, -(t - 0.5))
                                 : std::pow(1.03, -10.0) * std::pow(1.035, -(t - 10.5));
        factor += 0.5 * (alive + after) * v;
        alive = after;
    }
    EXPECT_GT(factor, 8.0);
    EXPECT_LT(factor, 20.0);
    const TalvekPresentValues &pv = run.valuation->present_values[TALVEK_MEMBER_PENSIONER];
    EXPECT_LE(relative(pv.benefits, 12000 * factor), 1e-12) << pv.benefits << " against " << 12000 * factor;
    EXPECT_EQ(pv.benefits, pv.cashflows[TALVEK_CASHFLOWS_SERVICE_PENSION_MALE]);
    ASSERT_EQ(run.valuation->member_count, 1);
    EXPECT_LE(relative(run.valuation->members[0].benefits, pv.benefits), 1e-13);
    EXPECT_STREQ(run.valuation->members[0].member_number, "P1");
    EXPECT_EQ(run.valuation->members[0].line, 1);
}

TEST(Valuation, AMemberWithNoPastServiceHasNoObligationAndAServiceCost) {
    MemberFields f{};
    f.number = "N1";
    f.status = "A";
    f.age = 30;
    f.sex = 'F';
    f.salary = 40000;
    f.marital = 'M';
    f.spouseAge = 32;
    f.guaranteedFraction = 0.75;
    ValuationRun run("valuation-new-entrant", memberFileOf({f}));
    run.def.valuation_options = TALVEK_VALUE_PER_MEMBER;
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    const TalvekMemberValues &row = run.valuation->members[0];
    EXPECT_EQ(row.obligation, 0.0);
    EXPECT_GT(row.service_cost, 0.0);
    EXPECT_GT(row.benefits, row.service_cost);
    EXPECT_GT(row.contributions, 0.0);
    EXPECT_GT(row.duration, 10.0);
}

TEST(Valuation, WithNoDiscountThePresentValuesAreThePlainSums) {
    ValuationRun run("valuation-undiscounted", everyStatusFile(1));
    run.files.host.economicParameters[11] = 0.0;
    run.files.host.economicParameters[12] = 0.0;
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    for (int block = 1; block < TALVEK_CASHFLOW_BLOCKS; ++block) {
        double sum = 0.0;
        for (int t = 1; t < TALVEK_YEAR_SLOTS; ++t) sum += run.results->benefit_cashflows[TALVEK_ELEMENT(block, t)];
        EXPECT_LE(relative(run.valuation->present_values[0].cashflows[block], sum), 1e-13) << "block " << block;
    }
    EXPECT_EQ(run.valuation->mid_year_factors[57], 1.0);
}

TEST(Valuation, ACurveOfRatesEqualToTheBasisGivesItsFigures) {
    ValuationRun run("valuation-curves", everyStatusFile(1));
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    const std::unique_ptr<TalvekValuation> basis = std::make_unique<TalvekValuation>(*run.valuation);
    std::vector<double> forward(TALVEK_CURVE_SIZE), spot(TALVEK_CURVE_SIZE);
    for (int t = 1; t < TALVEK_CURVE_SIZE; ++t) forward[t] = t <= 10 ? 0.03 : 0.035;
    // the spot rate of term t that discounts as the two rates do
    for (int t = 1; t < TALVEK_CURVE_SIZE; ++t)
        spot[t] = std::pow(1.03, std::min(t, 10) / double(t)) * std::pow(1.035, std::max(t - 10, 0) / double(t)) - 1;
    run.def.discount_curve_kind = TALVEK_CURVE_FORWARD_RATES;
    run.def.discount_curve = forward.data();
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    EXPECT_TRUE(sameBytes(run.valuation->present_values, basis->present_values, sizeof basis->present_values));
    run.def.discount_curve_kind = TALVEK_CURVE_SPOT_RATES;
    run.def.discount_curve = spot.data();
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    EXPECT_LE(relative(run.valuation->present_values[0].benefits, basis->present_values[0].benefits), 1e-12);
    EXPECT_LE(relative(run.valuation->present_values[0].obligation, basis->present_values[0].obligation), 1e-12);
}

TEST(Valuation, RefusedValuationsSayWhy) {
    ValuationRun run("valuation-refused", everyStatusFile(1));
    std::vector<double> curve(TALVEK_CURVE_SIZE, 0.02);
    curve[17] = -1.0;
    TalvekSensitivity many[TALVEK_MAX_SENSITIVITIES + 1] = {};
    TalvekSensitivity deadly{TALVEK_SENSITIVITY_MORTALITY, 0, 0.0};
    struct Case {
        const char *what;
        void (*spoil)(TalvekRunDef &, std::vector<double> &, TalvekSensitivity *, TalvekSensitivity *);
        const char *message;
    };
    const Case cases[] = {
        {"kind", [](TalvekRunDef &d, std::vector<double> &, TalvekSensitivity *, TalvekSensitivity *) {
             d.discount_curve_kind = 3; }, "discount_curve_kind is not a curve kind"},
        {"null curve", [](TalvekRunDef &d, std::vector<double> &, TalvekSensitivity *, TalvekSensitivity *) {
             d.discount_curve_kind = TALVEK_CURVE_SPOT_RATES; }, "the discount curve is missing (null)"},
        {"rate", [](TalvekRunDef &d, std::vector<double> &c, TalvekSensitivity *, TalvekSensitivity *) {
             d.discount_curve_kind = TALVEK_CURVE_FORWARD_RATES;
             d.discount_curve = c.data(); },
         "the discount curve of year 17 gives a discount factor that is not a positive number"},
        {"count", [](TalvekRunDef &d, std::vector<double> &, TalvekSensitivity *m, TalvekSensitivity *) {
             d.sensitivity_count = TALVEK_MAX_SENSITIVITIES + 1;
             d.sensitivities = m; }, "sensitivity_count lies outside 0..16"},
        {"factor", [](TalvekRunDef &d, std::vector<double> &, TalvekSensitivity *, TalvekSensitivity *x) {
             d.sensitivity_count = 1;
             d.sensitivities = x; }, "sensitivity 1 has an unknown kind"},
        {"limit", [](TalvekRunDef &d, std::vector<double> &, TalvekSensitivity *, TalvekSensitivity *) {
             d.limit_future_service = 1;
             d.future_service_years = -1; }, "future_service_years is negative or not a number"},
        {"options", [](TalvekRunDef &d, std::vector<double> &, TalvekSensitivity *, TalvekSensitivity *) {
             d.valuation_options = 8; }, "valuation_options holds an unknown option"},
    };
    for (const Case &c : cases) {
        ValuationRun spoiled("valuation-refused-case", everyStatusFile(1));
        c.spoil(spoiled.def, curve, many, &deadly);
        EXPECT_EQ(spoiled.value(), TALVEK_ERROR_ARGUMENT) << c.what;
        EXPECT_NE(std::string(spoiled.results->message).find(c.message), std::string::npos)
            << c.what << ": " << spoiled.results->message;
        EXPECT_EQ(spoiled.valuation->members, nullptr);
    }
}

TEST(Valuation, AShiftThatTakesARateToMinusOneOrBelowIsRefusedAfterTheBase) {
    ValuationRun run("valuation-shift-refused", everyStatusFile(1));
    const TalvekSensitivity shifts[] = {{TALVEK_SENSITIVITY_DISCOUNT, 0, 0.005},
                                        {TALVEK_SENSITIVITY_SALARY_GROWTH, 0, -1.01}};
    run.def.sensitivity_count = 2;
    run.def.sensitivities = shifts;
    EXPECT_EQ(run.value(), TALVEK_ERROR_ARGUMENT);
    EXPECT_NE(std::string(run.results->message)
                  .find("sensitivity 2: the changed basis: the salary growth rate of year 1 is not a number above -1"),
              std::string::npos) << run.results->message;
    // the base figures and the sensitivity before it stand
    EXPECT_EQ(run.valuation->sensitivity_count, 1);
    EXPECT_GT(run.valuation->present_values[0].benefits, 0.0);
}

TEST(Valuation, SensitivitiesMoveTheFiguresTheRightWay) {
    ValuationRun run("valuation-sensitivities", everyStatusFile(2));
    // one flat discount rate, so that the modified duration is D / (1 + i)
    run.files.host.economicParameters[12] = 0.03;
    const TalvekSensitivity set[] = {{TALVEK_SENSITIVITY_DISCOUNT, 0, -0.005}, {TALVEK_SENSITIVITY_DISCOUNT, 0, 0.005},
                                     {TALVEK_SENSITIVITY_INFLATION, 0, 0.005},  {TALVEK_SENSITIVITY_SALARY_GROWTH, 0, 0.005},
                                     {TALVEK_SENSITIVITY_MORTALITY, 0, 0.9},    {TALVEK_SENSITIVITY_MORTALITY, 0, 1.1}};
    run.def.sensitivities = set;
    run.def.sensitivity_count = 6;
    run.def.jobs = 2;
    ASSERT_EQ(run.value(), TALVEK_OK) << run.results->message;
    const TalvekValuation &v = *run.valuation;
    ASSERT_EQ(v.sensitivity_count, 6);
    const TalvekPresentValues &base = v.present_values[0];
    const TalvekPresentValues &lower = v.sensitivities[0].present_values[0];
    const TalvekPresentValues &higher = v.sensitivities[1].present_values[0];
    EXPECT_GT(lower.benefits, base.benefits);
    EXPECT_LT(higher.benefits, base.benefits);
    EXPECT_LT(higher.obligation, base.obligation);
    EXPECT_LT(higher.contributions, base.contributions);
    for (int s = 1; s <= TALVEK_MEMBER_STATUSES; ++s)
        EXPECT_LT(v.sensitivities[1].present_values[s].benefits, v.present_values[s].benefits) << "status " << s;
    // -dPV / (PV di) against the modified duration D / (1 + i)
    const double effective = (lower.benefits - higher.benefits) / (base.benefits * 0.01);
    const double modified = base.benefits_duration / 1.03;
    EXPECT_LE(relative(effective, modified), 0.03) << effective << " against " << modified;

    EXPECT_GT(v.sensitivities[2].present_values[0].benefits, base.benefits);           // more inflation
    EXPECT_GT(v.sensitivities[3].present_values[TALVEK_MEMBER_IN_SERVICE].benefits,    // more salary growth
              v.present_values[TALVEK_MEMBER_IN_SERVICE].benefits);
    // pensions in payment do not follow salaries (their bridges do)
    EXPECT_EQ(v.sensitivities[3].present_values[TALVEK_MEMBER_PENSIONER].cashflows[TALVEK_CASHFLOWS_SERVICE_PENSION_MALE],
              v.present_values[TALVEK_MEMBER_PENSIONER].cashflows[TALVEK_CASHFLOWS_SERVICE_PENSION_MALE]);
    EXPECT_GT(v.sensitivities[4].present_values[TALVEK_MEMBER_PENSIONER].benefits,     // lighter mortality
              v.present_values[TALVEK_MEMBER_PENSIONER].benefits);
    EXPECT_LT(v.sensitivities[5].present_values[TALVEK_MEMBER_PENSIONER].benefits,
              v.present_values[TALVEK_MEMBER_PENSIONER].benefits);
    EXPECT_EQ(v.sensitivities[4].sensitivity.size, 0.9);
}

int32_t stopAtOnce(void *, int64_t, int64_t) { return 1; }

TEST(Valuation, AStoppedRunIsValuedAsFarAsItWentAndSaysSo) {
    ValuationRun run("valuation-stopped", everyStatusFile(30));
    run.def.progress = stopAtOnce;
    run.def.valuation_options = TALVEK_VALUE_PER_MEMBER;
    EXPECT_EQ(run.value(), TALVEK_STOPPED);
    EXPECT_EQ(run.results->stopped, 1);
    EXPECT_EQ(run.valuation->member_count, run.results->members_done);
    EXPECT_EQ(run.valuation->sensitivity_count, 0);
}

} // namespace
