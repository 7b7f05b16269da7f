#include "input/report_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Right-aligns the `length` bytes at `field` in `width` places by moving them
// and putting spaces in front.
char *padLeft(char *out, char *end, int width) {
    const int length = static_cast<int>(end - out);
    if (length >= width) return end;
    const int pad = width - length;
    std::memmove(out + pad, out, static_cast<size_t>(length));
    std::memset(out, ' ', static_cast<size_t>(pad));
    return out + width;
}

} // namespace

char *appendText(char *out, const char *text) {
    while (*text != '\0') *out++ = *text++;
    return out;
}

char *appendChar(char *out, char c) {
    *out++ = c;
    return out;
}

char *appendInt(char *out, int32_t value, int width) {
    char *end = std::to_chars(out, out + 16, value).ptr;
    return padLeft(out, end, width);
}

char *appendFixed(char *out, double value, int width, int precision) {
    if (!std::isfinite(value)) {
        // the C formatter's own spelling of NaN and infinities
        const int length = std::snprintf(out, 32, "%*.*f", width, precision, value);
        return out + length;
    }
    // correctly rounded, ties to even: the same digits as the C formatter
    char *end = std::to_chars(out, out + 330, value, std::chars_format::fixed, precision).ptr;
    return padLeft(out, end, width);
}

namespace {

// The most a single value can take: a double in "%f" form with its width.
constexpr int kLargestValue = 340;
constexpr int kLargestInteger = 12; // "-2147483648"

int parseCount(const char *&at) {
    int count = 0;
    while (*at >= '0' && *at <= '9') count = count * 10 + (*at++ - '0');
    return count;
}

} // namespace

int formatReportLine(char *out, int capacity, const char *format,
                     std::initializer_list<ReportValue> values) {
    const ReportValue *value = values.begin();
    char *at = out;
    char *const last = out + capacity - 1; // room for the NUL
    for (const char *f = format; *f != '\0' && at < last;) {
        if (*f != '%' || value == values.end()) {
            *at++ = *f++;
            continue;
        }
        const char *directive = f + 1;
        const int width = parseCount(directive);
        int precision = 6;
        if (*directive == '.') {
            ++directive;
            precision = parseCount(directive);
        }
        const char conversion = *directive;
        // a value that might not fit ends the line rather than overrun the buffer
        const int64_t room = last - at;
        const int64_t needed = conversion == 'f' ? kLargestValue + width
                               : conversion == 'c' ? 1
                               : conversion == 's' ? 0
                                                   : kLargestInteger + width;
        if (room < needed) break;
        if (conversion == 's' && value->kind == ReportValue::Text) {
            // member numbers and statuses: short texts
            for (const char *t = value->text; *t != '\0' && at < last; ++t) *at++ = *t;
        } else if (conversion == 'c' && value->kind == ReportValue::Letter) {
            at = appendChar(at, value->letter);
        } else if ((conversion == 'i' || conversion == 'd') && value->kind == ReportValue::Integer) {
            at = appendInt(at, value->integer, width);
        } else if (conversion == 'f' && value->kind == ReportValue::Real) {
            at = appendFixed(at, value->real, width, precision);
        } else {
            *at++ = *f++; // not a conversion this formatter knows: kept as text
            continue;
        }
        ++value;
        f = directive + 1;
    }
    *at = '\0';
    return static_cast<int>(at - out);
}
