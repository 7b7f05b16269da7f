// Scratch directories of the tests: each one made during a test is removed
// when that test passes, and kept, with its path printed, when it fails, so
// that a failure can be looked into and a passing run leaves nothing behind.
#pragma once

#include <filesystem>

// Registers dir to be removed when the running test passes (or, when made
// outside any test, at the end of the test program). Returns dir.
std::filesystem::path removedWhenTestPasses(const std::filesystem::path &dir);

// Registers dir to be removed at the end of the test program when every test
// passed: for a directory that several tests share. Returns dir.
std::filesystem::path removedWhenProgramPasses(const std::filesystem::path &dir);
