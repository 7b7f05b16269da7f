#include "commands.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "member_file_check.h"
#include "member_generator.h"
#include "talvek/engine.h"

namespace fs = std::filesystem;

namespace {

// A member file that can be counted: a regular file (a FIFO without a
// writer would wait forever, /dev/zero would never end).
bool memberFileReadable(const fs::path &path, std::string &problem) {
    FileSnapshot snapshot;
    return regularFileSnapshot(path, "the member file", snapshot, problem);
}

fs::path absoluteOf(const std::string &path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    return error ? fs::path(path) : absolute.lexically_normal();
}

} // namespace

// runValuationCommand is in valuation_run.cpp.

int countMembersCommand(const std::string &memberFile) {
    std::string problem;
    const fs::path path = absoluteOf(memberFile);
    if (!memberFileReadable(path, problem)) {
        std::fprintf(stderr, "talvek: %s: %s\n", memberFile.c_str(), problem.c_str());
        return kExitRefused;
    }
    TalvekRunDef def = talvek_default_run_def();
    const std::string file = path.string();
    def.member_file = file.c_str();
    int64_t count = 0;
    talvek_count_line_reads(&def, &count);
    std::printf("%lld\n", static_cast<long long>(count));
    return kExitDone;
}

int generateMembersCommand(int64_t members, uint64_t seed, const std::string &outputFile) {
    const bool toStandardOutput = outputFile == "-";
    std::FILE *out = toStandardOutput ? stdout : std::fopen(outputFile.c_str(), "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "talvek: cannot write %s\n", outputFile.c_str());
        return kExitWriteFailed;
    }
    bool ok = generateMembers(out, members, seed);
    if (!toStandardOutput) ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "talvek: writing %s failed\n", outputFile.c_str());
        return kExitWriteFailed;
    }
    return kExitDone;
}
