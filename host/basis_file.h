// The basis file: a TOML file holding every assumption of a run under a
// readable name (docs/basis-file.md lists the keys). Reading it checks every
// value against the range the valuation can work with.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "plan_basis.h"

// Reads and checks the basis file at path. True when the basis is usable;
// otherwise errors holds one line per problem, each naming the file, the key
// and what is allowed.
bool readBasisFile(const std::filesystem::path &path, const std::string &shownName,
                   PlanBasis &basis, std::vector<std::string> &errors);

// The same for a text already in memory; table files named in it are found
// from baseDirectory.
bool readBasisText(std::string_view text, const std::string &shownName,
                   const std::filesystem::path &baseDirectory, PlanBasis &basis,
                   std::vector<std::string> &errors);

// The member file's field names in the basis file, by field code 1..14.
extern const char *const kMemberFieldNames[kMemberFields + 1];
// The names of statuses 1..5 in the basis file.
extern const char *const kStatusNames[kStatuses + 1];
