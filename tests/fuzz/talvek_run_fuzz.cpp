// Fuzz target: a whole `talvek run` in the process, from the basis file's
// text to the results folder. The input is the basis text, then after a NUL
// byte the member file, then after another NUL byte a table file
// "table.csv" the basis may name (e.g. withdrawal_rates = { file =
// "table.csv" }). Besides the sanitizers it checks that the run ends with a
// status talvek documents, and that a run that wrote results left them whole
// (run.json present) and no temporary folder beside them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "commands.h"

namespace {

namespace fs = std::filesystem;

fs::path workDirectory() {
    static const fs::path directory = [] {
        const char *base = std::getenv("TMPDIR");
        fs::path path = fs::path(base != nullptr ? base : "/tmp") / ("talvek-run-fuzz-" + std::to_string(getpid()));
        fs::create_directories(path);
        return path;
    }();
    return directory;
}

void writeBytes(const fs::path &path, const uint8_t *bytes, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes), static_cast<std::streamsize>(size));
}

// The next part of the input up to a NUL byte (or its end).
size_t partLength(const uint8_t *data, size_t size) {
    size_t length = 0;
    while (length < size && data[length] != 0) ++length;
    return length;
}

bool documentedStatus(int status) {
    return status == kExitDone || status == kExitWriteFailed || status == kExitRefused ||
           status == kExitLinesRejected;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // the summary of every run is not worth the log's room (the messages on
    // standard error go with -close_fd_mask=2, which keeps the fuzzer's own)
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 1);
        close(null);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const fs::path work = workDirectory();
    const size_t basisLength = partLength(data, size);
    writeBytes(work / "basis.toml", data, basisLength);
    size_t at = basisLength < size ? basisLength + 1 : size;
    const size_t membersLength = partLength(data + at, size - at);
    writeBytes(work / "members.txt", data + at, membersLength);
    at = at + membersLength < size ? at + membersLength + 1 : size;
    writeBytes(work / "table.csv", data + at, size - at);

    RunOptions options;
    options.basisFile = (work / "basis.toml").string();
    options.memberFile = (work / "members.txt").string();
    options.outputDirectory = (work / "out").string();
    options.jobs = 1;
    options.commandLine = {"talvek", "run"};
    const int status = runValuationCommand(options);
    if (!documentedStatus(status)) std::abort();
    const bool wrote = status == kExitDone || status == kExitLinesRejected;
    if (wrote && !fs::exists(work / "out" / "run.json")) std::abort();
    for (const fs::directory_entry &entry : fs::directory_iterator(work))
        if (entry.path().filename().string().find(".talvek-") != std::string::npos) std::abort();
    return 0;
}
