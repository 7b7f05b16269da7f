// The amounts of a block of economic scenarios at once, side by side, each
// in the three attributions of service of a valuation. A member's counts and
// decrements depend on neither the scenario nor the attribution, so they are
// projected once; only the amounts are carried in lanes. Every lane's
// arithmetic is the plain amount's, one IEEE operation for one and in the
// same order, so lane (a, l) is the same bytes as a valuation of scenario l
// in attribution a. The parts that do not depend on the attribution (the
// indexed pensions, the salaries, the ceilings) are carried in the same
// lanes, equal in the three attributions: one type serves every amount.
#pragma once

#include <cstdint>

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

struct alignas(64) ScenarioLanes {
    double v[kLaneAmounts];

    ScenarioLanes() = default;
    // A count or an amount of no scenario: the same in every lane (each
    // element set once: these are built in every member-year).
    constexpr ScenarioLanes(double value) {
        for (int i = 0; i < kLaneAmounts; ++i) v[i] = value;
    }
};

inline ScenarioLanes operator+(const ScenarioLanes &a, const ScenarioLanes &b) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = a.v[i] + b.v[i];
    return r;
}
inline ScenarioLanes operator-(const ScenarioLanes &a, const ScenarioLanes &b) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = a.v[i] - b.v[i];
    return r;
}
inline ScenarioLanes operator*(const ScenarioLanes &a, const ScenarioLanes &b) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = a.v[i] * b.v[i];
    return r;
}
inline ScenarioLanes operator/(const ScenarioLanes &a, const ScenarioLanes &b) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = a.v[i] / b.v[i];
    return r;
}
inline ScenarioLanes &operator+=(ScenarioLanes &a, const ScenarioLanes &b) { return a = a + b; }

// min(amount, cap), lane by lane, as std::min takes it: (cap < amount) ? cap : amount.
inline ScenarioLanes cappedAt(const ScenarioLanes &amount, double cap) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = cap < amount.v[i] ? cap : amount.v[i];
    return r;
}

// The lesser of two amounts, as std::min(a, b): (b < a) ? b : a; and the part
// of a above b, as std::max(a - b, 0.0): (a - b < 0) ? 0 : a - b.
inline double lesserOf(double a, double b) { return b < a ? b : a; }
inline double excessOver(double a, double b) {
    const double d = a - b;
    return d < 0.0 ? 0.0 : d;
}
inline ScenarioLanes lesserOf(const ScenarioLanes &a, const ScenarioLanes &b) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) r.v[i] = b.v[i] < a.v[i] ? b.v[i] : a.v[i];
    return r;
}
inline ScenarioLanes excessOver(const ScenarioLanes &a, const ScenarioLanes &b) {
    ScenarioLanes r;
    for (int i = 0; i < kLaneAmounts; ++i) {
        const double d = a.v[i] - b.v[i];
        r.v[i] = d < 0.0 ? 0.0 : d;
    }
    return r;
}

// Each attribution's lanes from f of it: f gives a plain number (the same in
// every scenario) or the lanes of every scenario, of which the attribution's
// own are taken.
template <class F>
inline ScenarioLanes byAttribution(const LaneAttributions &a, ScenarioLanes *, F f) {
    ScenarioLanes r;
    for (int k = 0; k < kServiceLanes; ++k) {
        const ScenarioLanes part = f(a.lane[k]);
        for (int l = 0; l < kScenarioLanes; ++l) r.v[laneOf(k, l)] = part.v[laneOf(k, l)];
    }
    return r;
}

// The type of the amounts that do not depend on the service attributed (the
// indexed pensions, salaries and ceilings, the yearly factors): a plain
// double beside plain amounts and the three service lanes, the scenario
// lanes beside those.
template <class A>
struct AmountKind {
    using Indexed = double;
    static constexpr bool scenarios = false;
};
template <>
struct AmountKind<ScenarioLanes> {
    using Indexed = ScenarioLanes;
    static constexpr bool scenarios = true;
};
template <class A>
using IndexedOf = typename AmountKind<A>::Indexed;
