// The report formatter against the C formatter it stands in for.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "input/report_format.h"

namespace {

std::string fixed(double value, int width, int precision) {
    char buffer[512];
    char *end = appendFixed(buffer, value, width, precision);
    return std::string(buffer, end);
}

std::string printed(double value, int width, int precision) {
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, "%*.*f", width, precision, value);
    return std::string(buffer, static_cast<size_t>(length));
}

void expectLikePrintf(double value) {
    for (const auto &[width, precision] : {std::pair{9, 2}, std::pair{7, 1}, std::pair{10, 2},
                                           std::pair{6, 2}}) {
        ASSERT_EQ(fixed(value, width, precision), printed(value, width, precision))
            << "value " << value << " as %" << width << "." << precision << "f";
    }
}

TEST(ReportFormat, ExactTiesRoundToEvenLikeTheCFormatter) {
    for (double value : {0.125, 0.375, 2.5, 0.25, 0.05, 1.005, 30000.505, 520.25, 520.35, -0.125,
                         -2.5, 0.0, -0.0, 999999.995, 1e15 + 0.5})
        expectLikePrintf(value);
}

TEST(ReportFormat, ExtremesAndNonNumbersLikeTheCFormatter) {
    for (double value : std::initializer_list<double>{DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 1e22, 1e23, 123456789012.345,
                         HUGE_VAL, -HUGE_VAL, std::nan(""), -std::nan("")})
        expectLikePrintf(value);
}

TEST(ReportFormat, RandomAmountsOfEveryMagnitudeLikeTheCFormatter) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-8, 30);
    std::uniform_int_distribution<int64_t> cents(-100000000, 100000000);
    for (int i = 0; i < 30000; ++i) {
        expectLikePrintf(mantissa(random) * std::pow(10.0, exponent(random)));
        // amounts as a member file gives them: whole cents and tenths
        expectLikePrintf(static_cast<double>(cents(random)) / 100.0);
        expectLikePrintf(static_cast<double>(cents(random)) * 0.1 + 0.05);
    }
}

TEST(ReportFormat, IntegersTextAndLettersLikeTheCFormatter) {
    for (int32_t value : {0, 5, -5, 45, 119, 130, 1000, -1234, INT_MAX, INT_MIN}) {
        char buffer[64];
        char expected[64];
        char *end = appendInt(buffer, value, 3);
        const int length = std::snprintf(expected, sizeof expected, "%3i", value);
        EXPECT_EQ(std::string(buffer, end), std::string(expected, static_cast<size_t>(length)));
    }
    char buffer[32];
    char *end = appendText(buffer, "A123      ");
    end = appendChar(end, '\0'); // a NUL letter is a byte of the line
    EXPECT_EQ(std::string(buffer, end), std::string("A123      \0", 11));
}

} // namespace
