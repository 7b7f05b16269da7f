// Service bands: the lower service bound of each of the ten retirement factor
// rows, and the lookup of a member's row from whole years of service.
#include "basis/basis.h"

#include <cstdint>

namespace {

constexpr int kFactorRowLength = TALVEK_FACTORS_ROW_STRIDE; // row k of retirementFactors starts at element 22k

} // namespace

void buildServiceBandKeys(Basis &basis, const HostArrays &host) {
    basis.serviceBandKeys[0] = 0;
    for (int k = 1; k <= kServiceBands; ++k) {
        // A NaN or out-of-range bound saturates instead of overflowing.
        basis.serviceBandKeys[k] = truncToInt(host.retirementFactors[kFactorRowLength * k]);
    }
}

int32_t locateServiceBand(const Basis &basis, int32_t s) {
    // Bisection over slots 1..10. All comparisons are unsigned, so a negative
    // key or service counts as a very large one. Keys that are not increasing
    // (all equal included) are searched as decreasing; a service below the
    // first increasing key ends at 0, which readers take as band 1.
    const uint32_t service = static_cast<uint32_t>(s);
    const bool ascending = static_cast<uint32_t>(basis.serviceBandKeys[1]) <
                           static_cast<uint32_t>(basis.serviceBandKeys[kServiceBands]);
    int32_t lo = 0;
    int32_t hi = kServiceBands + 1;
    while (hi - lo > 1) {
        const int32_t mid = (lo + hi) / 2;
        const bool atOrAbove = service >= static_cast<uint32_t>(basis.serviceBandKeys[mid]);
        if (atOrAbove == ascending) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return lo;
}
