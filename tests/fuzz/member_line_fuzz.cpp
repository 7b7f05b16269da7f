// Fuzz target: any bytes as a delimiter code, a column map, three assumption
// values and a member file, read line by line and taken through the field
// parsers, the derived quantities, the classification and the listing, the
// way a run does. Besides the sanitizers it checks what every run promises:
// one listing line per line read, one error-log line per message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/host_arrays.h"
#include "input/line_reader.h"
#include "input/member_listing.h"
#include "input/member_parser.h"
#include "input/member_status.h"

namespace {

// Header of an input: delimiter code (2 bytes), columnMap elements 1..20 (one
// signed byte each, so that absent, negative, in-range and too large codes are
// all near), then demographicParameters element 4, retirementRates element 26
// and planParameters element 5 as raw doubles. The rest is the member file.
constexpr size_t kHeaderBytes = 2 + 20 + 3 * sizeof(double);

double doubleAt(const uint8_t *data) {
    double value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

size_t countByte(const char *text, size_t length, char byte) {
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) n += text[i] == byte;
    return n;
}

// Fails the input: libFuzzer keeps it as a crash.
void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "member_line_fuzz: %s\n", what);
    std::abort();
}

std::string path; // this process's member file, in $TMPDIR (else /tmp)

void removeMemberFile() { unlink(path.c_str()); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const char *tmp = std::getenv("TMPDIR");
    path = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/talvek-member-line-fuzz-XXXXXX";
    const int fd = mkstemp(path.data());
    require(fd >= 0, "no scratch file");
    close(fd);
    std::atexit(removeMemberFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < kHeaderBytes) return 0;
    int16_t delimiterCode;
    std::memcpy(&delimiterCode, data, sizeof delimiterCode);
    int16_t columnMap[21] = {};
    for (int k = 1; k <= 20; ++k) columnMap[k] = static_cast<int8_t>(data[1 + k]);

    std::vector<double> planParameters(16), demographicParameters(6), retirementRates(54);
    demographicParameters[4] = doubleAt(data + 22);
    retirementRates[26] = doubleAt(data + 30);
    planParameters[5] = doubleAt(data + 38);
    const char *codes[10] = {"?", "A", "B", "C", "D", "E", "F", "G", "H", "I"};
    HostArrays host{};
    host.planParameters = planParameters.data();
    host.demographicParameters = demographicParameters.data();
    host.retirementRates = retirementRates.data();
    host.columnMap = columnMap;
    host.statusCodes = codes;

    // The member file, written to this process's own file and read back
    // through the run's own line reader.
    std::FILE *file = std::fopen(path.c_str(), "wb");
    require(file != nullptr, "scratch file cannot be written");
    std::fwrite(data + kHeaderBytes, 1, size - kHeaderBytes, file);
    std::fclose(file);
    static LineReader reader; // 64 KiB of read-ahead: not on the stack
    require(openLineReader(reader, path.c_str()), "scratch file cannot be read");

    char *listingText = nullptr, *errorText = nullptr;
    size_t listingSize = 0, errorSize = 0;
    std::FILE *listing = open_memstream(&listingText, &listingSize);
    std::FILE *errors = open_memstream(&errorText, &errorSize);
    require(listing != nullptr && errors != nullptr, "no memory stream");

    int32_t errorCount = 0;
    ErrorLog log{ReportSink{errors, nullptr, false, 0}, &errorCount};
    ReportSink listingSink{listing, nullptr, false, 0};
    const LineLayout layout = makeLineLayout(delimiterCode, host.columnMap);
    const StatusTable statusTable = makeStatusTable(host.statusCodes);
    MemberRecord member{};
    char line[kLineBufferSize];
    std::memset(line, kLineFiller, sizeof line);
    size_t linesRead = 0, unknownStatuses = 0;
    while (readLine(reader, line, kLineBufferSize) > 0) {
        ++linesRead;
        resetMemberRecord(member);
        if (parseMemberLine(line, layout, member, log)) {
            deriveMemberQuantities(member, host);
            // a member the valuations accept stays inside the yearly blocks
            require(member.projectionYears <= 111, "projection years beyond the blocks");
            if (classifyMember(member, statusTable) == 0) {
                reportUnknownStatus(log, member);
                ++unknownStatuses;
            }
        }
        std::memset(line, kLineFiller, sizeof line);
        writeListingLine(listingSink, member);
    }
    closeLineReader(reader);
    std::fclose(listing);
    std::fclose(errors);

    require(countByte(listingText, listingSize, '\n') == linesRead,
            "listing line feeds differ from the lines read");
    require(countByte(errorText, errorSize, '\n') == static_cast<size_t>(errorCount) + unknownStatuses,
            "error-log line feeds differ from the messages");
    std::free(listingText);
    std::free(errorText);
    return 0;
}
