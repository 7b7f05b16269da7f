// The host's reading of member lines against the engine's own: for hand
// cases of the reading rules and for thousands of garbled lines, every line
// as the host reads it must be the engine's listing line, and the host's
// rejections the engine's field errors and unknown statuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host_test_support.h"
#include "library_reading.h"
#include "member_generator.h"
#include "member_records.h"

namespace {

struct HostReading {
    std::string listing;        // the listing lines the host expects, headers left out
    int64_t fieldErrors = 0;    // lines rejected for a field
    int64_t unknownStatuses = 0;
    int64_t members = 0;        // lines read without a field error
};

// The engine's listing line of a member, its spouse age derived when it was
// read whole and none was given.
std::string listingLine(LibraryMember m, bool readWhole, int32_t spouseAgeDifference) {
    if (readWhole && m.spouseAge == 0) {
        m.spouseAge = m.sex == 'M' || m.sex == 'm' ? m.age - spouseAgeDifference : m.age + spouseAgeDifference;
    }
    char line[512];
    std::snprintf(line, sizeof line, " %s %s  %3i   %c    %9.2f %7.1f     %7.1f %9.2f     %c      %3i    %3i\n",
                  m.memberNumber, m.statusCode, m.age, m.sex, m.annualSalary, m.serviceWithGuarantee,
                  m.serviceWithoutGuarantee, m.currentPension, m.maritalStatus, m.spouseAge, m.yearsRetired);
    return line;
}

HostReading readAsHost(const PlanBasis &basis, const std::string &bytes) {
    const char delimiter = ",\t,; "[basis.delimiterCode];
    const LibraryLayout layout = makeLibraryLayout(delimiter, basis.fieldColumn.data());
    RecordReader reader = openRecords(bytes.data(), static_cast<int64_t>(bytes.size()), false, delimiter);
    SourceRecord record;
    LibraryMember member;
    const LibraryStatusTable statuses = makeLibraryStatusTable(basis.statusCodes);
    HostReading reading;
    while (nextRecord(reader, record)) {
        const LibraryLine line{record.bytes, record.length, record.lineFeed, delimiter};
        const Rejection rejection = readLibraryLine(line, layout, member);
        if (rejection == NotRejected) {
            ++reading.members;
            if (classifyLibraryStatus(member, statuses) == 0) ++reading.unknownStatuses;
        } else {
            ++reading.fieldErrors;
        }
        reading.listing += listingLine(member, rejection == NotRejected, basis.spouseAgeDifference);
    }
    return reading;
}

void expectHostReadsAsEngine(const PlanBasis &basis, const std::string &bytes) {
    const HostReading host = readAsHost(basis, bytes);
    std::array<int32_t, kMemberFields + 1> columns{};
    for (int field = 1; field <= kMemberFields; ++field) columns[field] = basis.fieldColumn[field];
    const EngineRun engine = runEngineOnBytes(basis, bytes, columns);
    ASSERT_EQ(engine.status, TALVEK_OK);
    const size_t headers = engine.listing.find('\n', engine.listing.find('\n') + 1) + 1;
    const std::string engineLines = engine.listing.substr(headers);
    // line by line, so that a difference names its line
    size_t at = 0;
    size_t hostAt = 0;
    for (int line = 1; at < engineLines.size(); ++line) {
        const size_t end = engineLines.find('\n', at);
        const size_t hostEnd = host.listing.find('\n', hostAt);
        ASSERT_NE(hostEnd, std::string::npos) << "the host reads fewer lines than the engine";
        ASSERT_EQ(host.listing.substr(hostAt, hostEnd - hostAt), engineLines.substr(at, end - at)) << "line read " << line;
        at = end + 1;
        hostAt = hostEnd + 1;
    }
    EXPECT_EQ(hostAt, host.listing.size()) << "the host reads more lines than the engine";
    EXPECT_EQ(host.fieldErrors, engine.results->error_count);
    EXPECT_EQ(host.unknownStatuses, engine.results->unknown_statuses);
    EXPECT_EQ(host.members, engine.results->members_done);
}

// Lines of the example layout with one character replaced, inserted or
// removed here and there by characters the reading rules treat apart.
std::string garbledLines(int count, uint64_t seed) {
    static const char kCharacters[] = "0123456789..,,, -+eEOl!\"\t\rxM F";
    MemberRandom random{seed};
    std::string text;
    for (int i = 1; i <= count; ++i) {
        std::string line;
        appendMemberLine(line, random, i);
        line.pop_back(); // the line feed
        const int edits = static_cast<int>(nextRandom(random) % 4);
        for (int e = 0; e < edits && !line.empty(); ++e) {
            const size_t at = nextRandom(random) % line.size();
            const char c = kCharacters[nextRandom(random) % (sizeof kCharacters - 1)];
            switch (nextRandom(random) % 3) {
            case 0: line[at] = c; break;
            case 1: line.insert(at, 1, c); break;
            default: line.erase(at, 1); break;
            }
        }
        text += line + "\n";
    }
    return text;
}

// Lines of every status as generated, and plain lines at the limits of the
// one-pass reading: ages at their bounds, percentages, points without
// decimals, ten-character unused columns, 50 columns.
std::string generatedLinesForPlainTest() {
    MemberRandom random{77};
    std::string text;
    for (int i = 1; i <= 3000; ++i) appendMemberLine(text, random, i);
    text += "A1,A,15,m,1.,.5,.,12.3,u,119,50,0.01,100,7,\n"
            "A2,A,119,f,0,0,0,0,,0,0,0,1.5,0,\n"
            "A3,A,14,M,,,,,M,,,,,,\n"
            "A4,A,120,M,,,,,M,,,,,,\n"
            "A5,P,70,M,,,,1,M,120,51,,1.001,,\n"
            "A6,P,70,M,,,,1,M,65,51,,,,\n"
            "A7,P,70,M,,,,1,M,65,5,,,,0123456789,!x,x!,\n"
            "A8,P,70,M,,,,1,M,65,5,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\n"
            "A9,P,070,M,,,,1,M,065,05,,075,,\n"
            ",,70,M,,,,1,M,65,5,,,,\n"
            "\n";
    return text;
}

} // namespace

TEST(LibraryReading, HandCasesOfTheReadingRulesReadAsTheEngineReadsThem) {
    const PlanBasis basis = basisFromText(readText(sourcePath("examples/basis.toml")));
    const std::string lines =
        "A123,A,45,M,30000.50,520,0,0,M,0,0,0,0,0,\n"
        "A124,A, 45,M,12.34,,,,M,,,,,,\n"          // a blank before an age, an empty field
        "A125,A,45,M,12.345,,,,M,,,,,,\n"          // a third decimal
        "A126,A,45,M,-12,,,,M,,,,,,\n"             // a sign ignored in an amount
        "A127,A,4O,M,5O000.00,52l.79,5e4,,M,,,,,,\n" // letters and an exponent
        "A128,A,-5,M,,,,,M,,,,,,\n"                // a sign in a whole number: a digit of -3
        "A129,P,70,M,,,,12000,M,65,51,,75,,\n"      // years retired 51
        "A130,P,70,M,,,,12000,M,120,5,,0.1255,,\n"  // spouse age 120
        "A131,P,70,X,,,,12000,M,65,5,,75,,\n"       // sex X
        "A132,P,70,MM,,,,12000,M,65,5,,75,,\n"      // two letters of sex
        "A133,P,70,M,,,,12000,Q,65,5,,75,,\n"       // marital status Q
        "A134,P,70,M,,,,12000,M,65,5,,12.,,\n"      // a fraction ending at its point
        "A135,Z,70,M,,,,12000,M,65,5,,50.5,,\n"     // an unknown status
        "LONGMEMBERID000000001,A,40,M,,,,,M,,,,,,\n" // a member number of 21 characters
        "A136,AAAAAA,40,M,,,,,M,,,,,,\n"            // a status of 6
        "\n"                                        // an empty line: the number and status of the line before
        "A137,A,14,M,,,,,M,,,,,,\n"                 // ages 14, 15, 119, 120
        "A138,A,15,M,,,,,M,,,,,,\n"
        "A139,A,119,M,,,,,M,,,,,,\n"
        "A140,A,120,M,,,,,M,,,,,,\n"
        "A141,A,40,,,,,,M,,,,,,\n"                  // an empty sex
        "A142,A,40,M,,,,,M,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,\n" // more than 50 columns
        "A143,A,40\n"                               // a last field without its delimiter
        "A144,A,40,M,1,234,,,M,,,,,,\n"             // a thousands comma becomes a column
        "A145,A\n"                                  // fewer columns than the map
        + std::string(600, '7') + ",A,40,M,,,,,M,,,,,,\n" // a line read in two pieces
        + "A146,A,40,M,0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
          "0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
          "00000001.00,,,,M,,,,,,\n" // an amount past position 195
        + "A147,A,4294967341,M,,,,,M,,,,,,\n"       // a whole number that wraps
        + "A148,A,40,M,,,,,M,,,,,,";                // a last line without a line feed
    expectHostReadsAsEngine(basis, lines);
}

TEST(LibraryReading, UnusedColumnsAndTheFillerReadAsTheEngineReadsThem) {
    // spouse age moved to column 12: columns 10 and 11 have no field
    const PlanBasis basis = basisFromText(editedSmallBasis("member_file.columns.spouse_age", 12));
    expectHostReadsAsEngine(basis,
                            "N1;ACT;40;M;40000.00;520;;;x;y;z;50;\n"
                            "N2;ACT;40;M;40000.00;520;;;x;ABCDEFGHIJKLMN;z;50;\n" // an unused column of 14
                            "N3;ACT;40;M;40000.00;520;;;x;a!b;z;50;\n"             // "!" in an unused column
                            "N4;ACT;40;M;40000.00;520;;;x;!;z;50;\n"               // "!" first in it
                            "N5;ACT;40;M;40000.00;520;;;x;0123456789;z;50;\n"      // exactly 10 characters
                            "N6;PEN;70;F;;;9000;0.5\n");
}

TEST(LibraryReading, GarbledLinesReadAsTheEngineReadsThem) {
    const PlanBasis example = basisFromText(readText(sourcePath("examples/basis.toml")));
    expectHostReadsAsEngine(example, garbledLines(4000, 99));
    const PlanBasis small = basisFromText(editedSmallBasis("member_file.columns.spouse_age", 12));
    std::string semicolons = garbledLines(2000, 7);
    for (char &c : semicolons) c = c == ',' ? ';' : c == ';' ? ',' : c;
    expectHostReadsAsEngine(small, semicolons);
}

namespace {

// Every field of the member, the amounts to the bit.
std::string everyField(const LibraryMember &m) {
    char text[512];
    std::snprintf(text, sizeof text, "[%s][%s] %d %d %a %a %a %a %d %d %d %a %a %a", m.memberNumber, m.statusCode, m.age,
                  m.sex, m.annualSalary, m.serviceWithGuarantee, m.serviceWithoutGuarantee, m.currentPension,
                  m.maritalStatus, m.spouseAge, m.yearsRetired, m.bridgePension, m.guaranteedFraction, m.averageSalary);
    return text;
}

} // namespace

// The one-pass reading of plain lines gives what the rules give, line after
// line (the carried member number and status included).
TEST(LibraryReading, PlainLinesReadInOnePassAsByTheRules) {
    const PlanBasis basis = basisFromText(readText(sourcePath("examples/basis.toml")));
    const LibraryLayout layout = makeLibraryLayout(',', basis.fieldColumn.data());
    const std::string lines = garbledLines(20000, 31) + generatedLinesForPlainTest();
    RecordReader reader = openRecords(lines.data(), static_cast<int64_t>(lines.size()), false, ',');
    SourceRecord record;
    LibraryMember fast;
    LibraryMember byRules;
    int64_t line = 0;
    while (nextRecord(reader, record)) {
        ++line;
        const LibraryLine libraryLine{record.bytes, record.length, record.lineFeed, ','};
        uint32_t fastRead = 0;
        uint32_t rulesRead = 0;
        const Rejection a = readLibraryLine(libraryLine, layout, fast, &fastRead);
        const Rejection b = readLibraryLineByRules(libraryLine, layout, byRules, &rulesRead);
        ASSERT_EQ(a, b) << "line " << line << ": " << std::string(record.bytes, record.length);
        ASSERT_EQ(fastRead, rulesRead) << "line " << line;
        ASSERT_EQ(everyField(fast), everyField(byRules)) << "line " << line << ": " << std::string(record.bytes, record.length);
    }
}
