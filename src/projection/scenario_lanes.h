// The amounts of a block of economic scenarios at once, side by side, each
// in the three attributions of service of a valuation. A member's counts and
// decrements depend on neither the scenario nor the attribution, so they are
// projected once; only the amounts are carried in lanes. Every lane's
// arithmetic is the plain amount's, one IEEE operation for one and in the
// same order, so lane (a, l) is the same bytes as a valuation of scenario l
// in attribution a. The parts that do not depend on the attribution (the
// indexed pensions, the salaries, the ceilings) are carried in one lane per
// scenario (ScenarioValues) and meet each attribution's lanes.
#pragma once

#include <cstdint>
#include <type_traits>

#include "projection/service_lanes.h"

constexpr int kScenarioLanes = 8; // scenarios of a block

// The instruction sets the lanes can be worked with: the portable one of the
// build's target, AVX2 (four doubles a register) and AVX-512 (eight), on x86
// outside Windows, whose compilers do not keep the stack aligned for the
// wider registers. Every path gives the same bytes.
enum class LanePath { portable, avx2, avx512 };
#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32) && defined(__GNUC__)
#define TALVEK_X86_LANES 1
#else
#define TALVEK_X86_LANES 0
#endif
constexpr int kLaneAmounts = kServiceLanes * kScenarioLanes;

// Element a * kScenarioLanes + l: attribution a, scenario l of the block.
constexpr int laneOf(int attribution, int scenario) { return attribution * kScenarioLanes + scenario; }

// What does not depend on the service attributed (the indexed pensions, the
// salaries and ceilings, the yearly factors): one lane per scenario.
struct alignas(64) ScenarioValues {
    double v[kScenarioLanes];

    ScenarioValues() = default;
    // A count or an amount of no scenario: the same in every lane (each
    // element set once: these are built in every member-year).
    constexpr ScenarioValues(double value) {
        for (int l = 0; l < kScenarioLanes; ++l) v[l] = value;
    }
};

// What does: one lane per scenario and attribution.
struct alignas(64) ScenarioLanes {
    double v[kLaneAmounts];

    ScenarioLanes() = default;
    constexpr ScenarioLanes(double value) {
        for (int i = 0; i < kLaneAmounts; ++i) v[i] = value;
    }
    // Each scenario's value, the same in the three attributions.
    constexpr ScenarioLanes(const ScenarioValues &values) {
        for (int k = 0; k < kServiceLanes; ++k)
            for (int l = 0; l < kScenarioLanes; ++l) v[laneOf(k, l)] = values.v[l];
    }
};

// One IEEE operation per lane, a scenario's value meeting each of its
// attributions' lanes; a plain number meets every lane.
#define TALVEK_LANE_OPERATOR(op)                                                                            \
    inline ScenarioValues operator op(const ScenarioValues &a, const ScenarioValues &b) {                   \
        ScenarioValues r;                                                                                   \
        for (int l = 0; l < kScenarioLanes; ++l) r.v[l] = a.v[l] op b.v[l];                                 \
        return r;                                                                                           \
    }                                                                                                       \
    inline ScenarioValues operator op(const ScenarioValues &a, double b) { return a op ScenarioValues(b); } \
    inline ScenarioValues operator op(double a, const ScenarioValues &b) { return ScenarioValues(a) op b; } \
    inline ScenarioLanes operator op(const ScenarioLanes &a, const ScenarioLanes &b) {                      \
        ScenarioLanes r;                                                                                    \
        for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = a.v[i] op b.v[i];                                   \
        return r;                                                                                           \
    }                                                                                                       \
    inline ScenarioLanes operator op(const ScenarioLanes &a, double b) { return a op ScenarioLanes(b); }    \
    inline ScenarioLanes operator op(double a, const ScenarioLanes &b) { return ScenarioLanes(a) op b; }    \
    inline ScenarioLanes operator op(const ScenarioValues &a, const ScenarioLanes &b) {                     \
        ScenarioLanes r;                                                                                    \
        for (int k = 0; k < kServiceLanes; ++k)                                                             \
            for (int l = 0; l < kScenarioLanes; ++l) r.v[laneOf(k, l)] = a.v[l] op b.v[laneOf(k, l)];       \
        return r;                                                                                           \
    }                                                                                                       \
    inline ScenarioLanes operator op(const ScenarioLanes &a, const ScenarioValues &b) {                     \
        ScenarioLanes r;                                                                                    \
        for (int k = 0; k < kServiceLanes; ++k)                                                             \
            for (int l = 0; l < kScenarioLanes; ++l) r.v[laneOf(k, l)] = a.v[laneOf(k, l)] op b.v[l];       \
        return r;                                                                                           \
    }
TALVEK_LANE_OPERATOR(+)
TALVEK_LANE_OPERATOR(-)
TALVEK_LANE_OPERATOR(*)
TALVEK_LANE_OPERATOR(/)
#undef TALVEK_LANE_OPERATOR

inline ScenarioValues &operator+=(ScenarioValues &a, const ScenarioValues &b) { return a = a + b; }
inline ScenarioLanes &operator+=(ScenarioLanes &a, const ScenarioLanes &b) { return a = a + b; }

// min(amount, cap), lane by lane, as std::min takes it: (cap < amount) ? cap : amount.
inline ScenarioValues cappedAt(const ScenarioValues &amount, double cap) {
    ScenarioValues r;
    for (int l = 0; l < kScenarioLanes; ++l) r.v[l] = cap < amount.v[l] ? cap : amount.v[l];
    return r;
}
inline ScenarioLanes cappedAt(const ScenarioLanes &amount, double cap) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = cap < amount.v[i] ? cap : amount.v[i];
    return r;
}

// The lesser of two amounts, as std::min(a, b): (b < a) ? b : a; and the part
// of a above b, as std::max(a - b, 0.0): (a - b < 0) ? 0 : a - b. Both keep
// std::min's and std::max's answer for NaN and signed zeros.
inline double lesserOf(double a, double b) { return b < a ? b : a; }
inline double excessOver(double a, double b) {
    const double d = a - b;
    return d < 0.0 ? 0.0 : d;
}
inline ScenarioValues lesserOf(const ScenarioValues &a, const ScenarioValues &b) {
    ScenarioValues r;
    for (int l = 0; l < kScenarioLanes; ++l) r.v[l] = b.v[l] < a.v[l] ? b.v[l] : a.v[l];
    return r;
}
inline ScenarioValues excessOver(const ScenarioValues &a, const ScenarioValues &b) {
    ScenarioValues r;
    for (int l = 0; l < kScenarioLanes; ++l) {
        const double d = a.v[l] - b.v[l];
        r.v[l] = d < 0.0 ? 0.0 : d;
    }
    return r;
}

// Each attribution's lanes from f of it: f gives a plain number or each
// scenario's value (the same in every attribution), or every scenario's
// lanes, of which the attribution's own are taken.
template <class F>
inline ScenarioLanes byAttribution(const LaneAttributions &a, ScenarioLanes *, F f) {
    ScenarioLanes r;
    for (int k = 0; k < kServiceLanes; ++k) {
        using Part = decltype(f(a.lane[k]));
        if constexpr (std::is_same_v<Part, ScenarioValues>) {
            // each scenario's value of the attribution: taken as it is, not
            // spread over all three attributions first
            const ScenarioValues part = f(a.lane[k]);
            for (int l = 0; l < kScenarioLanes; ++l) r.v[laneOf(k, l)] = part.v[l];
        } else {
            const ScenarioLanes part = f(a.lane[k]);
            for (int l = 0; l < kScenarioLanes; ++l) r.v[laneOf(k, l)] = part.v[laneOf(k, l)];
        }
    }
    return r;
}

// The type of the amounts that do not depend on the service attributed (the
// indexed pensions, salaries and ceilings, the yearly factors): a plain
// double beside plain amounts and the three service lanes, one lane per
// scenario beside the scenarios' lanes.
//
// A member out of service (a pensioner, a disabled or deferred member, a
// spouse in payment) has no service to come: its amounts are the same under
// every attribution, and in a block of scenarios they are carried in one
// lane per scenario (ScenarioValues as the amounts too), each added into the
// three attributions' sums where they are summed. `serviceToCome` is false
// for those amounts only: they never meet the steps of service.
template <class A>
struct AmountKind {
    using Indexed = double;
    static constexpr bool scenarios = false;
    static constexpr bool serviceToCome = true;
};
template <>
struct AmountKind<ScenarioLanes> {
    using Indexed = ScenarioValues;
    static constexpr bool scenarios = true;
    static constexpr bool serviceToCome = true;
};
template <>
struct AmountKind<ScenarioValues> {
    using Indexed = ScenarioValues;
    static constexpr bool scenarios = true;
    static constexpr bool serviceToCome = false;
};
template <class A>
using IndexedOf = typename AmountKind<A>::Indexed;
