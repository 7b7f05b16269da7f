#include "projection/valuation.h"

// Not valued yet: adds nothing.
void valueDisabilityPensioner(const ValuationContext &, const MemberRecord &) {}
