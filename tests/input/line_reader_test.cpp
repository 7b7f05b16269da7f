// Line reads of the member file: the counting pass and the line-by-line read
// with its 499-byte limit, CR LF folding and bytes that are data.
#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

class LineReaderTest : public ::testing::Test {
protected:
    std::filesystem::path dir = makeScratchDirectory("line-reader");
    std::unique_ptr<LineReader> reader = std::make_unique<LineReader>();

    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string fileWith(const std::string &bytes) {
        const std::filesystem::path path = dir / "members.txt";
        writeWholeFile(path, bytes);
        return path.string();
    }

    // Every read of the file at the given capacity, as the bytes it gave.
    std::vector<std::string> readAll(const std::string &path, int32_t capacity) {
        std::vector<std::string> reads;
        EXPECT_TRUE(openLineReader(*reader, path.c_str()));
        std::vector<char> line(static_cast<size_t>(capacity) + 1);
        for (int32_t n; (n = readLine(*reader, line.data(), capacity)) > 0;) {
            EXPECT_EQ(line[static_cast<size_t>(n)], '\0');
            reads.emplace_back(line.data(), static_cast<size_t>(n));
        }
        EXPECT_EQ(closeLineReader(*reader), 0);
        return reads;
    }

    int32_t countOf(const std::string &path, int *result) {
        int32_t count = -1;
        *result = countLineReads(path.c_str(), &count);
        return count;
    }
};

TEST_F(LineReaderTest, CountsOneReadPerLineOfUpTo198Characters) {
    int result = -1;
    EXPECT_EQ(countOf(fileWith(""), &result), 0);
    EXPECT_EQ(result, 0);

    // The last line without its line feed still counts once.
    const std::string ten(10, 'x');
    EXPECT_EQ(countOf(fileWith(ten + "\n" + ten + "\n" + ten), &result), 3);
    EXPECT_EQ(result, 0);

    EXPECT_EQ(countOf(fileWith(std::string(198, 'x') + "\n"), &result), 1);
    // 199 characters fill a read; the line feed takes a second one.
    EXPECT_EQ(countOf(fileWith(std::string(199, 'x') + "\n"), &result), 2);
    // ceil((L + 1) / 199) reads for a line of L characters.
    EXPECT_EQ(countOf(fileWith(std::string(500, 'x') + "\n"), &result), 3);
}

TEST_F(LineReaderTest, UnopenableFileCountsZeroAndReturnsZero) {
    int32_t count = 7;
    EXPECT_EQ(countLineReads((dir / "missing" / "members.txt").string().c_str(), &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(openLineReader(*reader, (dir / "missing.txt").string().c_str()));
}

TEST_F(LineReaderTest, CrLfFileReadsExactlyLikeLfFile) {
    const std::string lf = "A1\t1\t45\n\nB2\t2\t50\t" + std::string(600, 'y') + "\nlast";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);

    const std::vector<std::string> expected = readAll(fileWith(lf), 500);
    EXPECT_EQ(readAll(fileWith(crlf), 500), expected);
    EXPECT_EQ(expected.size(), 5u); // the 600 characters take two reads

    int result = -1;
    const int32_t lfCount = countOf(fileWith(lf), &result);
    EXPECT_EQ(countOf(fileWith(crlf), &result), lfCount);
}

TEST_F(LineReaderTest, CrLfFoldsBeforeTheLineLimit) {
    // 498 characters and CR LF fit one read of 499 bytes ending in the line feed.
    std::vector<std::string> reads = readAll(fileWith(std::string(498, 'a') + "\r\n"), 500);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0], std::string(498, 'a') + "\n");

    // With 499 characters the CR LF is left to the next read, still as one LF.
    reads = readAll(fileWith(std::string(499, 'a') + "\r\nb\n"), 500);
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(reads[1], "\n");
    EXPECT_EQ(reads[2], "b\n");
}

TEST_F(LineReaderTest, CrLfSplitAcrossTwoFileChunks) {
    const size_t chunk = sizeof(LineReader::buffer);
    // Lines of 99 characters and LF, then one line whose CR is the last byte
    // of the first chunk and whose LF is the first byte of the next.
    std::string lf;
    while (lf.size() + 100 < chunk) lf += std::string(99, 'p') + "\n";
    lf += std::string(chunk - 1 - lf.size(), 'q');
    std::string crlf = lf + "\r\nafter\r\n";
    ASSERT_EQ(crlf[chunk - 1], '\r');
    lf += "\nafter\n";

    EXPECT_EQ(readAll(fileWith(crlf), 500), readAll(fileWith(lf), 500));

    // A lone CR at the chunk's end stays a data byte.
    std::string lone = lf.substr(0, chunk - 1) + "\rz\n";
    const std::vector<std::string> reads = readAll(fileWith(lone), 500);
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.back().substr(reads.back().size() - 3), "\rz\n");
}

TEST_F(LineReaderTest, LoneCarriageReturnNulAndCtrlZAreData) {
    const std::string bytes("a\rb\0c\x1a" "d\n\r", 9);
    const std::vector<std::string> reads = readAll(fileWith(bytes), 500);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0], std::string("a\rb\0c\x1a" "d\n", 8));
    EXPECT_EQ(reads[1], "\r"); // a CR that ends the file is data too
}

TEST_F(LineReaderTest, LongLineSplitsAndLeavesTheBufferBeyondTheNul) {
    const std::string path = fileWith(std::string(600, 'x') + "\nend");
    ASSERT_TRUE(openLineReader(*reader, path.c_str()));
    char line[500];
    std::memset(line, '!', sizeof line);

    EXPECT_EQ(readLine(*reader, line, 500), 499);
    EXPECT_EQ(std::string(line, 499), std::string(499, 'x'));
    EXPECT_EQ(line[499], '\0');

    std::memset(line, '!', sizeof line);
    EXPECT_EQ(readLine(*reader, line, 500), 102); // the other 101 characters and the LF
    EXPECT_EQ(line[101], '\n');
    EXPECT_EQ(line[102], '\0');
    EXPECT_EQ(line[103], '!');
    EXPECT_EQ(line[499], '!');

    // The last line has no line feed: it ends at the end of the file.
    std::memset(line, '!', sizeof line);
    EXPECT_EQ(readLine(*reader, line, 500), 3);
    EXPECT_STREQ(line, "end");
    EXPECT_EQ(line[4], '!');
    EXPECT_EQ(readLine(*reader, line, 500), 0);
    EXPECT_EQ(closeLineReader(*reader), 0);
}

} // namespace

// The count is the number of reads the line reader itself makes at 200 bytes,
// on files of every kind of line end, length and stray byte.
TEST_F(LineReaderTest, CountAgreesWithTheReadsOfTheLineReader) {
    std::mt19937 random(1208);
    const char alphabet[] = {'a', 'b', '\n', '\r', '\0', ',', '\x1a'};
    for (int file = 0; file < 300; ++file) {
        std::string bytes;
        const int pieces = static_cast<int>(random() % 40);
        for (int p = 0; p < pieces; ++p) {
            const int kind = static_cast<int>(random() % 4);
            if (kind == 0) bytes += std::string(random() % 450, 'x'); // long runs across 199 and 398
            else if (kind == 1) bytes += "\r\n";
            else bytes += alphabet[random() % sizeof alphabet];
        }
        const std::string path = fileWith(bytes);
        int result = -1;
        EXPECT_EQ(countOf(path, &result), static_cast<int32_t>(readAll(path, 200).size())) << file;
        EXPECT_EQ(result, 0);
    }
    // lines whose folded length falls on either side of a multiple of 199
    for (int n : {197, 198, 199, 200, 396, 397, 398}) {
        for (const char *end : {"\r\n", "\r", "\r\r\n", "\n\r"}) {
            const std::string path = fileWith(std::string(static_cast<size_t>(n), 'x') + end + "tail");
            int result = -1;
            EXPECT_EQ(countOf(path, &result), static_cast<int32_t>(readAll(path, 200).size()))
                << n << " characters";
        }
    }
    // a carriage return and its line feed on the two sides of a 64 KiB chunk
    const std::string split = std::string((1 << 16) - 1, 'y') + "\r\n" + "z\r";
    int result = -1;
    EXPECT_EQ(countOf(fileWith(split), &result), static_cast<int32_t>(readAll(fileWith(split), 200).size()));
}
