// The results folder: replaced whole or left untouched, locked, checked
// before a run, and never holding a temporary file after one.
#include "results_folder.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host_test_support.h"
#include "result_files.h"
#include "run_record.h"
#include "sha256.h"

namespace fs = std::filesystem;

namespace {

// Every file of a folder with its bytes, to see that a folder is untouched.
std::string folderContents(const fs::path &folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string all;
    for (const std::string &name : names) all += name + "\n" + readText(folder / name) + "\n";
    return all;
}

// Nothing of talvek's own beside the results: no lock, no temporary folder.
void expectNoTemporaryFiles(const fs::path &parent) {
    for (const fs::directory_entry &entry : fs::directory_iterator(parent))
        EXPECT_EQ(entry.path().filename().string().find(".talvek-"), std::string::npos) << entry.path();
}

struct Work {
    fs::path dir;
    std::string basis;
    explicit Work(const std::string &name) : dir(freshDirectory(name)) {
        fs::copy_file(smallBasisPath(), dir / "basis.toml");
        writeText(dir / "members.txt", smallMemberFile());
        basis = (dir / "basis.toml").string();
    }
    CommandResult run(const std::string &members, const std::string &out, const std::string &more = "") const {
        return runTalvek("run --jobs 1 --basis " + basis + " --members " + members + " --out " + out + more, dir);
    }
};

TEST(ResultsFolder, PathInsideFollowsComponentsNotPrefixes) {
    EXPECT_TRUE(pathInside("/a/b/c.txt", "/a/b"));
    EXPECT_TRUE(pathInside("/a/b", "/a/b"));
    EXPECT_TRUE(pathInside("/a/b/c.txt", "/a/b/"));
    EXPECT_TRUE(pathInside("/a/b/../b/c.txt", "/a/b"));
    EXPECT_FALSE(pathInside("/a/bc/c.txt", "/a/b"));
    EXPECT_FALSE(pathInside("/a/c.txt", "/a/b"));
}

// A second run replaces the first's folder whole: a file that only the
// first had is gone, and the record is the second's.
TEST(ResultsFolder, AnEarlierResultsFolderIsReplacedWhole) {
    const Work work("replace-whole");
    ASSERT_EQ(work.run("members.txt", "out").status, 3);
    writeText(work.dir / "out" / "note.txt", "left by the first run's reader");
    writeText(work.dir / "members.txt", smallMemberFile() + smallMemberFile());
    const CommandResult second = work.run("members.txt", "out");
    ASSERT_EQ(second.status, 3) << second.err;
    EXPECT_FALSE(fs::exists(work.dir / "out" / "note.txt"));
    const std::string record = readText(work.dir / "out" / kRunRecordFile);
    EXPECT_NE(record.find("\"lines_read\": 16,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"complete\": true"), std::string::npos) << record;
    expectNoTemporaryFiles(work.dir);
}

// The record names both files by their SHA-256 and size, and counts add up:
// lines read = valued + rejected + skipped.
TEST(ResultsFolder, TheRunRecordNamesTheFilesAndAddsUp) {
    const Work work("record");
    ASSERT_EQ(work.run("members.txt", "out").status, 3);
    const std::string record = readText(work.dir / "out" / kRunRecordFile);
    const std::string members = readText(work.dir / "members.txt");
    EXPECT_NE(record.find("\"member_file\": {\"path\": \"" + (work.dir / "members.txt").string() +
                          "\", \"size\": " + std::to_string(members.size()) + ", \"sha256\": \"" +
                          sha256OfText(members) + "\"}"),
              std::string::npos)
        << record;
    EXPECT_NE(record.find("\"jobs\": 1,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"valuation_year\": "), std::string::npos) << record;
    EXPECT_NE(record.find("\"lines_read\": 8,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"members_valued\": 6,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"rejected\": 1,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"skipped\": 1,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"exit_status\": 3,"), std::string::npos) << record;
    EXPECT_NE(record.find("\"command_line\": [\""), std::string::npos) << record;
}

// Refusals come before anything is written, each with its reason and status 2.
TEST(ResultsFolder, OutputFoldersThatCannotBeOursAreRefused) {
    const Work work("refusals");
    const CommandResult empty = work.run("members.txt", "\"\"");
    EXPECT_EQ(empty.status, 2);
    EXPECT_NE(empty.err.find("cannot create the output folder \"\": the name is empty"), std::string::npos)
        << empty.err;

    fs::create_directories(work.dir / "mine");
    writeText(work.dir / "mine" / "thesis.txt", "years of work");
    const CommandResult foreign = work.run("members.txt", "mine");
    EXPECT_EQ(foreign.status, 2);
    EXPECT_NE(foreign.err.find("holds files but no run.json"), std::string::npos) << foreign.err;
    EXPECT_EQ(readText(work.dir / "mine" / "thesis.txt"), "years of work");
    const CommandResult forced = work.run("members.txt", "mine", " --force");
    EXPECT_EQ(forced.status, 3) << forced.err;
    EXPECT_FALSE(fs::exists(work.dir / "mine" / "thesis.txt"));
    EXPECT_TRUE(fs::exists(work.dir / "mine" / kRunRecordFile));

    // the member file or the basis file inside --out would be replaced with it
    fs::create_directories(work.dir / "inside");
    fs::copy_file(work.dir / "members.txt", work.dir / "inside" / "members.txt");
    const CommandResult holdsMembers = work.run("inside/members.txt", "inside", " --force");
    EXPECT_EQ(holdsMembers.status, 2);
    EXPECT_NE(holdsMembers.err.find("holds the member file"), std::string::npos) << holdsMembers.err;
    EXPECT_EQ(readText(work.dir / "inside" / "members.txt"), smallMemberFile());
    const CommandResult holdsBasis = work.run("members.txt", ".", " --force");
    EXPECT_EQ(holdsBasis.status, 2) << holdsBasis.err;

    writeText(work.dir / "plain", "a file");
    const CommandResult notFolder = work.run("members.txt", "plain");
    EXPECT_EQ(notFolder.status, 2);
    EXPECT_NE(notFolder.err.find("exists and is not a folder"), std::string::npos) << notFolder.err;
    expectNoTemporaryFiles(work.dir);
}

// A member file that is a pipe or a device is refused with what it is.
TEST(ResultsFolder, MemberFilesThatAreNotRegularFilesAreRefused) {
    const Work work("not-regular");
    ASSERT_EQ(mkfifo((work.dir / "fifo").c_str(), 0644), 0);
    const CommandResult fifo = work.run("fifo", "out"); // no writer: must not hang
    EXPECT_EQ(fifo.status, 2);
    EXPECT_NE(fifo.err.find("the member file is a pipe or FIFO, not a regular file"), std::string::npos)
        << fifo.err;
    const CommandResult zero = work.run("/dev/zero", "out");
    EXPECT_EQ(zero.status, 2);
    EXPECT_NE(zero.err.find("the member file is a character device"), std::string::npos) << zero.err;
    EXPECT_FALSE(fs::exists(work.dir / "out"));
    // counting them would wait for a writer, or never end, as well
    const CommandResult countFifo = runTalvek("count fifo", work.dir);
    EXPECT_EQ(countFifo.status, 2);
    EXPECT_NE(countFifo.err.find("pipe or FIFO"), std::string::npos) << countFifo.err;
    EXPECT_EQ(runTalvek("count /dev/zero", work.dir).status, 2);
}

// While one run holds the lock of --out, another says so and leaves the
// folder as it was; a temporary folder of a dead run is removed by the next.
TEST(ResultsFolder, TheLockKeepsASecondRunOutAndStaleTemporaryFoldersGo) {
    const Work work("lock");
    ASSERT_EQ(work.run("members.txt", "out").status, 3);
    const std::string before = folderContents(work.dir / "out");
    const fs::path lock = work.dir / ".out.talvek-lock";
    const int held = open(lock.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const CommandResult second = work.run("members.txt", "out");
    EXPECT_EQ(second.status, 2);
    EXPECT_NE(second.err.find("another run is writing " + (work.dir / "out").string()), std::string::npos)
        << second.err;
    EXPECT_EQ(folderContents(work.dir / "out"), before);
    close(held);
    fs::remove(lock);

    fs::create_directories(work.dir / ".out.talvek-partial-99999999");
    writeText(work.dir / ".out.talvek-partial-99999999" / kListingFile, "cut mid-li");
    const CommandResult after = work.run("members.txt", "out");
    EXPECT_EQ(after.status, 3) << after.err;
    EXPECT_NE(after.err.find("left by a run that did not finish"), std::string::npos) << after.err;
    expectNoTemporaryFiles(work.dir);
}

// Where the folder cannot be made (a parent that is read-only), the run
// fails with the folder and the reason, status 1, and prints no results.
TEST(ResultsFolder, AFolderThatCannotBeWrittenFailsWithItsReason) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    const Work work("read-only");
    fs::create_directories(work.dir / "locked");
    ASSERT_EQ(chmod((work.dir / "locked").c_str(), 0555), 0);
    const CommandResult result = work.run("members.txt", "locked/out");
    chmod((work.dir / "locked").c_str(), 0755);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Permission denied"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty()) << result.out;
}

} // namespace
