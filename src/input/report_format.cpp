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
