// A made-up but realistic member file: members of all five statuses with
// ages, salaries, service in weeks, pensions and spouse ages, in the layout
// of the example basis (comma after every field, field codes 1..14 in
// columns 1..14, status codes A, P, D, V, S). The same seed gives the same
// file on every machine: the numbers come from a small generator of our own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// splitmix64: a 64-bit state stepped by a constant and mixed.
struct MemberRandom {
    uint64_t state;
};

uint64_t nextRandom(MemberRandom &random);
double uniformRandom(MemberRandom &random); // in [0, 1), 53 bits

// Appends the line (with its line feed) of member number `index` (from 1).
void appendMemberLine(std::string &text, MemberRandom &random, int64_t index);

// Writes `members` lines to out. False when writing fails.
bool generateMembers(std::FILE *out, int64_t members, uint64_t seed);
