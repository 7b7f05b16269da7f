// The rules of the member data check: errors (the valuation would read
// another value than the one written, or the file is not laid out as the
// basis says) and warnings (plausible to read, doubtful as data). Each rule
// has the name data_check.csv gives it.
#pragma once

#include <cstdint>
#include <string>

enum CheckRule : uint8_t {
    // errors in one field
    RuleLetter,             // a letter in a number
    RuleCharacter,          // another character in a number ($, %, a blank inside, a quote)
    RuleSign,               // + or - in a number
    RuleExponent,           // 5e4
    RuleThousandsSeparator, // 1,234.50
    RuleDecimalSeparator,   // the other decimal separator: 10000,00 where the point is the separator
    RuleDecimals,           // more decimals than the field allows
    RuleNoDigits,           // a number field holding no digit
    RuleTooWide,            // wider than the field or the line's room for numbers
    RuleQuoted,             // a field in quotes in the library's layout
    RuleNoFinalDelimiter,   // the last field without the delimiter the library's layout puts after it
    RuleDelimiterInField,   // a quoted field holding the delimiter or a line end
    // errors of a line or of the file
    RuleNoDelimiter,        // a line without the delimiter
    RuleHeaderRow,          // the first line names the columns but the basis says there is no header
    RuleBlankLine,          // a blank line in the library's layout, valued as a copy of the member before
    RuleByteOrderMark,      // a byte-order mark in the library's layout
    RuleCarriageReturn,     // a carriage return alone in the library's layout
    RuleLineTooLong,        // a line the valuation reads as two
    RuleUnusedColumnTooWide, // a column without a field wider than the 10 characters the valuation passes
    RuleUnusedColumnStop,   // "!" in a column without a field: the valuation stops reading the line there
    RuleLastLineEnd,        // a last line without a line feed that ends before a field's column
    RuleQuote,              // a quote left open, or text after a closing quote
    RuleHeaderColumn,       // a column named in the basis that the header row lacks or holds twice
    // warnings
    RuleServiceLongerThanAge,
    RuleYoungSpouse,
    RuleRetiredYoung,
    RuleYoungPensioner,
    RuleNoSalary,
    RuleNoPension,
    RuleAgeOutsideTables,
    RuleDuplicateMemberNumber,
    RuleSameCutMemberNumber,
    kRuleCount
};

struct RuleInfo {
    const char *name;    // as data_check.csv writes it
    bool warning;        // a warning does not stop the run
    bool acceptable;     // --accept-as-read can value the line as the library reads it
    const char *meaning; // one line for the summary and the documentation
};

const RuleInfo &ruleInfo(CheckRule rule);

// One finding of the check.
struct CheckProblem {
    int64_t line = 0;    // line of the file, from 1 (0: the file as a whole)
    int32_t column = 0;  // column of the file, from 1 (0: the line as a whole)
    int32_t field = 0;   // field code 1..14 (0: none)
    CheckRule rule = RuleLetter;
    std::string member;  // the member number as written, when the line has one
    std::string text;    // the field's text, or what the rule looked at
    std::string detail;  // what is wrong and what the valuation would make of it
};
