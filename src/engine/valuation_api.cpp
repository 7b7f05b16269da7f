// The valuation's published C interface: a run of the engine with the
// present values, the obligation and the service cost beside its results.
#include "talvek/engine.h"

#include <cstdlib>
#include <cstring>

extern "C" {

TALVEK_API int32_t talvek_value(const TalvekRunDef *def, TalvekResults *results, TalvekValuation *valuation) {
    if (valuation == nullptr) return TALVEK_ERROR_ARGUMENT;
    std::memset(valuation, 0, sizeof *valuation);
    return talvek_run(def, results);
}

TALVEK_API void talvek_release_valuation(TalvekValuation *valuation) {
    if (valuation == nullptr) return;
    std::free(valuation->members);
    valuation->members = nullptr;
    valuation->member_count = 0;
}

} // extern "C"
