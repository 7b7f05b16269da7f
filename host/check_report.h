// The findings of the member data check for people: each one on a line of
// the terminal ("members.txt:12: column 5 (annual_salary) "5O000.00": the
// letter O in a number; the valuation would read 5000.00"), up to a limit
// and a count of the rest; and all of them in data_check.csv.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "member_check.h"

constexpr const char *kDataCheckFile = "data_check.csv";
constexpr int kListedFindings = 50; // findings of one kind shown on the terminal

// One finding as a line of text, without its line end.
std::string describeProblem(const CheckProblem &problem, const std::string &memberFile);

// The errors (or the warnings) of the check, at most `limit`, then a line
// with the count of the rest. Returns how many there were.
int64_t printFindings(std::FILE *out, const MemberCheck &check, const std::string &memberFile, bool warnings,
                      int limit);

// data_check.csv: "line,column,member,field,rule,kind,value,detail", one row
// per finding in file order. False when the file cannot be written whole.
bool writeDataCheck(const std::filesystem::path &path, const MemberCheck &check);
