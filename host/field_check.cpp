#include "field_check.h"

namespace {

constexpr int32_t kThousandsGroup = 3;  // digits after a thousands separator
constexpr int32_t kMostWholeDigits = 9; // more would wrap the valuation's 32-bit sum

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

FieldVerdict broken(CheckRule rule, char found, int32_t count = 0) { return FieldVerdict{false, rule, found, count}; }

// A separator followed by exactly three digits and then the end, a blank or
// another separator groups thousands.
bool groupsThousands(const char *text, int32_t length, int32_t at) {
    int32_t digits = 0;
    int32_t i = at + 1;
    while (i < length && isDigit(text[i])) {
        ++digits;
        ++i;
    }
    return digits == kThousandsGroup && (i == length || !isLetter(text[i]));
}

bool onlyBlanksFrom(const char *text, int32_t length, int32_t at) {
    for (int32_t i = at; i < length; ++i) {
        if (text[i] != ' ') return false;
    }
    return true;
}

// A character that is neither a digit nor this field's decimal separator.
FieldVerdict judgeCharacter(const char *text, int32_t length, int32_t i, int32_t decimals, char separator,
                            bool digitSeen, bool separatorSeen) {
    const char c = text[i];
    const char other = separator == '.' ? ',' : '.';
    if (c == ' ') {
        // blanks after a number without decimals are passed over
        if (!separatorSeen && onlyBlanksFrom(text, length, i)) return FieldVerdict{};
        if (digitSeen && !separatorSeen && groupsThousands(text, length, i)) return broken(RuleThousandsSeparator, c);
        return broken(RuleCharacter, c);
    }
    if (c == other || c == '\'') {
        if (digitSeen && groupsThousands(text, length, i)) return broken(RuleThousandsSeparator, c);
        if (c == '\'') return broken(RuleCharacter, c);
        return decimals == 0 ? broken(RuleDecimals, c) : broken(RuleDecimalSeparator, c);
    }
    if (c == '+' || c == '-') return broken(RuleSign, c);
    if ((c == 'e' || c == 'E') && digitSeen && i + 1 < length &&
        (isDigit(text[i + 1]) || text[i + 1] == '+' || text[i + 1] == '-')) {
        return broken(RuleExponent, c);
    }
    if (isLetter(c)) return broken(RuleLetter, c);
    return broken(RuleCharacter, c);
}

} // namespace

FieldVerdict checkNumberText(const char *text, int32_t length, int32_t decimals, char separator) {
    int32_t i = 0;
    while (i < length && text[i] == ' ') ++i; // blanks before the number are passed over
    int32_t wholeDigits = 0;      // significant digits before the separator
    int32_t decimalsWritten = 0;
    bool digitSeen = false;
    bool separatorSeen = false;
    for (; i < length; ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            digitSeen = true;
            if (separatorSeen) ++decimalsWritten;
            else if (wholeDigits > 0 || c != '0') ++wholeDigits;
            continue;
        }
        if (c == separator && !separatorSeen) {
            if (decimals == 0) return broken(RuleDecimals, c);
            separatorSeen = true;
            continue;
        }
        const FieldVerdict verdict = judgeCharacter(text, length, i, decimals, separator, digitSeen, separatorSeen);
        if (!verdict.ok) return verdict;
        break; // blanks to the end
    }
    if (!digitSeen) return broken(RuleNoDigits, 0);
    if (decimalsWritten > decimals) return broken(RuleDecimals, 0, decimalsWritten);
    if (decimals == 0 && wholeDigits > kMostWholeDigits) return broken(RuleTooWide, 0, wholeDigits);
    return FieldVerdict{};
}

FieldVerdict checkTextWidth(int32_t length, int32_t width) {
    if (length > width) return broken(RuleTooWide, 0, length);
    return FieldVerdict{};
}

std::string describeVerdict(const FieldVerdict &verdict, int32_t decimals, int32_t width) {
    const std::string found = verdict.found == 0 ? std::string() : std::string(1, verdict.found);
    switch (verdict.rule) {
    case RuleLetter: return "the letter " + found + " in a number";
    case RuleCharacter:
        if (verdict.found == ' ') return "a blank inside the number or after its decimals";
        if (static_cast<unsigned char>(verdict.found) < 32 || static_cast<unsigned char>(verdict.found) > 126) {
            return "a character that is not a digit (byte " +
                   std::to_string(static_cast<unsigned char>(verdict.found)) + ")";
        }
        return "the character " + found + " in a number";
    case RuleSign: return "the sign " + found;
    case RuleExponent: return "an exponent";
    case RuleThousandsSeparator:
        return verdict.found == ' ' ? "a blank as thousands separator" : "the thousands separator " + found;
    case RuleDecimalSeparator:
        return verdict.found == ',' ? "a decimal comma where the basis names the point"
                                    : "a decimal point where the basis names the comma";
    case RuleDecimals:
        if (decimals == 0) return "decimals in a whole number";
        return std::to_string(verdict.count) + " decimals where the field allows " + std::to_string(decimals);
    case RuleNoDigits: return "no digits";
    case RuleTooWide:
        if (width == 0) return std::to_string(verdict.count) + " digits: the valuation holds at most 9";
        return std::to_string(verdict.count) + " characters where the field holds " + std::to_string(width);
    default: return ruleInfo(verdict.rule).meaning;
    }
}
