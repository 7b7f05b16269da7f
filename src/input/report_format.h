// Fast formatting of report fields, byte for byte what the C formatter gives
// in the C locale for "%Ni", "%W.Pf", "%c" and "%s".
#pragma once

#include <cstdint>

// Each appends at `out` and returns the position after what it wrote. The
// caller's buffer must hold the field (a double in "%f" form needs at most
// 330 bytes).
char *appendText(char *out, const char *text);          // "%s": up to the NUL
char *appendChar(char *out, char c);                    // "%c": any byte, NUL included
char *appendInt(char *out, int32_t value, int width);   // "%<width>i"
char *appendFixed(char *out, double value, int width, int precision); // "%<width>.<precision>f"
