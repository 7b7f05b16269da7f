#include "sha256.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "host_test_support.h"

namespace {

// The published test vectors of the standard: the empty message, "abc", the
// two-block message of 56 bytes and a million times "a".
TEST(Sha256, PublishedVectors) {
    EXPECT_EQ(sha256OfText(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256OfText("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256OfText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256OfText(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Lengths around the padding's edges (55, 56, 63, 64, 65 bytes) and bytes
// added in uneven parts give the digest of the whole; a file gives the digest
// of its bytes and their number.
TEST(Sha256, PartsFilesAndPaddingEdges) {
    // the system's own tool, where there is one, is a second reference
    const bool haveTool = std::system("command -v sha256sum >/dev/null 2>&1") == 0;
    const std::filesystem::path directory = freshDirectory("sha256");
    for (size_t length : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u}) {
        std::string text;
        for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
        Sha256State state;
        sha256Start(state);
        for (size_t at = 0; at < length; at += 7) {
            const size_t take = length - at < 7 ? length - at : 7;
            sha256Add(state, reinterpret_cast<const unsigned char *>(text.data()) + at, take);
        }
        const std::string whole = sha256OfText(text);
        EXPECT_EQ(sha256Finish(state), whole) << length;
        writeText(directory / "bytes", text);
        std::string digest, problem;
        uint64_t bytes = 0;
        ASSERT_TRUE(sha256OfFile(directory / "bytes", digest, bytes, problem)) << problem;
        EXPECT_EQ(digest, whole);
        EXPECT_EQ(bytes, length);
        if (haveTool) {
            const std::string command = "sha256sum " + (directory / "bytes").string() + " > " +
                                        (directory / "sum").string();
            ASSERT_EQ(std::system(command.c_str()), 0);
            EXPECT_EQ(readText(directory / "sum").substr(0, 64), whole) << length;
        }
    }
    std::string digest, problem;
    uint64_t bytes = 0;
    EXPECT_FALSE(sha256OfFile(directory / "missing", digest, bytes, problem));
    EXPECT_NE(problem.find("No such file"), std::string::npos) << problem;
}

} // namespace
