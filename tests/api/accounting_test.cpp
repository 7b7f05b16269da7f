// Every line a run reads is accounted for: generated member files of good
// and bad lines (field errors, unknown statuses, NUL bytes, stray bytes,
// lines over 499 characters, extra columns a layout does not know, a last
// line without its line feed) go through the exported function, and
//   lines read = listing lines = membersDone increase + field-error lines,
//   errorCount increase = field-error lines + layout-error lines,
// where the lines read are counted from the file's bytes and the listing and
// log lines from the reports. A file written with "\r\n" gives exactly what
// the same file with "\n" gives.
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/api_test_support.h"
#include "api/plausible_plan_support.h"

namespace {

constexpr size_t kLineLimit = 499; // bytes of one line read

// What a generated line is known to give, where that is known.
enum class Expect { Member, FieldError, Unknown };

struct GeneratedFile {
    std::string bytes;        // with "\n" line ends
    size_t generatedLines = 0;
    size_t knownMembers = 0;  // lines certain to be read without a field error
    size_t knownFieldErrors = 0;
};

// Deterministic: the raw 64-bit output of the engine is the same everywhere.
struct LineGenerator {
    std::mt19937_64 random;
    int serial = 0;

    explicit LineGenerator(uint64_t seed) : random(seed) {}

    uint64_t below(uint64_t n) { return random() % n; }

    MemberFields goodFields() {
        MemberFields f{};
        f.number = "G" + std::to_string(++serial);
        f.status = std::string(1, static_cast<char>('A' + below(5)));
        f.age = 16 + static_cast<int>(below(100));
        f.sex = "MmFf"[below(4)];
        f.salary = f.status == "A" ? 20000 + static_cast<double>(below(80000)) : 0;
        f.serviceWithGuarantee = static_cast<double>(below(2000));
        f.serviceWithoutGuarantee = static_cast<double>(below(300));
        f.pension = f.status == "A" ? 0 : static_cast<double>(below(30000));
        f.marital = "MmUuSs"[below(6)];
        f.spouseAge = below(3) == 0 ? 0 : 18 + static_cast<int>(below(100));
        f.yearsRetired = static_cast<int>(below(51));
        f.bridge = static_cast<double>(below(2000));
        f.guaranteedFraction = static_cast<double>(below(1000)) / 1000;
        f.averageSalary = static_cast<double>(below(60000));
        return f;
    }

    // Bytes of any kind but the line feed; never a carriage return right
    // before the line end, which would be part of a "\r\n".
    std::string strayBytes(size_t length) {
        std::string text;
        for (size_t i = 0; i < length; ++i) {
            char c = static_cast<char>(below(256));
            if (c == '\n') c = '\t';
            text += c;
        }
        if (!text.empty() && text.back() == '\r') text.back() = 'r';
        return text;
    }

    // One of the field errors the parser reports, as a whole line.
    std::string fieldErrorLine() {
        MemberFields f = goodFields();
        switch (below(12)) {
        case 0: f.age = below(2) ? 130 : 14; break;
        case 1: f.sex = 'X'; break;
        case 2: f.spouseAge = 120; break;
        case 3: f.yearsRetired = 51; break;
        case 4: f.marital = 'Q'; break;
        case 5: f.number = "N" + std::string(20, 'W'); break;
        case 6: f.status = "ABCDEF"; break;
        case 7: {
            std::string line = memberLine(f);
            return line.replace(line.find('\t', line.find('\t', line.find('\t') + 1) + 1) + 1, 1, "MM");
        }
        case 8: { // a third decimal in the salary
            std::string line = memberLine(f);
            const size_t point = line.find('.');
            return line.insert(point + 3, "7");
        }
        case 9: { // the line ends inside the member number
            return "N" + std::to_string(++serial) + "\n";
        }
        case 10: { // the last field without its delimiter
            std::string line = memberLine(f);
            return line.erase(line.size() - 2, 1);
        }
        default: { // four decimals in the guaranteed fraction
            std::string line = memberLine(f);
            size_t at = 0;
            for (int tabs = 0; tabs < 12; ++tabs) at = line.find('\t', at) + 1;
            return line.replace(at, line.find('\t', at) - at, "0.1255");
        }
        }
        return memberLine(f);
    }

    // Appends one generated line and notes what it is known to give.
    void appendLine(GeneratedFile &file) {
        ++file.generatedLines;
        const uint64_t kind = below(100);
        if (kind < 35) { // a good member
            file.bytes += memberLine(goodFields());
            ++file.knownMembers;
        } else if (kind < 40) { // a status no host code names
            MemberFields f = goodFields();
            f.status = "Z9";
            file.bytes += memberLine(f);
            ++file.knownMembers;
        } else if (kind < 60) {
            file.bytes += fieldErrorLine();
            ++file.knownFieldErrors;
        } else if (kind < 63) { // an empty line: a member of defaults
            file.bytes += "\n";
            ++file.knownMembers;
        } else if (kind < 68) { // NUL bytes in a good line
            std::string line = memberLine(goodFields());
            for (uint64_t n = 1 + below(3); n > 0; --n) line[below(line.size() - 1)] = '\0';
            file.bytes += line;
        } else if (kind < 78) { // stray bytes
            file.bytes += strayBytes(below(120)) + "\n";
        } else if (kind < 85) { // over 499 characters: a good member, then its rest
            std::string line = memberLine(goodFields());
            line.pop_back();
            line += strayBytes(kLineLimit + 1 - line.size() + below(700));
            file.bytes += line + "\n";
            ++file.knownMembers;
        } else if (kind < 95) { // extra columns after the fields
            std::string line = memberLine(goodFields());
            line.pop_back();
            for (uint64_t n = 1 + below(4); n > 0; --n) line += "x" + std::to_string(below(100)) + "\t";
            file.bytes += line + "\n";
            ++file.knownMembers;
        } else { // a line of a lone carriage return and text
            file.bytes += "\r" + std::to_string(below(1000)) + "\t\n";
        }
    }
};

// The line reads of a file: "\r\n" is one line feed, and a line longer than
// 499 bytes is read in pieces of 499.
size_t linesReadFrom(const std::string &bytes) {
    size_t lines = 0, length = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        ++length;
        if (bytes[i] == '\n' || length == kLineLimit) {
            ++lines;
            length = 0;
        }
    }
    return lines + (length > 0 ? 1 : 0);
}

size_t lineFeeds(const std::string &text) {
    size_t n = 0;
    for (const char c : text) n += c == '\n';
    return n;
}

struct LogLines {
    size_t fieldErrors = 0;
    size_t layoutErrors = 0;
    size_t unknownStatuses = 0;
    size_t other = 0;
};

// The error log, line by line, by the kind of its message.
LogLines classifyLog(const std::string &log) {
    LogLines kinds;
    size_t start = 0;
    for (size_t end = log.find('\n'); end != std::string::npos; end = log.find('\n', start)) {
        const std::string line = log.substr(start, end - start);
        start = end + 1;
        if (line.starts_with("Error: Member ") && line.ends_with(", problem with data file layout.")) {
            ++kinds.layoutErrors;
        } else if (line.starts_with("Error: Member ")) {
            ++kinds.fieldErrors;
        } else if (line.starts_with("Could not identify status  ")) {
            ++kinds.unknownStatuses;
        } else {
            ++kinds.other;
        }
    }
    if (start != log.size()) ++kinds.other; // a message without its line feed
    return kinds;
}

std::string withCrLf(const std::string &bytes) {
    std::string text;
    for (const char c : bytes) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

class Accounting : public ::testing::Test {
protected:
    // Starts the counters off zero, as a host may.
    void prepare(ExportedRun &run, bool layoutCodes) {
        fillPlausiblePlan(run.host);
        // Codes without a parser in columns 15 and 16: every extra column
        // there is a layout error, which does not abandon the line.
        if (layoutCodes) {
            run.host.columnMap[15] = 15;
            run.host.columnMap[17] = 16;
        }
        run.membersDone = 17;
        run.errorCount = 5;
    }

    void checkAccounting(const ExportedRun &run, const GeneratedFile &file, const std::string &bytes) {
        const size_t lines = linesReadFrom(bytes);
        const std::string listing = run.listing();
        const LogLines log = classifyLog(run.errors());
        const size_t membersDone = static_cast<size_t>(run.membersDone - 17);
        const size_t errorCount = static_cast<size_t>(run.errorCount - 5);

        EXPECT_EQ(lineFeeds(listing), lines + 2); // two header lines
        EXPECT_EQ(membersDone + log.fieldErrors, lines);
        EXPECT_EQ(errorCount, log.fieldErrors + log.layoutErrors);
        EXPECT_EQ(run.host.memberCounts[0], static_cast<double>(membersDone));
        EXPECT_EQ(log.other, 0u);
        EXPECT_GE(membersDone, file.knownMembers);
        EXPECT_GE(log.fieldErrors, file.knownFieldErrors);
        EXPECT_GE(log.unknownStatuses, 1u);
    }
};

TEST_F(Accounting, EveryLineReadIsListedAndCountedOnce) {
    constexpr int kFiles = 36;
    constexpr int kLinesPerFile = 300;
    size_t generated = 0, layoutErrors = 0, longLines = 0;
    for (int f = 0; f < kFiles; ++f) {
        SCOPED_TRACE("file " + std::to_string(f));
        LineGenerator generator(0x5eed0000u + static_cast<uint64_t>(f));
        GeneratedFile file;
        for (int n = 0; n < kLinesPerFile; ++n) generator.appendLine(file);
        // Every other file ends without its last line feed.
        if (f % 2 == 1) file.bytes.pop_back();
        generated += file.generatedLines;
        longLines += linesReadFrom(file.bytes) - file.generatedLines;

        ExportedRun run("accounting");
        prepare(run, f % 3 != 0);
        run.run(file.bytes);
        checkAccounting(run, file, file.bytes);
        layoutErrors += classifyLog(run.errors()).layoutErrors;
    }
    EXPECT_GE(generated, 10000u);
    // the files did take the paths they were made for
    EXPECT_GT(layoutErrors, 100u);
    EXPECT_GT(longLines, 100u);
}

TEST_F(Accounting, CrLfLineEndsGiveExactlyTheResultsOfLf) {
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE("file " + std::to_string(f));
        LineGenerator generator(0xc41f0000u + static_cast<uint64_t>(f));
        GeneratedFile file;
        for (int n = 0; n < 200; ++n) generator.appendLine(file);
        if (f % 2 == 1) file.bytes.pop_back();
        const std::string crlf = withCrLf(file.bytes);
        ASSERT_NE(crlf, file.bytes);

        ExportedRun lf("accounting-lf"), dos("accounting-crlf");
        prepare(lf, f % 2 == 0);
        prepare(dos, f % 2 == 0);
        lf.run(file.bytes);
        dos.run(crlf);
        checkAccounting(dos, file, crlf);

        // Bit for bit: the same additions in the same order.
        EXPECT_EQ(0, std::memcmp(lf.host.memberCounts.data(), dos.host.memberCounts.data(),
                                 lf.host.memberCounts.size() * sizeof(double)));
        EXPECT_EQ(0, std::memcmp(lf.host.decrementCounts.data(), dos.host.decrementCounts.data(),
                                 lf.host.decrementCounts.size() * sizeof(double)));
        EXPECT_EQ(0, std::memcmp(lf.host.benefitCashflows.data(), dos.host.benefitCashflows.data(),
                                 lf.host.benefitCashflows.size() * sizeof(double)));
        EXPECT_EQ(lf.membersDone, dos.membersDone);
        EXPECT_EQ(lf.errorCount, dos.errorCount);
        EXPECT_EQ(lf.listing(), dos.listing());
        EXPECT_EQ(lf.errors(), dos.errors());
    }
}

} // namespace
