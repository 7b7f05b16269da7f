// The engine's published C interface over the engine run.
#include "talvek/engine.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "engine/piece_plan.h"
#include "engine/run_definition.h"
#include "input/line_reader.h"

namespace {

constexpr const char *kEngineVersion = "1.0.0";

} // namespace

extern "C" {

TALVEK_API TalvekRunDef talvek_default_run_def(void) {
    TalvekRunDef def;
    std::memset(&def, 0, sizeof def);
    def.struct_size = sizeof(TalvekRunDef);
    def.version = TALVEK_ENGINE_VERSION;
    return def;
}

TALVEK_API int32_t talvek_run(const TalvekRunDef *def, TalvekResults *results) {
    if (results == nullptr) return TALVEK_ERROR_ARGUMENT;
    std::memset(results, 0, sizeof *results);
    if (def == nullptr) return failRun(results, TALVEK_ERROR_ARGUMENT, "no definition is given");
    if (const char *problem = definitionProblem(*def)) return failRun(results, TALVEK_ERROR_ARGUMENT, problem);
    if (def->piece_exchange != nullptr && def->piece_exchange->take == nullptr)
        return failRun(results, TALVEK_ERROR_ARGUMENT, "the piece exchange has no take function");
    try {
        const DefinitionRun run{&def->assumptions, true, nullptr, 0, 0, 0};
        return runDefinition(*def, run, *results);
    } catch (...) {
        // nothing may leave through a C interface: a failed allocation ends the run
        std::memset(results, 0, sizeof *results);
        return failRun(results, TALVEK_ERROR_MEMORY, "the run could not get the memory it needs");
    }
}

TALVEK_API int32_t talvek_count_line_reads(const TalvekRunDef *def, int64_t *count) {
    if (count == nullptr) return TALVEK_ERROR_ARGUMENT;
    *count = 0;
    if (def == nullptr || (def->member_file == nullptr && def->member_bytes == nullptr) ||
        (def->member_bytes != nullptr && def->member_byte_count < 0))
        return TALVEK_ERROR_ARGUMENT;
    return countSourceLineReads(sourceOf(*def), *count) ? TALVEK_OK : TALVEK_ERROR_MEMBER_FILE;
}

TALVEK_API int32_t talvek_count_pieces(const TalvekRunDef *def, int64_t *count) {
    if (count == nullptr) return TALVEK_ERROR_ARGUMENT;
    *count = 0;
    if (def == nullptr || (def->member_file == nullptr && def->member_bytes == nullptr) ||
        (def->member_bytes != nullptr && def->member_byte_count < 0))
        return TALVEK_ERROR_ARGUMENT;
    const int64_t size = sourceSize(sourceOf(*def));
    if (size < 0) return TALVEK_ERROR_MEMBER_FILE;
    *count = pieceCount(size, TALVEK_PIECE_BYTES);
    return TALVEK_OK;
}

TALVEK_API const char *talvek_status_message(int32_t status) {
    switch (status) {
    case TALVEK_OK: return "the whole member file was valued";
    case TALVEK_STOPPED: return "the run was stopped; the results hold the lines read before the stop";
    case TALVEK_ERROR_ARGUMENT: return "the run's definition is incomplete or out of range";
    case TALVEK_ERROR_MEMBER_FILE: return "the member file cannot be opened or read";
    case TALVEK_ERROR_REPORT: return "the member listing or the error log cannot be written";
    case TALVEK_ERROR_MEMORY: return "the run could not get the memory it needs";
    default: return "unknown status";
    }
}

TALVEK_API const char *talvek_version(void) { return kEngineVersion; }

} // extern "C"
