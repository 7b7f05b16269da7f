#include "engine/piece_plan.h"

#include <cstring>
#include <memory>
#include <vector>

#include "talvek/engine.h"

namespace {

constexpr int64_t kScanBlock = 4096; // bytes looked at per read when finding a line feed

bool layoutReads(const LineLayout &layout, int32_t fieldCode) {
    for (int32_t column = 1; column <= kMapColumns; ++column)
        if (layout.fieldInColumn[column] == fieldCode) return true;
    return false;
}

// The start of the line that ends just before `end` (a position right after
// a line feed, or the window's end): the byte after the line feed before it,
// or 0 when there is none.
int64_t previousLineStart(const unsigned char *bytes, int64_t end) {
    for (int64_t i = end - 1; i > 0; --i) // the line's own line feed is not looked at
        if (bytes[i - 1] == '\n') return i;
    return 0;
}

} // namespace

int64_t pieceCount(int64_t size, int64_t pieceBytes) {
    if (size <= 0) return 0;
    return (size + pieceBytes - 1) / pieceBytes;
}

bool lineStartAtOrAfter(const MemberSource &source, int64_t size, int64_t position, int64_t &start) {
    if (position <= 0) {
        start = 0;
        return true;
    }
    if (position >= size) {
        start = size;
        return true;
    }
    // A line starts at `position` when the byte before it is a line feed;
    // otherwise the next line starts after the next line feed.
    unsigned char block[kScanBlock];
    int64_t from = position - 1;
    while (from < size) {
        const int64_t count = size - from < kScanBlock ? size - from : kScanBlock;
        if (!readSourceBytes(source, from, count, block)) return false;
        const void *feed = std::memchr(block, '\n', static_cast<size_t>(count));
        if (feed != nullptr) {
            start = from + (static_cast<const unsigned char *>(feed) - block) + 1;
            return true;
        }
        from += count;
    }
    start = size;
    return true;
}

bool pieceBounds(const MemberSource &source, int64_t size, int64_t pieceBytes, int64_t index,
                 PieceBounds &bounds) {
    return lineStartAtOrAfter(source, size, index * pieceBytes, bounds.firstByte) &&
           lineStartAtOrAfter(source, size, (index + 1) * pieceBytes, bounds.endByte);
}

MemberIdentity identityAfterLines(const unsigned char *bytes, int64_t length, const LineLayout &layout,
                                  const MemberIdentity &carried) {
    MemberIdentity identity = carried;
    if (length <= 0) return identity;
    std::unique_ptr<LineReader> reader(new LineReader);
    const MemberSource memory{nullptr, bytes, length};
    openSourceRange(*reader, memory, 0, length);
    int32_t ignoredErrors = 0;
    ErrorLog silent{ReportSink{nullptr, nullptr, false, 0}, &ignoredErrors};
    MemberRecord member{};
    std::memcpy(member.memberNumber, carried.memberNumber, sizeof member.memberNumber);
    std::memcpy(member.statusCode, carried.statusCode, sizeof member.statusCode);
    char line[kLineBufferSize];
    std::memset(line, kLineFiller, sizeof line);
    while (readLine(*reader, line, kLineBufferSize) > 0) {
        resetMemberRecord(member);
        parseMemberLine(line, layout, member, silent);
        std::memset(line, kLineFiller, sizeof line);
    }
    closeLineReader(*reader);
    std::memcpy(identity.memberNumber, member.memberNumber, sizeof identity.memberNumber);
    std::memcpy(identity.statusCode, member.statusCode, sizeof identity.statusCode);
    return identity;
}

bool identityFromWindow(const unsigned char *window, int64_t windowBytes, const LineLayout &layout,
                        MemberIdentity &identity) {
    identity = MemberIdentity{}; // a field no column holds stays empty
    bool numberKnown = !layoutReads(layout, TALVEK_FIELD_MEMBER_NUMBER);
    bool statusKnown = !layoutReads(layout, TALVEK_FIELD_STATUS_CODE);
    // Two different identities carried into a line: where the line leaves the
    // same value after both, that value does not depend on anything earlier.
    MemberIdentity first;
    MemberIdentity second;
    std::memset(&first, 1, sizeof first);
    std::memset(&second, 2, sizeof second);
    int64_t end = windowBytes;
    while (end > 0 && !(numberKnown && statusKnown)) {
        const int64_t start = previousLineStart(window, end);
        const MemberIdentity a = identityAfterLines(window + start, end - start, layout, first);
        const MemberIdentity b = identityAfterLines(window + start, end - start, layout, second);
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
    return numberKnown && statusKnown;
}

namespace {

// The lines of piece `index`, whole: from its first byte to the next one's.
bool pieceLines(const MemberSource &source, int64_t size, int64_t pieceBytes, int64_t index,
                std::vector<unsigned char> &lines) {
    PieceBounds bounds{};
    if (!pieceBounds(source, size, pieceBytes, index, bounds)) return false;
    lines.resize(static_cast<size_t>(bounds.endByte - bounds.firstByte));
    return lines.empty() || readSourceBytes(source, bounds.firstByte, bounds.endByte - bounds.firstByte, lines.data());
}

} // namespace

bool identityBeforePiece(const MemberSource &source, int64_t size, int64_t pieceBytes, int64_t index,
                         const LineLayout &layout, MemberIdentity &identity) {
    identity = MemberIdentity{}; // the first piece starts from nothing
    std::vector<unsigned char> lines;
    // back to the first piece whose predecessor's lines settle where it starts
    int64_t settled = index;
    while (settled > 0) {
        if (!pieceLines(source, size, pieceBytes, settled - 1, lines)) return false;
        if (identityFromWindow(lines.data(), static_cast<int64_t>(lines.size()), layout, identity)) break;
        --settled;
    }
    if (settled == 0) identity = MemberIdentity{};
    // then on, piece by piece, as a run reads them
    for (int64_t k = settled; k < index; ++k) {
        if (!pieceLines(source, size, pieceBytes, k, lines)) return false;
        identity = identityAfterLines(lines.data(), static_cast<int64_t>(lines.size()), layout, identity);
    }
    return true;
}
