// Helpers of the host tests: the small basis, edited copies of it, scratch
// directories, running the built `talvek`, and a direct call of the library.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <toml++/toml.h>

#include "host_arrays.h"

std::filesystem::path sourcePath(const std::string &relative);
std::filesystem::path smallBasisPath();
std::string readText(const std::filesystem::path &path);
void writeText(const std::filesystem::path &path, const std::string &text);

// A fresh empty directory under the system's temporary directory.
std::filesystem::path freshDirectory(const std::string &name);

// The small basis with one value replaced; key is a dotted path such as
// "plan.guarantee_period" (the table must exist).
std::string editedSmallBasis(const std::string &key, const toml::node &value);
std::string editedSmallBasis(const std::string &key, double value);
std::string smallBasisWithout(const std::string &key);

// Runs the built talvek with the arguments (inside directory when given); returns its exit status and what
// it wrote to standard output and standard error.
struct CommandResult {
    int status;
    std::string out;
    std::string err;
};
CommandResult runTalvek(const std::string &arguments, const std::filesystem::path &directory = {});

// A few member lines of every status in the small basis's layout.
std::string smallMemberFile();

// Reads a basis, fills its arrays and calls GenerateLiabilities directly,
// with descriptors of its own, inside directory.
HostArraySet directRun(const std::filesystem::path &basis, const std::filesystem::path &members,
                       const std::filesystem::path &directory);

// The basis text with its [member_file] tables (the last ones of the file)
// replaced by `section`.
std::string withMemberFileSection(const std::string &basisText, const std::string &section);

// examples/basis.toml with another [member_file].
std::string exampleBasisWithMemberFile(const std::string &section);

// The [member_file] of examples/basis.toml with other lines in its head
// (after the delimiter) and another delimiter.
std::string exampleMemberFile(const std::string &delimiter, const std::string &extraLines);

// A basis read from its text (the test fails where it is refused).
PlanBasis basisFromText(const std::string &text);

// One run of the engine on member bytes with the basis's assumptions and the
// given column of each field; the listing and the error log as texts.
struct EngineRun {
    int32_t status = 0;
    std::unique_ptr<TalvekResults> results;
    std::string listing;
    std::string errors;
};
EngineRun runEngineOnBytes(const PlanBasis &basis, const std::string &bytes,
                           const std::array<int32_t, kMemberFields + 1> &columns, int jobs = 1);

// A CSV file as rows of cells.
std::vector<std::vector<std::string>> readCsv(const std::filesystem::path &path);
