// Fuzz target: a whole GenerateLiabilities call through the exported
// function, on host arrays of the documented sizes. The plan of one reference
// case is the starting point; the input then overwrites elements of any array
// with arbitrary doubles (NaN, infinities, negatives, huge values and the
// edges of every table among them), sets the scalars and the status codes, and
// supplies the member file. Besides the sanitizers it checks the run's
// accounting of the lines it read.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "talvek_pension_model.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The documented sizes of the host arrays, element 0 included.
enum ArrayId {
    BaseMortality, MortalityImprovement, PlanParameters, RetirementFactors,
    DemographicParameters, EconomicParameters, RetirementRates, DisabilityRates,
    WithdrawalRates, SalaryScale, YearlyRates, DoubleArrays
};
constexpr size_t kArraySize[DoubleArrays] = {241, 241, 16, 242, 6, 20, 54, 94, 64, 94, 222};
const char *const kArrayName[DoubleArrays] = {
    "baseMortality", "mortalityImprovement", "planParameters", "retirementFactors",
    "demographicParameters", "economicParameters", "retirementRates", "disabilityRates",
    "withdrawalRates", "salaryScale", "yearlyRates"};
constexpr size_t kColumnMapSize = 21;
constexpr size_t kStatusCodes = 10;
constexpr size_t kMemberCountsSize = 2553;
constexpr size_t kDecrementCountsSize = 1776;
constexpr size_t kCashflowsSize = 2109;

// Selectors of a patch beyond the double arrays.
constexpr int kColumnMapPatch = DoubleArrays;  // a column map element, low 16 bits of the value bits
constexpr int kScalarPatch = DoubleArrays + 1; // valuation year, base year, delimiter code, counters
constexpr int kStatusPatch = DoubleArrays + 2; // a status code from the 8 value bytes
constexpr int kSelectors = DoubleArrays + 3;

// Values that sit on the edges of the tables and of double arithmetic.
const double kSpecialValues[] = {
    NAN, INFINITY, -INFINITY, 1e300, -1e300, 0.0, -0.0, -1.0, 1.0, 0.5,
    2147483648.0, -2147483649.0, 4294967296.0, 1e-300, 5e-324, 15, 19, 20, 21, 25,
    40, 50, 59, 60, 61, 65, 70, 100, 110, 111, 119, 120, 121, 200, -200, 1e9};
constexpr size_t kSpecialCount = sizeof kSpecialValues / sizeof kSpecialValues[0];

struct Plan {
    std::vector<double> arrays[DoubleArrays];
    std::vector<int16_t> columnMap;
    std::vector<std::string> statusCodes;
    int32_t valuationYear, mortalityBaseYear, delimiterCode;
};

std::vector<Plan> basePlans; // one per reference case, in name order
fs::path workDir;            // this process's own directory

// The case files hold bytes as characters U+0000..U+00FF.
std::string bytesOf(const std::string &utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80 || i + 1 == utf8.size()) {
            bytes.push_back(static_cast<char>(lead));
            i += 1;
        } else {
            bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) | (utf8[i + 1] & 0x3F)));
            i += 2;
        }
    }
    return bytes;
}

void loadBasePlans() {
    const fs::path golden = fs::path(TALVEK_SOURCE_DIR) / "tests" / "golden";
    std::vector<fs::path> cases;
    for (const auto &entry : fs::directory_iterator(golden)) {
        if (entry.path().string().ends_with(".case.json")) cases.push_back(entry.path());
    }
    std::sort(cases.begin(), cases.end());
    for (const fs::path &path : cases) {
        std::ifstream in(path);
        const json input = json::parse(in);
        Plan plan;
        for (int a = 0; a < DoubleArrays; ++a) {
            plan.arrays[a] = input[kArrayName[a]].get<std::vector<double>>();
            plan.arrays[a].resize(kArraySize[a]);
        }
        plan.columnMap = input["columnMap"].get<std::vector<int16_t>>();
        plan.columnMap.resize(kColumnMapSize);
        plan.statusCodes.clear();
        for (const auto &code : input["statusCodes"]) plan.statusCodes.push_back(bytesOf(code.get<std::string>()));
        plan.statusCodes.resize(kStatusCodes);
        plan.valuationYear = input["valuationYear"].get<int32_t>();
        plan.mortalityBaseYear = input["mortalityBaseYear"].get<int32_t>();
        plan.delimiterCode = input["delimiterCode"].get<int32_t>();
        basePlans.push_back(std::move(plan));
    }
    if (basePlans.empty()) {
        std::fprintf(stderr, "run_fuzz: no reference cases in %s\n", golden.c_str());
        std::exit(1);
    }
}

void removeWorkDir() {
    std::error_code ignored;
    fs::remove_all(workDir, ignored);
}

struct Descriptor {
    SAFEARRAY array{};
    SAFEARRAY *pointer = &array;
};

template <typename Element> void describe(Descriptor &d, std::vector<Element> &elements) {
    d.array.cDims = 1;
    d.array.cbElements = sizeof(Element);
    d.array.pvData = elements.data();
    d.array.rgsabound[0].cElements = static_cast<uint32_t>(elements.size());
}

std::string readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines the run reads from these bytes: "\r\n" counts as "\n", and a line
// longer than 499 bytes is read in pieces of 499.
size_t linesReadFrom(const std::string &bytes) {
    size_t lines = 0, length = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        ++length;
        if (bytes[i] == '\n' || length == 499) {
            ++lines;
            length = 0;
        }
    }
    return lines + (length > 0 ? 1 : 0);
}

size_t countOf(const std::string &text, const std::string &pattern) {
    size_t n = 0;
    for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) ++n;
    return n;
}

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "run_fuzz: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    loadBasePlans();
    // Every file of a run, the scratch file included, lives in a directory of
    // this process's own.
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/talvek-run-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::exit(1);
    workDir = pattern;
    fs::current_path(workDir);
    std::atexit(removeWorkDir);
    return 0;
}

// Input: one byte choosing the base plan, one byte with the number of
// patches, the patches of 12 bytes (selector, element as 16 bits, kind, 8
// value bytes; a kind from 128 on takes a special value instead of the
// bytes), then the member file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    constexpr size_t kPatchBytes = 12;
    if (size < 2) return 0;
    Plan plan = basePlans[data[0] % basePlans.size()];
    const size_t patches = data[1] % 64;
    size_t at = 2;
    int32_t membersDone = 0, errorCount = 0;
    for (size_t p = 0; p < patches && at + kPatchBytes <= size; ++p, at += kPatchBytes) {
        const int selector = data[at] % kSelectors;
        const uint16_t element = static_cast<uint16_t>(data[at + 1] | (data[at + 2] << 8));
        const uint8_t kind = data[at + 3];
        uint64_t bits;
        std::memcpy(&bits, data + at + 4, sizeof bits);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (kind >= 128) value = kSpecialValues[kind % kSpecialCount];
        if (selector < DoubleArrays) {
            plan.arrays[selector][element % kArraySize[selector]] = value;
        } else if (selector == kColumnMapPatch) {
            plan.columnMap[element % kColumnMapSize] = static_cast<int16_t>(bits & 0xFFFF);
        } else if (selector == kScalarPatch) {
            const int32_t slot = static_cast<int32_t>(bits & 0xFFFFFFFFu);
            switch (element % 5) {
            case 0: plan.valuationYear = slot; break;
            case 1: plan.mortalityBaseYear = slot; break;
            case 2: plan.delimiterCode = slot; break;
            case 3: membersDone = slot; break;
            default: errorCount = slot; break;
            }
        } else if (selector == kStatusPatch) {
            char text[9] = {};
            std::memcpy(text, data + at + 4, 8);
            plan.statusCodes[1 + element % (kStatusCodes - 1)] = text;
        }
    }
    const std::string memberBytes(reinterpret_cast<const char *>(data) + at, size - at);
    {
        std::ofstream out(workDir / "members.txt", std::ios::binary | std::ios::trunc);
        out.write(memberBytes.data(), static_cast<std::streamsize>(memberBytes.size()));
    }

    std::vector<const char *> statusCodes;
    for (const std::string &code : plan.statusCodes) statusCodes.push_back(code.c_str());
    std::vector<double> memberCounts(kMemberCountsSize), decrementCounts(kDecrementCountsSize),
        benefitCashflows(kCashflowsSize);
    Descriptor d[16];
    for (int a = 0; a < DoubleArrays; ++a) describe(d[a], plan.arrays[a]);
    describe(d[11], plan.columnMap);
    describe(d[12], statusCodes);
    describe(d[13], memberCounts);
    describe(d[14], decrementCounts);
    describe(d[15], benefitCashflows);

    int32_t memberTotal = 0;
    int16_t statusWord = 0;
    const int32_t doneBefore = membersDone, errorsBefore = errorCount;
    const std::string memberFile = (workDir / "members.txt").string();
    const std::string listingFile = (workDir / "listing.txt").string();
    const std::string errorFile = (workDir / "errors.txt").string();
    GenerateLiabilities(memberFile.c_str(), listingFile.c_str(), errorFile.c_str(),
                        plan.valuationYear, &memberTotal, &membersDone, &errorCount, &statusWord,
                        &d[BaseMortality].pointer, plan.mortalityBaseYear,
                        &d[MortalityImprovement].pointer, &d[11].pointer, plan.delimiterCode,
                        &d[12].pointer, &d[PlanParameters].pointer, &d[RetirementFactors].pointer,
                        &d[DemographicParameters].pointer, &d[EconomicParameters].pointer,
                        &d[RetirementRates].pointer, &d[DisabilityRates].pointer,
                        &d[WithdrawalRates].pointer, &d[SalaryScale].pointer, &d[13].pointer,
                        &d[14].pointer, &d[YearlyRates].pointer, &d[15].pointer);

    // Every line read is listed once and either counted as a member or
    // rejected by exactly one field error; layout errors come on top.
    const std::string listing = readFile(listingFile);
    const std::string errors = readFile(errorFile);
    const size_t lines = linesReadFrom(memberBytes);
    const size_t listed = countOf(listing, "\n");
    const size_t messages = countOf(errors, "Error: Member ");
    const size_t layoutErrors = countOf(errors, "problem with data file layout.\n");
    const size_t unknown = countOf(errors, "Could not identify status  ");
    const uint32_t done = static_cast<uint32_t>(membersDone) - static_cast<uint32_t>(doneBefore);
    const uint32_t counted = static_cast<uint32_t>(errorCount) - static_cast<uint32_t>(errorsBefore);
    require(listed == lines + 2, "listing line feeds differ from the lines read");
    require(done + (messages - layoutErrors) == lines, "lines neither counted nor rejected");
    require(counted == messages, "error count differs from the messages");
    require(memberCounts[0] == static_cast<double>(done), "memberCounts element 0 differs from membersDone");
    require(countOf(errors, "\n") == messages + unknown, "error-log line feeds differ from the messages");
    return 0;
}
