// Writes the inputs of a run for the Windows test host: every argument array
// element by element (doubles as the hex digits of their bits, so that no
// decimal conversion on either side can change one), the scalars, and the
// member file's bytes as they are.
//
//   prepare_inputs case NAME.case.json OUTDIR
//       a reference case, its counters and arrays as the case gives them
//   prepare_inputs basis BASIS.toml MEMBERFILE OUTDIR
//       a basis file read the way the talvek command reads it; the member
//       total is left to CountInputData
//
// OUTDIR receives inputs.txt and members.txt.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "basis_file.h"
#include "host_arrays.h"

namespace fs = std::filesystem;

namespace {

using Json = nlohmann::json;

// The case files hold bytes as characters U+0000..U+00FF, which the JSON
// reader hands out in UTF-8.
std::string bytesOf(const std::string &utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80 || i + 1 == utf8.size()) {
            bytes.push_back(static_cast<char>(lead));
        } else {
            const unsigned char next = static_cast<unsigned char>(utf8[++i]);
            bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) | (next & 0x3F)));
        }
    }
    return bytes;
}

void writeScalar(std::FILE *out, const char *name, int64_t value) {
    std::fprintf(out, "scalar %s %" PRId64 "\n", name, value);
}

void writeDoubles(std::FILE *out, const char *name, const std::vector<double> &values) {
    std::fprintf(out, "array %s r8 %zu\n", name, values.size());
    for (const double value : values) {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        std::fprintf(out, "%016" PRIx64 "\n", bits);
    }
}

void writeShorts(std::FILE *out, const char *name, const std::vector<int16_t> &values) {
    std::fprintf(out, "array %s i2 %zu\n", name, values.size());
    for (const int16_t value : values) std::fprintf(out, "%d\n", static_cast<int>(value));
}

void writeStrings(std::FILE *out, const char *name, const std::vector<std::string> &values) {
    std::fprintf(out, "array %s str %zu\n", name, values.size());
    for (const std::string &value : values) {
        if (value.empty()) std::fputs(".", out);
        for (const char byte : value) std::fprintf(out, "%02x", static_cast<unsigned char>(byte));
        std::fputc('\n', out);
    }
}

bool writeBytes(const fs::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The parts of a run that both sources fill.
struct PreparedRun {
    int64_t valuationYear = 0, mortalityBaseYear = 0, delimiterCode = 0;
    int64_t memberTotal = -1, membersDone = 0, errorCount = 0;
    std::vector<double> baseMortality, mortalityImprovement;
    std::vector<int16_t> columnMap;
    std::vector<std::string> statusCodes;
    std::vector<double> planParameters, retirementFactors, demographicParameters,
        economicParameters, retirementRates, disabilityRates, withdrawalRates, salaryScale;
    std::vector<double> memberCounts, decrementCounts, yearlyRates, benefitCashflows;
};

bool writeInputs(const fs::path &path, const PreparedRun &run) {
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    writeScalar(out, "valuationYear", run.valuationYear);
    writeScalar(out, "mortalityBaseYear", run.mortalityBaseYear);
    writeScalar(out, "delimiterCode", run.delimiterCode);
    writeScalar(out, "memberTotal", run.memberTotal);
    writeScalar(out, "membersDone", run.membersDone);
    writeScalar(out, "errorCount", run.errorCount);
    writeDoubles(out, "baseMortality", run.baseMortality);
    writeDoubles(out, "mortalityImprovement", run.mortalityImprovement);
    writeShorts(out, "columnMap", run.columnMap);
    writeStrings(out, "statusCodes", run.statusCodes);
    writeDoubles(out, "planParameters", run.planParameters);
    writeDoubles(out, "retirementFactors", run.retirementFactors);
    writeDoubles(out, "demographicParameters", run.demographicParameters);
    writeDoubles(out, "economicParameters", run.economicParameters);
    writeDoubles(out, "retirementRates", run.retirementRates);
    writeDoubles(out, "disabilityRates", run.disabilityRates);
    writeDoubles(out, "withdrawalRates", run.withdrawalRates);
    writeDoubles(out, "salaryScale", run.salaryScale);
    writeDoubles(out, "memberCounts", run.memberCounts);
    writeDoubles(out, "decrementCounts", run.decrementCounts);
    writeDoubles(out, "yearlyRates", run.yearlyRates);
    writeDoubles(out, "benefitCashflows", run.benefitCashflows);
    return std::fclose(out) == 0;
}

int prepareCase(const fs::path &casePath, const fs::path &outDir) {
    std::ifstream in(casePath);
    const Json input = Json::parse(in, nullptr, false);
    if (input.is_discarded()) {
        std::fprintf(stderr, "prepare_inputs: %s is not JSON\n", casePath.c_str());
        return 1;
    }
    PreparedRun run;
    run.valuationYear = input["valuationYear"].get<int64_t>();
    run.mortalityBaseYear = input["mortalityBaseYear"].get<int64_t>();
    run.delimiterCode = input["delimiterCode"].get<int64_t>();
    run.memberTotal = input["memberTotal"].get<int64_t>();
    run.membersDone = input["membersDone"].get<int64_t>();
    run.errorCount = input["errorCount"].get<int64_t>();
    run.baseMortality = input["baseMortality"].get<std::vector<double>>();
    run.mortalityImprovement = input["mortalityImprovement"].get<std::vector<double>>();
    run.columnMap = input["columnMap"].get<std::vector<int16_t>>();
    for (const Json &code : input["statusCodes"]) run.statusCodes.push_back(bytesOf(code.get<std::string>()));
    run.planParameters = input["planParameters"].get<std::vector<double>>();
    run.retirementFactors = input["retirementFactors"].get<std::vector<double>>();
    run.demographicParameters = input["demographicParameters"].get<std::vector<double>>();
    run.economicParameters = input["economicParameters"].get<std::vector<double>>();
    run.retirementRates = input["retirementRates"].get<std::vector<double>>();
    run.disabilityRates = input["disabilityRates"].get<std::vector<double>>();
    run.withdrawalRates = input["withdrawalRates"].get<std::vector<double>>();
    run.salaryScale = input["salaryScale"].get<std::vector<double>>();
    run.yearlyRates = input["yearlyRates"].get<std::vector<double>>();
    // the result arrays of the reference cases start at zero
    run.memberCounts.assign(kMemberCountElements, 0.0);
    run.decrementCounts.assign(kDecrementCountElements, 0.0);
    run.benefitCashflows.assign(kCashflowElements, 0.0);

    fs::create_directories(outDir);
    if (!writeBytes(outDir / "members.txt", bytesOf(input["memberFile"].get<std::string>())) ||
        !writeInputs(outDir / "inputs.txt", run)) {
        std::fprintf(stderr, "prepare_inputs: cannot write into %s\n", outDir.c_str());
        return 1;
    }
    return 0;
}

int prepareBasis(const fs::path &basisPath, const fs::path &memberPath, const fs::path &outDir) {
    PlanBasis basis;
    std::vector<std::string> problems;
    if (!readBasisFile(basisPath, basisPath.string(), basis, problems)) {
        for (const std::string &problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    HostArraySet arrays;
    fillHostArrays(basis, arrays);
    PreparedRun run;
    run.valuationYear = arrays.valuationYear;
    run.mortalityBaseYear = arrays.mortalityBaseYear;
    run.delimiterCode = arrays.delimiterCode;
    run.baseMortality = arrays.baseMortality;
    run.mortalityImprovement = arrays.mortalityImprovement;
    run.columnMap = arrays.columnMap;
    for (const char *code : arrays.statusCodes) run.statusCodes.push_back(code == nullptr ? "" : code);
    run.planParameters = arrays.planParameters;
    run.retirementFactors = arrays.retirementFactors;
    run.demographicParameters = arrays.demographicParameters;
    run.economicParameters = arrays.economicParameters;
    run.retirementRates = arrays.retirementRates;
    run.disabilityRates = arrays.disabilityRates;
    run.withdrawalRates = arrays.withdrawalRates;
    run.salaryScale = arrays.salaryScale;
    run.yearlyRates = arrays.yearlyRates;
    run.memberCounts = arrays.memberCounts;
    run.decrementCounts = arrays.decrementCounts;
    run.benefitCashflows = arrays.benefitCashflows;

    fs::create_directories(outDir);
    std::error_code error;
    fs::copy_file(memberPath, outDir / "members.txt", fs::copy_options::overwrite_existing, error);
    if (error || !writeInputs(outDir / "inputs.txt", run)) {
        std::fprintf(stderr, "prepare_inputs: cannot write into %s\n", outDir.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "case") == 0) return prepareCase(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "basis") == 0) return prepareBasis(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: prepare_inputs case CASE.json OUTDIR\n"
                         "       prepare_inputs basis BASIS.toml MEMBERFILE OUTDIR\n");
    return 2;
}
