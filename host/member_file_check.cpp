#include "member_file_check.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a pipe or FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

} // namespace

bool regularFileSnapshot(const std::filesystem::path &path, const std::string &what, FileSnapshot &snapshot,
                         std::string &problem) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        problem = what + " cannot be read: " + std::strerror(errno);
        return false;
    }
    // A pipe is read once and gone, and a device like /dev/zero never ends:
    // the run reads the member file more than once, so it takes files only.
    if (!S_ISREG(status.st_mode)) {
        problem = what + " is " + kindOf(status.st_mode) +
                  ", not a regular file; save its contents to a file and name that file";
        return false;
    }
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        problem = what + " cannot be read: " + std::strerror(errno);
        return false;
    }
    close(descriptor);
    snapshot.device = status.st_dev;
    snapshot.inode = status.st_ino;
    snapshot.size = status.st_size;
    snapshot.modifiedSeconds = status.st_mtim.tv_sec;
    snapshot.modifiedNanoseconds = status.st_mtim.tv_nsec;
    return true;
}

std::string fileChange(const FileSnapshot &before, const FileSnapshot &after) {
    if (before.device != after.device || before.inode != after.inode) return "it was replaced by another file";
    if (before.size != after.size)
        return "its size went from " + std::to_string(before.size) + " to " + std::to_string(after.size) +
               " bytes";
    if (before.modifiedSeconds != after.modifiedSeconds || before.modifiedNanoseconds != after.modifiedNanoseconds)
        return "it was modified";
    return "";
}
