// generate-scenarios: the plain arithmetic it draws with against the
// library's functions and known moments, the same bytes for the same seed,
// other bytes for another, and a file the scenario reader takes.
#include <cmath>

#include <gtest/gtest.h>

#include "host_test_support.h"
#include "scenario_file.h"
#include "scenario_generator.h"

namespace fs = std::filesystem;

namespace {

TEST(ScenarioGenerator, PlainFunctionsAgreeWithTheLibrarysToTheLastBitsOrSo) {
    for (const double x : {1e-300, 1e-16, 0.001, 0.3, 0.7071, 1.0, 1.5, 2.0, 10.0, 1e10}) {
        EXPECT_NEAR(plainLog(x), std::log(x), 4e-16 * std::max(1.0, std::fabs(std::log(x)))) << x;
    }
    EXPECT_EQ(plainLog(1.0), 0.0);
    for (const double x : {-5.0, -0.2, 0.0, 0.013, 0.5, 3.0}) EXPECT_NEAR(plainExp(x), std::exp(x), 4e-16 * std::exp(x)) << x;
    for (const double x : {-6.2, -3.1, -1.0, 0.0, 0.5, 1.5707963267948966, 3.14, 4.0, 6.28})
        EXPECT_NEAR(plainCos(x), std::cos(x), 1e-15) << x;
}

TEST(ScenarioGenerator, UniformsInTheOpenIntervalAndNormalsWithTheirMoments) {
    RandomStream stream;
    seedRandomStream(stream, 42);
    double sum = 0.0;
    double squares = 0.0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double u = uniformOpen(stream);
        ASSERT_GT(u, 0.0);
        ASSERT_LT(u, 1.0);
        const double z = standardNormal(stream);
        sum += z;
        squares += z * z;
    }
    // mean 0 and variance 1 within about four standard errors
    EXPECT_NEAR(sum / n, 0.0, 4.0 / std::sqrt(double(n)));
    EXPECT_NEAR(squares / n, 1.0, 4.0 * std::sqrt(2.0 / n));
    // the published first output of xoshiro256** seeded through splitmix64 from 0
    RandomStream zero;
    seedRandomStream(zero, 0);
    EXPECT_EQ(zero.state[0], 0xE220A8397B1DCDAFULL); // splitmix64's first output from 0
}

std::string generated(const fs::path &directory, const std::string &name, const std::string &arguments) {
    const fs::path file = directory / name;
    const CommandResult run = runTalvek("generate-scenarios " + arguments + " --out " + file.string());
    EXPECT_EQ(run.status, 0) << run.err;
    return readText(file);
}

TEST(ScenarioGenerator, SameArgumentsSameBytesAnotherSeedOtherBytes) {
    const fs::path directory = freshDirectory("scenario-generator");
    const std::string basis = " --basis " + sourcePath("examples/basis.toml").string();
    for (const std::string model : {"mean-reverting", "lognormal"}) {
        const std::string a = generated(directory, "a.csv", "--count 30 --seed 9 --model " + model + basis);
        const std::string b = generated(directory, "b.csv", "--count 30 --seed 9 --model " + model + basis);
        const std::string c = generated(directory, "c.csv", "--count 30 --seed 10 --model " + model + basis);
        EXPECT_EQ(a, b);
        EXPECT_NE(a, c);
        // the first scenarios do not depend on how many follow
        const std::string shorter = generated(directory, "d.csv", "--count 3 --seed 9 --model " + model + basis);
        const size_t header = shorter.find('\n');
        EXPECT_EQ(a.substr(a.find('\n'), shorter.size() - header), shorter.substr(header));
    }
    EXPECT_NE(generated(directory, "m.csv", "--count 5 --seed 1"),
              generated(directory, "l.csv", "--count 5 --seed 1 --model lognormal"));
}

TEST(ScenarioGenerator, TheFileIsAScenarioSetAroundTheBasissLevels) {
    const fs::path directory = freshDirectory("scenario-generator-read");
    const PlanBasis basis = basisFromText(readText(sourcePath("examples/basis.toml")));
    for (const std::string model : {"mean-reverting", "lognormal"}) {
        generated(directory, "set.csv", "--count 200 --seed 3 --model " + model + " --basis " +
                                            sourcePath("examples/basis.toml").string());
        ScenarioFileSet set;
        std::string problem;
        ASSERT_TRUE(readScenarioFile(directory / "set.csv", "set.csv", basis, set, problem)) << problem;
        ASSERT_EQ(scenarioCount(set), 200);
        EXPECT_EQ(set.labels.front(), 1);
        EXPECT_EQ(set.labels.back(), 200);
        EXPECT_EQ(set.curveKind, TALVEK_CURVE_FORWARD_RATES);
        // year 0 is the basis's; the mean of year 60 over the scenarios near the long-run level
        double inflation = 0.0;
        double discount = 0.0;
        for (int k = 0; k < 200; ++k) {
            const double *rates = set.yearlyRates.data() + k * TALVEK_YEARLY_RATES_SIZE;
            EXPECT_NEAR(rates[TALVEK_YEARLY_INFLATION], basis.inflation[0], 5e-9);
            inflation += rates[TALVEK_YEARLY_INFLATION + 60] / 200.0;
            discount += set.discountCurves[size_t(k) * TALVEK_CURVE_SIZE + 60] / 200.0;
        }
        EXPECT_NEAR(inflation, basis.inflation[110], 0.003) << model;
        EXPECT_NEAR(discount, basis.discountRateYears11To110, 0.004) << model;
    }
}

TEST(ScenarioGenerator, RefusedArgumentsAndAnUnwritableFileLeaveNothing) {
    const fs::path directory = freshDirectory("scenario-generator-refused");
    EXPECT_EQ(runTalvek("generate-scenarios --count 0 --out " + (directory / "x.csv").string()).status, 2);
    EXPECT_EQ(runTalvek("generate-scenarios --count 3 --model normal --out " + (directory / "x.csv").string()).status, 2);
    const CommandResult missing = runTalvek("generate-scenarios --count 3 --out " + (directory / "no" / "x.csv").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot write"), std::string::npos) << missing.err;
    EXPECT_TRUE(fs::is_empty(directory));
}

} // namespace
