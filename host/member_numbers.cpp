#include "member_numbers.h"

namespace {

constexpr size_t kKeptCharacters = 10; // the valuation keeps the first 10 characters of a member number
constexpr size_t kFirstSlots = 1024;

// FNV-1a over the bytes, then a final mix so that the low bits spread.
uint64_t hashOf(std::string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    hash ^= hash >> 32;
    return hash * 0x9E3779B97F4A7C15ull;
}

// The slot of the key, or the free slot where it belongs.
NumberSlot &findSlot(NumberTable &table, std::string_view key, uint64_t hash) {
    const size_t mask = table.slots.size() - 1;
    size_t i = static_cast<size_t>(hash) & mask;
    while (table.slots[i].line != 0 && (table.slots[i].hash != hash || table.slots[i].key != key)) i = (i + 1) & mask;
    return table.slots[i];
}

// Doubles the table when it is half full, so that probes stay short.
void makeRoom(NumberTable &table) {
    if (table.slots.empty()) table.slots.resize(kFirstSlots);
    if (2 * (table.used + 1) <= table.slots.size()) return;
    std::vector<NumberSlot> old;
    old.swap(table.slots);
    table.slots.resize(old.size() * 2);
    for (const NumberSlot &slot : old) {
        if (slot.line != 0) findSlot(table, slot.key, slot.hash) = slot;
    }
}

// The slot of key, filled with line and full if the key is new; the line of
// an earlier entry otherwise.
const NumberSlot &recordKey(NumberTable &table, std::string_view key, std::string_view full, int64_t line) {
    makeRoom(table);
    const uint64_t hash = hashOf(key);
    NumberSlot &slot = findSlot(table, key, hash);
    if (slot.line == 0) {
        slot = NumberSlot{hash, line, key, full};
        ++table.used;
    }
    return slot;
}

} // namespace

NumberSeen recordMemberNumber(MemberNumberIndex &index, std::string_view number, bool stable, int64_t line) {
    if (!stable) {
        index.store.emplace_back(number);
        number = index.store.back();
    }
    NumberSeen seen;
    const NumberSlot &whole = recordKey(index.whole, number, number, line);
    if (whole.line != line) {
        seen.sameNumberLine = whole.line;
        return seen; // the same number: its cut is the same too
    }
    if (number.size() >= kKeptCharacters) {
        const NumberSlot &cut = recordKey(index.cut, number.substr(0, kKeptCharacters), number, line);
        if (cut.line != line && cut.full != number) seen.sameCutLine = cut.line;
    }
    return seen;
}
