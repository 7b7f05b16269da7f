// The amounts of a member in service under three attributions of service at
// once, side by side: lane 0 as the run attributes it (all the service still
// to come, unless the run limits it), lane 1 with no service after the
// valuation date (the obligation's amounts), lane 2 with one year of it (the
// obligation's plus the service cost's). The counts and decrements do not
// depend on the attribution, so they are projected once; only the amounts
// are carried in lanes. Each lane's arithmetic is the plain amount's, one
// IEEE operation for one and in the same order, so lane 0 is the same bytes
// as a plain run and lane k the same as a plain run with that attribution.
#pragma once

#include <algorithm>
#include <cstdint>

constexpr int kServiceLanes = 3;
constexpr int kProjectedLane = 0; // as the run attributes service
constexpr int kAccruedLane = 1;   // no service after the valuation date
constexpr int kOneYearLane = 2;   // one year of it

struct ServiceLanes {
    double lane[kServiceLanes];

    ServiceLanes() = default;
    // A count or an amount that does not depend on service: the same in every lane.
    constexpr ServiceLanes(double value) : lane{value, value, value} {}
};

inline ServiceLanes operator+(const ServiceLanes &a, const ServiceLanes &b) {
    ServiceLanes r;
    for (int k = 0; k < kServiceLanes; ++k) r.lane[k] = a.lane[k] + b.lane[k];
    return r;
}
inline ServiceLanes operator-(const ServiceLanes &a, const ServiceLanes &b) {
    ServiceLanes r;
    for (int k = 0; k < kServiceLanes; ++k) r.lane[k] = a.lane[k] - b.lane[k];
    return r;
}
inline ServiceLanes operator*(const ServiceLanes &a, const ServiceLanes &b) {
    ServiceLanes r;
    for (int k = 0; k < kServiceLanes; ++k) r.lane[k] = a.lane[k] * b.lane[k];
    return r;
}
inline ServiceLanes operator/(const ServiceLanes &a, const ServiceLanes &b) {
    ServiceLanes r;
    for (int k = 0; k < kServiceLanes; ++k) r.lane[k] = a.lane[k] / b.lane[k];
    return r;
}
inline ServiceLanes &operator+=(ServiceLanes &a, const ServiceLanes &b) { return a = a + b; }

// min(amount, cap), lane by lane.
inline double cappedAt(double amount, double cap) { return std::min(amount, cap); }
inline ServiceLanes cappedAt(const ServiceLanes &amount, double cap) {
    ServiceLanes r;
    for (int k = 0; k < kServiceLanes; ++k) r.lane[k] = std::min(amount.lane[k], cap);
    return r;
}

// How much of the service after the valuation date an amount counts: all of
// it, or at most `years` of it.
struct ServiceAttribution {
    bool limited;
    double years; // k, when limited
};

// The attributions of the lanes: the run's own, none, one year.
struct LaneAttributions {
    ServiceAttribution lane[kServiceLanes];
};

// Years of service after the valuation date, completed by an exit at the
// middle of year U, that the fixed part of the accrued pension counts on top
// of the past service p: p + U - 0.5, or p + min(U - 0.5, k).
inline double fixedAccrualYears(double pastYears, int32_t U, const ServiceAttribution &a) {
    if (!a.limited) return pastYears + U - 0.5;
    return pastYears + std::min(U - 0.5, a.years);
}

// Whole years of service of a retirement from service in year U, for its
// bridge, at most 10: min(w + U, 10), or min(w + min(U, k), 10).
inline double bridgeServiceYears(int32_t wholeServiceYears, int32_t U, const ServiceAttribution &a) {
    if (!a.limited) return static_cast<double>(std::min<int64_t>(int64_t{wholeServiceYears} + U, 10));
    return std::min(static_cast<double>(wholeServiceYears) + std::min(static_cast<double>(U), a.years), 10.0);
}

// Whole years of service a leaver of year U takes into deferment, those
// completed at the start of the year: w + U - 1, or w + min(U - 1, k).
inline double leaverServiceYears(int32_t wholeServiceYears, int32_t U, const ServiceAttribution &a) {
    if (!a.limited) return static_cast<double>(int64_t{wholeServiceYears} + U - 1);
    return static_cast<double>(wholeServiceYears) + std::min(static_cast<double>(U - 1), a.years);
}

// Each of the three by lane: plain amounts use the run's attribution.
template <class F>
inline double byAttribution(const LaneAttributions &a, double *, F f) {
    return f(a.lane[kProjectedLane]);
}
template <class F>
inline ServiceLanes byAttribution(const LaneAttributions &a, ServiceLanes *, F f) {
    ServiceLanes r;
    for (int k = 0; k < kServiceLanes; ++k) r.lane[k] = f(a.lane[k]);
    return r;
}
