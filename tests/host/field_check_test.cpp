// The strict check of a field's text: what is a plain number, and which
// rule each misreadable text breaks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "field_check.h"

namespace {

FieldVerdict number(const std::string &text, int32_t decimals = 2, char separator = '.') {
    return checkNumberText(text.data(), static_cast<int32_t>(text.size()), decimals, separator);
}

struct Misread {
    const char *text;
    int32_t decimals;
    char separator;
    CheckRule rule;
    const char *described;
};

} // namespace

TEST(FieldCheck, PlainNumbersPass) {
    for (const char *text : {"0", "45", "045", "30000.50", "12.3", "12.", ".5", "  12", "12  ", " 7 "}) {
        EXPECT_TRUE(number(text).ok) << text;
    }
    EXPECT_TRUE(number("0.125", 3).ok);
    EXPECT_TRUE(number("10000,00", 2, ',').ok);
    EXPECT_TRUE(number("45", 0).ok);
    EXPECT_TRUE(number("999999999", 0).ok); // nine digits fit the valuation's whole numbers
    EXPECT_TRUE(number("000000000045", 0).ok); // leading zeros are no digits of value
}

TEST(FieldCheck, EveryMisreadableNumberNamesItsRule) {
    const Misread cases[] = {
        {"5O000.00", 2, '.', RuleLetter, "the letter O in a number"},
        {"52l.79", 2, '.', RuleLetter, "the letter l in a number"},
        {"4O", 0, '.', RuleLetter, "the letter O in a number"},
        {"-50000.00", 2, '.', RuleSign, "the sign -"},
        {"+12", 0, '.', RuleSign, "the sign +"},
        {"5e4", 2, '.', RuleExponent, "an exponent"},
        {"5E+04", 2, '.', RuleExponent, "an exponent"},
        {"1,234.50", 2, '.', RuleThousandsSeparator, "the thousands separator ,"},
        {"1 234", 2, '.', RuleThousandsSeparator, "a blank as thousands separator"},
        {"1.234,50", 2, ',', RuleThousandsSeparator, "the thousands separator ."},
        {"10000,00", 2, '.', RuleDecimalSeparator, "a decimal comma where the basis names the point"},
        {"10000.00", 2, ',', RuleDecimalSeparator, "a decimal point where the basis names the comma"},
        {"12.345", 2, '.', RuleDecimals, "3 decimals where the field allows 2"},
        {"0.1255", 3, '.', RuleDecimals, "4 decimals where the field allows 3"},
        {"45.0", 0, '.', RuleDecimals, "decimals in a whole number"},
        {"45,5", 0, '.', RuleDecimals, "decimals in a whole number"},
        {".", 2, '.', RuleNoDigits, "no digits"},
        {"4294967341", 0, '.', RuleTooWide, "10 digits: the valuation holds at most 9"},
        {"4 5", 0, '.', RuleCharacter, "a blank inside the number or after its decimals"},
        {"12.3 ", 2, '.', RuleCharacter, "a blank inside the number or after its decimals"},
        {"$100", 2, '.', RuleCharacter, "the character $ in a number"},
        {"75%", 3, '.', RuleCharacter, "the character % in a number"},
        {"\"70\"", 0, '.', RuleCharacter, "the character \" in a number"},
        {"1\t2", 2, '.', RuleCharacter, "a character that is not a digit (byte 9)"},
    };
    for (const Misread &c : cases) {
        const FieldVerdict verdict = number(c.text, c.decimals, c.separator);
        ASSERT_FALSE(verdict.ok) << c.text;
        EXPECT_EQ(verdict.rule, c.rule) << c.text;
        EXPECT_EQ(describeVerdict(verdict, c.decimals, 0), c.described) << c.text;
    }
}

TEST(FieldCheck, TextsMustFitTheirField) {
    EXPECT_TRUE(checkTextWidth(20, 20).ok);
    const FieldVerdict wide = checkTextWidth(21, 20);
    ASSERT_FALSE(wide.ok);
    EXPECT_EQ(wide.rule, RuleTooWide);
    EXPECT_EQ(describeVerdict(wide, 0, 20), "21 characters where the field holds 20");
    EXPECT_FALSE(checkTextWidth(2, 1).ok);
    EXPECT_TRUE(checkTextWidth(0, 1).ok);
}

TEST(FieldCheck, EveryRuleHasANameAndWarningsAreAcceptable) {
    for (int r = 0; r < kRuleCount; ++r) {
        const RuleInfo &info = ruleInfo(CheckRule(r));
        EXPECT_GT(std::strlen(info.name), 0u) << r;
        EXPECT_GT(std::strlen(info.meaning), 0u) << r;
        EXPECT_TRUE(!info.warning || info.acceptable) << info.name;
        for (int other = 0; other < r; ++other) EXPECT_STRNE(info.name, ruleInfo(CheckRule(other)).name);
    }
}
