// A valuation run split over several threads: the member file is cut into
// contiguous pieces, each valued by the core's internal run interface with
// its own counters, results and reports, and the pieces are joined in file
// order into what one call of GenerateLiabilities over the whole file gives.
#pragma once

#include <string>

#include "host_arrays.h"

// Values the member file in up to `jobs` pieces at once. The results are
// added into `arrays` and the counters; the listing and error log are written
// whole. Ctrl-C (through requestParallelStop) stops every piece at its next
// progress check. Returns false when the member file cannot be read.
bool runInParallel(HostArraySet &arrays, const std::string &memberFile, const std::string &listingFile,
                   const std::string &errorFile, int jobs, RunCounters &counters);

// Asks every piece of a parallel run to stop; safe inside a signal handler.
void requestParallelStop();
bool parallelStopRequested();
