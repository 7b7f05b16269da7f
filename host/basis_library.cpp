// libtalvek_basis.so: the talvek command's basis reader and member file
// check behind a C interface (basis_library.h), so that other languages read
// a basis with the same checks and messages as `talvek run`.
#include "basis_library.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "basis_file.h"
#include "check_report.h"
#include "host_arrays.h"
#include "member_input.h"
#include "result_files.h"
#include "scenario_file.h"
#include "scenario_files.h"
#include "valuation_basis.h"
#include "valuation_files.h"

struct TalvekBasisFile {
    PlanBasis basis;
    bool ok = false;
    HostArraySet arrays;
    MemberInput input;
    bool membersPrepared = false;
    std::string message;
};

struct TalvekBasisScenarios {
    ScenarioFileSet set;
    bool ok = false;
    std::string message;
};

namespace {

// Text written by a function that prints to a FILE *, caught in memory.
struct CaughtText {
    char *buffer = nullptr;
    size_t size = 0;
    std::FILE *stream = nullptr;
};

bool startCatching(CaughtText &caught) {
    caught.stream = open_memstream(&caught.buffer, &caught.size);
    return caught.stream != nullptr;
}

std::string endCatching(CaughtText &caught) {
    std::fclose(caught.stream);
    std::string text(caught.buffer == nullptr ? "" : caught.buffer, caught.size);
    std::free(caught.buffer);
    return text;
}

// The refusal of a member file with errors, as prepareMemberInput prints it.
std::string refusalText(const MemberCheck &check, const std::string &shownName, bool acceptAsRead) {
    CaughtText caught;
    if (!startCatching(caught)) return shownName + ": the member file has errors";
    const int64_t errors = printFindings(caught.stream, check, shownName, false, kListedFindings);
    const bool refused = !acceptAsRead || check.hasUnacceptableErrors;
    std::fprintf(caught.stream, "talvek: %s: %lld error%s in %lld line%s%s\n", shownName.c_str(),
                 static_cast<long long>(errors), errors == 1 ? "" : "s",
                 static_cast<long long>(check.summary.linesWithErrors),
                 check.summary.linesWithErrors == 1 ? "" : "s",
                 refused ? "; nothing was run" : ", valued as the library reads them (--accept-as-read)");
    return endCatching(caught);
}

const char *nameOrEmpty(const char *const *names, int count, int32_t index) {
    return index >= 1 && index <= count ? names[index] : "";
}

} // namespace

extern "C" {

TalvekBasisFile *talvek_basis_read(const char *path) {
    TalvekBasisFile *file = new (std::nothrow) TalvekBasisFile;
    if (file == nullptr) return nullptr;
    std::vector<std::string> problems;
    file->ok = readBasisFile(path, path, file->basis, problems);
    for (const std::string &problem : problems) file->message += problem + "\n";
    if (file->ok) fillHostArrays(file->basis, file->arrays);
    return file;
}

int32_t talvek_basis_ok(const TalvekBasisFile *file) { return file != nullptr && file->ok ? 1 : 0; }

const char *talvek_basis_message(const TalvekBasisFile *file) {
    return file == nullptr ? "" : file->message.c_str();
}

void talvek_basis_assumptions(TalvekBasisFile *file, TalvekAssumptions *assumptions) {
    // a refused basis has no arrays worth handing on
    if (file == nullptr || !file->ok) return;
    *assumptions = engineAssumptions(file->arrays);
}

int32_t talvek_basis_delimiter_code(const TalvekBasisFile *file) { return file->basis.delimiterCode; }
int32_t talvek_basis_spreadsheet_layout(const TalvekBasisFile *file) { return file->basis.spreadsheetLayout; }
int32_t talvek_basis_header_row(const TalvekBasisFile *file) { return file->basis.headerRow; }
char talvek_basis_decimal_separator(const TalvekBasisFile *file) { return file->basis.decimalSeparator; }

int32_t talvek_basis_field_column(const TalvekBasisFile *file, int32_t field) {
    return field >= 1 && field <= kMemberFields ? file->basis.fieldColumn[field] : 0;
}

const char *talvek_basis_field_header(const TalvekBasisFile *file, int32_t field) {
    return field >= 1 && field <= kMemberFields ? file->basis.fieldHeader[field].c_str() : "";
}

const char *talvek_basis_field_name(int32_t field) { return nameOrEmpty(kMemberFieldNames, kMemberFields, field); }
const char *talvek_basis_status_name(int32_t status) { return nameOrEmpty(kStatusNames, kStatuses, status); }

const char *talvek_basis_result_column(int32_t array, int32_t block) {
    switch (array) {
    case 0: return nameOrEmpty(kMemberCountColumns, kMemberBlocks, block);
    case 1: return nameOrEmpty(kDecrementCountColumns, kDecrementBlocks, block);
    case 2: return nameOrEmpty(kCashflowColumns, kCashflowBlocks, block);
    default: return "";
    }
}

const char *talvek_basis_group_name(int32_t group) {
    return group >= 0 && group < kGroups ? kGroupNames[group] : "";
}

const char *talvek_basis_sensitivity_name(int32_t kind) {
    return kind >= 1 && kind <= kSensitivityKinds ? sensitivityName(static_cast<SensitivityKind>(kind)) : "";
}

int32_t talvek_basis_discount_curve(const TalvekBasisFile *file, double *curve) {
    const ValuationBasis &valuation = file->basis.valuation;
    if (valuation.curveForm == CurveForm::BasisRates) return TALVEK_CURVE_BASIS;
    curve[0] = 0.0;
    for (int t = 1; t <= kCurveYears; ++t) curve[t] = valuation.curve[t];
    return valuation.curveForm == CurveForm::SpotRates ? TALVEK_CURVE_SPOT_RATES : TALVEK_CURVE_FORWARD_RATES;
}

int32_t talvek_basis_sensitivities(const TalvekBasisFile *file, TalvekSensitivity *out, int32_t room) {
    const std::vector<Sensitivity> &set = file->basis.valuation.sensitivities;
    for (size_t i = 0; i < set.size() && static_cast<int64_t>(i) < room; ++i) {
        out[i].kind = static_cast<int32_t>(set[i].kind);
        out[i].reserved = 0;
        out[i].size = set[i].size;
    }
    return static_cast<int32_t>(set.size());
}

int32_t talvek_basis_prepare_members(TalvekBasisFile *file, const char *memberPath, int32_t acceptAsRead,
                                     int32_t jobs, TalvekRunDef *def) {
    file->message.clear();
    file->membersPrepared = false;
    file->input = MemberInput{};
    if (!file->ok) {
        file->message = "the basis was refused; nothing was run\n";
        return 2;
    }
    // the column map of an earlier member file must not stay behind
    fillHostArrays(file->basis, file->arrays);
    std::string problem;
    if (!readWholeFile(memberPath, file->input.fileBytes, problem)) {
        file->message = std::string("talvek: ") + memberPath + ": cannot read the member file (" + problem +
                        "); nothing was run\n";
        return 1;
    }
    MemberCheck &check = file->input.check;
    checkMemberBytes(file->basis, file->input.fileBytes.data(), static_cast<int64_t>(file->input.fileBytes.size()),
                     check, checkThreads(jobs));
    if (check.hasErrors) {
        file->message = refusalText(check, memberPath, acceptAsRead != 0);
        if (acceptAsRead == 0 || check.hasUnacceptableErrors) return 2;
    }
    useCheckedMembers(file->input, *def, file->arrays);
    def->assumptions = engineAssumptions(file->arrays);
    file->membersPrepared = true;
    return 0;
}

int32_t talvek_basis_write_member_data_files(const TalvekBasisFile *file, const char *directory) {
    if (!file->membersPrepared) return 0;
    return writeMemberDataFiles(directory, file->input, file->basis) ? 1 : 0;
}

void talvek_basis_free(TalvekBasisFile *file) { delete file; }

TalvekBasisScenarios *talvek_basis_read_scenarios(const TalvekBasisFile *file, const char *path) {
    TalvekBasisScenarios *scenarios = new (std::nothrow) TalvekBasisScenarios;
    if (scenarios == nullptr) return nullptr;
    if (file == nullptr || !file->ok) {
        scenarios->message = "the basis was refused; nothing was run";
        return scenarios;
    }
    // the reader copies the basis's rates into the set: nothing of the basis is kept
    scenarios->ok = readScenarioFile(path, path, file->basis, scenarios->set, scenarios->message);
    if (scenarios->ok) scenarios->message.clear();
    return scenarios;
}

int32_t talvek_basis_scenarios_ok(const TalvekBasisScenarios *scenarios) {
    return scenarios != nullptr && scenarios->ok ? 1 : 0;
}

const char *talvek_basis_scenarios_message(const TalvekBasisScenarios *scenarios) {
    return scenarios == nullptr ? "" : scenarios->message.c_str();
}

void talvek_basis_scenario_set(const TalvekBasisScenarios *scenarios, TalvekScenarioSet *set) {
    *set = talvek_basis_scenarios_ok(scenarios) ? engineScenarioSet(scenarios->set) : TalvekScenarioSet{};
}

int64_t talvek_basis_scenario_count(const TalvekBasisScenarios *scenarios) {
    return talvek_basis_scenarios_ok(scenarios) ? scenarioCount(scenarios->set) : 0;
}

const int64_t *talvek_basis_scenario_labels(const TalvekBasisScenarios *scenarios) {
    return talvek_basis_scenarios_ok(scenarios) ? scenarios->set.labels.data() : nullptr;
}

uint64_t talvek_basis_scenario_file_size(const TalvekBasisScenarios *scenarios) {
    return talvek_basis_scenarios_ok(scenarios) ? scenarios->set.bytes : 0;
}

const char *talvek_basis_scenario_file_sha256(const TalvekBasisScenarios *scenarios) {
    return talvek_basis_scenarios_ok(scenarios) ? scenarios->set.sha256.c_str() : "";
}

int64_t talvek_basis_scenario_skipped_rows(const TalvekBasisScenarios *scenarios) {
    return talvek_basis_scenarios_ok(scenarios) ? scenarios->set.skippedRows : 0;
}

void talvek_basis_scenarios_free(TalvekBasisScenarios *scenarios) { delete scenarios; }

const char *talvek_basis_distribution_name(int32_t element) {
    return element >= 0 && element < TALVEK_DISTRIBUTION_SIZE ? kDistributionNames[element] : "";
}

} // extern "C"
