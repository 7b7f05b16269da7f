// The member data check of talvek: member lines checked per second, for a
// file in the library's layout (checked and handed over as it is) and for
// the same members as a spreadsheet saves them (checked and converted), on
// one thread and on two.
#include <benchmark/benchmark.h>

#include <string>

#include "basis_file.h"
#include "member_check.h"
#include "member_generator.h"

namespace {

constexpr int64_t kMembers = 100000;

const PlanBasis &exampleBasis(bool spreadsheet) {
    static PlanBasis bases[2];
    static bool read[2] = {false, false};
    if (!read[spreadsheet]) {
        std::vector<std::string> errors;
        readBasisFile(TALVEK_SOURCE_DIR "/examples/basis.toml", "basis.toml", bases[spreadsheet], errors);
        if (spreadsheet) {
            PlanBasis &sheet = bases[1];
            sheet.spreadsheetLayout = true;
            sheet.headerRow = true;
            sheet.delimiterCode = 3; // semicolon
            sheet.decimalSeparator = ',';
        }
        read[spreadsheet] = true;
    }
    return bases[spreadsheet];
}

const std::string &libraryFile() {
    static std::string text;
    if (text.empty()) {
        MemberRandom random{7};
        for (int64_t i = 1; i <= kMembers; ++i) appendMemberLine(text, random, i);
    }
    return text;
}

// The same members with a header row, semicolons, decimal commas, the member
// number in quotes, no delimiter after the last field and CRLF line ends.
const std::string &spreadsheetFile() {
    static std::string text;
    if (text.empty()) {
        text = "\xEF\xBB\xBFnumber;status;age;sex;salary;weeks1;weeks2;pension;marital;spouse;retired;bridge;"
               "fraction;average\r\n";
        const std::string &lines = libraryFile();
        size_t start = 0;
        while (start < lines.size()) {
            const size_t end = lines.find('\n', start);
            std::string line = lines.substr(start, end - start - 1); // without the last comma
            for (char &c : line) c = c == ',' ? ';' : c == '.' ? ',' : c;
            text += "\"" + line.substr(0, line.find(';')) + "\"" + line.substr(line.find(';')) + "\r\n";
            start = end + 1;
        }
    }
    return text;
}

void checkFile(benchmark::State &state, const PlanBasis &basis, const std::string &text) {
    MemberCheck check;
    for (auto _ : state) {
        checkMemberBytes(basis, text.data(), static_cast<int64_t>(text.size()), check, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(check.summary.linesRead);
    }
    if (check.hasErrors) state.SkipWithError("the benchmark's file has errors");
    state.SetItemsProcessed(state.iterations() * kMembers);
}

void BM_CheckLibraryLayout(benchmark::State &state) { checkFile(state, exampleBasis(false), libraryFile()); }
void BM_CheckAndConvertSpreadsheet(benchmark::State &state) {
    checkFile(state, exampleBasis(true), spreadsheetFile());
}

} // namespace

// the argument: threads (the per-core figure is the one-thread run)
BENCHMARK(BM_CheckLibraryLayout)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CheckAndConvertSpreadsheet)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
