// The engine's published interface as a C caller meets it: the definition
// and its checks, the same bytes for every number of jobs and for the legacy
// export, a progress callback that stops the run, and reports free of the
// caller's locale.
#include "talvek/engine.h"

#include <clocale>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "api/api_test_support.h"
#include "api/plausible_plan_support.h"

namespace fs = std::filesystem;

namespace {

// 64-bit FNV-1a over the three arrays' bytes.
uint64_t hashOfArrays(const TalvekResults &results) {
    uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](const double *values, size_t count) {
        const unsigned char *bytes = reinterpret_cast<const unsigned char *>(values);
        for (size_t i = 0; i < count * sizeof(double); ++i) {
            hash ^= bytes[i];
            hash *= 1099511628211ull;
        }
    };
    add(results.member_counts, TALVEK_MEMBER_COUNTS_SIZE);
    add(results.decrement_counts, TALVEK_DECREMENT_COUNTS_SIZE);
    add(results.benefit_cashflows, TALVEK_BENEFIT_CASHFLOWS_SIZE);
    return hash;
}

// The plausible plan in the tab layout of the exported-call tests.
struct PlausibleRun {
    ExportedRun files;
    std::string members;
    TalvekRunDef def = talvek_default_run_def();
    std::unique_ptr<TalvekResults> results = std::make_unique<TalvekResults>();

    PlausibleRun(const std::string &name, int copies) : files(name) {
        fillPlausiblePlan(files.host);
        const std::string once = memberFileOf(membersOfEveryStatus());
        for (int i = 0; i < copies; ++i) members += once;
        writeWholeFile(files.path("members.txt"), members);
        def.assumptions = files.host.assumptions(files.valuationYear, files.mortalityBaseYear, files.delimiterCode);
    }
    int32_t runInMemory(int32_t jobs) {
        def.jobs = jobs;
        def.member_file = nullptr;
        def.member_bytes = members.data();
        def.member_byte_count = static_cast<int64_t>(members.size());
        return talvek_run(&def, results.get());
    }
};

TEST(EngineInterface, DefaultsAndRefusedDefinitions) {
    const TalvekRunDef def = talvek_default_run_def();
    EXPECT_EQ(def.struct_size, sizeof(TalvekRunDef));
    EXPECT_EQ(def.version, uint32_t{TALVEK_ENGINE_VERSION});
    EXPECT_EQ(def.jobs, 0);
    EXPECT_EQ(def.progress, nullptr);
    EXPECT_EQ(def.member_file, nullptr);

    std::unique_ptr<TalvekResults> results = std::make_unique<TalvekResults>();
    EXPECT_EQ(talvek_run(nullptr, results.get()), TALVEK_ERROR_ARGUMENT);
    EXPECT_EQ(talvek_run(&def, nullptr), TALVEK_ERROR_ARGUMENT);

    PlausibleRun run("engine-refused", 1);
    ASSERT_EQ(run.runInMemory(1), TALVEK_OK) << run.results->message;
    struct Spoil {
        const char *what;
        void (*spoil)(TalvekRunDef &);
    };
    const Spoil spoils[] = {
        {"size", [](TalvekRunDef &d) { d.struct_size = 8; }},
        {"version", [](TalvekRunDef &d) { d.version = 99; }},
        {"reserved", [](TalvekRunDef &d) { d.reserved[3] = 1; }},
        {"member file", [](TalvekRunDef &d) { d.member_bytes = nullptr; }},
        {"byte count", [](TalvekRunDef &d) { d.member_byte_count = -1; }},
        {"jobs", [](TalvekRunDef &d) { d.jobs = -2; }},
        {"year", [](TalvekRunDef &d) { d.assumptions.valuation_year = 40000; }},
        {"array", [](TalvekRunDef &d) { d.assumptions.yearly_rates = nullptr; }},
    };
    for (const Spoil &spoil : spoils) {
        TalvekRunDef spoiled = run.def;
        spoil.spoil(spoiled);
        results->member_counts[5] = 7.0;
        EXPECT_EQ(talvek_run(&spoiled, results.get()), TALVEK_ERROR_ARGUMENT) << spoil.what;
        EXPECT_EQ(results->status, TALVEK_ERROR_ARGUMENT);
        EXPECT_NE(results->message[0], '\0') << spoil.what;
        EXPECT_EQ(results->member_counts[5], 0.0) << spoil.what; // filled, never half-kept
    }
    for (int32_t status = TALVEK_OK; status <= TALVEK_ERROR_MEMORY; ++status)
        EXPECT_STRNE(talvek_status_message(status), "unknown status");
    EXPECT_STREQ(talvek_status_message(42), "unknown status");
    EXPECT_NE(std::strlen(talvek_version()), 0u);
}

// The determinism test: one hash of the three arrays for jobs 1, 2, 3, 7
// and 16, for the bytes in memory and the file, and for the legacy export.
TEST(EngineInterface, EveryNumberOfJobsAndTheLegacyExportGiveTheSameBytes) {
    PlausibleRun run("engine-determinism", 400); // about 2.5 MB: 40 pieces
    ASSERT_GT(run.members.size(), size_t{20} * TALVEK_PIECE_BYTES);
    ASSERT_EQ(run.runInMemory(1), TALVEK_OK) << run.results->message;
    const uint64_t reference = hashOfArrays(*run.results);
    const int64_t membersDone = run.results->members_done;
    ASSERT_GT(membersDone, 0);
    for (int32_t jobs : {2, 3, 7, 16}) {
        ASSERT_EQ(run.runInMemory(jobs), TALVEK_OK) << run.results->message;
        EXPECT_EQ(hashOfArrays(*run.results), reference) << jobs << " jobs";
        EXPECT_EQ(run.results->members_done, membersDone);
    }
    const std::string memberPath = run.files.path("members.txt").string();
    run.def.member_bytes = nullptr;
    run.def.member_file = memberPath.c_str();
    run.def.jobs = 2;
    ASSERT_EQ(talvek_run(&run.def, run.results.get()), TALVEK_OK);
    EXPECT_EQ(hashOfArrays(*run.results), reference) << "from the file";

    // the legacy export values the same pieces with one thread
    run.files.runFiles(memberPath, run.files.path("listing.txt").string(), run.files.path("errors.txt").string());
    std::memcpy(run.results->member_counts, run.files.host.memberCounts.data(), sizeof run.results->member_counts);
    std::memcpy(run.results->decrement_counts, run.files.host.decrementCounts.data(),
                sizeof run.results->decrement_counts);
    std::memcpy(run.results->benefit_cashflows, run.files.host.benefitCashflows.data(),
                sizeof run.results->benefit_cashflows);
    EXPECT_EQ(hashOfArrays(*run.results), reference) << "the legacy export";
    EXPECT_EQ(run.files.membersDone, membersDone);
}

// The callback is asked on the calling thread; a non-zero answer stops the
// run and the results say so.
TEST(EngineInterface, ProgressCallbackStopsTheRun) {
    PlausibleRun run("engine-progress", 400);
    struct Seen {
        int calls = 0;
        int stopAt = 0;
        int64_t lastTotal = 0;
    } seen;
    run.def.progress = [](void *user, int64_t, int64_t total) -> int32_t {
        Seen &s = *static_cast<Seen *>(user);
        s.lastTotal = total;
        return ++s.calls == s.stopAt ? 1 : 0;
    };
    run.def.progress_user = &seen;
    ASSERT_EQ(run.runInMemory(1), TALVEK_OK);
    EXPECT_GT(seen.calls, 1);
    int64_t lineReads = 0;
    ASSERT_EQ(talvek_count_line_reads(&run.def, &lineReads), TALVEK_OK);
    EXPECT_EQ(seen.lastTotal, lineReads); // the engine counted the total itself
    for (int32_t jobs : {1, 2}) {
        seen = Seen{};
        seen.stopAt = 1;
        EXPECT_EQ(run.runInMemory(jobs), TALVEK_STOPPED) << jobs;
        EXPECT_EQ(run.results->stopped, 1);
        EXPECT_LT(run.results->members_done, run.results->line_reads + 1);
        EXPECT_EQ(run.results->member_counts[TALVEK_MEMBERS_LINES_READ],
                  static_cast<double>(run.results->members_done));
    }
}

// A stop is heard in a long stretch of rejected lines: besides the members
// rule (members done 0, 1000, ...) the callback is asked every 1000 lines
// read. 1001 good lines, then 5000 with an age of 130: the calls come before
// line 1 (members 0), line 1001 (members 1000 and lines 1000: one call),
// line 2001 and line 3001 (lines 2000, 3000); stopping at the 4th call keeps
// exactly 3000 lines.
TEST(EngineInterface, ProgressCallbackIsAskedInAStretchOfRejectedLines) {
    PlausibleRun run("engine-rejected-stretch", 0);
    MemberFields good = membersOfEveryStatus()[0];
    MemberFields rejected = good;
    rejected.age = 130;
    run.members.clear();
    for (int i = 0; i < 1001; ++i) run.members += memberLine(good);
    for (int i = 0; i < 5000; ++i) run.members += memberLine(rejected);
    struct Seen {
        int calls = 0;
        int stopAt = 0;
    } seen;
    run.def.progress = [](void *user, int64_t, int64_t) -> int32_t {
        Seen &s = *static_cast<Seen *>(user);
        return ++s.calls == s.stopAt ? 1 : 0;
    };
    run.def.progress_user = &seen;
    ASSERT_EQ(run.runInMemory(1), TALVEK_OK);
    EXPECT_EQ(seen.calls, 1 + 1 + 5); // lines 1, 1001, then 2001, 3001, 4001, 5001, 6001
    EXPECT_EQ(run.results->line_reads, 6001);
    EXPECT_EQ(run.results->members_done, 1001);
    seen = Seen{};
    seen.stopAt = 4;
    ASSERT_EQ(run.runInMemory(1), TALVEK_STOPPED);
    EXPECT_EQ(run.results->line_reads, 3000);
    EXPECT_EQ(run.results->members_done, 1001);
    EXPECT_EQ(run.results->error_count, 3000 - 1001);
}

// With the whole program in a comma locale, on several threads, the error
// log's amounts keep their point.
TEST(EngineInterface, ReportsIgnoreTheCallersLocale) {
    std::string reason;
    const std::string name = makeCommaLocale(reason);
    if (name.empty()) GTEST_SKIP() << reason;
    PlausibleRun run("engine-locale", 1);
    run.members += "X1\tA\t45\tM\t30000.50\t520\t0\t1234.567\tM\t0\t0\t0\t0\t0\t\n";
    const std::string listing = run.files.path("listing.txt").string();
    const std::string errors = run.files.path("errors.txt").string();
    run.def.listing_file = listing.c_str();
    run.def.error_file = errors.c_str();
    ASSERT_NE(std::setlocale(LC_ALL, name.c_str()), nullptr);
    const int32_t status = run.runInMemory(2);
    std::setlocale(LC_ALL, "C");
    ASSERT_EQ(status, TALVEK_OK) << run.results->message;
    EXPECT_NE(readWholeFile(errors).find("current pension field:    1234.56."), std::string::npos)
        << readWholeFile(errors);
    EXPECT_EQ(readWholeFile(listing).find(','), std::string::npos);
}

} // namespace
