// The image of a valued piece: read back it is the piece, to the bit, with
// its rows and lines; bytes that are not such an image, cut short, lying
// about their lengths, of another piece or of another layout are refused
// with a reason, never read past their end.
#include "engine/piece_image.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

PieceResults filledPiece(bool withValuation) {
    PieceResults piece;
    piece.arrays.reset(new ResultArrays{});
    for (int i = 0; i < TALVEK_BENEFIT_CASHFLOWS_SIZE; ++i) piece.arrays->benefitCashflows[i] = 1.0 / (i + 3);
    piece.arrays->memberCounts[5] = -0.0;
    piece.arrays->decrementCounts[7] = 1e-310; // subnormal
    if (withValuation) {
        piece.valuation.reset(new PieceValuation{});
        piece.valuation->accruedCashflows[2][100] = 12345.678;
        piece.valuation->byStatus[4].member_counts[9] = 0.25;
        TalvekMemberValues row{};
        row.line = 3;
        std::strcpy(row.member_number, "M0000042");
        row.benefits = 98765.4321;
        piece.members = {row, row};
        piece.members[1].line = 4;
    }
    piece.lineReads = 11;
    piece.membersDone = 9;
    piece.errorCount = 2;
    piece.unknownStatuses = 1;
    std::memcpy(piece.identityAfter.memberNumber, "M0000042\0\0", 11);
    std::memcpy(piece.identityAfter.statusCode, "A\0\0\0\0", 6);
    piece.stopped = true;
    return piece;
}

TEST(PieceImage, ReadBackItIsThePieceToTheBit) {
    for (bool withValuation : {false, true}) {
        const PieceImageLabel label{2, 17, withValuation};
        const PieceResults piece = filledPiece(withValuation);
        std::vector<char> image;
        ASSERT_TRUE(writePieceImage(label, piece, "listing\nlines\n", std::string("err\0or", 6), image));
        PieceResults read;
        std::string listing, errors;
        char message[256] = "";
        ASSERT_TRUE(readPieceImage(image.data(), static_cast<int64_t>(image.size()), label, read, listing, errors,
                                   message, sizeof message))
            << message;
        EXPECT_EQ(std::memcmp(read.arrays.get(), piece.arrays.get(), sizeof(ResultArrays)), 0);
        ASSERT_EQ(read.valuation != nullptr, withValuation);
        if (withValuation) {
            EXPECT_EQ(std::memcmp(read.valuation.get(), piece.valuation.get(), sizeof(PieceValuation)), 0);
        }
        ASSERT_EQ(read.members.size(), piece.members.size());
        for (size_t i = 0; i < read.members.size(); ++i)
            EXPECT_EQ(std::memcmp(&read.members[i], &piece.members[i], sizeof(TalvekMemberValues)), 0);
        EXPECT_EQ(listing, "listing\nlines\n");
        EXPECT_EQ(errors, std::string("err\0or", 6));
        EXPECT_EQ(read.lineReads, 11);
        EXPECT_EQ(read.membersDone, 9);
        EXPECT_EQ(read.errorCount, 2);
        EXPECT_EQ(read.unknownStatuses, 1);
        EXPECT_EQ(std::memcmp(&read.identityAfter, &piece.identityAfter, sizeof(MemberIdentity)), 0);
        EXPECT_TRUE(read.stopped);
        EXPECT_FALSE(read.readFailed);
    }
}

TEST(PieceImage, BytesThatAreNotThatPiecesImageAreRefused) {
    const PieceImageLabel label{0, 3, true};
    const PieceResults piece = filledPiece(true);
    std::vector<char> image;
    ASSERT_TRUE(writePieceImage(label, piece, "some lines\n", "", image));
    PieceResults read;
    std::string listing, errors;
    char message[256];
    const auto refused = [&](const std::vector<char> &bytes, size_t size, const PieceImageLabel &as) {
        message[0] = '\0';
        const bool ok = readPieceImage(bytes.data(), static_cast<int64_t>(size), as, read, listing, errors, message,
                                       sizeof message);
        return !ok && message[0] != '\0';
    };
    // every length short of the whole, and one byte more
    for (size_t size = 0; size < image.size(); size += (size < 200 ? 1 : 997))
        EXPECT_TRUE(refused(image, size, label)) << size;
    std::vector<char> longer = image;
    longer.push_back('x');
    EXPECT_TRUE(refused(longer, longer.size(), label));
    EXPECT_TRUE(refused(image, 0, label));
    EXPECT_FALSE(readPieceImage(nullptr, 100, label, read, listing, errors, message, sizeof message));
    // another piece, another run, a run without a valuation
    EXPECT_TRUE(refused(image, image.size(), PieceImageLabel{0, 4, true}));
    EXPECT_TRUE(refused(image, image.size(), PieceImageLabel{1, 3, true}));
    EXPECT_TRUE(refused(image, image.size(), PieceImageLabel{0, 3, false}));
    EXPECT_STREQ(message, "the image of piece 3 of run 0 holds another piece or another run");
    // the mark, the layout and the byte order: each byte of the head's first 16
    for (size_t at = 0; at < 16; ++at) {
        std::vector<char> changed = image;
        changed[at] = static_cast<char>(changed[at] ^ 0x5a);
        EXPECT_TRUE(refused(changed, changed.size(), label)) << at;
    }
    // a head that claims more rows or lines than there are bytes: its row
    // count, listing length and error length, at bytes 64, 72 and 80
    for (size_t at = 64; at <= 80; at += 8) {
        std::vector<char> lying = image;
        const int64_t huge = int64_t{1} << 60;
        std::memcpy(lying.data() + at, &huge, sizeof huge);
        EXPECT_TRUE(refused(lying, lying.size(), label)) << at;
        const int64_t negative = -1;
        std::memcpy(lying.data() + at, &negative, sizeof negative);
        EXPECT_TRUE(refused(lying, lying.size(), label)) << at;
    }
    // the good image still reads
    EXPECT_TRUE(readPieceImage(image.data(), static_cast<int64_t>(image.size()), label, read, listing, errors, message,
                               sizeof message))
        << message;
}

} // namespace
