// The valuation's published C interface: a run of the engine with the
// results by status, the present values on a discount curve, the obligation
// and the service cost on the projected unit credit method, the per-member
// figures, and one further run per sensitivity.
#include "talvek/engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/present_values.h"
#include "engine/run_definition.h"
#include "engine/valuation_sums.h"
#include "input/line_reader.h"

namespace {

bool isSensitivityKind(int32_t kind) {
    return kind == TALVEK_SENSITIVITY_DISCOUNT || kind == TALVEK_SENSITIVITY_INFLATION ||
           kind == TALVEK_SENSITIVITY_SALARY_GROWTH || kind == TALVEK_SENSITIVITY_MORTALITY;
}

// The first thing wrong with the valuation's own fields, written into
// `message`; false when there is one.
bool checkValuation(const TalvekRunDef &def, char *message, size_t size) {
    if ((def.valuation_options & ~TALVEK_VALUE_PER_MEMBER) != 0) {
        std::snprintf(message, size, "valuation_options holds an unknown option");
        return false;
    }
    if (def.discount_curve_kind < TALVEK_CURVE_BASIS || def.discount_curve_kind > TALVEK_CURVE_SPOT_RATES) {
        std::snprintf(message, size, "discount_curve_kind is not a curve kind");
        return false;
    }
    if (def.discount_curve_kind != TALVEK_CURVE_BASIS && def.discount_curve == nullptr) {
        std::snprintf(message, size, "the discount curve is missing (null)");
        return false;
    }
    if (def.sensitivity_count < 0 || def.sensitivity_count > TALVEK_MAX_SENSITIVITIES) {
        std::snprintf(message, size, "sensitivity_count lies outside 0..%d", TALVEK_MAX_SENSITIVITIES);
        return false;
    }
    if (def.sensitivity_count > 0 && def.sensitivities == nullptr) {
        std::snprintf(message, size, "the sensitivities are missing (null)");
        return false;
    }
    for (int32_t k = 0; k < def.sensitivity_count; ++k) {
        const TalvekSensitivity &one = def.sensitivities[k];
        const bool sized = std::isfinite(one.size) && (one.kind != TALVEK_SENSITIVITY_MORTALITY || one.size > 0.0);
        if (!isSensitivityKind(one.kind) || one.reserved != 0 || !sized) {
            std::snprintf(message, size, "sensitivity %d has an unknown kind, a reserved field not 0 or a size "
                                         "that is not a finite number (a mortality factor must be above 0)",
                          k + 1);
            return false;
        }
    }
    return true;
}

// Copies of the assumption arrays a sensitivity changes.
struct ChangedAssumptions {
    TalvekAssumptions assumptions;
    double baseMortality[TALVEK_MORTALITY_SIZE];
    double economic[TALVEK_ECONOMIC_SIZE];
    double yearlyRates[TALVEK_YEARLY_RATES_SIZE];
};

// Inflation moves the first row of yearly rates (years 1..110) and the two
// indexation rates of the annuity table; real salary growth the second row;
// mortality scales every base rate, at most 1 (a death is certain at most).
void changeAssumptions(ChangedAssumptions &changed, const TalvekAssumptions &base, const TalvekSensitivity &one) {
    changed.assumptions = base;
    std::memcpy(changed.baseMortality, base.base_mortality, sizeof changed.baseMortality);
    std::memcpy(changed.economic, base.economic_parameters, sizeof changed.economic);
    std::memcpy(changed.yearlyRates, base.yearly_rates, sizeof changed.yearlyRates);
    if (one.kind == TALVEK_SENSITIVITY_INFLATION) {
        for (int t = 1; t < TALVEK_YEAR_SLOTS; ++t) changed.yearlyRates[TALVEK_YEARLY_INFLATION + t] += one.size;
        changed.economic[TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_1_TO_10] += one.size;
        changed.economic[TALVEK_ECONOMIC_INDEXATION_RATE_YEARS_11_TO_110] += one.size;
    } else if (one.kind == TALVEK_SENSITIVITY_SALARY_GROWTH) {
        for (int t = 1; t < TALVEK_YEAR_SLOTS; ++t) changed.yearlyRates[TALVEK_YEARLY_SALARY_GROWTH + t] += one.size;
    } else if (one.kind == TALVEK_SENSITIVITY_MORTALITY) {
        for (double &q : changed.baseMortality) q = std::min(q * one.size, 1.0);
    }
    changed.assumptions.base_mortality = changed.baseMortality;
    changed.assumptions.economic_parameters = changed.economic;
    changed.assumptions.yearly_rates = changed.yearlyRates;
}

int32_t reruns(const TalvekRunDef &def) {
    int32_t count = 0;
    for (int32_t k = 0; k < def.sensitivity_count; ++k)
        if (def.sensitivities[k].kind != TALVEK_SENSITIVITY_DISCOUNT) ++count;
    return count;
}

// One sensitivity: a discount one revalues the base run's cash flows on the
// moved curve; the others run the engine again on changed assumptions (every
// job, no reports, no rows) and value its cash flows on the base curve.
int32_t valueSensitivity(const TalvekRunDef &def, const TalvekSensitivity &one, const ValuationSums &base,
                         const DiscountCurve &curve, int64_t memberTotal, int64_t progressBefore,
                         int64_t progressTotal, int32_t rerunNumber, TalvekSensitivityResult &out,
                         TalvekResults &rerun) {
    out.sensitivity = one;
    std::memset(&rerun, 0, sizeof rerun);
    if (one.kind == TALVEK_SENSITIVITY_DISCOUNT) {
        DiscountCurve moved;
        if (!curveOf(def.discount_curve_kind, def.discount_curve, def.assumptions.economic_parameters, one.size, moved,
                     rerun.message, sizeof rerun.message)) return TALVEK_ERROR_ARGUMENT;
        valueGroups(base, moved, out.present_values);
        return TALVEK_OK;
    }
    std::unique_ptr<ChangedAssumptions> changed(new ChangedAssumptions);
    changeAssumptions(*changed, def.assumptions, one);
    // a shift that takes a yearly rate to -1 or below has no projection
    if (!checkYearlyRates(changed->yearlyRates, "the changed basis", rerun.message, sizeof rerun.message))
        return TALVEK_ERROR_ARGUMENT;
    std::unique_ptr<ValuationSums> sums(new ValuationSums{});
    const EngineValuation valuation = engineValuationOf(*sums, curve, false, nullptr);
    DefinitionRun run{&changed->assumptions, false, &valuation, memberTotal, progressBefore, progressTotal};
    run.shareRun = rerunNumber;
    const int32_t status = runDefinition(def, run, rerun);
    if (status != TALVEK_OK) return status;
    sumEveryMember(*sums, rerun);
    valueGroups(*sums, curve, out.present_values);
    return TALVEK_OK;
}

// Hands the rows to the caller in memory it frees with talvek_release_valuation.
void handOverRows(const std::vector<TalvekMemberValues> &rows, TalvekValuation &valuation) {
    if (rows.empty()) return;
    void *copy = std::malloc(rows.size() * sizeof(TalvekMemberValues));
    if (copy == nullptr) throw std::bad_alloc();
    std::memcpy(copy, rows.data(), rows.size() * sizeof(TalvekMemberValues));
    valuation.members = static_cast<TalvekMemberValues *>(copy);
    valuation.member_count = static_cast<int64_t>(rows.size());
}

int32_t valueDefinition(const TalvekRunDef &def, TalvekResults &results, TalvekValuation &valuation) {
    DiscountCurve curve;
    if (!curveOf(def.discount_curve_kind, def.discount_curve, def.assumptions.economic_parameters, 0.0, curve,
                 results.message, sizeof results.message))
        return results.status = TALVEK_ERROR_ARGUMENT;
    std::memcpy(valuation.discount_factors, curve.factors, sizeof valuation.discount_factors);
    std::memcpy(valuation.mid_year_factors, curve.midYear, sizeof valuation.mid_year_factors);

    int64_t memberTotal = def.member_total;
    if (memberTotal <= 0 && def.progress != nullptr) countSourceLineReads(sourceOf(def), memberTotal);
    const int64_t progressTotal = memberTotal * (1 + reruns(def));

    std::unique_ptr<ValuationSums> sums(new ValuationSums{});
    std::vector<TalvekMemberValues> rows;
    const bool perMember = (def.valuation_options & TALVEK_VALUE_PER_MEMBER) != 0;
    const EngineValuation engine = engineValuationOf(*sums, curve, perMember, &rows);
    const DefinitionRun run{&def.assumptions, true, &engine, memberTotal, 0, progressTotal};
    const int32_t status = runDefinition(def, run, results);
    if (status != TALVEK_OK && status != TALVEK_STOPPED) return status;

    // a stopped run is valued as far as it went, and marked stopped
    sumEveryMember(*sums, results);
    std::memcpy(valuation.by_status, sums->byStatus, sizeof valuation.by_status);
    std::memcpy(valuation.accrued_cashflows, sums->accruedCashflows, sizeof valuation.accrued_cashflows);
    std::memcpy(valuation.one_year_cashflows, sums->oneYearCashflows, sizeof valuation.one_year_cashflows);
    valueGroups(*sums, curve, valuation.present_values);
    handOverRows(rows, valuation);
    if (status == TALVEK_STOPPED) return status;

    std::unique_ptr<TalvekResults> rerun(new TalvekResults);
    int64_t progressBefore = memberTotal;
    int32_t rerunNumber = 0;
    for (int32_t k = 0; k < def.sensitivity_count; ++k) {
        const TalvekSensitivity &one = def.sensitivities[k];
        if (one.kind != TALVEK_SENSITIVITY_DISCOUNT) ++rerunNumber;
        const int32_t sensitivityStatus =
            valueSensitivity(def, one, *sums, curve, memberTotal, progressBefore, progressTotal, rerunNumber,
                             valuation.sensitivities[k], *rerun);
        if (one.kind != TALVEK_SENSITIVITY_DISCOUNT) progressBefore += memberTotal;
        if (sensitivityStatus != TALVEK_OK) {
            // the base results stand; the sensitivities stop at the one that did not finish
            std::memset(&valuation.sensitivities[k], 0, sizeof valuation.sensitivities[k]);
            results.status = sensitivityStatus;
            results.stopped = sensitivityStatus == TALVEK_STOPPED ? 1 : 0;
            std::snprintf(results.message, sizeof results.message, "sensitivity %d: %.400s", static_cast<int>(k + 1),
                          rerun->message[0] != '\0' ? rerun->message : talvek_status_message(sensitivityStatus));
            return sensitivityStatus;
        }
        valuation.sensitivity_count = k + 1;
    }
    return TALVEK_OK;
}

// This process's pieces of every run talvek_run or talvek_value makes of
// the definition, each handed on as it is valued; nothing is summed here.
int32_t givePieces(const TalvekRunDef &def, bool ofValuation, TalvekResults &results) {
    DiscountCurve curve;
    if (ofValuation && !curveOf(def.discount_curve_kind, def.discount_curve, def.assumptions.economic_parameters,
                                0.0, curve, results.message, sizeof results.message))
        return results.status = TALVEK_ERROR_ARGUMENT;
    std::unique_ptr<ValuationSums> sums(new ValuationSums{});
    std::vector<TalvekMemberValues> rows; // stays empty: the rows travel in the images
    const bool perMember = (def.valuation_options & TALVEK_VALUE_PER_MEMBER) != 0;
    const EngineValuation engine = engineValuationOf(*sums, curve, perMember, &rows);
    DefinitionRun run{&def.assumptions, false, ofValuation ? &engine : nullptr, def.member_total, 0, 0};
    run.giving = true;
    int32_t status = runDefinition(def, run, results);
    if (status != TALVEK_OK || !ofValuation) return status;
    int32_t rerunNumber = 0;
    for (int32_t k = 0; k < def.sensitivity_count; ++k) {
        const TalvekSensitivity &one = def.sensitivities[k];
        if (one.kind == TALVEK_SENSITIVITY_DISCOUNT) continue; // revalues run 0: no run of its own
        ++rerunNumber;
        std::unique_ptr<ChangedAssumptions> changed(new ChangedAssumptions);
        changeAssumptions(*changed, def.assumptions, one);
        if (!checkYearlyRates(changed->yearlyRates, "the changed basis", results.message, sizeof results.message))
            return results.status = TALVEK_ERROR_ARGUMENT;
        std::unique_ptr<ValuationSums> rerunSums(new ValuationSums{});
        const EngineValuation valuation = engineValuationOf(*rerunSums, curve, false, nullptr);
        DefinitionRun rerun{&changed->assumptions, false, &valuation, def.member_total, 0, 0};
        rerun.giving = true;
        rerun.shareRun = rerunNumber;
        status = runDefinition(def, rerun, results);
        if (status != TALVEK_OK) {
            char said[sizeof results.message];
            std::memcpy(said, results.message, sizeof said);
            std::snprintf(results.message, sizeof results.message, "sensitivity %d: %.400s", static_cast<int>(k + 1),
                          said[0] != '\0' ? said : talvek_status_message(status));
            return status;
        }
    }
    return TALVEK_OK;
}

} // namespace

extern "C" {

TALVEK_API int32_t talvek_value_pieces(const TalvekRunDef *def, int32_t of_valuation, TalvekResults *results) {
    if (results == nullptr) return TALVEK_ERROR_ARGUMENT;
    std::memset(results, 0, sizeof *results);
    if (def == nullptr) return failRun(results, TALVEK_ERROR_ARGUMENT, "no definition is given");
    if (const char *problem = definitionProblem(*def)) return failRun(results, TALVEK_ERROR_ARGUMENT, problem);
    if (def->piece_exchange == nullptr || def->piece_exchange->give == nullptr)
        return failRun(results, TALVEK_ERROR_ARGUMENT, "the piece exchange or its give function is missing (null)");
    if (of_valuation != 0 && of_valuation != 1)
        return failRun(results, TALVEK_ERROR_ARGUMENT, "of_valuation is neither 0 nor 1");
    if (of_valuation == 1 && !checkValuation(*def, results->message, sizeof results->message))
        return results->status = TALVEK_ERROR_ARGUMENT;
    try {
        const int32_t status = givePieces(*def, of_valuation == 1, *results);
        // the counters and arrays belong to the joining process
        results->line_reads = results->members_done = results->error_count = results->unknown_statuses = 0;
        std::memset(results->member_counts, 0, sizeof results->member_counts);
        std::memset(results->decrement_counts, 0, sizeof results->decrement_counts);
        std::memset(results->benefit_cashflows, 0, sizeof results->benefit_cashflows);
        return status;
    } catch (...) {
        std::memset(results, 0, sizeof *results);
        return failRun(results, TALVEK_ERROR_MEMORY, "the run could not get the memory it needs");
    }
}

TALVEK_API int32_t talvek_value(const TalvekRunDef *def, TalvekResults *results, TalvekValuation *valuation) {
    if (results == nullptr || valuation == nullptr) return TALVEK_ERROR_ARGUMENT;
    std::memset(results, 0, sizeof *results);
    std::memset(valuation, 0, sizeof *valuation);
    if (def == nullptr) return failRun(results, TALVEK_ERROR_ARGUMENT, "no definition is given");
    if (const char *problem = definitionProblem(*def)) return failRun(results, TALVEK_ERROR_ARGUMENT, problem);
    if (!checkValuation(*def, results->message, sizeof results->message))
        return results->status = TALVEK_ERROR_ARGUMENT;
    if (def->piece_exchange != nullptr && def->piece_exchange->take == nullptr)
        return failRun(results, TALVEK_ERROR_ARGUMENT, "the piece exchange has no take function");
    try {
        return valueDefinition(*def, *results, *valuation);
    } catch (...) {
        // nothing may leave through a C interface: a failed allocation ends the run
        talvek_release_valuation(valuation);
        std::memset(results, 0, sizeof *results);
        std::memset(valuation, 0, sizeof *valuation);
        return failRun(results, TALVEK_ERROR_MEMORY, "the run could not get the memory it needs");
    }
}

TALVEK_API void talvek_release_valuation(TalvekValuation *valuation) {
    if (valuation == nullptr) return;
    std::free(valuation->members);
    valuation->members = nullptr;
    valuation->member_count = 0;
}

} // extern "C"
