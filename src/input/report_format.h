// Fast formatting of report fields, byte for byte what the C formatter gives
// in the C locale for "%Ni", "%W.Pf", "%c" and "%s".
#pragma once

#include <cstdint>
#include <initializer_list>

// Each appends at `out` and returns the position after what it wrote. The
// caller's buffer must hold the field (a double in "%f" form needs at most
// 330 bytes).
char *appendText(char *out, const char *text);          // "%s": up to the NUL
char *appendChar(char *out, char c);                    // "%c": any byte, NUL included
char *appendInt(char *out, int32_t value, int width);   // "%<width>i"
char *appendFixed(char *out, double value, int width, int precision); // "%<width>.<precision>f"

// One value of a report line: a text ("%s"), a letter ("%c"), a whole number
// ("%Ni") or an amount ("%W.Pf").
struct ReportValue {
    enum Kind : uint8_t { Text, Letter, Integer, Real };
    Kind kind;
    const char *text;
    char letter;
    int32_t integer;
    double real;
    ReportValue(const char *value) : kind(Text), text(value), letter(0), integer(0), real(0) {}
    ReportValue(char value) : kind(Letter), text(nullptr), letter(value), integer(0), real(0) {}
    ReportValue(int32_t value) : kind(Integer), text(nullptr), letter(0), integer(value), real(0) {}
    ReportValue(double value) : kind(Real), text(nullptr), letter(0), integer(0), real(value) {}
};

// Fills `format`'s "%s", "%c", "%Ni" and "%W.Pf" with the values in order,
// byte for byte as the C formatter does in the C locale, whatever locale the
// program has set. Writes at most capacity - 1 bytes and a NUL; returns the
// number of bytes before the NUL (a "%c" of NUL counts as a byte).
int formatReportLine(char *out, int capacity, const char *format,
                     std::initializer_list<ReportValue> values);
