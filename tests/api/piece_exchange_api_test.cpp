// A valuation whose pieces are valued by several processes, through the
// published interface: every other process calls talvek_value_pieces, the
// joining one talvek_value (or talvek_run) with the same definition and the
// exchange; the results, the valuation with its sensitivities and rows, and
// the reports are the same bytes as one process's. Definitions that cannot
// be shared so are refused.
#include "talvek/engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "api/api_test_support.h"
#include "api/plausible_plan_support.h"

namespace {

struct Processes {
    int count = 3;
    int self = 0;
    std::map<std::pair<int32_t, int64_t>, std::vector<char>> images;
    std::vector<int32_t> runsGiven; // the run of each image, in the order given
};

// The share moves on by one process from run to run, as a share dealt out
// while the processes work may: the run each piece belongs to must reach
// the exchange.
int ownerOf(const Processes &p, int32_t run, int64_t piece) { return static_cast<int>((piece + run) % p.count); }

int32_t owns(void *user, int32_t run, int64_t piece) {
    const Processes &p = *static_cast<const Processes *>(user);
    return ownerOf(p, run, piece) == p.self ? 1 : 0;
}

int32_t give(void *user, int32_t run, int64_t piece, const void *image, int64_t size) {
    Processes &p = *static_cast<Processes *>(user);
    const char *bytes = static_cast<const char *>(image);
    p.images[{run, piece}] = std::vector<char>(bytes, bytes + size);
    p.runsGiven.push_back(run);
    return 0;
}

int32_t take(void *user, int32_t run, int64_t piece, const void **image, int64_t *size, char *message,
             int64_t messageSize) {
    Processes &p = *static_cast<Processes *>(user);
    const auto found = p.images.find({run, piece});
    if (found == p.images.end()) {
        std::snprintf(message, static_cast<size_t>(messageSize), "no image of piece %lld of run %d",
                      static_cast<long long>(piece), run);
        return TALVEK_ERROR_MEMBER_FILE;
    }
    *image = found->second.data();
    *size = static_cast<int64_t>(found->second.size());
    return TALVEK_OK;
}

struct Valued {
    int32_t status = -1;
    std::unique_ptr<TalvekResults> results = std::make_unique<TalvekResults>();
    std::unique_ptr<TalvekValuation> valuation = std::make_unique<TalvekValuation>();
    std::vector<TalvekMemberValues> rows;
    std::string listing;
    std::string errors;
};

std::string everyStatusFile(int copies) {
    const std::string once = memberFileOf(membersOfEveryStatus());
    std::string all;
    for (int i = 0; i < copies; ++i) all += once;
    // a line that fails to read, so that the error log has lines from a piece
    return all + "not a member line\n" + once;
}

struct SharedValuation {
    ExportedRun files{"piece-exchange-api"};
    std::string members = everyStatusFile(60);
    std::string listingPath = files.path("listing.txt").string();
    std::string errorPath = files.path("errors.txt").string();
    TalvekSensitivity shifts[4] = {{TALVEK_SENSITIVITY_DISCOUNT, 0, 0.005},
                                   {TALVEK_SENSITIVITY_INFLATION, 0, 0.005},
                                   {TALVEK_SENSITIVITY_DISCOUNT, 0, -0.005},
                                   {TALVEK_SENSITIVITY_MORTALITY, 0, 0.9}};
    TalvekRunDef def = talvek_default_run_def();

    SharedValuation() {
        fillPlausiblePlan(files.host);
        def.member_bytes = members.data();
        def.member_byte_count = static_cast<int64_t>(members.size());
        def.listing_file = listingPath.c_str();
        def.error_file = errorPath.c_str();
        def.assumptions = files.host.assumptions(files.valuationYear, files.mortalityBaseYear, files.delimiterCode);
        def.valuation_options = TALVEK_VALUE_PER_MEMBER;
        def.sensitivities = shifts;
        def.sensitivity_count = 4;
    }

    Valued value(const TalvekRunDef &d, bool ofValuation) {
        Valued v;
        v.status = ofValuation ? talvek_value(&d, v.results.get(), v.valuation.get())
                               : talvek_run(&d, v.results.get());
        if (v.valuation->members != nullptr)
            v.rows.assign(v.valuation->members, v.valuation->members + v.valuation->member_count);
        talvek_release_valuation(v.valuation.get());
        v.listing = readWholeFile(listingPath);
        v.errors = readWholeFile(errorPath);
        return v;
    }
};

void expectSame(const Valued &a, const Valued &b, const std::string &what) {
    EXPECT_EQ(a.status, b.status) << what << ": " << a.results->message;
    EXPECT_EQ(std::memcmp(a.results.get(), b.results.get(), sizeof(TalvekResults)), 0) << what;
    EXPECT_EQ(std::memcmp(a.valuation.get(), b.valuation.get(), sizeof(TalvekValuation)), 0) << what;
    ASSERT_EQ(a.rows.size(), b.rows.size()) << what;
    if (!a.rows.empty()) {
        EXPECT_EQ(std::memcmp(a.rows.data(), b.rows.data(), a.rows.size() * sizeof(TalvekMemberValues)), 0) << what;
    }
    EXPECT_EQ(a.listing, b.listing) << what;
    EXPECT_EQ(a.errors, b.errors) << what;
}

TEST(SharedRun, ThreeProcessesGiveOneProcesssValuationToTheBit) {
    SharedValuation shared;
    int64_t pieces = 0;
    ASSERT_EQ(talvek_count_pieces(&shared.def, &pieces), TALVEK_OK);
    ASSERT_GE(pieces, 4); // every process owns a piece, one of them two
    EXPECT_EQ(pieces, (static_cast<int64_t>(shared.members.size()) + TALVEK_PIECE_BYTES - 1) / TALVEK_PIECE_BYTES);

    for (bool ofValuation : {true, false}) {
        shared.def.jobs = 1;
        const Valued alone = shared.value(shared.def, ofValuation);
        ASSERT_EQ(alone.status, TALVEK_OK) << alone.results->message;
        ASSERT_GT(alone.results->error_count, 0);
        for (int32_t jobs : {1, 2}) {
            Processes processes;
            TalvekPieceExchange exchange{&processes, owns, take, give};
            TalvekRunDef d = shared.def;
            d.piece_exchange = &exchange;
            d.jobs = 3 - jobs; // the others on the other number of jobs
            d.listing_file = d.error_file = nullptr;
            const int32_t runs = ofValuation ? 3 : 1; // run 0, then the inflation and mortality reruns
            for (processes.self = 1; processes.self < processes.count; ++processes.self) {
                processes.runsGiven.clear();
                std::unique_ptr<TalvekResults> given = std::make_unique<TalvekResults>();
                ASSERT_EQ(talvek_value_pieces(&d, ofValuation ? 1 : 0, given.get()), TALVEK_OK) << given->message;
                EXPECT_EQ(given->members_done, 0); // the counts are the joining process's
                // its images run after run, every run of the valuation
                ASSERT_FALSE(processes.runsGiven.empty());
                EXPECT_EQ(processes.runsGiven.front(), 0);
                EXPECT_EQ(processes.runsGiven.back(), runs - 1);
                EXPECT_TRUE(std::is_sorted(processes.runsGiven.begin(), processes.runsGiven.end()));
            }
            int64_t others = 0;
            for (int32_t run = 0; run < runs; ++run)
                for (int64_t k = 0; k < pieces; ++k) others += ownerOf(processes, run, k) != 0 ? 1 : 0;
            EXPECT_EQ(static_cast<int64_t>(processes.images.size()), others);
            processes.self = 0;
            d.jobs = jobs;
            d.listing_file = shared.listingPath.c_str();
            d.error_file = shared.errorPath.c_str();
            expectSame(shared.value(d, ofValuation), alone,
                       std::string(ofValuation ? "talvek_value" : "talvek_run") + ", " + std::to_string(jobs) + " jobs");
        }
    }
}

TEST(SharedRun, DefinitionsThatCannotBeSharedAreRefused) {
    SharedValuation shared;
    Processes processes;
    TalvekPieceExchange exchange{&processes, owns, take, give};
    shared.def.piece_exchange = &exchange;
    std::unique_ptr<TalvekResults> results = std::make_unique<TalvekResults>();

    EXPECT_EQ(talvek_value_pieces(&shared.def, 2, results.get()), TALVEK_ERROR_ARGUMENT);
    EXPECT_STREQ(results->message, "of_valuation is neither 0 nor 1");
    TalvekPieceExchange noGive{&processes, owns, take, nullptr};
    shared.def.piece_exchange = &noGive;
    EXPECT_EQ(talvek_value_pieces(&shared.def, 1, results.get()), TALVEK_ERROR_ARGUMENT);
    EXPECT_STREQ(results->message, "the piece exchange or its give function is missing (null)");
    TalvekPieceExchange noTake{&processes, owns, nullptr, give};
    shared.def.piece_exchange = &noTake;
    EXPECT_EQ(talvek_run(&shared.def, results.get()), TALVEK_ERROR_ARGUMENT);
    EXPECT_STREQ(results->message, "the piece exchange has no take function");
    TalvekPieceExchange noOwns{&processes, nullptr, take, give};
    shared.def.piece_exchange = &noOwns;
    EXPECT_EQ(talvek_value_pieces(&shared.def, 0, results.get()), TALVEK_ERROR_ARGUMENT);
    EXPECT_STREQ(results->message, "the piece exchange has no owns function");

    // a scenario set is shared by scenarios
    shared.def.piece_exchange = &exchange;
    shared.def.valuation_options = 0;
    shared.def.sensitivity_count = 0;
    const double *rates = shared.def.assumptions.yearly_rates;
    TalvekScenarioSet set{};
    set.scenario_count = 1;
    set.yearly_rates = rates;
    TalvekScenarioResults scenarios{};
    EXPECT_EQ(talvek_value_scenarios(&shared.def, &set, results.get(), &scenarios), TALVEK_ERROR_ARGUMENT);
    EXPECT_NE(std::string(results->message).find("the piece exchange must be null"), std::string::npos);
    talvek_release_scenarios(&scenarios);

    int64_t count = -1;
    TalvekRunDef missing = talvek_default_run_def();
    missing.member_file = "/nonexistent/members.txt";
    EXPECT_EQ(talvek_count_pieces(&missing, &count), TALVEK_ERROR_MEMBER_FILE);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(talvek_count_pieces(nullptr, &count), TALVEK_ERROR_ARGUMENT);
}

} // namespace
