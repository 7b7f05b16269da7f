#include "projection/valuation.h"

// Not valued yet: adds nothing.
void valuePensioner(const ValuationContext &, const MemberRecord &) {}
