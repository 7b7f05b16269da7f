// How the valuation reads a member line: the member file's reading rules,
// character by character, as the library applies them (every character of
// a number counts as a digit of value code - 48, an amount ignores what is
// not a digit, the position limit of 195, the filler "!" after the line),
// so that the check can say what a field would be read as, and which lines
// the valuation would reject and why, before anything is valued.
#pragma once

#include <cstdint>

#include "plan_basis.h"

constexpr int32_t kLibraryLineBytes = 499;      // a line read holds at most this many bytes, its line feed included
constexpr int32_t kNumericPositionLimit = 195;  // a number's delimiter must stand at this position or before
constexpr int32_t kMemberNumberWidth = 20;      // characters of the member number field
constexpr int32_t kMemberNumberKept = 10;       // of which the valuation keeps these
constexpr int32_t kStatusWidth = 5;             // characters of the status field
constexpr int32_t kUnusedColumnWidth = 10;      // characters passed in a column without a field
constexpr int32_t kScanColumns = 50;            // columns the valuation visits on a line
constexpr int32_t kYoungestAge = 15;            // ages the valuation accepts
constexpr int32_t kOldestAge = 119;
constexpr int32_t kOldestSpouseAge = 119;
constexpr int32_t kMostYearsRetired = 50;

// Field codes of the member file.
enum MemberField : int32_t {
    NoField = 0,
    MemberNumberField = 1,
    StatusField = 2,
    AgeField = 3,
    SexField = 4,
    AnnualSalaryField = 5,
    ServiceWithGuaranteeField = 6,
    ServiceWithoutGuaranteeField = 7,
    CurrentPensionField = 8,
    MaritalStatusField = 9,
    SpouseAgeField = 10,
    YearsRetiredField = 11,
    BridgePensionField = 12,
    GuaranteedFractionField = 13,
    AverageSalaryField = 14,
};

// What kind of text a field holds.
enum FieldKind : uint8_t { TextKind, LetterKind, WholeKind, AmountKind, FractionKind };
FieldKind kindOfField(int32_t field);
// Decimals a number field may have: 0 whole numbers, 2 amounts, 3 the guaranteed fraction.
int32_t decimalsOfField(int32_t field);

// Why the valuation rejects a line (the first failing field, or no status).
enum Rejection : uint8_t {
    NotRejected = 0,
    MemberNumberTooWide,
    StatusTooWide,
    AgeTooWide,
    AgeOutOfRange,
    SexTooWide,
    SexNotRecognized,
    AmountUnreadable,
    MaritalStatusTooWide,
    MaritalStatusNotRecognized,
    SpouseAgeTooWide,
    SpouseAgeOutOfRange,
    YearsRetiredTooWide,
    YearsRetiredOutOfRange,
    FractionUnreadable,
    UnknownStatus,
    kRejectionCount
};
// A short text for the summary, e.g. "age outside 15..119".
const char *rejectionText(Rejection rejection);

// One line as the valuation's line buffer holds it: the bytes up to the
// line's end, then its line feed (when it has one), a NUL, and "!" beyond.
struct LibraryLine {
    const char *bytes;
    int32_t length;   // bytes before the line feed (a carriage return before it not counted)
    bool lineFeed;    // false for a last line without one, and for a piece of a long line
    char delimiter;
};

// The member as the valuation holds it after reading a line. The member
// number and status are carried from the line before until their column is
// read.
struct LibraryMember {
    char memberNumber[kMemberNumberKept + 1] = {};
    char statusCode[kStatusWidth + 1] = {};
    int32_t age = 0;
    char sex = 'U';
    double annualSalary = 0;
    double serviceWithGuarantee = 0;   // weeks
    double serviceWithoutGuarantee = 0;
    double currentPension = 0;
    char maritalStatus = '?';
    int32_t spouseAge = 0;
    int32_t yearsRetired = 0;
    double bridgePension = 0;
    double guaranteedFraction = 0;
    double averageSalary = 0;
};

// The reset before every line: every field but the member number and status.
void resetLibraryMember(LibraryMember &member);

// Field code by column 1..20 (0: no field), the smaller code owning a column
// two codes name.
struct LibraryLayout {
    char delimiter;
    int32_t fieldInColumn[kMaxColumn + 1];
};
LibraryLayout makeLibraryLayout(char delimiter, const int32_t *fieldColumn /* by field code 1..14 */);

struct FieldReading {
    Rejection rejection; // NotRejected when the field was read
    int32_t end;         // the position after the field's delimiter (the next column's start)
};

// Reads the field of `field` that starts at `position`, as the valuation
// does, into member.
FieldReading readLibraryField(const LibraryLine &line, int32_t position, int32_t field, LibraryMember &member);

// The whole line. Returns the first rejection (NotRejected for a line read
// whole; the status is not classified here). fieldsRead, when given, gets
// bit 1 << field for every field whose reading began.
// A plain line (every number plain, every column ending at its delimiter,
// a line feed after the last, shorter than the position limit) is read in
// one pass over its fields; any other by the rules, character by character.
// plain, when given, says whether the line was plain and read whole.
Rejection readLibraryLine(const LibraryLine &line, const LibraryLayout &layout, LibraryMember &member,
                          uint32_t *fieldsRead = nullptr, bool *plain = nullptr);

// Always by the rules, character by character.
Rejection readLibraryLineByRules(const LibraryLine &line, const LibraryLayout &layout, LibraryMember &member,
                                 uint32_t *fieldsRead = nullptr);

// The status codes as the valuation compares them: padded with blanks and
// cut to 5 characters.
struct LibraryStatusTable {
    char code[kStatuses + 1][kStatusWidth + 1];
};
LibraryStatusTable makeLibraryStatusTable(const std::array<std::string, kStatuses + 1> &codes);

// The status 1..5 whose code matches the member's status exactly, or 0.
int32_t classifyLibraryStatus(const LibraryMember &member, const LibraryStatusTable &table);

// The value of `field` in member, as text: "%.2f" for amounts, whole
// numbers as they are, the fraction with up to 5 decimals.
void formatFieldValue(const LibraryMember &member, int32_t field, char *out, int32_t capacity);
