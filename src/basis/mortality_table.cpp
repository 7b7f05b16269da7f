// Generational mortality: the host's one-year base rates carried forward by
// the yearly improvement rates into every projection year, one table per sex.
#include "basis/basis.h"

#include <cstdint>

namespace {

constexpr int kFemaleOffset = TALVEK_MORTALITY_FEMALE_OFFSET; // female age x at element x + 121
constexpr int kFirstComputedAge = 1;
constexpr int kLastComputedAge = TALVEK_MORTALITY_OLDEST_AGE;

// One sex's table. Row 0 has no deaths and row 120 dies within the year,
// whatever the host holds at those elements; rows 1..119 are projected.
void buildOneTable(MortalityTable &table, const double *baseMortality,
                   const double *mortalityImprovement, int32_t projectionOffset, int elementOffset) {
    for (int32_t y = 0; y < kProjectionSlots; ++y) {
        table[0][y] = 0.0;
        for (int x = kFirstComputedAge; x <= kLastComputedAge; ++x) {
            const int element = x + elementOffset;
            // The power first, then the base rate: the result is stored as it
            // comes, even above 1 or below 0.
            table[x][y] = integerPower(1.0 - mortalityImprovement[element], projectionOffset + y) *
                          baseMortality[element];
        }
        table[kMortalityAges - 1][y] = 1.0;
    }
}

} // namespace

double integerPower(double x, int32_t n) {
    // The count as unsigned: the most negative n has no positive int32 twin.
    uint32_t m = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
    double result = 1.0;
    for (;;) {
        if (m % 2u == 1u) result *= x;
        m /= 2u;
        if (m == 0u) break;
        x *= x;
    }
    // No special case for 0 to a negative power: the division gives an infinity.
    return n < 0 ? 1.0 / result : result;
}

void buildMortalityTables(Basis &basis, const HostArrays &host, int16_t valuationYear,
                          int16_t mortalityBaseYear) {
    // Years earlier than the base year give negative powers, i.e. rates that
    // undo the improvement.
    const int32_t projectionOffset =
        static_cast<int32_t>(valuationYear) - static_cast<int32_t>(mortalityBaseYear);
    buildOneTable(basis.maleMortality, host.baseMortality, host.mortalityImprovement,
                  projectionOffset, 0);
    buildOneTable(basis.femaleMortality, host.baseMortality, host.mortalityImprovement,
                  projectionOffset, kFemaleOffset);
}
