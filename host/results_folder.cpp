#include "results_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string reasonOf(int error) { return error != 0 ? std::strerror(error) : "unknown reason"; }

std::string leafName(const fs::path &out) { return out.filename().string(); }

fs::path lockPathOf(const fs::path &out) { return out.parent_path() / ("." + leafName(out) + kLockSuffix); }

std::string partialPrefixOf(const fs::path &out) { return "." + leafName(out) + kPartialInfix; }

fs::path canonicalOf(const fs::path &path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(path, error);
    return error ? path.lexically_normal() : canonical;
}

// Flushes a file or folder to the disk: opened read-only, which Linux allows
// for fsync.
bool syncPath(const fs::path &path, int &reason) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        reason = errno;
        return false;
    }
    const bool synced = fsync(descriptor) == 0;
    reason = errno;
    close(descriptor);
    return synced;
}

// Every file in the folder, then the folder.
bool syncFolder(const fs::path &folder, std::string &problem) {
    std::error_code error;
    int reason = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) continue;
        if (!syncPath(entry.path(), reason)) {
            problem = "cannot flush " + entry.path().string() + " to the disk: " + reasonOf(reason);
            return false;
        }
    }
    if (error) {
        problem = "cannot list " + folder.string() + ": " + error.message();
        return false;
    }
    if (!syncPath(folder, reason)) {
        problem = "cannot flush " + folder.string() + " to the disk: " + reasonOf(reason);
        return false;
    }
    return true;
}

// A folder that exists with something in it and no run record is not ours.
bool holdsForeignFiles(const fs::path &out) {
    std::error_code error;
    if (fs::exists(out / kRunRecordFile, error)) return false;
    return !fs::is_empty(out, error);
}

// Every ".NAME.talvek-partial-*" beside out: left by runs that died, since
// only the holder of the lock writes one, and the lock is held now.
void removeStalePartials(const ResultsFolder &folder) {
    const std::string prefix = partialPrefixOf(folder.out);
    std::error_code error;
    std::vector<fs::path> stale;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder.out.parent_path(), error))
        if (entry.path().filename().string().rfind(prefix, 0) == 0) stale.push_back(entry.path());
    for (const fs::path &path : stale) {
        std::fprintf(stderr, "talvek: removing %s, left by a run that did not finish\n", path.c_str());
        fs::remove_all(path, error);
    }
}

// flock on the lock file; the file is taken again when another holder
// removed it between our open and our lock, so two runs never hold two
// different files of the same name.
bool takeLock(ResultsFolder &folder, std::string &problem) {
    for (;;) {
        const int descriptor = open(folder.lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0) {
            problem = "cannot create the lock file " + folder.lockFile.string() + ": " + reasonOf(errno);
            return false;
        }
        if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int reason = errno;
            close(descriptor);
            folder.busy = reason == EWOULDBLOCK;
            problem = reason == EWOULDBLOCK
                          ? "another run is writing " + folder.out.string() + " (it holds " +
                                folder.lockFile.string() + "); wait for it to end or choose another --out"
                          : "cannot lock " + folder.lockFile.string() + ": " + reasonOf(reason);
            return false;
        }
        struct stat held {}, named {};
        if (fstat(descriptor, &held) == 0 && stat(folder.lockFile.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            folder.lockDescriptor = descriptor;
            return true;
        }
        close(descriptor); // removed by the run that held it: take the new one
    }
}

} // namespace

bool pathInside(const fs::path &path, const fs::path &folder) {
    const fs::path inner = canonicalOf(path);
    const fs::path outer = canonicalOf(folder);
    auto a = inner.begin();
    for (auto b = outer.begin(); b != outer.end(); ++b, ++a) {
        if (b->empty()) continue; // a trailing separator
        if (a == inner.end() || *a != *b) return false;
    }
    return true;
}

bool chooseResultsFolder(const OutputChoice &choice, ResultsFolder &folder, std::string &problem) {
    if (choice.given.empty()) {
        problem = "cannot create the output folder \"\": the name is empty";
        return false;
    }
    std::error_code error;
    fs::path out = fs::absolute(choice.given, error).lexically_normal();
    // "results/" names the folder "results"
    if (!out.has_filename() && out.has_parent_path() && out != out.root_path()) out = out.parent_path();
    if (out == out.root_path() || out.filename() == "." || out.filename() == "..") {
        problem = "the output folder " + choice.given + " cannot be replaced: name a folder of its own";
        return false;
    }
    out = canonicalOf(out);
    folder.out = out;
    folder.lockFile = lockPathOf(out);
    if (pathInside(choice.memberFile, out)) {
        problem = "the output folder " + out.string() + " holds the member file " +
                  choice.memberFile.string() + ": the results would replace it; choose another --out";
        return false;
    }
    if (pathInside(choice.basisFile, out)) {
        problem = "the output folder " + out.string() + " holds the basis file " +
                  choice.basisFile.string() + ": the results would replace it; choose another --out";
        return false;
    }
    const fs::file_status status = fs::symlink_status(out, error);
    if (!fs::exists(status)) return true;
    if (!fs::is_directory(status)) {
        problem = "the output folder " + out.string() + " exists and is not a folder";
        return false;
    }
    if (!choice.force && holdsForeignFiles(out)) {
        problem = "the output folder " + out.string() + " holds files but no " + kRunRecordFile +
                  ": it is not a results folder of talvek, and the run would replace it whole; "
                  "choose another --out, or give --force to replace it";
        return false;
    }
    return true;
}

bool openResultsFolder(ResultsFolder &folder, std::string &problem) {
    std::error_code error;
    const fs::path parent = folder.out.parent_path();
    fs::create_directories(parent, error);
    if (error || !fs::is_directory(parent)) {
        problem = "cannot create the folder " + parent.string() + ": " +
                  (error ? error.message() : std::string("it is not a folder"));
        return false;
    }
    if (!takeLock(folder, problem)) return false;
    removeStalePartials(folder);
    folder.temporary = parent / (partialPrefixOf(folder.out) + std::to_string(getpid()));
    if (mkdir(folder.temporary.c_str(), 0755) != 0) {
        problem = "cannot create the folder " + folder.temporary.string() + ": " + reasonOf(errno);
        folder.temporary.clear();
        return false;
    }
    return true;
}

bool installResultsFolder(ResultsFolder &folder, std::string &problem) {
    if (!syncFolder(folder.temporary, problem)) return false;
    std::error_code error;
    const bool replacing = fs::exists(fs::symlink_status(folder.out, error));
    // One step either way: the new folder takes the name, and the earlier
    // one, swapped out with it, takes the temporary name until removed.
    int renamed = replacing ? renameat2(AT_FDCWD, folder.temporary.c_str(), AT_FDCWD, folder.out.c_str(),
                                        RENAME_EXCHANGE)
                            : rename(folder.temporary.c_str(), folder.out.c_str());
    if (renamed != 0 && replacing && (errno == EINVAL || errno == ENOSYS)) {
        // a file system without the swap: the earlier folder steps aside under
        // a temporary name first (a run that dies in between leaves it there,
        // and the next run removes it as stale)
        const fs::path aside = folder.temporary.string() + "-earlier";
        renamed = rename(folder.out.c_str(), aside.c_str());
        if (renamed == 0) {
            renamed = rename(folder.temporary.c_str(), folder.out.c_str());
            if (renamed != 0) {
                const int reason = errno;
                rename(aside.c_str(), folder.out.c_str()); // the earlier results back
                errno = reason;
            } else {
                fs::rename(aside, folder.temporary, error); // removed below with the rest
            }
        }
    }
    if (renamed != 0) {
        problem = "cannot put the results in place of " + folder.out.string() + ": " + reasonOf(errno);
        return false;
    }
    int reason = 0;
    if (!syncPath(folder.out.parent_path(), reason)) {
        problem = "cannot flush " + folder.out.parent_path().string() + " to the disk: " + reasonOf(reason);
        // the new results are in place: the earlier ones go all the same
    }
    if (replacing) fs::remove_all(folder.temporary, error);
    folder.temporary.clear();
    return problem.empty();
}

void closeResultsFolder(ResultsFolder &folder) {
    std::error_code error;
    if (!folder.temporary.empty()) fs::remove_all(folder.temporary, error);
    folder.temporary.clear();
    if (folder.lockDescriptor >= 0) {
        // removed while still held: a run waiting on the old file sees it gone and opens a new one
        unlink(folder.lockFile.c_str());
        close(folder.lockDescriptor);
        folder.lockDescriptor = -1;
    }
}
