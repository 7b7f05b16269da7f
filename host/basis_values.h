// Reading single values and by-age tables out of the basis file, each with
// its allowed range. Every problem becomes one message naming the file, the
// key and what is allowed; the readers never stop at the first problem, so
// that one run of `talvek` lists everything to mend.
#pragma once

#include <array>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

#include "plan_basis.h"

struct BasisReader {
    std::string fileName;                 // as the user named it, for messages
    std::filesystem::path baseDirectory;  // relative table files are found from here
    std::vector<std::string> *errors;     // one line per problem
};

// The values a key admits.
struct Range {
    double low;
    double high;
    bool whole; // a whole number is required
};

std::string describeRange(const Range &range);
std::string formatNumber(double value);

// "<file>:<line>: <key>: <problem>; allowed: <allowed>"
void reportProblem(BasisReader &reader, const toml::node *where, const std::string &key,
                   const std::string &problem, const std::string &allowed);

std::string joinKey(const std::string &path, std::string_view key);

// Every key of the table that is not in the list is an error: a typo must not
// leave the value it meant at some default.
void checkKnownKeys(BasisReader &reader, const toml::table &table, const std::string &path,
                    std::initializer_list<std::string_view> known);

const toml::table *readTable(BasisReader &reader, const toml::table &parent, std::string_view key,
                             const std::string &path);

bool readNumberNode(BasisReader &reader, const toml::node &node, const std::string &key,
                    const Range &range, double &out);
bool readNumber(BasisReader &reader, const toml::table &table, std::string_view key,
                const std::string &path, const Range &range, double &out);
bool readWhole(BasisReader &reader, const toml::table &table, std::string_view key,
               const std::string &path, const Range &range, int &out);
bool readText(BasisReader &reader, const toml::table &table, std::string_view key,
              const std::string &path, std::string &out);

// Limits of a by-age table: where it may start and how many ages it may hold.
struct AgeLimits {
    int lowestFirstAge;
    int highestFirstAge;
    int maxCount;
};

// A by-age table: { from = AGE, rates = [...] } or { file = "table.csv" }
// (lines "age,value", a header and '#' comments allowed, ages consecutive).
bool readAgeTable(BasisReader &reader, const toml::table &parent, std::string_view key,
                  const std::string &path, const AgeLimits &limits, const Range &values,
                  AgeTable &out);

// Mortality rates for every age 1..119: a by-age table covering exactly those
// ages, or (base rates only) a Makeham law
// { makeham = { a = A, b = B, c = C }, age_shift = S }, q(x) read at x + S.
bool readRatesForAllAges(BasisReader &reader, const toml::table &parent, std::string_view key,
                         const std::string &path, const Range &values, bool allowLaw,
                         std::array<double, kOldestTableAge + 1> &out);

// A rate for each year 0..110: one number for every year, a list of 111
// numbers, or { rates = [year 0, year 1, ...], later = RATE }.
bool readYearlyRates(BasisReader &reader, const toml::table &parent, std::string_view key,
                     const std::string &path, const Range &range,
                     std::array<double, kProjectionYears> &out);

// q(x) = 1 - exp(-A - B c^x (c - 1) / ln c): the one-year death probability of
// the Makeham law with force of mortality mu(x) = A + B c^x.
double makehamDeathProbability(double a, double b, double c, double age);
