#include "check_rules.h"

namespace {

constexpr RuleInfo kRules[kRuleCount] = {
    {"letter", false, true, "a letter in a number"},
    {"character", false, true, "a character that is not a digit in a number"},
    {"sign", false, true, "a sign in a number: the valuation reads no negative numbers"},
    {"exponent", false, true, "a number written with an exponent"},
    {"thousands_separator", false, true, "a thousands separator in a number"},
    {"decimal_separator", false, true, "the other decimal separator than the basis names"},
    {"decimals", false, true, "more decimals than the field allows"},
    {"no_digits", false, true, "a number field without a digit"},
    {"too_wide", false, true, "a field wider than the valuation reads"},
    {"quoted", false, true, "a field in quotes in the library's layout"},
    {"no_final_delimiter", false, true, "no delimiter after the last field in the library's layout"},
    {"delimiter_in_field", false, false, "a field holding the delimiter or a line end"},
    {"no_delimiter", false, true, "a line without the delimiter"},
    {"header_row", false, true, "a header row where the basis says there is none"},
    {"blank_line", false, true, "a blank line in the library's layout"},
    {"byte_order_mark", false, true, "a byte-order mark in the library's layout"},
    {"carriage_return", false, true, "a carriage return alone in the library's layout"},
    {"line_too_long", false, true, "a line longer than the 498 characters the valuation reads at once"},
    {"unused_column_too_wide", false, true, "a column without a field wider than 10 characters"},
    {"unused_column_stop", false, true, "\"!\" in a column without a field"},
    {"last_line_end", false, true, "a last line without a line feed that ends before a field"},
    {"quote", false, false, "a quote left open, or text after a closing quote"},
    {"header_column", false, false, "a column named in the basis that the header row lacks or holds twice"},
    {"service_longer_than_age", true, true, "service longer than the age less 15 years"},
    {"young_spouse", true, true, "a spouse younger than 16"},
    {"retired_young", true, true, "years retired more than the age less 40"},
    {"young_pensioner", true, true, "a pensioner or disabled member under 18"},
    {"no_salary", true, true, "a member in service with salary 0"},
    {"no_pension", true, true, "a pensioner, disabled member or spouse with pension 0"},
    {"age_outside_tables", true, true, "a member in service or deferred at an age the decrement tables do not cover"},
    {"duplicate_member_number", true, true, "a member number that an earlier line has"},
    {"same_cut_member_number", true, true, "a member number that becomes an earlier one's once cut to 10 characters"},
};

} // namespace

const RuleInfo &ruleInfo(CheckRule rule) { return kRules[rule]; }
