// Cutting a member file into contiguous pieces that can be valued at the same
// time and joined into exactly what one run over the whole file gives.
#pragma once

#include <cstdint>

#include "api/run_driver.h"

constexpr int kMostShards = 64;

struct ShardPlan {
    int32_t shardCount;                // pieces actually made (1..requested)
    int64_t firstByte[kMostShards];    // each piece starts right after a line feed
    int64_t byteCount[kMostShards];    // the last piece runs to the end of the file
    MemberIdentity carried[kMostShards]; // what each piece's first line carries over
};

// Splits the file into at most `shards` pieces of about equal size, each
// starting right after a line feed, and works out the member number and
// status each piece inherits from the lines before it. False when the file
// cannot be read.
bool planMemberShards(const char *memberFile, int32_t shards, int16_t delimiterCode,
                      const int16_t *columnMap, ShardPlan &plan);
