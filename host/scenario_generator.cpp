#include "scenario_generator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "basis_file.h"
#include "commands.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLn2 = 0.69314718055994530942;
constexpr int kFirstDrawnYear = 1; // year 0 is the valuation year: its rates are the levels' start
constexpr int kLastYear = 110;

// The model's yearly pull towards the long-run level and the spread of one
// year's shock, per rate.
constexpr double kInflationReversion = 0.25;
constexpr double kInflationVolatility = 0.01;
constexpr double kSalaryGrowthReversion = 0.3;
constexpr double kSalaryGrowthVolatility = 0.005;
constexpr double kRealDiscountReversion = 0.1;
constexpr double kRealDiscountVolatility = 0.008;

// Rates are kept above this floor so that every factor 1 + rate stays well
// above 0 (with the volatilities above a draw reaches it practically never).
constexpr double kRateFloor = -0.9;

uint64_t splitMix64(uint64_t &x) {
    x += 0x9E3779B97F4A7C15ULL;
    uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint64_t rotateLeft(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// One year's rates of a scenario.
struct YearRates {
    double inflation;
    double salaryGrowth;
    double realDiscount; // the discount rate less inflation (mean-reverting) or over it (lognormal)
};

// x(t) = x(t - 1) + a (L - x(t - 1)) + s Z, held above the floor
double meanRevertingStep(double previous, double longRun, double reversion, double volatility, double shock) {
    return std::max(previous + reversion * (longRun - previous) + volatility * shock, kRateFloor);
}

// 1 + x = (1 + L) exp(s Z - s^2 / 2): the mean of 1 + x is 1 + L
double lognormalDraw(double longRun, double volatility, double shock) {
    const double rate = (1.0 + longRun) * plainExp(volatility * shock - 0.5 * volatility * volatility) - 1.0;
    return std::max(rate, kRateFloor);
}

YearRates nextYear(ScenarioModel model, const YearRates &last, const ScenarioLevels &levels, RandomStream &random) {
    const double inflationShock = standardNormal(random);
    const double growthShock = standardNormal(random);
    const double discountShock = standardNormal(random);
    if (model == ScenarioModel::Lognormal)
        return {lognormalDraw(levels.inflationLongRun, kInflationVolatility, inflationShock),
                lognormalDraw(levels.salaryGrowthLongRun, kSalaryGrowthVolatility, growthShock),
                lognormalDraw(levels.realDiscountLongRun, kRealDiscountVolatility, discountShock)};
    return {meanRevertingStep(last.inflation, levels.inflationLongRun, kInflationReversion, kInflationVolatility,
                              inflationShock),
            meanRevertingStep(last.salaryGrowth, levels.salaryGrowthLongRun, kSalaryGrowthReversion,
                              kSalaryGrowthVolatility, growthShock),
            meanRevertingStep(last.realDiscount, levels.realDiscountLongRun, kRealDiscountReversion,
                              kRealDiscountVolatility, discountShock)};
}

// The discount forward rate of the year: inflation plus the real rate
// (mean-reverting), or the two compounded, (1 + i)(1 + r) - 1 (lognormal).
double discountRateOf(ScenarioModel model, const YearRates &year) {
    if (model == ScenarioModel::Lognormal) return std::max((1.0 + year.inflation) * (1.0 + year.realDiscount) - 1.0, kRateFloor);
    return std::max(year.inflation + year.realDiscount, kRateFloor);
}

// Eight decimals, correctly rounded: the same text wherever it is printed.
void appendRate(std::string &text, double rate) {
    char number[48];
    std::snprintf(number, sizeof number, "%.8f", rate);
    text += number;
}

const char *modelName(ScenarioModel model) {
    return model == ScenarioModel::Lognormal ? "lognormal" : "mean-reverting";
}

} // namespace

void seedRandomStream(RandomStream &stream, uint64_t seed) {
    uint64_t x = seed;
    for (uint64_t &word : stream.state) word = splitMix64(x);
}

uint64_t nextRandom(RandomStream &stream) {
    uint64_t *s = stream.state;
    const uint64_t result = rotateLeft(s[1] * 5, 7) * 9;
    const uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotateLeft(s[3], 45);
    return result;
}

// the top 53 bits, moved half a step off 0: (k + 1/2) / 2^53, never 0 or 1
double uniformOpen(RandomStream &stream) {
    return (static_cast<double>(nextRandom(stream) >> 11) + 0.5) * (1.0 / 9007199254740992.0);
}

// Z = sqrt(-2 ln U1) cos(2 pi U2); the pair's sine is not used
double standardNormal(RandomStream &stream) {
    const double u1 = uniformOpen(stream);
    const double u2 = uniformOpen(stream);
    return std::sqrt(-2.0 * plainLog(u1)) * plainCos(2.0 * kPi * u2);
}

// ln x = e ln 2 + ln m with x = m 2^e, m in [sqrt(1/2), sqrt(2)), and
// ln m = 2 (s + s^3/3 + s^5/5 + ...), s = (m - 1) / (m + 1), |s| < 0.172
double plainLog(double x) {
    int exponent = 0;
    double m = std::frexp(x, &exponent);
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        --exponent;
    }
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double term = s;
    double sum = 0.0;
    for (int k = 1; k <= 41; k += 2) {
        sum += term / k;
        term *= s2;
    }
    return static_cast<double>(exponent) * kLn2 + 2.0 * sum;
}

// exp x = 2^n exp r, n = round(x / ln 2), |r| <= ln 2 / 2, exp r by its series
double plainExp(double x) {
    const double n = std::floor(x / kLn2 + 0.5);
    const double r = x - n * kLn2;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k <= 20; ++k) {
        term *= r / k;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(n));
}

// cos x by its series after moving x into [-pi, pi] (x given in [-2 pi, 2 pi])
double plainCos(double x) {
    if (x > kPi) x -= 2.0 * kPi;
    if (x < -kPi) x += 2.0 * kPi;
    const double x2 = x * x;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k <= 20; ++k) {
        term *= -x2 / ((2.0 * k - 1.0) * (2.0 * k));
        sum += term;
    }
    return sum;
}

ScenarioLevels levelsOfBasis(const PlanBasis &basis) {
    ScenarioLevels levels;
    levels.inflationStart = basis.inflation[0];
    levels.inflationLongRun = basis.inflation[kLastYear];
    levels.salaryGrowthStart = basis.realWageGrowth[0];
    levels.salaryGrowthLongRun = basis.realWageGrowth[kLastYear];
    levels.realDiscountStart = basis.discountRateYears1To10 - basis.inflation[0];
    levels.realDiscountLongRun = basis.discountRateYears11To110 - basis.inflation[kLastYear];
    return levels;
}

bool writeScenarios(std::FILE *out, int64_t count, uint64_t seed, ScenarioModel model, const ScenarioLevels &levels) {
    RandomStream random;
    seedRandomStream(random, seed);
    std::string text = std::string("# talvek generate-scenarios: ") + modelName(model) + " model, seed " +
                       std::to_string(seed) + ", " + std::to_string(count) + " scenarios\n" +
                       "scenario,year,inflation,salary_growth,discount_rate\n";
    bool written = true;
    for (int64_t scenario = 1; written && scenario <= count; ++scenario) {
        YearRates year{levels.inflationStart, levels.salaryGrowthStart, levels.realDiscountStart};
        for (int t = 0; t <= kLastYear; ++t) {
            if (t >= kFirstDrawnYear) year = nextYear(model, year, levels, random);
            text += std::to_string(scenario) + ',' + std::to_string(t) + ',';
            appendRate(text, year.inflation);
            text += ',';
            appendRate(text, year.salaryGrowth);
            text += ',';
            // the curve starts at year 1: year 0 has no discount rate
            if (t >= kFirstDrawnYear) appendRate(text, discountRateOf(model, year));
            text += '\n';
        }
        // handed on in parts of about 64 KiB, and the rest at the end
        if (text.size() >= 65536 || scenario == count) {
            written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
            text.clear();
        }
    }
    if (count <= 0) written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return written;
}

int generateScenariosCommand(int64_t count, uint64_t seed, const std::string &model, const std::string &basisFile,
                             const std::string &outputFile) {
    ScenarioLevels levels;
    if (!basisFile.empty()) {
        PlanBasis basis;
        std::vector<std::string> problems;
        if (!readBasisFile(basisFile, basisFile, basis, problems)) {
            for (const std::string &problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
            std::fprintf(stderr, "talvek: the basis file %s was refused; nothing was written\n", basisFile.c_str());
            return kExitRefused;
        }
        levels = levelsOfBasis(basis);
    }
    const ScenarioModel chosen = model == "lognormal" ? ScenarioModel::Lognormal : ScenarioModel::MeanReverting;
    // written beside the file and renamed over it: a failed write leaves what was there
    const std::string temporary = outputFile + ".talvek-partial-" + std::to_string(getpid());
    std::FILE *out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "talvek: cannot write %s: %s\n", temporary.c_str(), std::strerror(errno));
        return kExitWriteFailed;
    }
    bool ok = writeScenarios(out, count, seed, chosen, levels);
    ok = ok && std::fflush(out) == 0 && fsync(fileno(out)) == 0;
    int reason = errno;
    ok = std::fclose(out) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), outputFile.c_str()) != 0) {
        reason = errno;
        ok = false;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        std::fprintf(stderr, "talvek: writing %s failed: %s; the file is untouched\n", outputFile.c_str(),
                     std::strerror(reason));
        return kExitWriteFailed;
    }
    return kExitDone;
}
