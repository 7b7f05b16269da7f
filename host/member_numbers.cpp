#include "member_numbers.h"

namespace {

constexpr size_t kKeptCharacters = 10; // the valuation keeps the first 10 characters of a member number
constexpr size_t kFirstSlots = 1024;

// FNV-1a over the bytes, then the splitmix64 finaliser, so that every bit
// of the hash depends on every byte (sequential member numbers differ in
// their last characters only).
uint64_t hashOf(std::string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    hash = (hash ^ (hash >> 30)) * 0xBF58476D1CE4E5B9ull;
    hash = (hash ^ (hash >> 27)) * 0x94D049BB133111EBull;
    return hash ^ (hash >> 31);
}

constexpr uint64_t kEntryBits = 0xFFFFFFFFull; // the lower half of a slot: 1 + the entry's index

// The slot holding the key, or the free slot where it belongs.
uint64_t &findSlot(NumberTable &table, std::string_view key, uint64_t hash) {
    const size_t mask = table.slots.size() - 1;
    const uint64_t tag = hash & ~kEntryBits;
    size_t i = static_cast<size_t>(hash) & mask;
    while (table.slots[i] != 0) {
        const uint64_t slot = table.slots[i];
        if ((slot & ~kEntryBits) == tag && table.entries[(slot & kEntryBits) - 1].key == key) break;
        i = (i + 1) & mask;
    }
    return table.slots[i];
}

// Doubles the slots when they are half full, so that probes stay short.
void makeRoom(NumberTable &table) {
    if (table.slots.empty()) table.slots.resize(kFirstSlots);
    if (2 * (table.entries.size() + 1) <= table.slots.size()) return;
    table.slots.assign(table.slots.size() * 2, 0);
    for (size_t e = 0; e < table.entries.size(); ++e) {
        const NumberEntry &entry = table.entries[e];
        findSlot(table, entry.key, entry.hash) = (entry.hash & ~kEntryBits) | (e + 1);
    }
}

// The entry of key, made with line and full if the key is new.
const NumberEntry &recordKey(NumberTable &table, std::string_view key, uint64_t hash, std::string_view full,
                             int64_t line) {
    makeRoom(table);
    uint64_t &slot = findSlot(table, key, hash);
    if (slot == 0) {
        table.entries.push_back(NumberEntry{hash, line, key, full});
        slot = (hash & ~kEntryBits) | table.entries.size();
    }
    return table.entries[(slot & kEntryBits) - 1];
}

size_t slotsFor(size_t expected) {
    size_t slots = kFirstSlots;
    while (slots < 2 * (expected + 1)) slots *= 2;
    return slots;
}

} // namespace

uint64_t memberNumberHash(std::string_view number) { return hashOf(number); }

uint64_t cutNumberHash(std::string_view number) { return hashOf(number.substr(0, kKeptCharacters)); }

void reserveMemberNumbers(NumberTable &table, size_t expected) {
    table.slots.assign(slotsFor(expected), 0);
    table.entries.reserve(expected);
}

int64_t recordWholeNumber(NumberTable &table, std::string_view number, uint64_t hash, int64_t line) {
    const NumberEntry &entry = recordKey(table, number, hash, number, line);
    return entry.line != line ? entry.line : 0;
}

int64_t recordCutNumber(NumberTable &table, std::string_view number, uint64_t cutHash, int64_t line) {
    if (number.size() < kKeptCharacters) return 0; // shorter numbers are kept whole
    const NumberEntry &entry = recordKey(table, number.substr(0, kKeptCharacters), cutHash, number, line);
    return entry.line != line && entry.full != number ? entry.line : 0;
}
