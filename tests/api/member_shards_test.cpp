// A member file valued in contiguous pieces and joined in file order gives
// what one run over the whole file gives.
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "api/member_shards.h"
#include "api/run_driver.h"
#include "support/test_support.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::string bytesOf(const std::string &utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            bytes.push_back(static_cast<char>(lead));
            ++i;
        } else {
            bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) | (utf8[i + 1] & 0x3F)));
            i += 2;
        }
    }
    return bytes;
}

// The assumptions of a reference case, in a TestHost.
TestHost hostOfCase(const json &input) {
    TestHost host;
    host.baseMortality = input["baseMortality"].get<std::vector<double>>();
    host.mortalityImprovement = input["mortalityImprovement"].get<std::vector<double>>();
    host.columnMap = input["columnMap"].get<std::vector<int16_t>>();
    host.statusCodeText = input["statusCodes"].get<std::vector<std::string>>();
    for (std::string &code : host.statusCodeText) code = bytesOf(code);
    host.planParameters = input["planParameters"].get<std::vector<double>>();
    host.retirementFactors = input["retirementFactors"].get<std::vector<double>>();
    host.demographicParameters = input["demographicParameters"].get<std::vector<double>>();
    host.economicParameters = input["economicParameters"].get<std::vector<double>>();
    host.retirementRates = input["retirementRates"].get<std::vector<double>>();
    host.disabilityRates = input["disabilityRates"].get<std::vector<double>>();
    host.withdrawalRates = input["withdrawalRates"].get<std::vector<double>>();
    host.salaryScale = input["salaryScale"].get<std::vector<double>>();
    host.yearlyRates = input["yearlyRates"].get<std::vector<double>>();
    return host;
}

struct PieceRun {
    TestHost host;
    int32_t membersDone = 0;
    int32_t errorCount = 0;
    std::string listing;
    std::string errors;
};

void runPiece(PieceRun &piece, const json &input, const fs::path &members, const fs::path &dir,
              const ShardPlan *plan, int k) {
    const std::string listing = (dir / ("listing" + std::to_string(k))).string();
    const std::string errors = (dir / ("errors" + std::to_string(k))).string();
    const std::string memberPath = members.string();
    RunRequest request{};
    request.memberFile = memberPath.c_str();
    request.listingFile = listing.c_str();
    request.errorFile = errors.c_str();
    request.valuationYear = static_cast<int16_t>(input["valuationYear"].get<int>());
    request.mortalityBaseYear = static_cast<int16_t>(input["mortalityBaseYear"].get<int>());
    request.delimiterCode = static_cast<int16_t>(input["delimiterCode"].get<int>());
    request.memberTotal = 0;
    request.membersDone = &piece.membersDone;
    request.errorCount = &piece.errorCount;
    request.host = piece.host.arrays();
    if (plan != nullptr) {
        request.firstByte = plan->firstByte[k];
        request.byteCount = plan->byteCount[k];
        request.carried = &plan->carried[k];
        request.listingHeaders = k == 0;
    }
    runValuation(request);
    piece.listing = readWholeFile(listing);
    piece.errors = readWholeFile(errors);
}

bool nearlyEqual(double a, double b) {
    return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b)) + 1e-300;
}

void expectSums(const std::vector<double> &whole, const std::vector<std::vector<double>> &pieces,
                const char *name) {
    for (size_t i = 0; i < whole.size(); ++i) {
        double sum = 0.0;
        for (const std::vector<double> &piece : pieces) sum += piece[i];
        ASSERT_TRUE(nearlyEqual(whole[i], sum)) << name << "[" << i << "]: " << whole[i] << " vs " << sum;
    }
}

class ShardedRun : public ::testing::TestWithParam<std::tuple<std::string, int>> {};

TEST_P(ShardedRun, JoinsIntoTheWholeFileRun) {
    const auto &[caseName, shards] = GetParam();
    std::ifstream in(fs::path(TALVEK_SOURCE_DIR) / "tests" / "golden" / (caseName + ".case.json"));
    const json input = json::parse(in);
    const fs::path dir = makeScratchDirectory("shards");
    const fs::path members = dir / "members.txt";
    // the file three times over, so that every piece has lines of every kind
    const std::string bytes = bytesOf(input["memberFile"].get<std::string>());
    writeWholeFile(members, bytes + bytes + bytes);
    const fs::path saved = fs::current_path();
    fs::current_path(dir);

    PieceRun whole;
    whole.host = hostOfCase(input);
    runPiece(whole, input, members, dir, nullptr, 99);

    const TestHost host = hostOfCase(input);
    ShardPlan plan;
    const int16_t delimiterCode = static_cast<int16_t>(input["delimiterCode"].get<int>());
    ASSERT_TRUE(planMemberShards(members.string().c_str(), shards, delimiterCode,
                                 host.columnMap.data(), plan));
    EXPECT_GE(plan.shardCount, 1);
    EXPECT_LE(plan.shardCount, shards);
    std::vector<PieceRun> pieces(plan.shardCount);
    for (PieceRun &piece : pieces) piece.host = host;
    std::string listing, errors;
    int32_t membersDone = 0, errorCount = 0;
    std::vector<std::vector<double>> memberCounts, decrementCounts, benefitCashflows;
    for (int k = 0; k < plan.shardCount; ++k) {
        runPiece(pieces[k], input, members, dir, &plan, k);
        listing += pieces[k].listing;
        errors += pieces[k].errors;
        membersDone += pieces[k].membersDone;
        errorCount += pieces[k].errorCount;
        memberCounts.push_back(pieces[k].host.memberCounts);
        decrementCounts.push_back(pieces[k].host.decrementCounts);
        benefitCashflows.push_back(pieces[k].host.benefitCashflows);
    }
    fs::current_path(saved);

    EXPECT_EQ(listing, whole.listing);
    EXPECT_EQ(errors, whole.errors);
    EXPECT_EQ(membersDone, whole.membersDone);
    EXPECT_EQ(errorCount, whole.errorCount);
    expectSums(whole.host.memberCounts, memberCounts, "memberCounts");
    expectSums(whole.host.decrementCounts, decrementCounts, "decrementCounts");
    expectSums(whole.host.benefitCashflows, benefitCashflows, "benefitCashflows");
    fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(ReferenceFiles, ShardedRun,
                         ::testing::Combine(::testing::Values("mixed-a", "mixed-b", "mixed-c",
                                                              "status1-in-service"),
                                            ::testing::Values(1, 2, 3, 7)));

TEST(MemberShards, PiecesStartAfterLineFeedsAndCoverTheFile) {
    const fs::path dir = makeScratchDirectory("plan");
    const fs::path members = dir / "members.txt";
    std::string bytes;
    for (int i = 0; i < 100; ++i) bytes += "M" + std::to_string(i) + ",A,40,M,\r\n";
    bytes += "last,A,40,M,"; // no line feed
    writeWholeFile(members, bytes);
    std::vector<int16_t> columnMap(21);
    columnMap[1] = 1;
    columnMap[2] = 2;
    ShardPlan plan;
    ASSERT_TRUE(planMemberShards(members.string().c_str(), 4, 2, columnMap.data(), plan));
    ASSERT_EQ(plan.shardCount, 4);
    EXPECT_EQ(plan.firstByte[0], 0);
    int64_t covered = 0;
    for (int k = 0; k < plan.shardCount; ++k) {
        EXPECT_EQ(plan.firstByte[k], covered);
        if (k > 0) {
            EXPECT_EQ(bytes[plan.firstByte[k] - 1], '\n');
        }
        covered += k + 1 < plan.shardCount ? plan.byteCount[k] : 0;
    }
    EXPECT_EQ(plan.byteCount[plan.shardCount - 1], -1);
    // the second piece carries the member number of the line before it
    const size_t lineStart = bytes.rfind('\n', plan.firstByte[1] - 2) + 1;
    const std::string previous = bytes.substr(lineStart, bytes.find(',', lineStart) - lineStart);
    EXPECT_EQ(std::string(plan.carried[1].memberNumber).substr(0, previous.size()), previous);
    fs::remove_all(dir);
}

TEST(MemberShards, MissingFileHasNoPlan) {
    ShardPlan plan;
    std::vector<int16_t> columnMap(21);
    EXPECT_FALSE(planMemberShards("/no/such/members.txt", 2, 2, columnMap.data(), plan));
}

} // namespace

namespace {

// Runs [firstByte, firstByte + byteCount) of the file with the given carried
// identity and returns the listing.
std::string listingOfPiece(const fs::path &dir, const std::string &members, TestHost &host,
                           const ShardPlan *plan, int k) {
    const std::string listing = (dir / ("piece-listing" + std::to_string(k))).string();
    const std::string errors = (dir / ("piece-errors" + std::to_string(k))).string();
    int32_t done = 0, errorCount = 0;
    RunRequest request{};
    request.memberFile = members.c_str();
    request.listingFile = listing.c_str();
    request.errorFile = errors.c_str();
    request.delimiterCode = 2;
    request.membersDone = &done;
    request.errorCount = &errorCount;
    request.host = host.arrays();
    if (plan != nullptr) {
        request.firstByte = plan->firstByte[k];
        request.byteCount = plan->byteCount[k];
        request.carried = &plan->carried[k];
        request.listingHeaders = k == 0;
    }
    runValuation(request);
    return readWholeFile(listing) + readWholeFile(errors);
}

// Runs of lines that carry the member number and status over (empty lines,
// lines without those columns) put piece boundaries far from the line that
// set them.
TEST(MemberShards, IdentityIsFoundAcrossLinesThatCarryItOver) {
    const fs::path dir = makeScratchDirectory("carry");
    const fs::path saved = fs::current_path();
    fs::current_path(dir);
    std::string bytes;
    for (int i = 0; i < 40; ++i) {
        bytes += "N" + std::to_string(i) + ",S" + std::to_string(i % 7) + ",\n";
        for (int j = 0; j < i % 9; ++j) bytes += j % 2 == 0 ? "\n" : "\r\n";
        if (i % 5 == 0) bytes += std::string(700, 'x') + "\n"; // read in two pieces
    }
    const std::string members = (dir / "members.txt").string();
    writeWholeFile(members, bytes);
    TestHost host;
    host.columnMap[1] = 1;
    host.columnMap[2] = 2;
    const std::string whole = listingOfPiece(dir, members, host, nullptr, 99);
    for (int shards : {2, 5, 11, 23}) {
        ShardPlan plan;
        ASSERT_TRUE(planMemberShards(members.c_str(), shards, 2, host.columnMap.data(), plan));
        for (int k = 0; k < plan.shardCount; ++k) listingOfPiece(dir, members, host, &plan, k);
        // the listing and log of each piece follow each other in file order
        std::string joinedListing, joinedErrors;
        for (int k = 0; k < plan.shardCount; ++k) {
            joinedListing += readWholeFile(dir / ("piece-listing" + std::to_string(k)));
            joinedErrors += readWholeFile(dir / ("piece-errors" + std::to_string(k)));
        }
        EXPECT_EQ(joinedListing + joinedErrors, whole) << shards << " pieces";
    }
    fs::current_path(saved);
    fs::remove_all(dir);
}

} // namespace
