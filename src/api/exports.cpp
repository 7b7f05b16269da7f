// The library's two exported functions.
#include "talvek_pension_model.h"

#include "api/c_locale.h"
#include "api/host_arrays.h"
#include "api/run_driver.h"
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

// Only the descriptor's data pointer is used: element i is the i-th stored
// element, whatever lower bound the host declared.
template <typename Element> Element *elementsOf(SAFEARRAY **array) {
    return static_cast<Element *>((*array)->pvData);
}

// A 16-bit scalar in a 32-bit slot: the low 16 bits, sign-extended.
int16_t lowWord(int32_t slot) { return static_cast<int16_t>(static_cast<uint16_t>(slot & 0xFFFF)); }

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
    RunRequest request{};
    request.memberFile = memberFile;
    request.listingFile = listingFile;
    request.errorFile = errorFile;
    request.valuationYear = lowWord(valuationYear);
    request.mortalityBaseYear = lowWord(mortalityBaseYear);
    request.delimiterCode = lowWord(delimiterCode);
    request.memberTotal = *memberTotal;
    request.membersDone = membersDone;
    request.errorCount = errorCount;

    HostArrays &host = request.host;
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
    host.memberCounts = elementsOf<double>(memberCounts);
    host.decrementCounts = elementsOf<double>(decrementCounts);
    host.yearlyRates = elementsOf<const double>(yearlyRates);
    host.benefitCashflows = elementsOf<double>(benefitCashflows);

    CLocaleScope locale;
    beginCLocale(locale);
    CancelSignalScope cancel;
    beginCancelSignal(cancel);
    ProgressDisplay display;
    const bool haveDisplay = openProgressDisplay(display);
    // without a display the run goes on, with no progress and no cancel
    request.display = haveDisplay ? &display : nullptr;

    runValuation(request);

    if (haveDisplay) display.release(display.state);
#if defined(_WIN32)
    // Every run ends its use of COM; the loader notifications began it.
    CoUninitialize();
#endif
    endCancelSignal(cancel);
    endCLocale(locale);
}
