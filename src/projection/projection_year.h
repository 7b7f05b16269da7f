// Small reads shared by the valuations of members already out of service:
// the length of the projection, mortality at an attained age that may lie
// outside the table, and the window of bridge-pension ages.
#pragma once

#include <algorithm>
#include <cstdint>

#include "basis/basis.h"

// Years U = 1 .. result - 1 are projected: 121 - youngerAge, but never past
// the last slot of a result block (a spouse younger than 10 would run beyond).
inline int32_t boundedProjectionYears(int64_t projectionYears) {
    return static_cast<int32_t>(std::min<int64_t>(projectionYears, kProjectionSlots));
}

// Death probability at an attained age computed in 64 bits: ages beyond the
// 32-bit range are as far outside the table as their sign says.
inline double mortalityAt(const MortalityTable &table, int64_t age, int32_t year) {
    const int64_t bounded = std::clamp<int64_t>(age, -1, kMortalityAges);
    return mortalityRate(table, static_cast<int32_t>(bounded), year);
}

// Bridge pensions are paid in year U when bridgeStartAge - 1 < age + U <=
// bridgeEndAge + 1, compared as reals.
inline bool insideBridgeAges(double bridgeStartAge, double bridgeEndAge, int64_t ageReached) {
    const double reached = static_cast<double>(ageReached);
    return bridgeStartAge - 1.0 < reached && reached <= bridgeEndAge + 1.0;
}
