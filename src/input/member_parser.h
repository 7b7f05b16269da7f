// Splitting a member line into fields by the host's delimiter and column map,
// and parsing every field with its checks and messages.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/member_record.h"
#include "core/report_sink.h"

constexpr int kLineBufferSize = 500;  // at most 499 bytes of a line and a NUL
constexpr char kLineFiller = '!';     // fills the line buffer beyond the line
constexpr int kMapColumns = 20;       // columns 1..20 can be given a field
constexpr int kScanColumns = 50;      // columns visited on a line

struct LineLayout {
    char delimiter;                            // from the host's delimiter code
    int32_t fieldInColumn[kMapColumns + 1];    // column 1..20 -> field code, 0 if none
};

// Where field errors and unknown statuses are reported.
struct ErrorLog {
    ReportSink sink;      // the error log
    int32_t *errorCount;  // the counter of field errors
};

char delimiterFromCode(int16_t delimiterCode);
LineLayout makeLineLayout(int16_t delimiterCode, const int16_t *columnMap);

// Every field to its default; member number and status keep the previous
// line's values.
void resetMemberRecord(MemberRecord &member);

// Parses one line (a buffer of kLineBufferSize bytes). A field error is
// written to the log and counted, and the line is abandoned: returns false.
// Layout errors are written and counted but do not abandon the line.
bool parseMemberLine(const char *line, const LineLayout &layout, MemberRecord &member,
                     ErrorLog &log);

// Writes one message to the log, whole, as the formatter produced it.
void writeLogLine(ReportSink &sink, const char *text, int length);
