#include "api/member_shards.h"

#include <cstdio>
#include <cstring>

#include <sys/types.h>

#include "input/line_reader.h"
#include "input/member_parser.h"

namespace {

int64_t fileSize(const char *path) {
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr) return -1;
#if defined(_WIN32)
    const int64_t size = _fseeki64(file, 0, SEEK_END) == 0 ? _ftelli64(file) : -1;
#else
    const int64_t size = fseeko(file, 0, SEEK_END) == 0 ? static_cast<int64_t>(ftello(file)) : -1;
#endif
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

// The start of the line that ends just before `end` (a position right after
// a line feed): the byte after the line feed before it, or 0.
int64_t previousLineStart(const char *path, int64_t end) {
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    char block[4096];
    int64_t blockEnd = end - 1; // the line's own line feed is not looked at
    int64_t start = 0;
    while (blockEnd > 0) {
        const int64_t blockStart = blockEnd > int64_t{sizeof block} ? blockEnd - int64_t{sizeof block} : 0;
        const size_t length = static_cast<size_t>(blockEnd - blockStart);
        bool found = false;
        if (std::fseek(file, static_cast<long>(blockStart), SEEK_SET) == 0 &&
            std::fread(block, 1, length, file) == length) {
            for (size_t i = length; i > 0; --i) {
                if (block[i - 1] == '\n') {
                    start = blockStart + static_cast<int64_t>(i);
                    found = true;
                    break;
                }
            }
        }
        if (found) break;
        blockEnd = blockStart;
    }
    std::fclose(file);
    return start;
}

bool layoutReads(const LineLayout &layout, int32_t fieldCode) {
    for (int32_t column = 1; column <= kMapColumns; ++column)
        if (layout.fieldInColumn[column] == fieldCode) return true;
    return false;
}

// The member number and status left behind by the lines before `boundary`,
// found from the end: a line whose reading gives the same field whatever it
// carried in sets that field itself, so no earlier line matters for it.
// Usually the line just before the boundary settles both.
MemberIdentity identityBefore(const char *path, int64_t boundary, const LineLayout &layout) {
    MemberIdentity identity{}; // what the first line of the file starts from
    bool numberKnown = !layoutReads(layout, 1); // never read: stays empty
    bool statusKnown = !layoutReads(layout, 2);
    MemberIdentity first;
    MemberIdentity second;
    std::memset(&first, 1, sizeof first);
    std::memset(&second, 2, sizeof second);
    int64_t end = boundary;
    while (end > 0 && !(numberKnown && statusKnown)) {
        const int64_t start = previousLineStart(path, end);
        const MemberIdentity a = identityAfter(path, start, end, layout, first);
        const MemberIdentity b = identityAfter(path, start, end, layout, second);
        if (!numberKnown && std::memcmp(a.memberNumber, b.memberNumber, sizeof a.memberNumber) == 0) {
            std::memcpy(identity.memberNumber, a.memberNumber, sizeof identity.memberNumber);
            numberKnown = true;
        }
        if (!statusKnown && std::memcmp(a.statusCode, b.statusCode, sizeof a.statusCode) == 0) {
            std::memcpy(identity.statusCode, a.statusCode, sizeof identity.statusCode);
            statusKnown = true;
        }
        end = start;
    }
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
        // each piece inherits what the lines before it leave behind
        if (k > 0) plan.carried[k] = identityBefore(memberFile, starts[k], layout);
    }
    return true;
}
