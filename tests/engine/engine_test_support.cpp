#include "engine/engine_test_support.h"

#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// The case files hold bytes as characters U+0000..U+00FF.
std::string bytesOf(const std::string &utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            bytes.push_back(static_cast<char>(lead));
            i += 1;
        } else {
            const unsigned char next = static_cast<unsigned char>(utf8[i + 1]);
            bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) | (next & 0x3F)));
            i += 2;
        }
    }
    return bytes;
}

template <typename Element> void take(const json &values, std::vector<Element> &into) {
    into = values.get<std::vector<Element>>();
}

struct CheckScript {
    EngineRunResult *result;
    int stopAtCheck;
};

void noStart(void *) {}
void noEnd(void *) {}
bool scriptedCheck(void *context, int64_t done, int64_t total) {
    CheckScript &script = *static_cast<CheckScript *>(context);
    script.result->checks.emplace_back(done, total);
    return static_cast<int>(script.result->checks.size()) == script.stopAtCheck;
}

} // namespace

ReferenceCase loadReferenceCase(const std::string &name) {
    std::ifstream in(fs::path(TALVEK_SOURCE_DIR) / "tests" / "golden" / (name + ".case.json"));
    const json input = json::parse(in);
    ReferenceCase c;
    TestHost &h = c.host;
    take(input["baseMortality"], h.baseMortality);
    take(input["mortalityImprovement"], h.mortalityImprovement);
    take(input["columnMap"], h.columnMap);
    take(input["planParameters"], h.planParameters);
    take(input["retirementFactors"], h.retirementFactors);
    take(input["demographicParameters"], h.demographicParameters);
    take(input["economicParameters"], h.economicParameters);
    take(input["retirementRates"], h.retirementRates);
    take(input["disabilityRates"], h.disabilityRates);
    take(input["withdrawalRates"], h.withdrawalRates);
    take(input["salaryScale"], h.salaryScale);
    take(input["yearlyRates"], h.yearlyRates);
    const std::vector<std::string> codes = input["statusCodes"].get<std::vector<std::string>>();
    for (size_t k = 0; k < codes.size() && k < h.statusCodeText.size(); ++k) h.statusCodeText[k] = bytesOf(codes[k]);
    c.memberBytes = bytesOf(input["memberFile"].get<std::string>());
    c.valuationYear = input["valuationYear"].get<int16_t>();
    c.mortalityBaseYear = input["mortalityBaseYear"].get<int16_t>();
    c.delimiterCode = input["delimiterCode"].get<int16_t>();
    return c;
}

EngineRunResult runCase(ReferenceCase &reference, const fs::path &directory, const EngineRunOptions &options) {
    EngineRunResult result;
    const fs::path members = directory / "members.txt";
    const std::string memberPath = members.string();
    const std::string listingPath = (directory / "listing.txt").string();
    const std::string errorPath = (directory / "errors.txt").string();
    if (!options.fromMemory) writeWholeFile(members, reference.memberBytes);

    EngineRequest request{};
    request.source = options.fromMemory
                         ? MemberSource{nullptr, reinterpret_cast<const unsigned char *>(reference.memberBytes.data()),
                                        static_cast<int64_t>(reference.memberBytes.size())}
                         : MemberSource{memberPath.c_str(), nullptr, 0};
    const bool giving = options.share != nullptr && options.share->giving;
    request.listingFile = giving ? nullptr : listingPath.c_str();
    request.errorFile = giving ? nullptr : errorPath.c_str();
    request.share = options.share;
    request.assumptions = reference.host.arrays();
    request.valuationYear = reference.valuationYear;
    request.mortalityBaseYear = reference.mortalityBaseYear;
    request.delimiterCode = reference.delimiterCode;
    request.jobs = options.jobs;
    request.pieceBytes = options.pieceBytes;
    request.memberTotal = options.memberTotal;
    request.checkBase = options.checkBase;
    CheckScript script{&result, options.stopAtCheck};
    request.hooks = RunHooks{&script, noStart, scriptedCheck, noEnd};
    request.memberCounts = result.memberCounts.data();
    request.decrementCounts = result.decrementCounts.data();
    request.benefitCashflows = result.benefitCashflows.data();
    runEngine(request, result.outcome);
    if (!giving) {
        result.listing = readWholeFile(listingPath);
        result.errors = readWholeFile(errorPath);
    }
    return result;
}

ReferenceCase manyMembers(int lines) {
    ReferenceCase reference = loadReferenceCase("status1-in-service");
    const std::string &bytes = reference.memberBytes;
    const std::string firstLine = bytes.substr(0, bytes.find('\n') + 1);
    std::string file;
    for (int i = 0; i < lines; ++i) file += firstLine;
    reference.memberBytes = file;
    return reference;
}

void expectSameRun(const EngineRunResult &a, const EngineRunResult &b, const std::string &what) {
    EXPECT_EQ(a.outcome.status, b.outcome.status) << what << ": " << a.outcome.message;
    EXPECT_EQ(a.outcome.lineReads, b.outcome.lineReads) << what;
    EXPECT_EQ(a.outcome.membersDone, b.outcome.membersDone) << what;
    EXPECT_EQ(a.outcome.errorCount, b.outcome.errorCount) << what;
    EXPECT_EQ(a.outcome.unknownStatuses, b.outcome.unknownStatuses) << what;
    EXPECT_EQ(a.listing, b.listing) << what;
    EXPECT_EQ(a.errors, b.errors) << what;
    // the arrays to the bit
    EXPECT_EQ(std::memcmp(a.memberCounts.data(), b.memberCounts.data(), a.memberCounts.size() * sizeof(double)), 0)
        << what;
    EXPECT_EQ(std::memcmp(a.decrementCounts.data(), b.decrementCounts.data(),
                          a.decrementCounts.size() * sizeof(double)), 0)
        << what;
    EXPECT_EQ(std::memcmp(a.benefitCashflows.data(), b.benefitCashflows.data(),
                          a.benefitCashflows.size() * sizeof(double)), 0)
        << what;
}
