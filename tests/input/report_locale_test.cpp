// The reports never use the locale of the calling program: with a locale
// whose decimal separator is a comma, the error log's amounts and the
// listing's still carry a point, byte for byte as in the C locale.
#include <cstring>
#include <string>
#include <vector>

#include <locale.h>

#include <gtest/gtest.h>

#include "input/member_listing.h"
#include "input/member_parser.h"
#include "input/report_format.h"
#include "support/test_support.h"

namespace {

// The thread runs in the comma locale for the life of the scope.
struct CommaLocaleScope {
    locale_t german = nullptr;
    locale_t previous = nullptr;
    explicit CommaLocaleScope(const std::string &name) {
        german = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr));
        if (german != nullptr) previous = uselocale(german);
    }
    ~CommaLocaleScope() {
        if (german == nullptr) return;
        uselocale(previous);
        freelocale(german);
    }
};

std::string parseAndLog(const std::string &bytes, std::string &listing) {
    std::string kept;
    ErrorLog log{ReportSink{nullptr, &kept, false, 0}, nullptr};
    int32_t errors = 0;
    log.errorCount = &errors;
    int16_t columnMap[kMapColumns + 1] = {};
    for (int16_t code = 1; code <= 14; ++code) columnMap[code] = code;
    std::vector<char> line(kLineBufferSize, kLineFiller);
    std::memcpy(line.data(), bytes.data(), bytes.size());
    line[bytes.size()] = '\0';
    MemberRecord member{};
    resetMemberRecord(member);
    parseMemberLine(line.data(), makeLineLayout(1, columnMap), member, log);
    ReportSink listed{nullptr, &listing, false, 0};
    writeListingLine(listed, member);
    return kept;
}

TEST(ReportLocale, ErrorLogAndListingKeepThePointInACommaLocale) {
    std::string reason;
    const std::string name = makeCommaLocale(reason);
    if (name.empty()) GTEST_SKIP() << reason;
    CommaLocaleScope scope(name);
    ASSERT_NE(scope.german, nullptr);
    // the C formatter now prints a comma: what the reports must not do
    char text[32];
    std::snprintf(text, sizeof text, "%10.2f", 1234.56);
    ASSERT_STREQ(text, "   1234,56");

    std::string listing;
    // a current pension with a third decimal: the message shows the value read so far
    const std::string log = parseAndLog("A1\tA\t45\tM\t30000.50\t520\t0\t1234.567\tM\t0\t0\t0\t0\t0\t\n", listing);
    EXPECT_EQ(log, "Error: Member A1        , problem reading current pension field:    1234.56.\n");
    EXPECT_NE(listing.find("30000.50"), std::string::npos) << listing;
    EXPECT_NE(listing.find("520.0"), std::string::npos) << listing;
    // service without guarantee: "%6.2f"
    const std::string log2 = parseAndLog("A2\tA\t45\tM\t30000.50\t520\t12.345\t0\tM\t0\t0\t0\t0\t0\t\n", listing);
    EXPECT_EQ(log2, "Error: Member A2        , problem reading 'service without inflation guarantee'  12.34.\n");
}

// Every message shape against the C formatter in the C locale.
TEST(ReportLocale, MessageFormatterGivesTheCFormattersBytes) {
    const double amounts[] = {0.0, -0.0, 0.005, 1234.565, 12.345, 1e15, -3.125, 1e300, 99999999.995};
    for (double amount : amounts) {
        for (const char *format : {"Error: Member %s, problem reading bridge pension field: %10.2f.\n",
                                   "Error: Member %s, x %6.2f.\n"}) {
            char expected[1024];
            const int length = std::snprintf(expected, sizeof expected, format, "M123      ", amount);
            char got[2048];
            const int gotLength = formatReportLine(got, sizeof got, format, {"M123      ", amount});
            EXPECT_EQ(std::string(got, static_cast<size_t>(gotLength)),
                      std::string(expected, static_cast<size_t>(length)))
                << amount;
        }
    }
    for (int32_t age : {0, 7, 14, 120, 130, -3, 2147483647, -2147483647 - 1}) {
        char expected[256];
        const int length = std::snprintf(expected, sizeof expected, "Error: Member %s, member age %3i outside.\n",
                                         "A", age);
        char got[512];
        const int gotLength =
            formatReportLine(got, sizeof got, "Error: Member %s, member age %3i outside.\n", {"A", age});
        EXPECT_EQ(std::string(got, static_cast<size_t>(gotLength)), std::string(expected, static_cast<size_t>(length)));
    }
    // a NUL letter is a byte of the message, as "%c" writes it
    char got[64];
    const int gotLength = formatReportLine(got, sizeof got, "sex %c not recognized.\n", {'\0'});
    EXPECT_EQ(std::string(got, static_cast<size_t>(gotLength)), std::string("sex \0 not recognized.\n", 22));
}

} // namespace
