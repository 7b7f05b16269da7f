#include "api/member_shards.h"

#include <cstdio>
#include <cstring>

#include "input/line_reader.h"
#include "input/member_parser.h"

namespace {

int64_t fileSize(const char *path) {
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
    int64_t size = 0;
    char chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) size += static_cast<int64_t>(got);
    std::fclose(file);
    return size;
}

// The first byte after the first line feed at or after `from`, or `size`
// when there is none.
int64_t nextLineStart(const char *path, int64_t from, int64_t size) {
    LineReader reader;
    if (!openLineReaderRange(reader, path, from, size - from)) return size;
    int64_t position = from;
    int c;
    while ((c = std::fgetc(reader.file)) != EOF) {
        ++position;
        if (c == '\n') break;
    }
    closeLineReader(reader);
    return position;
}

// Reads the lines of [from, end) the way a run does, without writing
// anything, starting from the identity `carried`, and returns the member
// number and status they leave behind.
MemberIdentity identityAfter(const char *path, int64_t from, int64_t end,
                             const LineLayout &layout, const MemberIdentity &carried) {
    MemberIdentity identity = carried;
    LineReader reader;
    if (end <= from || !openLineReaderRange(reader, path, from, end - from)) return identity;
    int32_t ignoredErrors = 0;
    ErrorLog silent{nullptr, &ignoredErrors};
    MemberRecord member{};
    std::memcpy(member.memberNumber, carried.memberNumber, sizeof member.memberNumber);
    std::memcpy(member.statusCode, carried.statusCode, sizeof member.statusCode);
    char line[kLineBufferSize];
    std::memset(line, kLineFiller, sizeof line);
    while (readLine(reader, line, kLineBufferSize) > 0) {
        resetMemberRecord(member);
        parseMemberLine(line, layout, member, silent);
        std::memset(line, kLineFiller, sizeof line);
    }
    closeLineReader(reader);
    std::memcpy(identity.memberNumber, member.memberNumber, sizeof identity.memberNumber);
    std::memcpy(identity.statusCode, member.statusCode, sizeof identity.statusCode);
    return identity;
}

} // namespace

bool planMemberShards(const char *memberFile, int32_t shards, int16_t delimiterCode,
                      const int16_t *columnMap, ShardPlan &plan) {
    std::memset(&plan, 0, sizeof plan);
    const int64_t size = fileSize(memberFile);
    if (size < 0) return false;
    if (shards < 1) shards = 1;
    if (shards > kMostShards) shards = kMostShards;

    int64_t starts[kMostShards + 1];
    int32_t count = 0;
    starts[count++] = 0;
    for (int32_t k = 1; k < shards; ++k) {
        const int64_t start = nextLineStart(memberFile, size / shards * k - 1, size);
        // pieces never overlap and none is empty
        if (start <= starts[count - 1] || start >= size) continue;
        starts[count++] = start;
    }
    starts[count] = size;

    const LineLayout layout = makeLineLayout(delimiterCode, columnMap);
    plan.shardCount = count;
    for (int32_t k = 0; k < count; ++k) {
        plan.firstByte[k] = starts[k];
        plan.byteCount[k] = k + 1 < count ? starts[k + 1] - starts[k] : -1;
        // each piece inherits what the piece before it leaves behind
        if (k > 0) {
            plan.carried[k] = identityAfter(memberFile, starts[k - 1], starts[k], layout,
                                            plan.carried[k - 1]);
        }
    }
    return true;
}
