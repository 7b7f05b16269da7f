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

#include "api/api_test_support.h"
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

int run(const char *memberFile) {
    TestHost host;
    for (int16_t k = 1; k <= 14; ++k) host.columnMap[k] = k;
    const char *codes[] = {"?", "A", "B", "C", "D", "E", "F", "G", "H", "I"};
    for (int k = 0; k < 10; ++k) host.statusCodeText[k] = codes[k];
    fillPlausiblePlan(host);
    const std::filesystem::path dir = std::filesystem::path(memberFile).parent_path();
    const std::string listing = (dir / "listing.txt").string();
    const std::string errors = (dir / "errors.txt").string();
    ExportedCounters counters{0, 0, 0, 0};
    CountInputData(memberFile, &counters.memberTotal);
    callGenerateLiabilities(host, memberFile, listing, errors, 2011, 2011, 1, counters);
    const int32_t memberTotal = counters.memberTotal;
    const int32_t membersDone = counters.membersDone;
    const int32_t errorCount = counters.errorCount;

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
