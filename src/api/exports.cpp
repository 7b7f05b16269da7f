// The library's two exported functions: an adapter over the engine run that
// gives a legacy host what it has always had: its arrays and counters added
// to, the C locale, Ctrl-C handled for the length of the call, the progress
// dialog (or the terminal's bar), and the empty scratch file.
#include "talvek_pension_model.h"

#include <cstdio>

#include "api/c_locale.h"
#include "core/host_arrays.h"
#include "engine/engine_run.h"
#include "input/line_reader.h"
#include "progress/cancel_signal.h"
#include "progress/progress_display.h"

#if defined(_WIN32)
#include <objbase.h>
// Exported by the .def file. A host may call with the stack aligned to 4
// bytes only: the entry points realign it for the SSE2 code behind them.
#define TALVEK_EXPORT __attribute__((force_align_arg_pointer))
#else
#define TALVEK_EXPORT __attribute__((visibility("default")))
#endif

namespace {

constexpr const char *kScratchFile = "testoutput.txt";

// Only the descriptor's data pointer is used: element i is the i-th stored
// element, whatever lower bound the host declared.
template <typename Element> Element *elementsOf(SAFEARRAY **array) {
    return static_cast<Element *>((*array)->pvData);
}

// A 16-bit scalar in a 32-bit slot: the low 16 bits, sign-extended.
int16_t lowWord(int32_t slot) { return static_cast<int16_t>(static_cast<uint16_t>(slot & 0xFFFF)); }

// What the legacy host sees of a run besides its arrays: the display.
struct LegacyRun {
    ProgressDisplay *display; // null: run without a display
    int32_t memberTotal;      // the host's count, read once
};

void startDisplay(void *context) {
    const LegacyRun &run = *static_cast<const LegacyRun *>(context);
    if (run.display == nullptr) return;
    run.display->setTitle(run.display->state, kProgressTitle);
    run.display->setCancelMessage(run.display->state, kCancelMessage);
    run.display->start(run.display->state);
    wchar_t text[kProgressLineChars];
    formatProgressText(run.memberTotal, text);
    run.display->setLine(run.display->state, text);
}

// A progress check: the bar shows the host's counter, and the display says
// whether the user asked to stop (the Cancel button, or Ctrl-C).
bool checkDisplay(void *context, int64_t membersDone, int64_t memberTotal) {
    ProgressDisplay *display = static_cast<const LegacyRun *>(context)->display;
    if (display == nullptr) return false;
    display->setProgress(display->state, static_cast<int32_t>(membersDone), static_cast<int32_t>(memberTotal));
    return display->hasUserCancelled(display->state);
}

void stopDisplay(void *context) {
    ProgressDisplay *display = static_cast<const LegacyRun *>(context)->display;
    if (display != nullptr) display->stop(display->state);
}

// Adds a run's count to a host counter, wrapping at 2^32 like the host's own
// integers.
void addToCounter(int32_t *counter, int64_t count) {
    *counter = static_cast<int32_t>(static_cast<uint32_t>(*counter) + static_cast<uint32_t>(count));
}

} // namespace

extern "C" TALVEK_EXPORT int32_t TALVEK_CALL CountInputData(const char *path, int32_t *count) {
    return countLineReads(path, count);
}

extern "C" TALVEK_EXPORT void TALVEK_CALL GenerateLiabilities(
    const char *memberFile, const char *listingFile, const char *errorFile, int32_t valuationYear,
    int32_t *memberTotal, int32_t *membersDone, int32_t *errorCount, int16_t * /*statusWord*/,
    SAFEARRAY **baseMortality, int32_t mortalityBaseYear, SAFEARRAY **mortalityImprovement,
    SAFEARRAY **columnMap, int32_t delimiterCode, SAFEARRAY **statusCodes,
    SAFEARRAY **planParameters, SAFEARRAY **retirementFactors, SAFEARRAY **demographicParameters,
    SAFEARRAY **economicParameters, SAFEARRAY **retirementRates, SAFEARRAY **disabilityRates,
    SAFEARRAY **withdrawalRates, SAFEARRAY **salaryScale, SAFEARRAY **memberCounts,
    SAFEARRAY **decrementCounts, SAFEARRAY **yearlyRates, SAFEARRAY **benefitCashflows) {
    EngineRequest request{};
    request.source = MemberSource{memberFile, nullptr, 0};
    request.listingFile = listingFile;
    request.errorFile = errorFile;
    request.valuationYear = lowWord(valuationYear);
    request.mortalityBaseYear = lowWord(mortalityBaseYear);
    request.delimiterCode = lowWord(delimiterCode);
    // the same pieces as every other run, one after another on this thread
    request.jobs = 1;
    request.pieceBytes = TALVEK_PIECE_BYTES;
    request.memberTotal = *memberTotal;
    request.checkBase = *membersDone;

    HostArrays &host = request.assumptions;
    host.baseMortality = elementsOf<const double>(baseMortality);
    host.mortalityImprovement = elementsOf<const double>(mortalityImprovement);
    host.columnMap = elementsOf<const int16_t>(columnMap);
    host.statusCodes = elementsOf<const char *const>(statusCodes);
    host.planParameters = elementsOf<const double>(planParameters);
    host.retirementFactors = elementsOf<const double>(retirementFactors);
    host.demographicParameters = elementsOf<const double>(demographicParameters);
    host.economicParameters = elementsOf<const double>(economicParameters);
    host.retirementRates = elementsOf<const double>(retirementRates);
    host.disabilityRates = elementsOf<const double>(disabilityRates);
    host.withdrawalRates = elementsOf<const double>(withdrawalRates);
    host.salaryScale = elementsOf<const double>(salaryScale);
    host.yearlyRates = elementsOf<const double>(yearlyRates);
    request.memberCounts = elementsOf<double>(memberCounts);
    request.decrementCounts = elementsOf<double>(decrementCounts);
    request.benefitCashflows = elementsOf<double>(benefitCashflows);

    CLocaleScope locale;
    beginCLocale(locale);
    CancelSignalScope cancel;
    beginCancelSignal(cancel);
    // Every run leaves an empty scratch file in the current directory.
    std::FILE *scratch = std::fopen(kScratchFile, "w");
    ProgressDisplay display;
    const bool haveDisplay = openProgressDisplay(display);
    // without a display the run goes on, with no progress and no cancel
    LegacyRun legacy{haveDisplay ? &display : nullptr, *memberTotal};
    request.hooks = RunHooks{&legacy, startDisplay, checkDisplay, stopDisplay};

    try {
        EngineOutcome outcome;
        runEngine(request, outcome);
        // The counters grow by what the run counted. A report that failed
        // cannot be told to this host, whose call has no result: the arrays
        // stay complete, as they always were.
        addToCounter(membersDone, outcome.membersDone);
        addToCounter(errorCount, outcome.errorCount);
    } catch (...) {
        // nothing may leave through the host's call: a run without memory ends here
    }

    if (scratch != nullptr) std::fclose(scratch);
    if (haveDisplay) display.release(display.state);
#if defined(_WIN32)
    // Every run ends its use of COM; the loader notifications began it.
    CoUninitialize();
#endif
    endCancelSignal(cancel);
    endCLocale(locale);
}
