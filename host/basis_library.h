/* libtalvek_basis.so: the basis file and member file reading of the talvek
 * command for programs in other languages (the Python module talvek loads it
 * with ctypes). The same reader, the same checks and the same messages as
 * `talvek run`: nothing here parses a file itself.
 *
 *     TalvekBasisFile *basis = talvek_basis_read("basis.toml");
 *     if (!talvek_basis_ok(basis)) puts(talvek_basis_message(basis));
 *     TalvekRunDef def = talvek_default_run_def();
 *     talvek_basis_assumptions(basis, &def.assumptions);
 *     talvek_basis_prepare_members(basis, "members.txt", 0, 0, &def);
 *     ... talvek_run(&def, results) ...
 *     talvek_basis_free(basis);
 *
 * Plain C; every text handed back belongs to the basis and lives until
 * talvek_basis_free or the next call on the same basis that sets it. */
#ifndef TALVEK_BASIS_LIBRARY_H
#define TALVEK_BASIS_LIBRARY_H

#include <stdint.h>

#include "talvek/engine.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TalvekBasisFile TalvekBasisFile;

/* Reads and checks the basis file at path (shown in messages as given).
 * Null only when there is no memory; otherwise ask talvek_basis_ok. */
TALVEK_API TalvekBasisFile *talvek_basis_read(const char *path);

/* 1 when the basis is usable, 0 when it was refused. */
TALVEK_API int32_t talvek_basis_ok(const TalvekBasisFile *basis);

/* The last message: the problems of a refused basis one a line, as `talvek
 * run` prints them, or the findings of a refused member file; "" when none. */
TALVEK_API const char *talvek_basis_message(const TalvekBasisFile *basis);

/* The basis's assumption arrays as the engine takes them; the pointers live
 * as long as the basis. Nothing is filled for a refused basis. */
TALVEK_API void talvek_basis_assumptions(TalvekBasisFile *basis, TalvekAssumptions *assumptions);

/* How the member file is written: delimiter code, 1 for the spreadsheet
 * layout, 1 for a header row, the decimal separator, and per field code
 * 1..14 the column (0: named by header text or not in the file) and the
 * header text (""). */
TALVEK_API int32_t talvek_basis_delimiter_code(const TalvekBasisFile *basis);
TALVEK_API int32_t talvek_basis_spreadsheet_layout(const TalvekBasisFile *basis);
TALVEK_API int32_t talvek_basis_header_row(const TalvekBasisFile *basis);
TALVEK_API char talvek_basis_decimal_separator(const TalvekBasisFile *basis);
TALVEK_API int32_t talvek_basis_field_column(const TalvekBasisFile *basis, int32_t field);
TALVEK_API const char *talvek_basis_field_header(const TalvekBasisFile *basis, int32_t field);

/* The names the basis file and the result files use: a member field's
 * (field 1..14), a status's (1..5), a result column's (array 0 member
 * counts, 1 decrement counts, 2 benefit cash flows; block from 1). "" when
 * out of range. */
TALVEK_API const char *talvek_basis_field_name(int32_t field);
TALVEK_API const char *talvek_basis_status_name(int32_t status);
TALVEK_API const char *talvek_basis_result_column(int32_t array, int32_t block);

/* The groups of the valuation's results as the result files name them:
 * 0 every member ("total"), 1..5 the statuses; "" out of range. */
TALVEK_API const char *talvek_basis_group_name(int32_t group);

/* A sensitivity kind's name in [sensitivities] and in the result files
 * ("discount_rate", "inflation", "salary_growth", "mortality"). */
TALVEK_API const char *talvek_basis_sensitivity_name(int32_t kind);

/* The discount curve of the present values: returns the TalvekCurveKind
 * ([discount] of the basis, or the basis's two discount rates) and, for a
 * yearly curve, fills curve[1..110] (TALVEK_CURVE_SIZE elements). */
TALVEK_API int32_t talvek_basis_discount_curve(const TalvekBasisFile *basis, double *curve);

/* The basis's set of sensitivities ([sensitivities], or the default set),
 * at most `room` of them into out; returns how many there are. */
TALVEK_API int32_t talvek_basis_sensitivities(const TalvekBasisFile *basis, TalvekSensitivity *out, int32_t room);

/* Reads and checks the member file as `talvek run` does before it values
 * (on `jobs` threads, 0 one per core). Returns 0 when the run can go on, and
 * then points def at the checked bytes and the basis's column map at the
 * columns the engine reads them in (the bytes live as long as the basis, until
 * the next call); 1 when the file cannot be read; 2 when it has errors that
 * are refused (accept_as_read 0, or errors even it cannot value). The
 * message holds the findings as `talvek run` prints them. */
TALVEK_API int32_t talvek_basis_prepare_members(TalvekBasisFile *basis, const char *member_path,
                                                int32_t accept_as_read, int32_t jobs, TalvekRunDef *def);

/* data_summary.csv and data_check.csv of the last prepared member file into
 * the folder; 1 when both were written whole, else 0. */
TALVEK_API int32_t talvek_basis_write_member_data_files(const TalvekBasisFile *basis, const char *directory);

/* ---- A set of economic scenarios ----
 * The scenario file read by the command's own reader (host/scenario_file.h,
 * docs/scenario-file.md): the same checks and the same message as `talvek
 * run --scenarios`, and what the file leaves out taken from the basis.
 *
 *     TalvekBasisScenarios *set = talvek_basis_read_scenarios(basis, "scenarios.csv");
 *     if (!talvek_basis_scenarios_ok(set)) puts(talvek_basis_scenarios_message(set));
 *     TalvekScenarioSet engine;
 *     talvek_basis_scenario_set(set, &engine);
 *     ... talvek_value_scenarios(&def, &engine, results, &scenarios) ...
 *     talvek_basis_scenarios_free(set);
 *
 * The set is a handle of its own: it copies what it needs of the basis when
 * it is read, so it may outlive the basis. Every pointer and text it hands
 * back lives until talvek_basis_scenarios_free. */
typedef struct TalvekBasisScenarios TalvekBasisScenarios;

/* Reads and checks the scenario file at path (shown in messages as given),
 * the rates it leaves out the basis's. Null only when there is no memory;
 * otherwise ask talvek_basis_scenarios_ok. */
TALVEK_API TalvekBasisScenarios *talvek_basis_read_scenarios(const TalvekBasisFile *basis, const char *path);

/* 1 when the set was read whole, 0 when it was refused (or the basis was). */
TALVEK_API int32_t talvek_basis_scenarios_ok(const TalvekBasisScenarios *scenarios);

/* Why the set was refused, one line naming the file, the line and the column
 * as `talvek run` prints it (without its "talvek: " and "; nothing was
 * run"); "" for a set read whole. */
TALVEK_API const char *talvek_basis_scenarios_message(const TalvekBasisScenarios *scenarios);

/* The engine's view of the set, ready for talvek_value_scenarios; all 0 for
 * a refused set. */
TALVEK_API void talvek_basis_scenario_set(const TalvekBasisScenarios *scenarios, TalvekScenarioSet *set);

/* The scenarios of the set, and their labels in the file's order (as the
 * scenario result files name them); null for a refused set. */
TALVEK_API int64_t talvek_basis_scenario_count(const TalvekBasisScenarios *scenarios);
TALVEK_API const int64_t *talvek_basis_scenario_labels(const TalvekBasisScenarios *scenarios);

/* The file's size in bytes and the SHA-256 of its bytes (64 hex digits), as
 * run.json records them; the rows of years above 110, skipped. */
TALVEK_API uint64_t talvek_basis_scenario_file_size(const TalvekBasisScenarios *scenarios);
TALVEK_API const char *talvek_basis_scenario_file_sha256(const TalvekBasisScenarios *scenarios);
TALVEK_API int64_t talvek_basis_scenario_skipped_rows(const TalvekBasisScenarios *scenarios);

TALVEK_API void talvek_basis_scenarios_free(TalvekBasisScenarios *scenarios);

/* The name of a TalvekDistributionElement in the scenario result files
 * ("mean", "p5", "p25", "p50", "p75", "p95"); "" out of range. */
TALVEK_API const char *talvek_basis_distribution_name(int32_t element);

TALVEK_API void talvek_basis_free(TalvekBasisFile *basis);

#ifdef __cplusplus
}
#endif

#endif
