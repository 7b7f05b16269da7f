#include "support/test_support.h"
#include "support/scratch_directories.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <unistd.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

TalvekAssumptions TestHost::assumptions(int32_t valuationYear, int32_t mortalityBaseYear,
                                        int32_t delimiterCode) {
    const HostArrays host = arrays();
    TalvekAssumptions a{};
    a.valuation_year = valuationYear;
    a.mortality_base_year = mortalityBaseYear;
    a.delimiter_code = delimiterCode;
    a.base_mortality = host.baseMortality;
    a.mortality_improvement = host.mortalityImprovement;
    a.column_map = host.columnMap;
    a.status_codes = host.statusCodes;
    a.plan_parameters = host.planParameters;
    a.retirement_factors = host.retirementFactors;
    a.demographic_parameters = host.demographicParameters;
    a.economic_parameters = host.economicParameters;
    a.retirement_rates = host.retirementRates;
    a.disability_rates = host.disabilityRates;
    a.withdrawal_rates = host.withdrawalRates;
    a.salary_scale = host.salaryScale;
    a.yearly_rates = host.yearlyRates;
    return a;
}

HostArrays TestHost::arrays() {
    for (size_t i = 0; i < statusCodes.size(); ++i) statusCodes[i] = statusCodeText[i].c_str();
    HostArrays host{};
    host.baseMortality = baseMortality.data();
    host.mortalityImprovement = mortalityImprovement.data();
    host.columnMap = columnMap.data();
    host.statusCodes = statusCodes.data();
    host.planParameters = planParameters.data();
    host.retirementFactors = retirementFactors.data();
    host.demographicParameters = demographicParameters.data();
    host.economicParameters = economicParameters.data();
    host.retirementRates = retirementRates.data();
    host.disabilityRates = disabilityRates.data();
    host.withdrawalRates = withdrawalRates.data();
    host.salaryScale = salaryScale.data();
    host.yearlyRates = yearlyRates.data();
    host.memberCounts = memberCounts.data();
    host.decrementCounts = decrementCounts.data();
    host.benefitCashflows = benefitCashflows.data();
    return host;
}

std::unique_ptr<Basis> makeZeroBasis() {
    auto basis = std::make_unique<Basis>();
    std::memset(basis.get(), 0, sizeof(Basis));
    return basis;
}

std::filesystem::path makeScratchDirectory(const std::string &name) {
    static std::mt19937_64 generator{std::random_device{}()};
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
        ("talvek-" + name + "-" + std::to_string(getpid()) + "-" + std::to_string(generator()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return removedWhenTestPasses(dir);
}

std::string readWholeFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWholeFile(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string makeCommaLocale(std::string &reason) {
    static std::string made;
    static std::string why;
    static bool tried = false;
    if (!tried) {
        tried = true;
        // kept for every later test that asks for the locale
        const std::filesystem::path dir = removedWhenProgramPasses(makeScratchDirectory("comma-locale"));
        const std::string command = "localedef -c -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() +
                                    "' >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!std::filesystem::exists(dir / "de_DE.UTF-8")) {
            why = "localedef could not make de_DE.UTF-8 (status " + std::to_string(status) + ")";
        } else {
            setenv("LOCPATH", dir.c_str(), 1);
            locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(nullptr));
            if (german == nullptr) {
                why = "the made locale cannot be loaded";
            } else {
                // the locale must really print a comma, or the test proves nothing
                const locale_t previous = uselocale(german);
                char text[32];
                std::snprintf(text, sizeof text, "%.2f", 1234.5);
                uselocale(previous);
                freelocale(german);
                if (std::string(text) == "1234,50") made = "de_DE.UTF-8";
                else why = std::string("the made locale prints ") + text;
            }
        }
    }
    reason = why;
    return made;
}

// Loading a locale from LOCPATH, the C library keeps the parsed path list
// for good: not a leak of ours, so the leak checker of the sanitizer build is
// told to pass over it.
extern "C" const char *__lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }
