#include "member_file_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host_test_support.h"

namespace fs = std::filesystem;

namespace {

// What the run refuses to take as a member file, each named for what it is.
TEST(MemberFileCheck, OnlyRegularFilesAreTaken) {
    const fs::path directory = freshDirectory("member-file-kinds");
    writeText(directory / "members.txt", "N1;ACT;40;M;\n");
    ASSERT_EQ(mkfifo((directory / "fifo").c_str(), 0644), 0);
    const struct {
        fs::path path;
        const char *expected; // "" when taken
    } cases[] = {{directory / "members.txt", ""},
                 {directory, "the member file is a folder, not a regular file"},
                 {directory / "fifo", "the member file is a pipe or FIFO, not a regular file"},
                 {"/dev/null", "the member file is a character device, not a regular file"},
                 {directory / "absent", "the member file cannot be read: No such file or directory"}};
    for (const auto &c : cases) {
        FileSnapshot snapshot;
        std::string problem;
        const bool taken = regularFileSnapshot(c.path, "the member file", snapshot, problem);
        EXPECT_EQ(taken, std::string(c.expected).empty()) << c.path;
        EXPECT_EQ(problem.rfind(c.expected, 0), 0u) << problem;
    }
}

// A file appended to, cut short, touched or replaced is seen as changed; a
// file left alone is not.
TEST(MemberFileCheck, ChangesOfSizeTimeAndIdentityAreSeen) {
    const fs::path directory = freshDirectory("member-file-change");
    const fs::path file = directory / "members.txt";
    writeText(file, "N1;ACT;40;M;\nN2;ACT;41;F;\n");
    FileSnapshot before, after;
    std::string problem;
    ASSERT_TRUE(regularFileSnapshot(file, "the member file", before, problem)) << problem;
    ASSERT_TRUE(regularFileSnapshot(file, "the member file", after, problem));
    EXPECT_EQ(fileChange(before, after), "");

    writeText(file, "N1;ACT;40;M;\nN2;ACT;41;F;\nN3;ACT;42;M;\n");
    ASSERT_TRUE(regularFileSnapshot(file, "the member file", after, problem));
    EXPECT_EQ(fileChange(before, after), "its size went from 26 to 39 bytes");

    after = before;
    after.modifiedNanoseconds += 1; // same size, written again
    EXPECT_EQ(fileChange(before, after), "it was modified");
    after = before;
    after.inode += 1; // renamed over by another file
    EXPECT_EQ(fileChange(before, after), "it was replaced by another file");
}

} // namespace
