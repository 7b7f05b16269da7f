// Economic scenarios through the published C interface. The first scenario
// is a valuation's own run, with the reports; the others are valued in
// blocks, each block in one pass over the members: a member's counts once,
// the amounts of the block's scenarios side by side in lanes, each lane the
// valuation's own arithmetic on its scenario's assumptions, so that every
// scenario's figures are the same bytes as a valuation of the basis with its
// rates.
#include "talvek/engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "engine/run_definition.h"
#include "engine/valuation_sums.h"
#include "input/line_reader.h"

namespace {

// The economic parameters a scenario's annuity rates take the place of, by
// element of TalvekAnnuityRate.
constexpr int kAnnuityParameter[TALVEK_ANNUITY_RATES] = {
    TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_1_TO_10, TALVEK_ECONOMIC_DISCOUNT_RATE_YEARS_11_TO_110,
    TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_1_TO_10, TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_11_TO_110};

// A scenario's copy of the assumption arrays it changes.
struct ScenarioAssumptions {
    TalvekAssumptions assumptions;
    double economic[TALVEK_ECONOMIC_SIZE];
    double yearlyRates[TALVEK_YEARLY_RATES_SIZE];
};

const double *yearlyRatesOf(const TalvekScenarioSet &set, int64_t k) {
    return set.yearly_rates + k * TALVEK_YEARLY_RATES_SIZE;
}
const double *annuityRatesOf(const TalvekScenarioSet &set, int64_t k) {
    return set.annuity_rates == nullptr ? nullptr : set.annuity_rates + k * TALVEK_ANNUITY_RATES;
}
const double *curveRatesOf(const TalvekScenarioSet &set, int64_t k) {
    return set.discount_curves == nullptr ? nullptr : set.discount_curves + k * TALVEK_CURVE_SIZE;
}

void putScenario(ScenarioAssumptions &scenario, const TalvekAssumptions &base, const TalvekScenarioSet &set,
                 int64_t k) {
    scenario.assumptions = base;
    std::memcpy(scenario.economic, base.economic_parameters, sizeof scenario.economic);
    std::memcpy(scenario.yearlyRates, yearlyRatesOf(set, k), sizeof scenario.yearlyRates);
    if (const double *annuity = annuityRatesOf(set, k))
        for (int r = 0; r < TALVEK_ANNUITY_RATES; ++r) scenario.economic[kAnnuityParameter[r]] = annuity[r];
    scenario.assumptions.economic_parameters = scenario.economic;
    scenario.assumptions.yearly_rates = scenario.yearlyRates;
}

// The first thing wrong with the set, written into `message`; false when there is one.
bool checkScenarioSet(const TalvekRunDef &def, const TalvekScenarioSet &set, char *message, size_t size) {
    if (def.valuation_options != 0 || def.sensitivity_count != 0) {
        std::snprintf(message, size, "a scenario set is valued without per-member figures and sensitivities");
        return false;
    }
    if (def.discount_curve_kind < TALVEK_CURVE_BASIS || def.discount_curve_kind > TALVEK_CURVE_SPOT_RATES ||
        (def.discount_curve_kind != TALVEK_CURVE_BASIS && def.discount_curve == nullptr)) {
        std::snprintf(message, size, "the definition's discount curve is not a curve kind with its rates");
        return false;
    }
    if (set.scenario_count < 1 || set.yearly_rates == nullptr) {
        std::snprintf(message, size, "the scenario set holds no scenario (count below 1 or no yearly rates)");
        return false;
    }
    const bool curves = set.discount_curves != nullptr;
    const bool yearlyKind = set.curve_kind == TALVEK_CURVE_FORWARD_RATES || set.curve_kind == TALVEK_CURVE_SPOT_RATES;
    if (curves != yearlyKind) {
        std::snprintf(message, size, "the scenarios' curve kind must be forward or spot rates with curves, 0 without");
        return false;
    }
    if ((set.options & ~uint64_t{TALVEK_SCENARIOS_FIGURES_ONLY}) != 0) {
        std::snprintf(message, size, "the scenario set's options hold a flag that is not known");
        return false;
    }
    for (uint64_t value : set.reserved) {
        if (value == 0) continue;
        std::snprintf(message, size, "a reserved field of the scenario set is not 0");
        return false;
    }
    for (int64_t k = 0; k < set.scenario_count; ++k) {
        char whose[32];
        std::snprintf(whose, sizeof whose, "scenario %lld", static_cast<long long>(k + 1));
        if (!checkYearlyRates(yearlyRatesOf(set, k), whose, message, size)) return false;
        const double *annuity = annuityRatesOf(set, k);
        for (int r = 0; annuity != nullptr && r < TALVEK_ANNUITY_RATES; ++r) {
            if (isGrowthRate(annuity[r])) continue;
            std::snprintf(message, size, "scenario %lld: annuity rate %d is not a number above -1",
                          static_cast<long long>(k + 1), r + 1);
            return false;
        }
    }
    return true;
}

// Scenario k's curve: its own, or the definition's (on the scenario's
// discount rates when the definition's curve is the basis's).
bool scenarioCurve(const TalvekRunDef &def, const TalvekScenarioSet &set, const ScenarioAssumptions &scenario,
                   int64_t k, DiscountCurve &curve, char *message, size_t size) {
    if (set.discount_curves != nullptr)
        return curveOf(set.curve_kind, curveRatesOf(set, k), scenario.economic, 0.0, curve, message, size);
    return curveOf(def.discount_curve_kind, def.discount_curve, scenario.economic, 0.0, curve, message, size);
}

// Scenario k: a valuation's run on its assumptions and curve, summed and
// valued as the valuation does it.
int32_t valueScenario(const TalvekRunDef &def, const TalvekScenarioSet &set, int64_t k, int64_t memberTotal,
                      TalvekResults &run, TalvekScenarioValues &values) {
    std::memset(&run, 0, sizeof run);
    std::unique_ptr<ScenarioAssumptions> scenario(new ScenarioAssumptions);
    putScenario(*scenario, def.assumptions, set, k);
    DiscountCurve curve;
    if (!scenarioCurve(def, set, *scenario, k, curve, run.message, sizeof run.message))
        return run.status = TALVEK_ERROR_ARGUMENT;

    std::unique_ptr<ValuationSums> sums(new ValuationSums{});
    const EngineValuation valuation = engineValuationOf(*sums, curve, false, nullptr);
    const DefinitionRun definitionRun{&scenario->assumptions, k == 0, &valuation, memberTotal,
                                      k * memberTotal, memberTotal * set.scenario_count};
    const int32_t status = runDefinition(def, definitionRun, run);
    if (status != TALVEK_OK) return status;
    sumEveryMember(*sums, run);
    valueGroups(*sums, curve, values.present_values);
    return TALVEK_OK;
}

// Scenario first + l's figures from the block's sums, valued on its curve as
// a valuation sums and values its run.
void valueLane(const ScenarioBlockSums &block, int l, const DiscountCurve &curve, ValuationSums &sums,
               TalvekScenarioValues &values, double *cashflows) {
    std::memset(&sums, 0, sizeof sums);
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) {
        sums.byStatus[0].benefit_cashflows[i] = block.totalCashflows[i][l];
        cashflows[i] = block.totalCashflows[i][l];
        for (int s = 0; s < TALVEK_MEMBER_STATUSES; ++s) {
            const double *lanes = block.statusCashflows[s][i];
            sums.byStatus[s + 1].benefit_cashflows[i] = lanes[laneOf(kProjectedLane, l)];
            sums.accruedCashflows[s + 1][i] = lanes[laneOf(kAccruedLane, l)];
            sums.oneYearCashflows[s + 1][i] = lanes[laneOf(kOneYearLane, l)];
        }
    }
    sumLimitedAttributions(sums);
    valueGroups(sums, curve, values.present_values);
}

// Scenarios first .. first + count - 1 (count at most kScenarioLanes) in one
// pass; lanes past the last scenario repeat it and are not kept. A scenario
// whose curve cannot be built ends the block before it: those before it are
// valued, and `valued` says how many.
int32_t valueBlock(const TalvekRunDef &def, const TalvekScenarioSet &set, int64_t first, int64_t count,
                   int64_t memberTotal, TalvekResults &run, TalvekScenarioResults &out, int64_t &valued) {
    std::memset(&run, 0, sizeof run);
    valued = 0;
    std::unique_ptr<ScenarioAssumptions[]> lanes(new ScenarioAssumptions[kScenarioLanes]);
    std::unique_ptr<DiscountCurve[]> curves(new DiscountCurve[kScenarioLanes]);
    const TalvekAssumptions *laneAssumptions[kScenarioLanes];
    for (int l = 0; l < kScenarioLanes; ++l) {
        putScenario(lanes[l], def.assumptions, set, first + std::min<int64_t>(l, count - 1));
        laneAssumptions[l] = &lanes[l].assumptions;
    }
    int64_t curvesBuilt = 0;
    while (curvesBuilt < count && scenarioCurve(def, set, lanes[curvesBuilt], first + curvesBuilt,
                                                curves[curvesBuilt], run.message, sizeof run.message))
        ++curvesBuilt;
    const int32_t curveStatus = curvesBuilt < count ? TALVEK_ERROR_ARGUMENT : TALVEK_OK;
    char curveMessage[sizeof run.message];
    std::memcpy(curveMessage, run.message, sizeof curveMessage);
    if (curvesBuilt == 0) return run.status = curveStatus;

    std::unique_ptr<ScenarioBlockSums> block(new ScenarioBlockSums{});
    DefinitionRun definitionRun{&lanes[0].assumptions, false, nullptr, memberTotal, first * memberTotal,
                                memberTotal * set.scenario_count};
    definitionRun.laneAssumptions = laneAssumptions;
    definitionRun.blockSums = block.get();
    definitionRun.progressScale = curvesBuilt;
    const int32_t status = runDefinition(def, definitionRun, run);
    if (status != TALVEK_OK) return status;

    std::unique_ptr<ValuationSums> sums(new ValuationSums);
    for (int64_t l = 0; l < curvesBuilt; ++l) {
        const int64_t k = first + l;
        valueLane(*block, static_cast<int>(l), curves[l], *sums, out.values[k],
                  out.cashflows + k * TALVEK_BENEFIT_CASHFLOWS_SIZE);
    }
    valued = curvesBuilt;
    if (curveStatus != TALVEK_OK) {
        std::memcpy(run.message, curveMessage, sizeof run.message);
        run.status = curveStatus;
    }
    return curveStatus;
}

void *allocated(size_t bytes) {
    void *memory = std::calloc(1, bytes);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
}

void distributionOf(const double *values, int64_t count, int64_t stride, double *out);

// The distribution of every element of the cash flows over the scenarios valued.
void distributeCashflows(TalvekScenarioResults &out) {
    double stats[TALVEK_DISTRIBUTION_SIZE];
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) {
        distributionOf(out.cashflows + i, out.scenario_count, TALVEK_BENEFIT_CASHFLOWS_SIZE, stats);
        for (int d = 0; d < TALVEK_DISTRIBUTION_SIZE; ++d) out.distribution[d][i] = stats[d];
    }
}

// The message of a scenario after the first that did not finish, which ends the set.
void endSetAt(TalvekResults &results, int64_t k, int32_t status, const TalvekResults &run) {
    results.status = status;
    results.stopped = status == TALVEK_STOPPED ? 1 : 0;
    std::snprintf(results.message, sizeof results.message, "scenario %lld: %.400s", static_cast<long long>(k + 1),
                  run.message[0] != '\0' ? run.message : talvek_status_message(status));
}

int32_t valueSet(const TalvekRunDef &def, const TalvekScenarioSet &set, TalvekResults &results,
                 TalvekScenarioResults &out) {
    int64_t memberTotal = def.member_total;
    if (memberTotal <= 0 && def.progress != nullptr) countSourceLineReads(sourceOf(def), memberTotal);
    const auto count = static_cast<size_t>(set.scenario_count);
    out.values = static_cast<TalvekScenarioValues *>(allocated(count * sizeof(TalvekScenarioValues)));
    out.cashflows = static_cast<double *>(allocated(count * TALVEK_BENEFIT_CASHFLOWS_SIZE * sizeof(double)));

    int32_t status = TALVEK_OK;
    int64_t blocksFrom = 0;
    if ((set.options & TALVEK_SCENARIOS_FIGURES_ONLY) == 0) {
        // the first scenario: the valuation's run itself, with its reports
        status = valueScenario(def, set, 0, memberTotal, results, out.values[0]);
        if (status != TALVEK_OK) {
            std::memset(&out.values[0], 0, sizeof out.values[0]);
            distributeCashflows(out);
            return status;
        }
        std::memcpy(out.cashflows, results.benefit_cashflows, sizeof results.benefit_cashflows);
        out.scenario_count = 1;
        blocksFrom = 1;
    }

    std::unique_ptr<TalvekResults> later(new TalvekResults);
    for (int64_t first = blocksFrom; first < set.scenario_count; first += kScenarioLanes) {
        const int64_t inBlock = std::min<int64_t>(kScenarioLanes, set.scenario_count - first);
        int64_t valued = 0;
        status = valueBlock(def, set, first, inBlock, memberTotal, *later, out, valued);
        out.scenario_count = first + valued;
        if (status != TALVEK_OK) {
            // a scenario that did not finish is left out; those before it stand
            endSetAt(results, first + valued, status, *later);
            break;
        }
    }
    distributeCashflows(out);
    return status;
}

// Linear interpolation between the two order statistics around h = (n - 1) p.
double percentileOf(const double *sorted, int64_t n, double p) {
    const double h = static_cast<double>(n - 1) * p;
    const auto below = static_cast<int64_t>(std::floor(h));
    // the largest value has no order statistic above it
    if (below >= n - 1) return sorted[n - 1];
    return sorted[below] + (h - static_cast<double>(below)) * (sorted[below + 1] - sorted[below]);
}

// The mean (the values added in their order) and the percentiles.
void distributionOf(const double *values, int64_t count, int64_t stride, double *out) {
    static constexpr double kPercentiles[TALVEK_DISTRIBUTION_SIZE] = {0.0, 0.05, 0.25, 0.50, 0.75, 0.95};
    for (int d = 0; d < TALVEK_DISTRIBUTION_SIZE; ++d) out[d] = 0.0;
    // no values: no distribution
    if (count <= 0) return;
    std::unique_ptr<double[]> sorted(new double[static_cast<size_t>(count)]);
    double sum = 0.0;
    for (int64_t k = 0; k < count; ++k) {
        sorted[k] = values[k * stride];
        sum += sorted[k];
    }
    std::sort(sorted.get(), sorted.get() + count);
    out[TALVEK_DISTRIBUTION_MEAN] = sum / static_cast<double>(count);
    for (int d = TALVEK_DISTRIBUTION_P5; d < TALVEK_DISTRIBUTION_SIZE; ++d)
        out[d] = percentileOf(sorted.get(), count, kPercentiles[d]);
}

} // namespace

extern "C" {

TALVEK_API int32_t talvek_value_scenarios(const TalvekRunDef *def, const TalvekScenarioSet *set,
                                          TalvekResults *results, TalvekScenarioResults *scenarios) {
    if (results == nullptr || scenarios == nullptr) return TALVEK_ERROR_ARGUMENT;
    std::memset(results, 0, sizeof *results);
    std::memset(scenarios, 0, sizeof *scenarios);
    if (def == nullptr) return failRun(results, TALVEK_ERROR_ARGUMENT, "no definition is given");
    if (set == nullptr) return failRun(results, TALVEK_ERROR_ARGUMENT, "no scenario set is given");
    if (const char *problem = definitionProblem(*def)) return failRun(results, TALVEK_ERROR_ARGUMENT, problem);
    if (def->piece_exchange != nullptr)
        return failRun(results, TALVEK_ERROR_ARGUMENT, "a scenario set is shared by scenarios, not by pieces: "
                                                       "the piece exchange must be null");
    if (!checkScenarioSet(*def, *set, results->message, sizeof results->message))
        return results->status = TALVEK_ERROR_ARGUMENT;
    try {
        return valueSet(*def, *set, *results, *scenarios);
    } catch (...) {
        // nothing may leave through a C interface: a failed allocation ends the run
        talvek_release_scenarios(scenarios);
        std::memset(results, 0, sizeof *results);
        std::memset(scenarios, 0, sizeof *scenarios);
        return failRun(results, TALVEK_ERROR_MEMORY, "the run could not get the memory it needs");
    }
}

TALVEK_API void talvek_release_scenarios(TalvekScenarioResults *scenarios) {
    if (scenarios == nullptr) return;
    std::free(scenarios->values);
    std::free(scenarios->cashflows);
    scenarios->values = nullptr;
    scenarios->cashflows = nullptr;
    scenarios->scenario_count = 0;
}

TALVEK_API int32_t talvek_distribution_of(const double *values, int64_t count, int64_t stride, double *out) {
    if (out == nullptr || (values == nullptr && count > 0)) return TALVEK_ERROR_ARGUMENT;
    try {
        distributionOf(values, count, stride, out);
        return TALVEK_OK;
    } catch (...) {
        // no memory to sort the values in: no distribution rather than a wrong one
        for (int d = 0; d < TALVEK_DISTRIBUTION_SIZE; ++d) out[d] = std::nan("");
        return TALVEK_ERROR_MEMORY;
    }
}

} // extern "C"
