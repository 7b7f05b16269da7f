// The member file as the run found it: a regular file (a pipe, FIFO, device
// or socket cannot be read twice, or never ends), and what it looked like
// before the run, so that a change during the run is noticed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct FileSnapshot {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
};

// False with the reason in problem when the file is missing, a folder, not a
// regular file or cannot be read; what (e.g. "the member file") starts the reason.
bool regularFileSnapshot(const std::filesystem::path &path, const std::string &what, FileSnapshot &snapshot,
                         std::string &problem);

// What changed between two snapshots of one file, or "" when nothing did.
std::string fileChange(const FileSnapshot &before, const FileSnapshot &after);
