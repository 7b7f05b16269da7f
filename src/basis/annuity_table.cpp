// Deferred annuity values for transfer values: for each exit age, the value
// of a deferred pension of 1 (scaled by the retirement factor), the best over
// the retirement ages, per service band and per sex and indexation.
#include "basis/basis.h"

#include <algorithm>
#include <cstdint>

namespace {

// Elements of the host arrays read here.
constexpr int kFirstRetirementAge = TALVEK_FACTORS_FIRST_AGE;  // retirementFactors
constexpr int kLastRetirementAge = TALVEK_FACTORS_LAST_AGE;    // retirementFactors
constexpr int kFactorRowLength = TALVEK_FACTORS_ROW_STRIDE;    // row k at 22k: service bound, then 21 factors
constexpr int kMaxRetirementAges = TALVEK_FACTORS_AGES;        // columns 1..21 of a factor row
constexpr int kSpouseFraction = TALVEK_PLAN_SPOUSE_FRACTION;
constexpr int kGuaranteePeriod = TALVEK_PLAN_GUARANTEE_PERIOD;
constexpr int kSpouseAgeDifference = TALVEK_DEMOGRAPHIC_SPOUSE_AGE_DIFFERENCE;
constexpr int kLastExitAge = kAnnuityFirstAge + kAnnuityAges - 1; // 60
constexpr int kLastTableAge = kMortalityAges - 1;                 // 120: dies within the year
constexpr int kLastComputedAge = kLastTableAge - 1;               // 119: last projected rate
constexpr int kLastYear = kProjectionSlots - 1;                   // 110

// What one unit-value recursion needs besides the exit and retirement ages.
struct AnnuityInputs {
    const MortalityTable *memberMortality; // the member's sex
    const MortalityTable *spouseMortality; // the other sex
    const double *discount;                // discountFactor, years since the exit age
    const double *indexation;              // indexationFactor, or nullptr for level payments
    bool maleMember;                       // spouse d years younger, else d years older
    int64_t spouseAgeDifference;           // d, whole years
    double guaranteePeriod;                // G, compared as a double
    double spouseFraction;                 // sf
};

// An age worked out in 64 bits, brought into the range the accessor handles
// (below 0 has no deaths, above 120 dies), so that no narrowing overflows.
double rateAt(const MortalityTable &table, int64_t age, int32_t year) {
    const int64_t held = std::clamp<int64_t>(age, -1, kMortalityAges);
    return mortalityRate(table, static_cast<int32_t>(held), year);
}

// Value at exit age Q of a pension of 1 a year from retirement age R, with
// the guarantee period and the reversionary spouse pension.
double unitValue(const AnnuityInputs &in, int64_t exitAge, int64_t retirementAge) {
    const int64_t d = in.spouseAgeDifference;
    const double endOfGuarantee = static_cast<double>(retirementAge) + in.guaranteePeriod + 1.0;

    double m = 1.0, mPrev = 1.0;         // member's survival now and before this year's step
    double s0 = 1.0, s1 = 1.0, s2 = 1.0; // spouse's survival now, one and two steps back
    double P = 0.0;                      // expected spouse pension in payment this year
    double A = 0.0;                      // accumulated value

    for (int64_t a = exitAge;; ++a) {
        // A man's cohort runs while his widow's age stays in the table, a
        // woman's while her own age does; either way the year index may not
        // pass 110 (a spouse age difference above 6 would need more years).
        const bool withinLoop = in.maleMember ? a - d <= kLastComputedAge : a <= kLastTableAge;
        const int64_t yearIndex = a - exitAge;
        if (!withinLoop || yearIndex > kLastYear) break;
        const int32_t y = static_cast<int32_t>(yearIndex);
        const int64_t spouseAge = in.maleMember ? a - d : a + d;
        const double ad = static_cast<double>(a);

        // Before retirement nothing is paid and no mortality applies.
        if (a <= retirementAge) continue;

        // Level payments have j = r = 1.
        double j = 1.0, r = 1.0;
        if (in.indexation != nullptr) {
            j = in.indexation[y];
            r = in.indexation[y] / in.indexation[std::max(y - 1, 0)];
        }
        const double D = in.discount[y];

        if (ad < endOfGuarantee) {
            // Guaranteed year: paid in full; both survivals carried along.
            mPrev = m;
            m = m * (1.0 - rateAt(*in.memberMortality, a, y));
            s2 = s1;
            s1 = s0;
            s0 = s0 * (1.0 - rateAt(*in.spouseMortality, spouseAge, y));
            A = A + j * D;
        } else if (ad == endOfGuarantee) {
            // First year after the guarantee: the spouses of the members who
            // died during it start to be paid.
            mPrev = m;
            m = m * (1.0 - rateAt(*in.memberMortality, a, y));
            s2 = s1;
            s1 = s0;
            s0 = s0 * (1.0 - rateAt(*in.spouseMortality, spouseAge, y));
            const double pay = j * (m + mPrev) / 2.0;
            P = P + j * (1.0 - (m + mPrev) / 2.0) * (s0 + s1) / 2.0 * in.spouseFraction;
            A = A + (pay + P) * D;
        } else if (in.maleMember ? a <= kLastComputedAge : a + d <= kLastComputedAge) {
            // Later year with both lives in the tables. A non-whole guarantee
            // never meets the year above and arrives here with P = 0.
            s2 = s1;
            s1 = s0;
            s0 = s0 * (1.0 - rateAt(*in.spouseMortality, spouseAge, y));
            if (s0 == 0.0) {
                P = 0.0;
            } else {
                P = ((s0 + s1) / 2.0) / ((s1 + s2) / 2.0) * r * P;
            }
            mPrev = m;
            m = m * (1.0 - rateAt(*in.memberMortality, a, y));
            const double pay = j * (mPrev + m) / 2.0;
            P = P + (mPrev - m) * j * (s0 + s1) / 2.0 * in.spouseFraction;
            A = A + (pay + P) * D;
        } else if (in.maleMember) {
            // The member is past 120 and counted as dead; the widow is paid
            // on. Only a spouse already dead a step back clears the pension.
            s2 = s1;
            s1 = s0;
            s0 = s0 * (1.0 - rateAt(*in.spouseMortality, spouseAge, y));
            if (s1 + s2 == 0.0) {
                P = 0.0;
            } else {
                P = ((s0 + s1) / 2.0) / ((s1 + s2) / 2.0) * r * P;
            }
            A = A + P * D;
        } else {
            // The husband is past 120 and counted as dead: the member's own
            // pension only; his survival is not advanced.
            mPrev = m;
            m = m * (1.0 - rateAt(*in.memberMortality, a, y));
            const double pay = j * (mPrev + m) / 2.0;
            A = A + pay * D;
            P = 0.0;
        }
    }
    return A;
}

AnnuityInputs inputsFor(const Basis &basis, const HostArrays &host, int variant) {
    const bool male = variant == MaleIndexed || variant == MaleNonIndexed;
    const bool indexed = variant == MaleIndexed || variant == FemaleIndexed;
    AnnuityInputs in{};
    in.memberMortality = &memberTable(basis, male);
    in.spouseMortality = &spouseTable(basis, male);
    in.discount = basis.discountFactor;
    in.indexation = indexed ? basis.indexationFactor : nullptr;
    in.maleMember = male;
    // Truncated and saturated; a difference beyond the 32-bit range cannot
    // overflow the 64-bit ages it is added to or taken from.
    in.spouseAgeDifference = truncToInt(host.demographicParameters[kSpouseAgeDifference]);
    in.guaranteePeriod = host.planParameters[kGuaranteePeriod];
    in.spouseFraction = host.planParameters[kSpouseFraction];
    return in;
}

} // namespace

void buildAnnuityTable(Basis &basis, const HostArrays &host) {
    const double *factors = host.retirementFactors;
    const double firstRetirementAge = factors[kFirstRetirementAge];
    const int64_t F = truncToInt(firstRetirementAge);
    const int64_t L = truncToInt(factors[kLastRetirementAge]);
    // At most 21 retirement ages (the columns of a factor row); none when the
    // last age lies before the first.
    const int columns = static_cast<int>(std::clamp<int64_t>(L - F + 1, 0, kMaxRetirementAges));

    double retirementAgeValue[kMaxRetirementAges + 1] = {}; // columns 1..21

    for (int v = MaleIndexed; v <= FemaleNonIndexed; ++v) {
        const AnnuityInputs in = inputsFor(basis, host, v);
        // Exit ages from 15 up to the year before the earliest retirement age,
        // compared as a double (a NaN runs none), and never past the table's 60.
        for (int Q = kAnnuityFirstAge; Q <= kLastExitAge && static_cast<double>(Q) < firstRetirementAge; ++Q) {
            for (int V = 1; V <= columns; ++V) {
                retirementAgeValue[V] = unitValue(in, Q, F + V - 1);
            }
            for (int k = 1; k <= kServiceBands; ++k) {
                double &best = basis.deferredAnnuityTable[k - 1][Q - kAnnuityFirstAge][v];
                for (int V = 1; V <= columns; ++V) {
                    // Strictly greater: a NaN never replaces, and a row of
                    // negative factors leaves the entry at 0.
                    const double candidate = factors[kFactorRowLength * k + V] * retirementAgeValue[V];
                    if (candidate > best) best = candidate;
                }
            }
        }
    }
}

bool deferredAnnuityEntry(int32_t serviceBand, int32_t age, AnnuityVariant variant, AnnuityEntry &entry) {
    // Band 0 has no row and reads band 1; a band above 10 cannot come from the
    // lookup and reads the last band, as a service above every key does.
    entry.band = std::min(readableServiceBand(serviceBand), kServiceBands) - 1;
    // Ages past the transfer-value range read 49; ages below the table have no value.
    const int32_t readAge = std::min(age, kAnnuityLastReadAge);
    entry.age = readAge - kAnnuityFirstAge;
    entry.variant = variant;
    return readAge >= kAnnuityFirstAge && variant >= MaleIndexed && variant <= FemaleNonIndexed;
}

double deferredAnnuityValue(const Basis &basis, int32_t serviceBand, int32_t age,
                            AnnuityVariant variant) {
    AnnuityEntry entry{};
    if (!deferredAnnuityEntry(serviceBand, age, variant, entry)) return 0.0;
    return basis.deferredAnnuityTable[entry.band][entry.age][entry.variant];
}
