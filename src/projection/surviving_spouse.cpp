#include "projection/valuation.h"

// Not valued yet: adds nothing.
void valueSurvivingSpouse(const ValuationContext &, const MemberRecord &) {}
