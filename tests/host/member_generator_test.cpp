#include "member_generator.h"

#include <cstdlib>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "host_test_support.h"

namespace {

std::string generated(int64_t members, uint64_t seed) {
    const std::filesystem::path file = freshDirectory("generated") / "members.txt";
    std::FILE *out = std::fopen(file.c_str(), "wb");
    EXPECT_TRUE(generateMembers(out, members, seed));
    std::fclose(out);
    return readText(file);
}

// The fields of one line: every field is followed by a comma.
std::vector<std::string> fieldsOf(const std::string &line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t comma = line.find(','); comma != std::string::npos; comma = line.find(',', start)) {
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    EXPECT_EQ(start, line.size()) << "text after the last delimiter: " << line;
    return fields;
}

double number(const std::string &field) { return field.empty() ? 0.0 : std::strtod(field.c_str(), nullptr); }

} // namespace

TEST(MemberGenerator, TheSameSeedGivesTheSameFileAndAnotherSeedAnother) {
    const std::string first = generated(500, 42);
    EXPECT_EQ(first, generated(500, 42));
    EXPECT_NE(first, generated(500, 43));
    // a longer file starts with the shorter one
    EXPECT_EQ(generated(800, 42).substr(0, first.size()), first);
    EXPECT_EQ(generated(0, 42), "");
}

TEST(MemberGenerator, RandomNumbersFollowSplitmix64) {
    // the first outputs of splitmix64 from state 0, as published with it
    MemberRandom random{0};
    EXPECT_EQ(nextRandom(random), 0xE220A8397B1DCDAFULL);
    EXPECT_EQ(nextRandom(random), 0x6E789E6AA1B965F4ULL);
    MemberRandom uniform{7};
    for (int i = 0; i < 1000; ++i) {
        const double u = uniformRandom(uniform);
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
}

TEST(MemberGenerator, LinesFitTheExampleLayoutWithRealisticStatusesAndValues) {
    const int members = 20000;
    std::istringstream text(generated(members, 2024));
    std::string line;
    std::map<std::string, int> statuses;
    int lines = 0;
    double activeSalaries = 0.0;
    while (std::getline(text, line)) {
        ++lines;
        const std::vector<std::string> f = fieldsOf(line);
        ASSERT_EQ(f.size(), 14u) << line;
        EXPECT_LE(f[0].size(), 10u);
        ++statuses[f[1]];
        const int age = std::atoi(f[2].c_str());
        ASSERT_GE(age, 15) << line;
        ASSERT_LE(age, 119) << line;
        ASSERT_TRUE(f[3] == "M" || f[3] == "F") << line;
        ASSERT_TRUE(f[8] == "M" || f[8] == "S" || f[8] == "U") << line;
        // a given spouse age keeps the couple's projection inside 110 years
        if (!f[9].empty()) {
            EXPECT_GE(std::atoi(f[9].c_str()), 18) << line;
            EXPECT_EQ(f[8], "M") << line;
        }
        EXPECT_LE(std::atoi(f[10].c_str()), 50) << line;
        // amounts with two decimals, the guaranteed fraction with three
        for (int amount : {4, 5, 6, 7, 11, 13}) {
            if (f[amount].empty()) continue;
            const size_t point = f[amount].find('.');
            ASSERT_NE(point, std::string::npos) << line;
            EXPECT_EQ(f[amount].size() - point, 3u) << line;
        }
        if (!f[12].empty()) {
            EXPECT_GE(number(f[12]), 0.4);
            EXPECT_LE(number(f[12]), 1.0);
        }
        const double weeks = number(f[5]) + number(f[6]);
        if (f[1] == "A") {
            EXPECT_GT(number(f[4]), 0.0) << line;
            EXPECT_LE(weeks, (age - 18) * 52.18 + 0.01) << line;
            activeSalaries += number(f[4]);
        } else if (f[1] == "V") {
            EXPECT_GT(weeks, 0.0) << line;
            EXPECT_GT(number(f[13]), 0.0) << line;
        } else {
            EXPECT_GT(number(f[7]), 0.0) << line; // a pension in payment
        }
    }
    EXPECT_EQ(lines, members);
    ASSERT_EQ(statuses.size(), 5u);
    // about 40 % in service, the rest over the four other statuses
    EXPECT_NEAR(statuses["A"] / double(members), 0.40, 0.02);
    EXPECT_NEAR(statuses["P"] / double(members), 0.25, 0.02);
    EXPECT_NEAR(statuses["D"] / double(members), 0.05, 0.01);
    EXPECT_NEAR(statuses["V"] / double(members), 0.20, 0.02);
    EXPECT_NEAR(statuses["S"] / double(members), 0.10, 0.02);
    const double averageSalary = activeSalaries / statuses["A"];
    EXPECT_GT(averageSalary, 30000.0);
    EXPECT_LT(averageSalary, 80000.0);
}
