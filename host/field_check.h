// The strict check of one field's text: is it a plain number (digits, at
// most one decimal separator and as many decimals as the field allows,
// blanks only around it), or a text that fits its field? Anything else is
// an error, because the valuation would read it as another value than the
// one written.
#pragma once

#include <cstdint>
#include <string>

#include "check_rules.h"

struct FieldVerdict {
    bool ok = true;
    CheckRule rule = RuleLetter;
    char found = 0;        // the character that broke the rule, where one did
    int32_t count = 0;     // decimals or characters counted, where the rule counts
};

// A number field: `decimals` 0 for whole numbers, 2 amounts, 3 the
// guaranteed fraction; `separator` '.' or ','. Blanks may stand before the
// number, and after it when it has no decimal separator (a blank after the
// decimals would be read as one).
FieldVerdict checkNumberText(const char *text, int32_t length, int32_t decimals, char separator);

// A text field of at most `width` characters.
FieldVerdict checkTextWidth(int32_t length, int32_t width);

// The verdict in words, e.g. "the letter O", "a sign",
// "3 decimals where the field allows 2".
std::string describeVerdict(const FieldVerdict &verdict, int32_t decimals, int32_t width);
