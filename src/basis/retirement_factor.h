// The retirement factor a pension is scaled by when it starts: row
// `serviceBand` of the host's factor table, column of the age reached.
#pragma once

#include <cstdint>

#include "core/host_arrays.h"

// Element 22 * band + min(ageReached, lastRetirementAge) - firstRetirementAge + 1
// of retirementFactors. Band 0 (no row) reads row 1, a band beyond row 10 row
// 10; a column outside 1..21 gives 0 without reading the table.
double retirementFactorAt(const HostArrays &host, int32_t serviceBand, int32_t ageReached);
