// Each shared library exports exactly its published functions.
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

std::set<std::string> definedDynamicSymbols(const std::string &library) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + library + "'";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    pclose(pipe);
    return names;
}

TEST(Exports, OnlyTheTwoEntryPointsAreVisible) {
    const std::set<std::string> expected{"CountInputData", "GenerateLiabilities"};
    EXPECT_EQ(definedDynamicSymbols(TALVEK_LIBRARY_FILE), expected);
}

// The engine's library shows its published functions and nothing else.
TEST(Exports, TheEngineLibraryShowsOnlyItsTalvekFunctions) {
    const std::set<std::string> expected{"talvek_default_run_def", "talvek_run", "talvek_count_line_reads",
                                         "talvek_status_message", "talvek_version",
                                         "talvek_value",          "talvek_release_valuation",
                                         "talvek_value_scenarios", "talvek_release_scenarios",
                                         "talvek_distribution_of", "talvek_value_pieces",
                                         "talvek_count_pieces"};
    EXPECT_EQ(definedDynamicSymbols(TALVEK_ENGINE_LIBRARY_FILE), expected);
}

} // namespace
