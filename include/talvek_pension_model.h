/* Talvek Pension Model: the library's C interface.
 *
 * A host calls CountInputData on the member file, zeroes its result arrays and
 * counters, and calls GenerateLiabilities once for the whole valuation run.
 * Array arguments are OLE Automation arrays passed by reference; only their data
 * pointer is used, and element i is the i-th stored element counted from 0,
 * whatever lower bound the host declared. */
#ifndef TALVEK_PENSION_MODEL_H
#define TALVEK_PENSION_MODEL_H

#include <stdint.h>

#if defined(_WIN32)
#include <oaidl.h>
#define TALVEK_CALL __stdcall
#else
#define TALVEK_CALL
/* Stand-in with the OLE Automation layout, so that a host filling descriptors
 * the platform's way works unchanged. */
typedef struct {
    uint32_t cElements;
    int32_t lLbound;
} SAFEARRAYBOUND;
typedef struct {
    uint16_t cDims;
    uint16_t fFeatures;
    uint32_t cbElements;
    uint32_t cLocks;
    void *pvData;
    SAFEARRAYBOUND rgsabound[1];
} SAFEARRAY;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Counts the line reads of the member file (199 characters per read at most).
 * Returns 0, or the result of closing the file. An unreadable file counts 0. */
int32_t TALVEK_CALL CountInputData(const char *path, int32_t *count);

/* Values every member of memberFile and adds the expected numbers, events and
 * cash flows into memberCounts, decrementCounts and benefitCashflows. The
 * three 16-bit scalars (valuationYear, mortalityBaseYear, delimiterCode) arrive
 * as int32_t; only their low 16 bits count, sign-extended. columnMap holds
 * int16_t elements, statusCodes char* elements, every other array doubles. */
void TALVEK_CALL GenerateLiabilities(
    const char *memberFile, const char *listingFile, const char *errorFile,
    int32_t valuationYear, int32_t *memberTotal, int32_t *membersDone, int32_t *errorCount,
    int16_t *statusWord, SAFEARRAY **baseMortality, int32_t mortalityBaseYear,
    SAFEARRAY **mortalityImprovement, SAFEARRAY **columnMap, int32_t delimiterCode,
    SAFEARRAY **statusCodes, SAFEARRAY **planParameters, SAFEARRAY **retirementFactors,
    SAFEARRAY **demographicParameters, SAFEARRAY **economicParameters,
    SAFEARRAY **retirementRates, SAFEARRAY **disabilityRates, SAFEARRAY **withdrawalRates,
    SAFEARRAY **salaryScale, SAFEARRAY **memberCounts, SAFEARRAY **decrementCounts,
    SAFEARRAY **yearlyRates, SAFEARRAY **benefitCashflows);

#ifdef __cplusplus
}
#endif

#endif
