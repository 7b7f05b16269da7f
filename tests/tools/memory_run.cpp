// The memory measurement's runner: writes a member file of valid members of
// all five statuses, or values one through the exported function the way a
// host does and prints the peak resident memory of the process.
//   memory_run generate LINES FILE
//   memory_run run FILE
#include <sys/resource.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "api/plausible_plan_support.h"
#include "talvek_pension_model.h"

namespace {

// splitmix64: the same file for the same count on every machine.
uint64_t nextRandom(uint64_t &state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int generate(long long lines, const char *path) {
    std::FILE *out = std::fopen(path, "wb");
    if (out == nullptr) return 1;
    uint64_t state = 2024;
    const char *statuses = "AABCDE"; // members in service twice as often
    for (long long n = 1; n <= lines; ++n) {
        const uint64_t r = nextRandom(state);
        MemberFields f{};
        f.number = "M" + std::to_string(n);
        f.status = std::string(1, statuses[r % 6]);
        f.age = 18 + static_cast<int>((r >> 8) % 90);
        f.sex = (r >> 16) % 2 ? 'M' : 'F';
        f.salary = f.status == "A" ? 20000 + static_cast<double>((r >> 20) % 60000) : 0;
        f.serviceWithGuarantee = static_cast<double>((r >> 24) % 2000);
        f.pension = f.status == "A" ? 0 : static_cast<double>((r >> 28) % 30000);
        f.marital = (r >> 32) % 3 ? 'M' : 'S';
        f.spouseAge = (r >> 36) % 2 ? 0 : f.age;
        f.yearsRetired = static_cast<int>((r >> 40) % 20);
        f.bridge = static_cast<double>((r >> 44) % 1500);
        f.guaranteedFraction = 0.75;
        f.averageSalary = f.status == "D" ? 40000 : 0;
        const std::string line = memberLine(f);
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
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

int run(const char *memberFile) {
    TestHost host;
    for (int16_t k = 1; k <= 14; ++k) host.columnMap[k] = k;
    const char *codes[] = {"?", "A", "B", "C", "D", "E", "F", "G", "H", "I"};
    for (int k = 0; k < 10; ++k) host.statusCodeText[k] = codes[k];
    fillPlausiblePlan(host);
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

    const std::filesystem::path dir = std::filesystem::path(memberFile).parent_path();
    const std::string listing = (dir / "listing.txt").string();
    const std::string errors = (dir / "errors.txt").string();
    int32_t memberTotal = 0, membersDone = 0, errorCount = 0;
    int16_t statusWord = 0;
    CountInputData(memberFile, &memberTotal);
    GenerateLiabilities(memberFile, listing.c_str(), errors.c_str(), 2011, &memberTotal, &membersDone,
                        &errorCount, &statusWord, &d[0].pointer, 2011, &d[1].pointer, &d[2].pointer, 1,
                        &d[3].pointer, &d[4].pointer, &d[5].pointer, &d[6].pointer, &d[7].pointer,
                        &d[8].pointer, &d[9].pointer, &d[10].pointer, &d[11].pointer, &d[12].pointer,
                        &d[13].pointer, &d[14].pointer, &d[15].pointer);

    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("lines %d members %d errors %d finite %s peak-rss-kib %ld\n", memberTotal, membersDone,
                errorCount, allResultsFinite(host) ? "yes" : "no", usage.ru_maxrss);
    // every line is a valid member: anything else is a fault of the run
    return membersDone == memberTotal && errorCount == 0 && allResultsFinite(host) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate" && argc == 4) return generate(std::atoll(argv[2]), argv[3]);
    if (command == "run" && argc == 3) return run(argv[2]);
    std::fprintf(stderr, "usage: memory_run generate LINES FILE | memory_run run FILE\n");
    return 2;
}
