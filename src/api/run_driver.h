// One valuation run over a member file: build the basis, read every line,
// value every member, write the listing and the error log.
#pragma once

#include <cstdint>

#include "api/host_arrays.h"
#include "progress/progress_display.h"

struct RunRequest {
    const char *memberFile;
    const char *listingFile;
    const char *errorFile;
    int16_t valuationYear;
    int16_t mortalityBaseYear;
    int16_t delimiterCode;
    int32_t memberTotal;      // read once, for the progress text and bar
    int32_t *membersDone;     // only ever incremented
    int32_t *errorCount;      // only ever incremented
    HostArrays host;
    ProgressDisplay *display; // null: run without a display
};

void runValuation(const RunRequest &request);

// Adds one to a host counter, wrapping at 2^32 like the host's own integers.
inline void incrementCounter(int32_t *counter) {
    *counter = static_cast<int32_t>(static_cast<uint32_t>(*counter) + 1u);
}
