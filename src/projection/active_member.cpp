#include "projection/valuation.h"

// Not valued yet: adds nothing.
void valueActiveMember(const ValuationContext &, const MemberRecord &) {}
