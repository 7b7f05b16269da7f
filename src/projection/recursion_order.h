// The two orders in which the recursions of the populations are evaluated,
// and the growth of a bridge pension. Both orders give the same numbers but
// for the last binary digits; each status keeps the order its results have
// always been computed in, so that they reconcile to the last digit.
#pragma once

enum class Order {
    // Members in service: the start population first, then the entrants,
    // then the exits: N1 = (N0 + in) - out. Bridges grow by the product of
    // the two rates' factors; the new spouses' amounts are multiplied in
    // turn by the share, the deaths and the spouse's survival.
    inService,
    // Members valued from the valuation date in a later state: the year's
    // movements first, the start population last: N1 = (in - out) + N0; a
    // deferred member's exits are taken off together, D1 = D0 - (deaths +
    // retirements). Bridges grow by one factor after the other; the number
    // of new spouses is formed first.
    laterState,
};

// The growth of a bridge pension over one year, by both yearly rates:
// W = (1 + inflation) x (1 + second rate). X is a double, or the lanes of a
// block of scenarios, each with its own rates.
template <class X>
struct BridgeGrowth {
    X inflation;  // 1 + first yearly rate
    X secondRate; // 1 + second yearly rate
    X both;       // inflation x secondRate
};

// amount x W, in the order's way: amount x both, or (amount x inflation) x secondRate.
template <class A, class X>
inline A grownBridge(const A &amount, const BridgeGrowth<X> &growth, Order order) {
    if (order == Order::inService) return amount * growth.both;
    return amount * growth.inflation * growth.secondRate;
}
