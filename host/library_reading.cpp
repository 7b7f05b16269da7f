#include "library_reading.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kLineBufferBytes = 500; // the valuation's line buffer
constexpr char kLineFiller = '!';         // every byte of the buffer after the line's NUL
constexpr int32_t kAmountDecimals = 2;
constexpr int32_t kFractionDecimals = 3;

inline char charAt(const LibraryLine &line, int32_t position) {
    if (position < line.length) return line.bytes[position];
    if (position >= kLineBufferBytes) return kLineFiller;
    // the line feed, then the NUL the line reader puts after the line
    const int32_t lineEnd = line.length + (line.lineFeed ? 1 : 0);
    if (position < lineEnd) return '\n';
    return position == lineEnd ? '\0' : kLineFiller;
}

// Bytes count as signed 8-bit characters: a byte 0xE9 has the code -23.
inline int32_t codeOf(char c) { return static_cast<signed char>(c); }

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A column without a field: at most 10 characters are passed, "!" on the
// way ends the line's data, and the character that stops the walk is
// stepped over as the delimiter.
FieldReading skipUnusedColumn(const LibraryLine &line, int32_t position, bool &lineEnded) {
    int32_t passed = 0;
    while (charAt(line, position) != line.delimiter && passed < kUnusedColumnWidth) {
        ++position;
        ++passed;
        if (charAt(line, position) == kLineFiller) {
            lineEnded = true;
            return {NotRejected, position};
        }
    }
    return {NotRejected, position + 1};
}

// Member number and status: up to `width` characters, the first `kept`
// of them kept even when the field is too wide; the copy stops at the line
// feed.
FieldReading readTextField(const LibraryLine &line, int32_t position, int32_t width, char *kept,
                           int32_t keptWidth, Rejection tooWide) {
    // the kept characters, blanks after the text
    int32_t length = 0;
    while (charAt(line, position) != line.delimiter && charAt(line, position) != '\n' && length < width) {
        if (length < keptWidth) kept[length] = charAt(line, position);
        ++length;
        ++position;
    }
    for (int32_t i = length; i < keptWidth; ++i) kept[i] = ' ';
    kept[keptWidth] = '\0';
    if (charAt(line, position) != line.delimiter) return {tooWide, position};
    return {NotRejected, position + 1};
}

// Whole numbers: blanks are passed over, every other character counts as a
// digit of value code - 48; the sum wraps modulo 2^32. An empty field keeps
// the default.
FieldReading readWholeField(const LibraryLine &line, int32_t position, int32_t &value, Rejection tooWide,
                            Rejection outOfRange, int32_t low, int32_t high) {
    if (charAt(line, position) == line.delimiter) return {NotRejected, position + 1};
    uint32_t sum = 0;
    while (charAt(line, position) != line.delimiter && position < kNumericPositionLimit) {
        const char c = charAt(line, position);
        if (c != ' ') sum = sum * 10u + static_cast<uint32_t>(codeOf(c) - 48);
        ++position;
    }
    value = static_cast<int32_t>(sum);
    if (charAt(line, position) != line.delimiter) return {tooWide, position};
    if (value < low || value > high) return {outOfRange, position};
    return {NotRejected, position + 1};
}

// Amounts: digits before the point (anything else ignored), then up to
// `decimals` characters after it weighted 0.1, 0.01, 0.001, digits or not.
// True when the scan stopped on its own, false at the position limit.
bool scanAmount(const LibraryLine &line, int32_t &position, int32_t decimals, double &value) {
    static constexpr double kDecimalWeight[kFractionDecimals] = {0.1, 0.01, 0.001};
    value = 0.0;
    while (position < kNumericPositionLimit) {
        const char c = charAt(line, position);
        if (c == '.') {
            ++position;
            for (int32_t d = 0; d < decimals; ++d) {
                if (charAt(line, position) == line.delimiter) break;
                value = value + (codeOf(charAt(line, position)) - 48) * kDecimalWeight[d];
                ++position;
            }
            return true;
        }
        if (isDigit(c)) value = value * 10 + (c - '0');
        if (charAt(line, position + 1) == line.delimiter) {
            ++position;
            return true;
        }
        ++position;
    }
    return false;
}

FieldReading readAmountField(const LibraryLine &line, int32_t position, double &value) {
    if (charAt(line, position) == line.delimiter) return {NotRejected, position + 1};
    scanAmount(line, position, kAmountDecimals, value);
    if (charAt(line, position) != line.delimiter) return {AmountUnreadable, position};
    return {NotRejected, position + 1};
}

// The guaranteed fraction: three decimals, and a value above 1 read on its
// own is a percentage.
FieldReading readFractionField(const LibraryLine &line, int32_t position, double &value) {
    if (charAt(line, position) == line.delimiter) return {NotRejected, position + 1};
    if (scanAmount(line, position, kFractionDecimals, value) && value > 1) value = value / 100;
    if (charAt(line, position) != line.delimiter) return {FractionUnreadable, position};
    return {NotRejected, position + 1};
}

// Sex has no empty-field rule: an empty column stores the delimiter.
FieldReading readSexField(const LibraryLine &line, int32_t position, char &sex) {
    sex = charAt(line, position);
    ++position;
    if (charAt(line, position) != line.delimiter) return {SexTooWide, position};
    if (sex != 'M' && sex != 'm' && sex != 'F' && sex != 'f') return {SexNotRecognized, position};
    return {NotRejected, position + 1};
}

FieldReading readMaritalField(const LibraryLine &line, int32_t position, char &marital) {
    if (charAt(line, position) == line.delimiter) return {NotRejected, position + 1};
    marital = charAt(line, position);
    ++position;
    if (charAt(line, position) != line.delimiter) return {MaritalStatusTooWide, position};
    const char s = marital;
    if (s != 'M' && s != 'm' && s != 'U' && s != 'u' && s != 'S' && s != 's') {
        return {MaritalStatusNotRecognized, position};
    }
    return {NotRejected, position + 1};
}

} // namespace

FieldKind kindOfField(int32_t field) {
    switch (field) {
    case MemberNumberField:
    case StatusField: return TextKind;
    case SexField:
    case MaritalStatusField: return LetterKind;
    case AgeField:
    case SpouseAgeField:
    case YearsRetiredField: return WholeKind;
    case GuaranteedFractionField: return FractionKind;
    default: return AmountKind;
    }
}

int32_t decimalsOfField(int32_t field) {
    switch (kindOfField(field)) {
    case AmountKind: return kAmountDecimals;
    case FractionKind: return kFractionDecimals;
    default: return 0;
    }
}

const char *rejectionText(Rejection rejection) {
    switch (rejection) {
    case NotRejected: return "";
    case MemberNumberTooWide: return "member number longer than 20 characters";
    case StatusTooWide: return "status longer than 5 characters";
    case AgeTooWide: return "age field too wide";
    case AgeOutOfRange: return "age outside 15..119";
    case SexTooWide: return "sex longer than one letter";
    case SexNotRecognized: return "sex not M or F";
    case AmountUnreadable: return "amount unreadable (a third decimal, too wide or no delimiter after it)";
    case MaritalStatusTooWide: return "marital status longer than one letter";
    case MaritalStatusNotRecognized: return "marital status not M, U or S";
    case SpouseAgeTooWide: return "spouse age field too wide";
    case SpouseAgeOutOfRange: return "spouse age above 119";
    case YearsRetiredTooWide: return "years retired field too wide";
    case YearsRetiredOutOfRange: return "years retired outside 0..50";
    case FractionUnreadable: return "guaranteed fraction unreadable (a fourth decimal, too wide or no delimiter after it)";
    case UnknownStatus: return "status matches no status code";
    case kRejectionCount: break;
    }
    return "";
}

void resetLibraryMember(LibraryMember &member) {
    member.age = 0;
    member.sex = 'U';
    member.annualSalary = 0;
    member.serviceWithGuarantee = 0;
    member.serviceWithoutGuarantee = 0;
    member.currentPension = 0;
    member.maritalStatus = '?';
    member.spouseAge = 0;
    member.yearsRetired = 0;
    member.bridgePension = 0;
    member.guaranteedFraction = 0;
    member.averageSalary = 0;
}

LibraryLayout makeLibraryLayout(char delimiter, const int32_t *fieldColumn) {
    LibraryLayout layout{};
    layout.delimiter = delimiter;
    for (int32_t column = 1; column <= kMaxColumn; ++column) {
        for (int32_t field = 1; field <= kMemberFields; ++field) {
            if (fieldColumn[field] == column) {
                layout.fieldInColumn[column] = field;
                break;
            }
        }
    }
    return layout;
}

FieldReading readLibraryField(const LibraryLine &line, int32_t position, int32_t field, LibraryMember &m) {
    switch (field) {
    case MemberNumberField:
        return readTextField(line, position, kMemberNumberWidth, m.memberNumber, kMemberNumberKept,
                             MemberNumberTooWide);
    case StatusField:
        return readTextField(line, position, kStatusWidth, m.statusCode, kStatusWidth, StatusTooWide);
    case AgeField: return readWholeField(line, position, m.age, AgeTooWide, AgeOutOfRange, kYoungestAge, kOldestAge);
    case SexField: return readSexField(line, position, m.sex);
    case AnnualSalaryField: return readAmountField(line, position, m.annualSalary);
    case ServiceWithGuaranteeField: return readAmountField(line, position, m.serviceWithGuarantee);
    case ServiceWithoutGuaranteeField: return readAmountField(line, position, m.serviceWithoutGuarantee);
    case CurrentPensionField: return readAmountField(line, position, m.currentPension);
    case MaritalStatusField: return readMaritalField(line, position, m.maritalStatus);
    // a negative spouse age (a sign reads as a digit of -3) is rejected like one above 119
    case SpouseAgeField:
        return readWholeField(line, position, m.spouseAge, SpouseAgeTooWide, SpouseAgeOutOfRange, 0, kOldestSpouseAge);
    case YearsRetiredField:
        return readWholeField(line, position, m.yearsRetired, YearsRetiredTooWide, YearsRetiredOutOfRange, 0,
                              kMostYearsRetired);
    case BridgePensionField: return readAmountField(line, position, m.bridgePension);
    case GuaranteedFractionField: return readFractionField(line, position, m.guaranteedFraction);
    case AverageSalaryField: return readAmountField(line, position, m.averageSalary);
    default: return {NotRejected, position};
    }
}

namespace {

// The columns of the line one after another, as the valuation scans them.
Rejection scanLibraryLine(const LibraryLine &line, const LibraryLayout &layout, LibraryMember &member, uint32_t &read) {
    int32_t position = 0;
    for (int32_t column = 1; column <= kScanColumns; ++column) {
        if (charAt(line, position) == '\n') return NotRejected;
        // columns past the map have no field
        const int32_t field = column <= kMaxColumn ? layout.fieldInColumn[column] : NoField;
        if (field == NoField) {
            bool lineEnded = false;
            position = skipUnusedColumn(line, position, lineEnded).end;
            if (lineEnded) return NotRejected;
            continue;
        }
        read |= 1u << field;
        const FieldReading reading = readLibraryField(line, position, field, member);
        if (reading.rejection != NotRejected) return reading.rejection;
        position = reading.end;
    }
    return NotRejected;
}

} // namespace

namespace {

constexpr int32_t kPlainLineLength = 190; // every delimiter of a shorter line stands before the position limit

// A plain number: digits, and at most `decimals` digits after one point,
// read with the valuation's arithmetic. False for anything else.
bool readPlainNumber(const char *text, int32_t length, int32_t decimals, double &value) {
    static constexpr double kDecimalWeight[kFractionDecimals] = {0.1, 0.01, 0.001};
    value = 0.0;
    int32_t i = 0;
    for (; i < length && isDigit(text[i]); ++i) value = value * 10 + (text[i] - '0');
    if (i == length) return true;
    if (text[i] != '.' || length - i - 1 > decimals) return false;
    for (int32_t d = 0; i + 1 + d < length; ++d) {
        const char c = text[i + 1 + d];
        if (!isDigit(c)) return false;
        value = value + (codeOf(c) - 48) * kDecimalWeight[d];
    }
    return true;
}

bool readPlainWhole(const char *text, int32_t length, int32_t &value) {
    if (length > 9) return false; // nine digits cannot wrap
    int32_t sum = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (!isDigit(text[i])) return false;
        sum = sum * 10 + (text[i] - '0');
    }
    value = sum;
    return true;
}

enum PlainOutcome { PlainRead, PlainRejected, NotPlain };

// One field of a plain line; its rules where the text leaves no doubt how
// the valuation reads it, NotPlain where it does.
PlainOutcome readPlainField(int32_t field, const char *text, int32_t length, LibraryMember &m, Rejection &rejection) {
    auto whole = [&](int32_t &value, Rejection outOfRange, int32_t low, int32_t high) {
        if (length == 0) return PlainRead; // empty: the default stays
        if (!readPlainWhole(text, length, value)) return NotPlain;
        if (value < low || value > high) {
            rejection = outOfRange;
            return PlainRejected;
        }
        return PlainRead;
    };
    auto amount = [&](double &value, int32_t decimals) {
        if (length == 0) return PlainRead;
        return readPlainNumber(text, length, decimals, value) ? PlainRead : NotPlain;
    };
    switch (field) {
    case MemberNumberField:
    case StatusField: {
        const int32_t width = field == MemberNumberField ? kMemberNumberWidth : kStatusWidth;
        const int32_t kept = field == MemberNumberField ? kMemberNumberKept : kStatusWidth;
        char *out = field == MemberNumberField ? m.memberNumber : m.statusCode;
        if (length > width) return NotPlain;
        for (int32_t i = 0; i < kept; ++i) out[i] = i < length ? text[i] : ' ';
        out[kept] = '\0';
        return PlainRead;
    }
    case AgeField: return whole(m.age, AgeOutOfRange, kYoungestAge, kOldestAge);
    case SpouseAgeField: return whole(m.spouseAge, SpouseAgeOutOfRange, 0, kOldestSpouseAge);
    case YearsRetiredField: return whole(m.yearsRetired, YearsRetiredOutOfRange, 0, kMostYearsRetired);
    case SexField:
        if (length != 1 || (text[0] != 'M' && text[0] != 'm' && text[0] != 'F' && text[0] != 'f')) return NotPlain;
        m.sex = text[0];
        return PlainRead;
    case MaritalStatusField:
        if (length == 0) return PlainRead;
        if (length != 1 || std::strchr("MmUuSs", text[0]) == nullptr || text[0] == '\0') return NotPlain;
        m.maritalStatus = text[0];
        return PlainRead;
    case AnnualSalaryField: return amount(m.annualSalary, kAmountDecimals);
    case ServiceWithGuaranteeField: return amount(m.serviceWithGuarantee, kAmountDecimals);
    case ServiceWithoutGuaranteeField: return amount(m.serviceWithoutGuarantee, kAmountDecimals);
    case CurrentPensionField: return amount(m.currentPension, kAmountDecimals);
    case BridgePensionField: return amount(m.bridgePension, kAmountDecimals);
    case AverageSalaryField: return amount(m.averageSalary, kAmountDecimals);
    case GuaranteedFractionField: {
        const PlainOutcome outcome = amount(m.guaranteedFraction, kFractionDecimals);
        // a value above 1 read on its own is a percentage
        if (outcome == PlainRead && length > 0 && m.guaranteedFraction > 1) m.guaranteedFraction = m.guaranteedFraction / 100;
        return outcome;
    }
    default: return NotPlain;
    }
}

// A column without a field that the valuation passes whole: at most 10
// characters, no "!" after its first.
bool plainUnusedColumn(const char *text, int32_t length) {
    if (length > kUnusedColumnWidth) return false;
    for (int32_t i = 1; i < length; ++i) {
        if (text[i] == kLineFiller) return false;
    }
    return true;
}

// A plain line: a line feed after the last delimiter, short enough for the
// position limit, at most 50 columns, every column plain. Read field by
// field in one pass; NotPlain leaves the member to be read by the rules.
PlainOutcome readPlainLine(const LibraryLine &line, const LibraryLayout &layout, LibraryMember &member,
                           Rejection &rejection, uint32_t &read) {
    if (!line.lineFeed || line.length > kPlainLineLength) return NotPlain;
    const char *bytes = line.bytes;
    int32_t start = 0;
    for (int32_t column = 1; start < line.length; ++column) {
        // fields are short: a plain loop finds the delimiter sooner than a library call
        int32_t end = start;
        while (end < line.length && bytes[end] != line.delimiter) ++end;
        if (end == line.length || column > kScanColumns) return NotPlain; // text without its delimiter
        const int32_t field = column <= kMaxColumn ? layout.fieldInColumn[column] : NoField;
        if (field == NoField) {
            if (!plainUnusedColumn(bytes + start, end - start)) return NotPlain;
        } else {
            read |= 1u << field;
            const PlainOutcome outcome = readPlainField(field, bytes + start, end - start, member, rejection);
            if (outcome != PlainRead) return outcome;
        }
        start = end + 1;
    }
    return PlainRead;
}

} // namespace

Rejection readLibraryLineByRules(const LibraryLine &line, const LibraryLayout &layout, LibraryMember &member,
                                 uint32_t *fieldsRead) {
    resetLibraryMember(member);
    uint32_t read = 0;
    const Rejection rejection = scanLibraryLine(line, layout, member, read);
    if (fieldsRead != nullptr) *fieldsRead = read;
    return rejection;
}

Rejection readLibraryLine(const LibraryLine &line, const LibraryLayout &layout, LibraryMember &member,
                          uint32_t *fieldsRead, bool *plain) {
    // most lines are plain: read them in one pass; the others, and what a
    // plain pass began, by the rules from the start
    const LibraryMember carried = member;
    resetLibraryMember(member);
    uint32_t read = 0;
    Rejection rejection = NotRejected;
    const PlainOutcome outcome = readPlainLine(line, layout, member, rejection, read);
    // a rejected line was left at its rejection: the fields after it were not looked at
    if (plain != nullptr) *plain = outcome == PlainRead;
    if (outcome == NotPlain) {
        member = carried;
        return readLibraryLineByRules(line, layout, member, fieldsRead);
    }
    if (fieldsRead != nullptr) *fieldsRead = read;
    return outcome == PlainRejected ? rejection : NotRejected;
}

LibraryStatusTable makeLibraryStatusTable(const std::array<std::string, kStatuses + 1> &codes) {
    LibraryStatusTable table{};
    for (int32_t status = 1; status <= kStatuses; ++status) {
        std::memset(table.code[status], ' ', kStatusWidth);
        const std::string &text = codes[status];
        for (size_t i = 0; i < text.size() && i < size_t(kStatusWidth); ++i) table.code[status][i] = text[i];
    }
    return table;
}

int32_t classifyLibraryStatus(const LibraryMember &member, const LibraryStatusTable &table) {
    // the whole 6 bytes, the NUL included: a status not yet read ("") matches no code
    for (int32_t status = 1; status <= kStatuses; ++status) {
        if (std::memcmp(member.statusCode, table.code[status], kStatusWidth + 1) == 0) return status;
    }
    return 0;
}

void formatFieldValue(const LibraryMember &m, int32_t field, char *out, int32_t capacity) {
    const size_t room = static_cast<size_t>(capacity);
    switch (field) {
    case MemberNumberField: std::snprintf(out, room, "%s", m.memberNumber); return;
    case StatusField: std::snprintf(out, room, "%s", m.statusCode); return;
    case AgeField: std::snprintf(out, room, "%d", m.age); return;
    case SexField: std::snprintf(out, room, "%c", m.sex); return;
    case MaritalStatusField: std::snprintf(out, room, "%c", m.maritalStatus); return;
    case SpouseAgeField: std::snprintf(out, room, "%d", m.spouseAge); return;
    case YearsRetiredField: std::snprintf(out, room, "%d", m.yearsRetired); return;
    case GuaranteedFractionField: {
        // up to 5 decimals: three read, and a percentage divided by 100
        std::snprintf(out, room, "%.5f", m.guaranteedFraction);
        size_t length = std::strlen(out);
        while (length > 0 && out[length - 1] == '0' && std::strchr(out, '.') != nullptr) out[--length] = '\0';
        if (length > 0 && out[length - 1] == '.') out[--length] = '\0';
        return;
    }
    case AnnualSalaryField: std::snprintf(out, room, "%.2f", m.annualSalary); return;
    case ServiceWithGuaranteeField: std::snprintf(out, room, "%.2f", m.serviceWithGuarantee); return;
    case ServiceWithoutGuaranteeField: std::snprintf(out, room, "%.2f", m.serviceWithoutGuarantee); return;
    case CurrentPensionField: std::snprintf(out, room, "%.2f", m.currentPension); return;
    case BridgePensionField: std::snprintf(out, room, "%.2f", m.bridgePension); return;
    default: std::snprintf(out, room, "%.2f", m.averageSalary); return;
    }
}
