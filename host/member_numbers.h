// The member numbers seen so far, to find a number on two lines, and two
// numbers that the valuation's cut to 10 characters makes one. An open
// addressing table of the texts (which stay in the file's bytes, or in the
// index's own store when they had to be unquoted).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// A table of 8-byte slots (the upper half of the text's hash and 1 + the
// entry's index; 0 is free) over the entries in the order they came: small
// enough to stay in the caches for a file of a few hundred thousand members.
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
    std::deque<std::string> store; // texts that do not stay in the file's bytes
};

struct NumberSeen {
    int64_t sameNumberLine = 0; // the earlier line with the same number, or 0
    int64_t sameCutLine = 0;    // the earlier line of another number with the same first 10 characters, or 0
};

// Records the number of `line`; `stable` says whether its text outlives the
// call (the file's bytes) or must be copied.
NumberSeen recordMemberNumber(MemberNumberIndex &index, std::string_view number, bool stable, int64_t line);
