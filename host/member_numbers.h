// The member numbers of a file, to find a number on two lines (a table of
// the whole numbers), and two numbers that the valuation's cut to 10
// characters makes one (a table of the first 10 characters). An open
// addressing table of 8-byte slots (the upper half of the text's hash and
// 1 + the entry's index; 0 is free) over the entries in the order they came:
// small enough to stay in the caches for a file of a few hundred thousand
// members. The texts are not copied: they must outlive the index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct NumberEntry {
    uint64_t hash;
    int64_t line;
    std::string_view key;
    std::string_view full; // the whole member number (for the cut table: the first one seen)
};

struct NumberTable {
    std::vector<uint64_t> slots;
    std::vector<NumberEntry> entries;
};

uint64_t memberNumberHash(std::string_view number);

// The hash of the first 10 characters, for numbers of 10 or more.
uint64_t cutNumberHash(std::string_view number);

// Room for `expected` numbers without growing.
void reserveMemberNumbers(NumberTable &table, size_t expected);

// Records the whole number of `line` (its hash from memberNumberHash);
// returns the earlier line with the same number, or 0.
int64_t recordWholeNumber(NumberTable &table, std::string_view number, uint64_t hash, int64_t line);

// Records the first 10 characters of a number of 10 or more (their hash
// from cutNumberHash); returns the earlier line of another number with the
// same 10, or 0.
int64_t recordCutNumber(NumberTable &table, std::string_view number, uint64_t cutHash, int64_t line);
