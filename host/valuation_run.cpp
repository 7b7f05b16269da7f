// `talvek run`: the basis and member file checked, the engine run into a
// temporary folder beside --out, the results put in place whole, and the
// run's record and summary.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include <signal.h>

#include "basis_file.h"
#include "commands.h"
#include "host_arrays.h"
#include "member_file_check.h"
#include "check_report.h"
#include "data_summary.h"
#include "member_input.h"
#include "progress_bar.h"
#include "result_files.h"
#include "results_folder.h"
#include "run_record.h"
#include "scenario_file.h"
#include "scenario_files.h"
#include "scenario_run.h"
#include "sha256.h"
#include "talvek/engine.h"
#include "valuation_files.h"

namespace fs = std::filesystem;

namespace {

// The files of the record before the valuation's: the three arrays, the
// listing and the error log.
constexpr size_t kFirstValuationFile = 5;

// The signal that asked the run to stop, 0 while none has.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopRequest(int signalNumber) { stopSignal = signalNumber; }

// Ctrl-C and SIGTERM both ask the run to stop: the engine's progress
// callback hands the request on at its next check, and the results of the
// lines before it are written whole, marked as stopped.
void installStopHandlers() {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = onStopRequest;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int32_t reportProgress(void *user, int64_t membersDone, int64_t memberTotal) {
    drawProgressBar(*static_cast<ProgressBar *>(user), membersDone, memberTotal);
    return stopSignal != 0 ? 1 : 0;
}

fs::path absoluteOf(const std::string &path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    return error ? fs::path(path) : absolute.lexically_normal();
}

const char *stopNameOf(int signalNumber) { return signalNumber == SIGTERM ? "SIGTERM" : "Ctrl-C"; }

// 0 every line valued; 3 lines rejected or of unknown status; 130 or 143 stopped.
int exitStatusOf(const TalvekResults &results, int signalNumber) {
    if (results.stopped != 0) return signalNumber == SIGTERM ? kExitTerminated : kExitStopped;
    const int64_t rejected = results.line_reads - results.members_done;
    return rejected > 0 || results.unknown_statuses > 0 ? kExitLinesRejected : kExitDone;
}

// Everything the run knows before the engine starts.
struct PreparedRun {
    PlanBasis basis;
    fs::path basisFile;
    fs::path memberFile;
    FileSnapshot memberBefore;
    ResultsFolder folder;
    MemberInput input;    // the member file checked, and converted where needed (member_input.h)
    bool checked = false; // false with --no-check: the engine reads the file itself
    fs::path scenarioFile;  // empty without --scenarios
    ScenarioFileSet scenarios;
};

// The member data checked before anything is written (member_input.cpp): 0,
// or the exit status of a refusal (its messages printed).
int checkMemberData(const RunOptions &options, PreparedRun &run) {
    if (options.noCheck) {
        if (libraryReadsFileAsItIs(run.basis)) return 0;
        std::fprintf(stderr, "talvek: --no-check hands the member file to the valuation as it is, but the basis's "
                             "[member_file] needs the check's conversion; nothing was run\n");
        return kExitRefused;
    }
    run.checked = true;
    return prepareMemberInput(run.basis, run.memberFile, options.memberFile, options.acceptAsRead, options.jobs,
                              run.input);
}

// The basis read, the member file and --out checked: 0, or the exit status
// of a refusal (its messages printed).
int prepareRun(const RunOptions &options, PreparedRun &run) {
    std::vector<std::string> problems;
    if (!readBasisFile(options.basisFile, options.basisFile, run.basis, problems)) {
        for (const std::string &problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
        std::fprintf(stderr, "talvek: the basis file %s was refused (%zu problem%s); nothing was run\n",
                     options.basisFile.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
        return kExitRefused;
    }
    run.basisFile = absoluteOf(options.basisFile);
    run.memberFile = absoluteOf(options.memberFile);
    std::string problem;
    if (!options.scenarioFile.empty()) {
        run.scenarioFile = absoluteOf(options.scenarioFile);
        if (!readScenarioFile(run.scenarioFile, options.scenarioFile, run.basis, run.scenarios, problem)) {
            std::fprintf(stderr, "talvek: %s; nothing was run\n", problem.c_str());
            return kExitRefused;
        }
    }
    if (!regularFileSnapshot(run.memberFile, "the member file", run.memberBefore, problem)) {
        std::fprintf(stderr, "talvek: %s: %s; nothing was run\n", options.memberFile.c_str(), problem.c_str());
        return kExitRefused;
    }
    const OutputChoice choice{options.outputDirectory, run.memberFile, run.basisFile, options.force};
    if (!chooseResultsFolder(choice, run.folder, problem)) {
        std::fprintf(stderr, "talvek: %s; nothing was run\n", problem.c_str());
        return kExitRefused;
    }
    // the folder is replaced whole: a scenario file inside it would be lost with the old results
    if (!run.scenarioFile.empty() && pathInside(run.scenarioFile, run.folder.out)) {
        std::fprintf(stderr, "talvek: the scenario file %s is inside --out %s, which the results replace; nothing "
                             "was run\n", options.scenarioFile.c_str(), run.folder.out.c_str());
        return kExitRefused;
    }
    return checkMemberData(options, run);
}

void fillRecord(const RunOptions &options, const PreparedRun &run, const TalvekResults &results,
                const std::string &started, RunRecord &record) {
    record.version = talvek_version();
    record.started = started;
    record.commandLine = options.commandLine;
    record.basis.path = run.basisFile.string();
    record.members.path = run.memberFile.string();
    record.valuationYear = run.basis.valuationYear;
    // the threads the engine used: one per core when none were asked for
    record.jobs = options.jobs > 0 ? options.jobs : static_cast<int32_t>(std::thread::hardware_concurrency());
    record.linesRead = results.line_reads;
    record.membersValued = results.members_done - results.unknown_statuses;
    record.rejected = results.line_reads - results.members_done;
    record.skipped = results.unknown_statuses;
    record.errors = results.error_count;
}

// The mark of a stopped run's files: "" for a whole run. A stop during the
// sensitivities leaves the base run whole (every line read) and the
// sensitivities before the one stopped.
std::string stopComment(const RunRecord &record, int64_t memberLines, size_t sensitivitiesAsked) {
    if (record.complete) return std::string();
    if (record.scenariosRun && record.linesRead == memberLines && record.scenariosValued < record.scenarioCount)
        return "STOPPED by " + record.stoppedBy + " during the scenarios: these results cover every line of the "
               "member file, but only " + std::to_string(record.scenariosValued) + " of the " +
               std::to_string(record.scenarioCount) + " scenarios were valued; see run.json";
    if (record.sensitivitiesRun && record.linesRead == memberLines && record.sensitivities.size() < sensitivitiesAsked)
        return "STOPPED by " + record.stoppedBy + " during the sensitivities: these results cover every line of the "
               "member file, but only " + std::to_string(record.sensitivities.size()) + " of the " +
               std::to_string(sensitivitiesAsked) + " sensitivities were valued; see run.json";
    return "STOPPED by " + record.stoppedBy + ": these results cover only the first " +
           std::to_string(record.linesRead) + " lines of the member file; see run.json";
}

// The CSVs, the record, and the folder put in place. False with the problem.
// With a scenario set (scenarios not null) the scenario files take the
// place of the valuation's.
bool finishResults(PreparedRun &run, const HostArraySet &arrays, const TalvekValuation *valuation,
                   const TalvekScenarioResults *scenarios, const ValuationChoice &choice, const std::string &comment,
                   RunRecord &record, std::string &problem) {
    if (!writeResultFiles(run.folder.temporary, arrays, comment, problem)) return false;
    record.files = {kMemberCountsFile, kDecrementCountsFile, kCashflowsFile, kListingFile, kErrorLogFile};
    if (valuation != nullptr &&
        !writeValuationFiles(run.folder.temporary, *valuation, choice, comment, record.files, problem))
        return false;
    if (scenarios != nullptr && !writeScenarioFiles(run.folder.temporary, run.scenarios, *scenarios,
                                                    record.scenarioCashflows, comment, record.files, problem))
        return false;
    if (run.checked && !writeMemberDataFiles(run.folder.temporary, run.input, run.basis)) {
        problem = "the data summary and data check files could not be written to " + run.folder.temporary.string();
        return false;
    }
    if (run.checked) {
        record.files.push_back(kDataSummaryFile);
        record.files.push_back(kDataCheckFile);
    }
    record.files.push_back(kRunRecordFile);
    if (!sha256OfFile(run.basisFile, record.basis.sha256, record.basis.size, problem)) return false;
    if (!sha256OfFile(run.memberFile, record.members.sha256, record.members.size, problem)) return false;
    record.ended = utcNow();
    if (!writeRunRecord(run.folder.temporary / kRunRecordFile, record, problem)) return false;
    return installResultsFolder(run.folder, problem);
}

// The summary of a run whose results are in place, and a line on standard
// error when lines were rejected.
void printSummary(const RunOptions &options, const PreparedRun &run, const TalvekResults &results,
                  int64_t memberLines, const HostArraySet &arrays, const TalvekValuation *valuation,
                  const TalvekScenarioResults *scenarios, const RunRecord &record) {
    RunFacts facts;
    facts.basisFile = options.basisFile;
    facts.memberFile = options.memberFile;
    facts.outputDirectory = run.folder.out;
    facts.memberLines = static_cast<int32_t>(memberLines);
    facts.membersRead = static_cast<int32_t>(results.members_done);
    facts.errorCount = static_cast<int32_t>(results.error_count);
    facts.unknownStatuses = static_cast<int32_t>(results.unknown_statuses);
    facts.stoppedByUser = results.stopped != 0;
    facts.stopSignal = record.stoppedBy;
    writeSummary(stdout, facts, arrays);
    if (valuation != nullptr || scenarios != nullptr) {
        const ValuationChoice choice{options.perMember, options.sensitivities};
        if (valuation != nullptr) writeValuationSummary(stdout, *valuation, choice, run.basis);
        if (scenarios != nullptr) writeScenarioSummary(stdout, run.scenarios, *scenarios, options.scenarioFile);
        std::string files;
        for (size_t i = kFirstValuationFile; i < record.files.size() && record.files[i] != kDataSummaryFile &&
                                             record.files[i] != kRunRecordFile;
             ++i)
            files += "  " + record.files[i];
        std::fprintf(stdout, "\nValuation results in %s:\n%s\n", run.folder.out.string().c_str(), files.c_str());
    }
    if (run.checked) {
        std::fprintf(stdout, "\n");
        printDataSummary(stdout, run.input.check.summary, run.basis, options.memberFile);
        std::fprintf(stdout, "\nThe data summary and every finding of the check in %s:\n  %s  %s\n",
                     run.folder.out.string().c_str(), kDataSummaryFile, kDataCheckFile);
    }
    std::fflush(stdout);
    if (record.exitStatus == kExitLinesRejected) {
        std::fprintf(stderr, "talvek: %lld line%s rejected and %lld member%s of unknown status; see %s\n",
                     static_cast<long long>(record.rejected), record.rejected == 1 ? "" : "s",
                     static_cast<long long>(record.skipped), record.skipped == 1 ? "" : "s",
                     (run.folder.out / kErrorLogFile).c_str());
    }
}

// The discount curve and the sensitivities of the basis, as the engine's
// definition takes them (both arrays must outlive the definition).
struct ValuationInputs {
    double curve[TALVEK_CURVE_SIZE] = {};
    TalvekSensitivity sensitivities[TALVEK_MAX_SENSITIVITIES] = {};
};

int32_t curveKindOf(CurveForm form) {
    if (form == CurveForm::SpotRates) return TALVEK_CURVE_SPOT_RATES;
    if (form == CurveForm::ForwardRates) return TALVEK_CURVE_FORWARD_RATES;
    return TALVEK_CURVE_BASIS;
}

void defineValuation(const RunOptions &options, const ValuationBasis &basis, ValuationInputs &inputs,
                     TalvekRunDef &def, RunRecord &record) {
    def.valuation_options = options.perMember ? TALVEK_VALUE_PER_MEMBER : 0;
    def.discount_curve_kind = curveKindOf(basis.curveForm);
    if (basis.curveForm != CurveForm::BasisRates) {
        for (int t = 1; t <= kCurveYears; ++t) inputs.curve[t] = basis.curve[t];
        def.discount_curve = inputs.curve;
    }
    record.presentValues = true;
    record.curveForm = curveFormName(basis.curveForm);
    record.curveTermsGiven = basis.termsGiven;
    record.perMember = options.perMember;
    record.sensitivitiesRun = options.sensitivities;
    if (!options.sensitivities) return;
    // the basis reader keeps the set within the engine's room
    const size_t count = std::min(basis.sensitivities.size(), size_t(TALVEK_MAX_SENSITIVITIES));
    for (size_t i = 0; i < count; ++i) {
        inputs.sensitivities[i].kind = static_cast<int32_t>(basis.sensitivities[i].kind);
        inputs.sensitivities[i].size = basis.sensitivities[i].size;
        record.sensitivities.emplace_back(sensitivityName(basis.sensitivities[i].kind),
                                          basis.sensitivities[i].size);
    }
    def.sensitivity_count = static_cast<int32_t>(count);
    def.sensitivities = inputs.sensitivities;
}

// The scenarios' curve in words, for the record.
std::string scenarioCurveDescription(const PreparedRun &run) {
    const ScenarioFileSet &set = run.scenarios;
    if (set.curveKind == TALVEK_CURVE_FORWARD_RATES) return "each scenario's forward rates by year (discount_rate)";
    if (set.curveKind == TALVEK_CURVE_SPOT_RATES) return "each scenario's spot rates by term (spot_rate)";
    const bool ownRates = set.columnGiven[kScenarioAnnuityDiscount1To10Column] ||
                          set.columnGiven[kScenarioAnnuityDiscount11To110Column];
    if (run.basis.valuation.curveForm == CurveForm::BasisRates && ownRates)
        return "each scenario's two annuity discount rates, in years 1 to 10 and 11 to 110";
    return curveDescription(run.basis) + ", in every scenario";
}

void recordScenarios(const RunOptions &options, const PreparedRun &run, RunRecord &record) {
    record.scenariosRun = true;
    record.scenarioFile.path = run.scenarioFile.string();
    record.scenarioFile.sha256 = run.scenarios.sha256;
    record.scenarioFile.size = run.scenarios.bytes;
    record.scenarioCount = scenarioCount(run.scenarios);
    record.scenarioCurve = run.scenarios.curveKind == TALVEK_CURVE_FORWARD_RATES ? "forward_rates"
                           : run.scenarios.curveKind == TALVEK_CURVE_SPOT_RATES  ? "spot_rates"
                                                                                 : "basis";
    record.scenarioCashflows = options.scenarioCashflows;
    record.curveDescription = scenarioCurveDescription(run);
}

// What talvek_value_scenarios allocated, released on every way out.
struct ScenarioRelease {
    TalvekScenarioResults *scenarios;
    ~ScenarioRelease() { talvek_release_scenarios(scenarios); }
};

// The per-member rows of talvek_value released on every way out.
struct ValuationRelease {
    TalvekValuation *valuation;
    ~ValuationRelease() { talvek_release_valuation(valuation); }
};

int valueIntoFolder(const RunOptions &options, PreparedRun &run, const std::string &started) {
    static HostArraySet arrays; // large: kept off the stack
    fillHostArrays(run.basis, arrays);
    const std::string memberPath = run.memberFile.string();
    const std::string listingPath = (run.folder.temporary / kListingFile).string();
    const std::string errorPath = (run.folder.temporary / kErrorLogFile).string();
    TalvekRunDef def = talvek_default_run_def();
    def.member_file = memberPath.c_str();
    def.listing_file = listingPath.c_str();
    def.error_file = errorPath.c_str();
    def.assumptions = engineAssumptions(arrays);
    def.jobs = options.jobs; // 0: one per core
    if (run.checked) useCheckedMembers(run.input, def, arrays); // the checked bytes, in memory
    int64_t memberLines = 0;
    talvek_count_line_reads(&def, &memberLines);
    def.member_total = memberLines;
    ProgressBar bar;
    def.progress = reportProgress;
    def.progress_user = &bar;

    static ValuationInputs inputs; // large: kept off the stack, as the two below
    static TalvekResults results;
    static TalvekValuation valuation;
    valuation = TalvekValuation{};
    ValuationRelease release{&valuation};
    RunRecord valuationRecord;
    const bool presentValues = !options.noPresentValues;
    if (presentValues) defineValuation(options, run.basis.valuation, inputs, def, valuationRecord);
    valuationRecord.curveDescription = curveDescription(run.basis);
    static TalvekScenarioResults scenarioResults;
    scenarioResults = TalvekScenarioResults{};
    ScenarioRelease scenarioRelease{&scenarioResults};
    const bool scenarios = !run.scenarioFile.empty();
    if (scenarios) recordScenarios(options, run, valuationRecord);

    startProgressBar(bar, memberLines);
    int32_t status = TALVEK_OK;
    if (scenarios)
        status = valueScenarioSet(def, run.scenarios, results, scenarioResults);
    else
        status = valueMemberFile(def, presentValues, results, valuation);
    endProgressBar(bar, status == TALVEK_OK);
    // a member file that changed is the cause of whatever else went wrong
    // with reading it, so it is looked at first
    FileSnapshot after;
    std::string problem;
    if (!regularFileSnapshot(run.memberFile, "the member file", after, problem) ||
        !(problem = fileChange(run.memberBefore, after)).empty()) {
        std::fprintf(stderr, "talvek: the member file %s changed during the run (%s): the results would not "
                             "match it and were not written; the results in %s are untouched\n",
                     memberPath.c_str(), problem.c_str(), run.folder.out.c_str());
        return kExitWriteFailed;
    }
    // a definition the engine refuses (a curve, as given or shifted by a
    // sensitivity, with a discount factor that is not a positive number) is
    // the basis's fault, not the machine's
    if (status == TALVEK_ERROR_ARGUMENT) {
        std::fprintf(stderr, "talvek: the valuation was refused: %s; the results in %s are untouched\n",
                     results.message, run.folder.out.c_str());
        return kExitRefused;
    }
    if (status != TALVEK_OK && status != TALVEK_STOPPED) {
        std::fprintf(stderr, "talvek: %s; the results in %s are untouched\n", results.message,
                     run.folder.out.c_str());
        return kExitWriteFailed;
    }
    takeResults(results, arrays);
    const int signalNumber = stopSignal;
    RunRecord record = valuationRecord;
    fillRecord(options, run, results, started, record);
    record.exitStatus = exitStatusOf(results, signalNumber);
    record.complete = results.stopped == 0;
    if (!record.complete) record.stoppedBy = stopNameOf(signalNumber);
    // the record lists the sensitivities valued: a stop ends them early
    const size_t sensitivitiesAsked = record.sensitivities.size();
    if (presentValues && size_t(std::max(valuation.sensitivity_count, 0)) < sensitivitiesAsked)
        record.sensitivities.resize(size_t(std::max(valuation.sensitivity_count, 0)));
    if (scenarios) record.scenariosValued = scenarioResults.values == nullptr ? 0 : scenarioResults.scenario_count;
    const std::string comment = stopComment(record, memberLines, sensitivitiesAsked);
    const TalvekValuation *values = presentValues && !scenarios ? &valuation : nullptr;
    const TalvekScenarioResults *scenarioValues = scenarios ? &scenarioResults : nullptr;
    const ValuationChoice choice{options.perMember, options.sensitivities};
    if (!finishResults(run, arrays, values, scenarioValues, choice, comment, record, problem)) {
        std::fprintf(stderr, "talvek: %s; the results in %s are untouched\n", problem.c_str(),
                     run.folder.out.c_str());
        return kExitWriteFailed;
    }

    printSummary(options, run, results, memberLines, arrays, values, scenarioValues, record);
    return record.exitStatus;
}

} // namespace

namespace {

// The options a scenario set cannot be valued with: "" when there is none.
std::string scenarioConflict(const RunOptions &options) {
    if (options.scenarioFile.empty()) return std::string();
    if (options.perMember) return "--per-member";
    if (options.sensitivities) return "--sensitivities";
    if (options.noPresentValues) return "--no-present-values";
    return std::string();
}

} // namespace

int runValuationCommand(const RunOptions &options) {
    const std::string conflict = scenarioConflict(options);
    if (!conflict.empty()) {
        std::fprintf(stderr, "talvek: --scenarios values the present values of every member under each scenario "
                             "and cannot be combined with %s; nothing was run\n", conflict.c_str());
        return kExitRefused;
    }
    // a stop asked from here on ends the run cleanly, with nothing half-written
    installStopHandlers();
    const std::string started = utcNow();
    static PreparedRun run; // holds the basis: kept off the stack
    run = PreparedRun{};
    const int refused = prepareRun(options, run);
    if (refused != 0) return refused;
    std::string problem;
    if (!openResultsFolder(run.folder, problem)) {
        std::fprintf(stderr, "talvek: %s; nothing was run\n", problem.c_str());
        closeResultsFolder(run.folder);
        return run.folder.busy ? kExitRefused : kExitWriteFailed;
    }
    const int status = valueIntoFolder(options, run, started);
    closeResultsFolder(run.folder);
    return status;
}
