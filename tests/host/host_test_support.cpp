#include "host_test_support.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include "basis_file.h"
#include "support/scratch_directories.h"
#include "talvek_pension_model.h"

namespace fs = std::filesystem;

fs::path sourcePath(const std::string &relative) { return fs::path(TALVEK_SOURCE_DIR) / relative; }

fs::path smallBasisPath() { return sourcePath("tests/host/small_basis.toml"); }

std::string readText(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const fs::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

fs::path freshDirectory(const std::string &name) {
    const fs::path path = fs::temp_directory_path() /
                          ("talvek-host-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
    return removedWhenTestPasses(path);
}

namespace {

toml::table parsedSmallBasis() { return toml::parse(readText(smallBasisPath())); }

toml::table &parentTable(toml::table &root, const std::string &key, std::string &leaf) {
    const size_t dot = key.rfind('.');
    leaf = dot == std::string::npos ? key : key.substr(dot + 1);
    if (dot == std::string::npos) return root;
    return *root.at_path(key.substr(0, dot)).as_table();
}

std::string serialized(const toml::table &root) {
    std::ostringstream text;
    text << root;
    return text.str();
}

} // namespace

std::string editedSmallBasis(const std::string &key, const toml::node &value) {
    toml::table root = parsedSmallBasis();
    std::string leaf;
    toml::table &parent = parentTable(root, key, leaf);
    value.visit([&](auto &&v) { parent.insert_or_assign(leaf, v); });
    return serialized(root);
}

std::string editedSmallBasis(const std::string &key, double value) {
    return editedSmallBasis(key, toml::value<double>(value));
}

std::string smallBasisWithout(const std::string &key) {
    toml::table root = parsedSmallBasis();
    std::string leaf;
    parentTable(root, key, leaf).erase(leaf);
    return serialized(root);
}

CommandResult runTalvek(const std::string &arguments, const fs::path &directory) {
    static int runs = 0;
    // the captures of one test program's runs share a directory, removed at its end
    static const fs::path captures = removedWhenProgramPasses(
        fs::temp_directory_path() / ("talvek-host-cmd-" + std::to_string(getpid())));
    fs::create_directories(captures);
    const fs::path out = captures / ("out" + std::to_string(runs));
    const fs::path err = captures / ("err" + std::to_string(runs));
    ++runs;
    const std::string enter = directory.empty() ? "" : "cd '" + directory.string() + "' && ";
    const std::string command = enter + std::string(TALVEK_BINARY) + " " + arguments + " >" +
                                out.string() + " 2>" + err.string();
    const int status = std::system(command.c_str());
    CommandResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(out), readText(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

std::string smallMemberFile() {
    // number;status;age;sex;salary;weeks with guarantee;pension;guaranteed fraction;spouse age;
    return "N1;ACT;40;M;40000.00;520;;;;\n"
           "N2;ACT;55;F;60000;1040;;;50;\n"
           "N3;PEN;70;M;;;12000;0.5;67;\n"
           "N4;DIS;50;F;;;8000;1;;\n"
           "N5;DEF;45;M;;800;;;;\n"
           "N6;SUR;80;F;;;6000;0.75;;\n"
           "N7;XYZ;40;M;30000;100;;;;\n"
           "N8;ACT;14;M;30000;100;;;;\n";
}

HostArraySet directRun(const fs::path &basis, const fs::path &members, const fs::path &directory) {
    PlanBasis plan;
    std::vector<std::string> errors;
    readBasisFile(basis, basis.string(), plan, errors);
    HostArraySet a;
    fillHostArrays(plan, a);
    int32_t total = 0, done = 0, errorCount = 0;
    int16_t statusWord = 0;
    CountInputData(members.c_str(), &total);

    // descriptors of our own, every array from lower bound 0
    auto describe = [](auto &vector) {
        SAFEARRAY array{};
        array.cDims = 1;
        array.cbElements = sizeof(vector[0]);
        array.pvData = vector.data();
        array.rgsabound[0].cElements = static_cast<uint32_t>(vector.size());
        return array;
    };
    SAFEARRAY arrays[16] = {describe(a.baseMortality),      describe(a.mortalityImprovement),
                            describe(a.columnMap),          describe(a.statusCodes),
                            describe(a.planParameters),     describe(a.retirementFactors),
                            describe(a.demographicParameters), describe(a.economicParameters),
                            describe(a.retirementRates),    describe(a.disabilityRates),
                            describe(a.withdrawalRates),    describe(a.salaryScale),
                            describe(a.memberCounts),       describe(a.decrementCounts),
                            describe(a.yearlyRates),        describe(a.benefitCashflows)};
    SAFEARRAY *refs[16];
    for (int i = 0; i < 16; ++i) refs[i] = &arrays[i];

    const fs::path start = fs::current_path();
    fs::current_path(directory);
    GenerateLiabilities(members.c_str(), (directory / "listing.txt").c_str(),
                        (directory / "errors.txt").c_str(), a.valuationYear, &total, &done,
                        &errorCount, &statusWord, &refs[0], a.mortalityBaseYear, &refs[1], &refs[2],
                        a.delimiterCode, &refs[3], &refs[4], &refs[5], &refs[6], &refs[7], &refs[8],
                        &refs[9], &refs[10], &refs[11], &refs[12], &refs[13], &refs[14], &refs[15]);
    fs::current_path(start);
    return a;
}

std::string withMemberFileSection(const std::string &basisText, const std::string &section) {
    return basisText.substr(0, basisText.find("[member_file]")) + section;
}

std::string exampleBasisWithMemberFile(const std::string &section) {
    return withMemberFileSection(readText(sourcePath("examples/basis.toml")), section);
}

std::string exampleMemberFile(const std::string &delimiter, const std::string &extraLines) {
    const std::string example = readText(sourcePath("examples/basis.toml"));
    const std::string columns = example.substr(example.find("[member_file.columns]"));
    return "[member_file]\ndelimiter = \"" + delimiter + "\"\n" + extraLines + "\n" + columns;
}

PlanBasis basisFromText(const std::string &text) {
    PlanBasis basis;
    std::vector<std::string> errors;
    const bool read = readBasisText(text, "test.toml", sourcePath("tests/host"), basis, errors);
    std::string all;
    for (const std::string &error : errors) all += error + "\n";
    EXPECT_TRUE(read) << all;
    return basis;
}

EngineRun runEngineOnBytes(const PlanBasis &basis, const std::string &bytes,
                           const std::array<int32_t, kMemberFields + 1> &columns, int jobs) {
    static int runs = 0;
    const fs::path directory = freshDirectory("engine" + std::to_string(runs++));
    static HostArraySet arrays; // large: kept off the stack
    fillHostArrays(basis, arrays);
    for (int field = 1; field <= kMemberFields; ++field) arrays.columnMap[field] = static_cast<int16_t>(columns[field]);
    TalvekRunDef def = talvek_default_run_def();
    def.member_bytes = bytes.data();
    def.member_byte_count = static_cast<int64_t>(bytes.size());
    const std::string listing = (directory / "listing.txt").string();
    const std::string errors = (directory / "errors.txt").string();
    def.listing_file = listing.c_str();
    def.error_file = errors.c_str();
    def.assumptions = engineAssumptions(arrays);
    def.jobs = jobs;
    EngineRun run;
    run.results = std::make_unique<TalvekResults>();
    run.status = talvek_run(&def, run.results.get());
    run.listing = readText(listing);
    run.errors = readText(errors);
    fs::remove_all(directory);
    return run;
}

std::vector<std::vector<std::string>> readCsv(const fs::path &path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream text(readText(path));
    std::string line;
    while (std::getline(text, line)) {
        std::vector<std::string> cells;
        std::istringstream cellText(line);
        std::string cell;
        while (std::getline(cellText, cell, ',')) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}
