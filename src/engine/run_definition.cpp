#include "engine/run_definition.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "engine/worker_threads.h"
#include "input/line_reader.h"
#include "projection/valuation.h"

namespace {


// With one job the progress callback is also asked every this many lines
// read, so that a stop is heard in a stretch of rejected lines.
constexpr int32_t kLinesPerCheck = 1000;

void ignoreStart(void *) {}
void ignoreEnd(void *) {}

// The caller's callback, asked as the run goes.
// A run that is one of several shows its members done after those of the
// runs before it, against the total of all of them.
struct CallerProgress {
    TalvekProgressFn progress;
    void *user;
    int64_t before;
    int64_t total; // 0: the run's own
    int64_t scale; // progress of one member done
};

bool askCaller(void *context, int64_t membersDone, int64_t memberTotal) {
    const CallerProgress &caller = *static_cast<const CallerProgress *>(context);
    if (caller.progress == nullptr) return false;
    const int64_t total = caller.total > 0 ? caller.total : memberTotal;
    return caller.progress(caller.user, caller.before + membersDone * caller.scale, total) != 0;
}

// The widest instruction set this machine works the lanes of a block of
// scenarios with, or the one TALVEK_LANES names (portable, avx2, avx512)
// when the machine runs it: every path gives the same bytes, so the choice
// is one of speed only (and of which path a check exercises).
LanePath chosenLanePath() {
    const char *asked = std::getenv("TALVEK_LANES");
    if (asked != nullptr) {
        const LanePath named = std::strcmp(asked, "avx512") == 0 ? LanePath::avx512
                               : std::strcmp(asked, "avx2") == 0 ? LanePath::avx2
                                                                  : LanePath::portable;
        if (lanePathRuns(named)) return named;
    }
    if (lanePathRuns(LanePath::avx512)) return LanePath::avx512;
    if (lanePathRuns(LanePath::avx2)) return LanePath::avx2;
    return LanePath::portable;
}

bool fitsInt16(int32_t value) {
    return value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max();
}

bool reservedAreZero(const TalvekRunDef &def) {
    if (def.reserved_int != 0 || def.assumptions.reserved != 0) return false;
    for (uint64_t value : def.reserved)
        if (value != 0) return false;
    return true;
}

} // namespace

const char *definitionProblem(const TalvekRunDef &def) {
    // versions 3 and 4 added functions and a field in reserved room: a
    // definition of version 2 is the same record
    if (def.struct_size != sizeof(TalvekRunDef) || def.version < 2 || def.version > TALVEK_ENGINE_VERSION)
        return "the definition was not made by talvek_default_run_def of this version";
    if (!reservedAreZero(def)) return "a reserved field of the definition is not 0";
    if (def.member_bytes == nullptr && def.member_file == nullptr) return "no member file is given";
    if (def.member_bytes != nullptr && def.member_byte_count < 0) return "member_byte_count is negative";
    if (def.jobs < 0) return "jobs is negative";
    const TalvekAssumptions &a = def.assumptions;
    if (!fitsInt16(a.valuation_year) || !fitsInt16(a.mortality_base_year))
        return "a calendar year lies outside -32768..32767";
    if (!fitsInt16(a.delimiter_code)) return "delimiter_code lies outside -32768..32767";
    const void *arrays[] = {a.base_mortality,     a.mortality_improvement, a.column_map,
                            a.status_codes,       a.plan_parameters,       a.retirement_factors,
                            a.demographic_parameters, a.economic_parameters, a.retirement_rates,
                            a.disability_rates,   a.withdrawal_rates,      a.salary_scale,
                            a.yearly_rates};
    for (const void *array : arrays)
        if (array == nullptr) return "an assumption array is missing (null)";
    if (def.limit_future_service != 0 && def.limit_future_service != 1)
        return "limit_future_service is neither 0 nor 1";
    // NaN fails the test as well: a limit must be a number of years
    if (def.limit_future_service == 1 && !(def.future_service_years >= 0.0))
        return "future_service_years is negative or not a number";
    if (def.piece_exchange != nullptr && def.piece_exchange->owns == nullptr)
        return "the piece exchange has no owns function";
    return nullptr;
}

MemberSource sourceOf(const TalvekRunDef &def) {
    if (def.member_bytes != nullptr)
        return MemberSource{nullptr, reinterpret_cast<const unsigned char *>(def.member_bytes),
                            def.member_byte_count};
    return MemberSource{def.member_file, nullptr, 0};
}

namespace {

HostArrays assumptionsOf(const TalvekAssumptions &a) {
    HostArrays host{};
    host.baseMortality = a.base_mortality;
    host.mortalityImprovement = a.mortality_improvement;
    host.columnMap = a.column_map;
    host.statusCodes = a.status_codes;
    host.planParameters = a.plan_parameters;
    host.retirementFactors = a.retirement_factors;
    host.demographicParameters = a.demographic_parameters;
    host.economicParameters = a.economic_parameters;
    host.retirementRates = a.retirement_rates;
    host.disabilityRates = a.disability_rates;
    host.withdrawalRates = a.withdrawal_rates;
    host.salaryScale = a.salary_scale;
    host.yearlyRates = a.yearly_rates;
    return host;
}

} // namespace

int32_t failRun(TalvekResults *results, int32_t status, const char *message) {
    if (results != nullptr) {
        results->status = status;
        std::snprintf(results->message, sizeof results->message, "%s", message);
    }
    return status;
}

int32_t runDefinition(const TalvekRunDef &def, const DefinitionRun &run, TalvekResults &results) {
    const MemberSource source = sourceOf(def);
    int64_t memberTotal = run.memberTotal > 0 ? run.memberTotal : def.member_total;
    if (memberTotal <= 0 && def.progress != nullptr) countSourceLineReads(source, memberTotal);

    CallerProgress caller{def.progress, def.progress_user, run.progressBefore, run.progressTotal,
                          run.progressScale};
    EngineRequest request{};
    request.source = source;
    request.listingFile = run.reports ? def.listing_file : nullptr;
    request.errorFile = run.reports ? def.error_file : nullptr;
    request.assumptions = assumptionsOf(*run.assumptions);
    request.valuationYear = static_cast<int16_t>(def.assumptions.valuation_year);
    request.mortalityBaseYear = static_cast<int16_t>(def.assumptions.mortality_base_year);
    request.delimiterCode = static_cast<int16_t>(def.assumptions.delimiter_code);
    const int32_t jobs = def.jobs > 0 ? def.jobs : machineCores();
    request.jobs = jobs < kMostThreads ? jobs : kMostThreads;
    request.pieceBytes = TALVEK_PIECE_BYTES;
    request.memberTotal = memberTotal;
    request.checkBase = 0;
    request.linesPerCheck = kLinesPerCheck;
    request.hooks = RunHooks{&caller, ignoreStart, askCaller, ignoreEnd};
    request.attribution = ServiceAttribution{def.limit_future_service == 1, def.future_service_years};
    request.valuation = run.valuation;
    std::unique_ptr<ScenarioBlock> block;
    if (run.laneAssumptions != nullptr) {
        block.reset(new (std::nothrow) ScenarioBlock{});
        if (!block) return failRun(&results, TALVEK_ERROR_MEMORY, "not enough memory to start the run");
        for (int l = 0; l < kScenarioLanes; ++l) block->assumptions[l] = assumptionsOf(*run.laneAssumptions[l]);
        block->sums = run.blockSums;
        block->path = chosenLanePath();
        request.scenarios = block.get();
    }
    PieceShare share{def.piece_exchange, run.shareRun, run.giving};
    if (def.piece_exchange != nullptr) request.share = &share;
    request.memberCounts = results.member_counts;
    request.decrementCounts = results.decrement_counts;
    request.benefitCashflows = results.benefit_cashflows;

    std::unique_ptr<EngineOutcome> outcome(new (std::nothrow) EngineOutcome);
    if (!outcome) return failRun(&results, TALVEK_ERROR_MEMORY, "not enough memory to start the run");
    runEngine(request, *outcome);
    results.status = outcome->status;
    results.stopped = outcome->stopped ? 1 : 0;
    std::memcpy(results.message, outcome->message, sizeof results.message);
    results.message[sizeof results.message - 1] = '\0';
    results.line_reads = outcome->lineReads;
    results.members_done = outcome->membersDone;
    results.error_count = outcome->errorCount;
    results.unknown_statuses = outcome->unknownStatuses;
    return outcome->status;
}

