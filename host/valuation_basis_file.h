// Reading the valuation's tables of the basis file, [discount] and
// [sensitivities] (docs/basis-file.md), with the messages of the other keys.
#pragma once

#include <toml++/toml.h>

#include "basis_values.h"
#include "valuation_basis.h"

// Both tables are optional: without [discount] the curve is the basis's two
// discount rates, without [sensitivities] the default set. Every problem is
// one message in reader.errors.
void readValuationTables(BasisReader &reader, const toml::table &root, ValuationBasis &out);
