#include "api/api_test_support.h"

#include <vector>

namespace {

struct Descriptor {
    SAFEARRAY array{};
    SAFEARRAY *pointer = &array;
};

template <typename Element> void describe(Descriptor &d, std::vector<Element> &elements) {
    d.array.cDims = 1;
    d.array.cbElements = sizeof(Element);
    d.array.pvData = elements.data();
    d.array.rgsabound[0].cElements = static_cast<uint32_t>(elements.size());
    d.array.rgsabound[0].lLbound = 1;
}

} // namespace

ExportedRun::ExportedRun(const std::string &name) : dir(makeScratchDirectory(name)) {
    for (int k = 1; k <= 14; ++k) host.columnMap[k] = static_cast<int16_t>(k);
    const char *codes[] = {"?", "A", "B", "C", "D", "E", "F", "G", "H", "I"};
    for (int k = 0; k < 10; ++k) host.statusCodeText[k] = codes[k];
    host.planParameters[5] = 5;
    host.planParameters[13] = 5;
    host.retirementRates[1] = 60;
    host.retirementRates[26] = 65;
    host.retirementFactors[1] = 60;
    host.retirementFactors[21] = 65;
}

ExportedRun::~ExportedRun() { std::filesystem::remove_all(dir); }

void ExportedRun::run(const std::string &memberBytes) {
    writeWholeFile(path("members.txt"), memberBytes);
    runFiles(path("members.txt").string(), path("listing.txt").string(),
             path("errors.txt").string());
}

void callGenerateLiabilities(TestHost &host, const std::string &memberFile,
                             const std::string &listingFile, const std::string &errorFile,
                             int32_t valuationYear, int32_t mortalityBaseYear,
                             int32_t delimiterCode, ExportedCounters &counters) {
    host.arrays(); // points the status codes at their texts
    Descriptor d[16];
    describe(d[0], host.baseMortality);
    describe(d[1], host.mortalityImprovement);
    describe(d[2], host.columnMap);
    describe(d[3], host.statusCodes);
    describe(d[4], host.planParameters);
    describe(d[5], host.retirementFactors);
    describe(d[6], host.demographicParameters);
    describe(d[7], host.economicParameters);
    describe(d[8], host.retirementRates);
    describe(d[9], host.disabilityRates);
    describe(d[10], host.withdrawalRates);
    describe(d[11], host.salaryScale);
    describe(d[12], host.memberCounts);
    describe(d[13], host.decrementCounts);
    describe(d[14], host.yearlyRates);
    describe(d[15], host.benefitCashflows);
    GenerateLiabilities(memberFile.c_str(), listingFile.c_str(), errorFile.c_str(), valuationYear,
                        &counters.memberTotal, &counters.membersDone, &counters.errorCount,
                        &counters.statusWord, &d[0].pointer, mortalityBaseYear, &d[1].pointer,
                        &d[2].pointer, delimiterCode, &d[3].pointer, &d[4].pointer, &d[5].pointer,
                        &d[6].pointer, &d[7].pointer, &d[8].pointer, &d[9].pointer, &d[10].pointer,
                        &d[11].pointer, &d[12].pointer, &d[13].pointer, &d[14].pointer,
                        &d[15].pointer);
}

void ExportedRun::runFiles(const std::string &memberFile, const std::string &listingFile,
                           const std::string &errorFile) {
    ExportedCounters counters{memberTotal, membersDone, errorCount, statusWord};
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    callGenerateLiabilities(host, memberFile, listingFile, errorFile, valuationYear,
                            mortalityBaseYear, delimiterCode, counters);
    std::filesystem::current_path(saved);
    memberTotal = counters.memberTotal;
    membersDone = counters.membersDone;
    errorCount = counters.errorCount;
    statusWord = counters.statusWord;
}

std::string ExportedRun::listing() const { return readWholeFile(path("listing.txt")); }
std::string ExportedRun::errors() const { return readWholeFile(path("errors.txt")); }
