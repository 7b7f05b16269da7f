// The member numbers of a file, to find a number on two lines, and two
// numbers that the valuation's cut to 10 characters makes one. An open
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

struct MemberNumberIndex {
    NumberTable whole; // by the whole number
    NumberTable cut;   // by its first 10 characters, numbers of 10 characters or more only
};

struct NumberSeen {
    int64_t sameNumberLine = 0; // the earlier line with the same number, or 0
    int64_t sameCutLine = 0;    // the earlier line of another number with the same first 10 characters, or 0
};

uint64_t memberNumberHash(std::string_view number);

// Room for `expected` numbers without growing.
void reserveMemberNumbers(MemberNumberIndex &index, size_t expected);

// Asks the processor for the slot of a number about to be recorded.
void prefetchMemberNumber(const MemberNumberIndex &index, uint64_t hash);

// Records the number of `line` (its hash from memberNumberHash).
NumberSeen recordMemberNumber(MemberNumberIndex &index, std::string_view number, uint64_t hash, int64_t line);
