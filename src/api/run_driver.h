// One valuation run over a member file: build the basis, read every line,
// value every member, write the listing and the error log.
//
// This is the core's internal interface. The exported GenerateLiabilities
// fills a request for the whole file; a host that values a file in several
// contiguous pieces at once (one run per piece, each with its own counters,
// result arrays and reports) fills the range, carried identity, header and
// stop fields itself, and joins the pieces in file order. The run keeps no
// state outside the call, so runs may go on in several threads at once.
#pragma once

#include <atomic>
#include <cstdint>

#include "api/host_arrays.h"
#include "progress/progress_display.h"

// The member number and status a line carries over to the next, byte for
// byte as the record holds them.
struct MemberIdentity {
    char memberNumber[11];
    char statusCode[6];
};

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

    // A piece of the member file: byteCount bytes from firstByte on (negative:
    // to the end). A piece must start right after a line feed.
    int64_t firstByte = 0;
    int64_t byteCount = -1;
    // Member number and status that the piece's first line carries over when
    // their columns are absent: those left by the lines before the piece.
    const MemberIdentity *carried = nullptr; // null: both empty
    bool listingHeaders = true; // write the two header lines (the first piece)
    // Asked at every progress check, beside the display; null: not asked.
    const std::atomic<bool> *stopRequested = nullptr;
};

void runValuation(const RunRequest &request);

// Adds one to a host counter, wrapping at 2^32 like the host's own integers.
inline void incrementCounter(int32_t *counter) {
    *counter = static_cast<int32_t>(static_cast<uint32_t>(*counter) + 1u);
}
