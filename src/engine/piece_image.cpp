#include "engine/piece_image.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr char kImageMark[8] = {'T', 'V', 'K', 'P', 'I', 'E', 'C', 'E'};
// Changes whenever what follows the head, or the head, is laid out otherwise.
constexpr uint32_t kImageLayout = 1;
// Written as the machine holds it: another byte order reads it otherwise.
constexpr uint32_t kByteOrderMark = 0x01020304u;

enum ImageFlag : uint32_t {
    kFlagValuation = 1u,
    kFlagStopped = 2u,
    kFlagReadFailed = 4u,
};

struct ImageHead {
    char mark[8];
    uint32_t layout;
    uint32_t byteOrder;
    uint32_t flags;
    int32_t run;
    int64_t piece;
    int64_t lineReads;
    int64_t membersDone;
    int64_t errorCount;
    int64_t unknownStatuses;
    int64_t memberRows;    // TalvekMemberValues after the sums
    int64_t listingBytes;  // then the listing lines
    int64_t errorBytes;    // then the error lines
    uint64_t partSizes[4]; // sizeof of the arrays, the sums, a row and the identity
    MemberIdentity identityAfter;
};

void partSizesOf(uint64_t (&sizes)[4]) {
    sizes[0] = sizeof(ResultArrays);
    sizes[1] = sizeof(PieceValuation);
    sizes[2] = sizeof(TalvekMemberValues);
    sizes[3] = sizeof(MemberIdentity);
}

void say(char *message, size_t size, const char *text, const PieceImageLabel &label) {
    std::snprintf(message, size, "the image of piece %lld of run %d %s", static_cast<long long>(label.piece),
                  static_cast<int>(label.run), text);
}

} // namespace

bool writePieceImage(const PieceImageLabel &label, const PieceResults &piece, const std::string &listing,
                     const std::string &errors, std::vector<char> &image) {
    ImageHead head{};
    std::memcpy(head.mark, kImageMark, sizeof head.mark);
    head.layout = kImageLayout;
    head.byteOrder = kByteOrderMark;
    const bool withValuation = label.withValuation && piece.valuation != nullptr;
    head.flags = (withValuation ? kFlagValuation : 0u) | (piece.stopped ? kFlagStopped : 0u) |
                 (piece.readFailed ? kFlagReadFailed : 0u);
    head.run = label.run;
    head.piece = label.piece;
    head.lineReads = piece.lineReads;
    head.membersDone = piece.membersDone;
    head.errorCount = piece.errorCount;
    head.unknownStatuses = piece.unknownStatuses;
    head.memberRows = static_cast<int64_t>(piece.members.size());
    head.listingBytes = static_cast<int64_t>(listing.size());
    head.errorBytes = static_cast<int64_t>(errors.size());
    partSizesOf(head.partSizes);
    head.identityAfter = piece.identityAfter;
    const size_t rowBytes = piece.members.size() * sizeof(TalvekMemberValues);
    const size_t size = sizeof head + sizeof(ResultArrays) + (withValuation ? sizeof(PieceValuation) : 0) +
                        rowBytes + listing.size() + errors.size();
    try {
        image.resize(size);
    } catch (const std::bad_alloc &) {
        return false;
    }
    char *at = image.data();
    auto put = [&at](const void *from, size_t bytes) {
        if (bytes > 0) std::memcpy(at, from, bytes);
        at += bytes;
    };
    put(&head, sizeof head);
    put(piece.arrays.get(), sizeof(ResultArrays));
    if (withValuation) put(piece.valuation.get(), sizeof(PieceValuation));
    put(piece.members.data(), rowBytes);
    put(listing.data(), listing.size());
    put(errors.data(), errors.size());
    return true;
}

bool readPieceImage(const void *bytes, int64_t size, const PieceImageLabel &label, PieceResults &piece,
                    std::string &listing, std::string &errors, char *message, size_t messageSize) {
    ImageHead head{};
    if (bytes == nullptr || size < static_cast<int64_t>(sizeof head)) {
        say(message, messageSize, "is cut short", label);
        return false;
    }
    std::memcpy(&head, bytes, sizeof head);
    uint64_t sizes[4];
    partSizesOf(sizes);
    if (std::memcmp(head.mark, kImageMark, sizeof head.mark) != 0 || head.layout != kImageLayout ||
        head.byteOrder != kByteOrderMark || std::memcmp(head.partSizes, sizes, sizeof sizes) != 0) {
        say(message, messageSize, "was made by another build or on a machine of another byte order", label);
        return false;
    }
    const bool withValuation = (head.flags & kFlagValuation) != 0;
    if (head.run != label.run || head.piece != label.piece || withValuation != label.withValuation) {
        say(message, messageSize, "holds another piece or another run", label);
        return false;
    }
    // every length is checked against what is left before it is used
    int64_t left = size - static_cast<int64_t>(sizeof head);
    const int64_t sumsBytes = static_cast<int64_t>(sizeof(ResultArrays)) +
                              (withValuation ? static_cast<int64_t>(sizeof(PieceValuation)) : 0);
    const int64_t rowLimit = left / static_cast<int64_t>(sizeof(TalvekMemberValues));
    if (head.memberRows < 0 || head.memberRows > rowLimit || head.listingBytes < 0 || head.errorBytes < 0 ||
        head.listingBytes > left || head.errorBytes > left ||
        sumsBytes + head.memberRows * static_cast<int64_t>(sizeof(TalvekMemberValues)) + head.listingBytes +
                head.errorBytes != left) {
        say(message, messageSize, "does not have the length its head gives", label);
        return false;
    }
    const char *at = static_cast<const char *>(bytes) + sizeof head;
    try {
        piece = PieceResults{};
        piece.arrays.reset(new ResultArrays);
        std::memcpy(piece.arrays.get(), at, sizeof(ResultArrays));
        at += sizeof(ResultArrays);
        if (withValuation) {
            piece.valuation.reset(new PieceValuation);
            std::memcpy(piece.valuation.get(), at, sizeof(PieceValuation));
            at += sizeof(PieceValuation);
        }
        piece.members.resize(static_cast<size_t>(head.memberRows));
        const size_t rowBytes = piece.members.size() * sizeof(TalvekMemberValues);
        if (rowBytes > 0) std::memcpy(piece.members.data(), at, rowBytes);
        at += rowBytes;
        listing.assign(at, static_cast<size_t>(head.listingBytes));
        at += head.listingBytes;
        errors.assign(at, static_cast<size_t>(head.errorBytes));
    } catch (const std::bad_alloc &) {
        piece = PieceResults{};
        say(message, messageSize, "does not fit in memory", label);
        return false;
    }
    piece.lineReads = head.lineReads;
    piece.membersDone = head.membersDone;
    piece.errorCount = static_cast<int32_t>(head.errorCount);
    piece.unknownStatuses = head.unknownStatuses;
    piece.identityAfter = head.identityAfter;
    piece.stopped = (head.flags & kFlagStopped) != 0;
    piece.readFailed = (head.flags & kFlagReadFailed) != 0;
    return true;
}
