// Member numbers seen twice, and numbers that the cut to 10 characters
// makes one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "member_numbers.h"

namespace {

// The two tables together, the cut asked only of a number no earlier line has.
struct NumberIndex {
    NumberTable whole;
    NumberTable cut;
};

struct NumberSeen {
    int64_t sameNumberLine = 0;
    int64_t sameCutLine = 0;
};

NumberSeen record(NumberIndex &index, const std::string &number, int64_t line) {
    NumberSeen seen;
    seen.sameNumberLine = recordWholeNumber(index.whole, number, memberNumberHash(number), line);
    if (seen.sameNumberLine == 0) seen.sameCutLine = recordCutNumber(index.cut, number, cutNumberHash(number), line);
    return seen;
}

} // namespace

TEST(MemberNumbers, ANumberSeenBeforeNamesTheFirstLine) {
    NumberIndex index;
    const std::vector<std::string> numbers = {"M1", "M2", "M1", "M3", "M1", "m1"};
    EXPECT_EQ(record(index, numbers[0], 1).sameNumberLine, 0);
    EXPECT_EQ(record(index, numbers[1], 2).sameNumberLine, 0);
    EXPECT_EQ(record(index, numbers[2], 3).sameNumberLine, 1);
    EXPECT_EQ(record(index, numbers[3], 4).sameNumberLine, 0);
    EXPECT_EQ(record(index, numbers[4], 5).sameNumberLine, 1);
    EXPECT_EQ(record(index, numbers[5], 6).sameNumberLine, 0); // upper and lower case differ, as in the valuation
}

TEST(MemberNumbers, NumbersCutToTheSameTenCharactersAreFound) {
    NumberIndex index;
    const std::vector<std::string> numbers = {"LONGMEMBERID0001", "LONGMEMBERID0002", "LONGMEMBER", "LONGMEMBERID0001",
                                              "SHORT", "LONGMEMBEX"};
    EXPECT_EQ(record(index, numbers[0], 1).sameCutLine, 0);
    EXPECT_EQ(record(index, numbers[1], 2).sameCutLine, 1);
    EXPECT_EQ(record(index, numbers[2], 3).sameCutLine, 1); // exactly the ten characters the others are cut to
    const NumberSeen again = record(index, numbers[3], 4);
    EXPECT_EQ(again.sameNumberLine, 1); // the same number, said once
    EXPECT_EQ(again.sameCutLine, 0);
    EXPECT_EQ(record(index, numbers[4], 5).sameCutLine, 0);
    EXPECT_EQ(record(index, numbers[5], 6).sameCutLine, 0);
}

TEST(MemberNumbers, TheTableGrowsWithoutLosingANumber) {
    NumberIndex index;
    std::vector<std::string> numbers;
    for (int i = 0; i < 50000; ++i) numbers.push_back("N" + std::to_string(i));
    for (int i = 0; i < 50000; ++i) ASSERT_EQ(record(index, numbers[i], i + 1).sameNumberLine, 0) << i;
    for (int i = 0; i < 50000; i += 997) EXPECT_EQ(record(index, numbers[i], 60000 + i).sameNumberLine, i + 1);
    // a reserved table finds the same
    NumberIndex reserved;
    reserveMemberNumbers(reserved.whole, 10);
    for (int i = 0; i < 3000; ++i) record(reserved, numbers[i], i + 1);
    EXPECT_EQ(record(reserved, numbers[2999], 9999).sameNumberLine, 3000);
}
