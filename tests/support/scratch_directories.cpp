#include "support/scratch_directories.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

struct ScratchLists {
    std::vector<fs::path> ofTheTest;    // made while a test runs
    std::vector<fs::path> ofTheProgram; // made outside a test: shared by several
};

ScratchLists &scratchLists() {
    static ScratchLists lists;
    return lists;
}

void removeAll(std::vector<fs::path> &dirs) {
    for (const fs::path &dir : dirs) {
        std::error_code ignored; // already gone, or never made: nothing to keep
        fs::remove_all(dir, ignored);
    }
    dirs.clear();
}

// GoogleTest reports the end of each test and of the program to a listener.
struct ScratchRemover : testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo &test) override {
        std::vector<fs::path> &dirs = scratchLists().ofTheTest;
        if (test.result()->Passed()) {
            removeAll(dirs);
            return;
        }
        for (const fs::path &dir : dirs) std::printf("kept for the failed test: %s\n", dir.c_str());
        dirs.clear();
    }
    void OnTestProgramEnd(const testing::UnitTest &program) override {
        if (program.Passed()) removeAll(scratchLists().ofTheProgram);
    }
};

void addListenerOnce() {
    static bool added = false;
    if (added) return;
    added = true;
    testing::UnitTest::GetInstance()->listeners().Append(new ScratchRemover);
}

} // namespace

fs::path removedWhenTestPasses(const fs::path &dir) {
    addListenerOnce();
    const bool inATest = testing::UnitTest::GetInstance()->current_test_info() != nullptr;
    (inATest ? scratchLists().ofTheTest : scratchLists().ofTheProgram).push_back(dir);
    return dir;
}

fs::path removedWhenProgramPasses(const fs::path &dir) {
    addListenerOnce();
    std::vector<fs::path> &ofTheTest = scratchLists().ofTheTest;
    std::erase(ofTheTest, dir); // no longer the running test's alone
    scratchLists().ofTheProgram.push_back(dir);
    return dir;
}
