#include "projection/valuation.h"

// Not valued yet: adds nothing.
void valueDeferredMember(const ValuationContext &, const MemberRecord &) {}
