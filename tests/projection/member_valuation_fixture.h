// One member valued into zeroed host arrays over a hand-filled basis, with
// readers for the result blocks.
#pragma once

#include <memory>
#include <vector>

#include "core/member_record.h"
#include "projection/result_layout.h"
#include "projection/valuation.h"
#include "support/test_support.h"

struct MemberValuation {
    TestHost host;
    std::unique_ptr<Basis> basis = makeZeroBasis();
    HostArrays arrays{};
    MemberRecord member{};

    MemberValuation() {
        member.sex = 'M';
        member.maritalStatus = 'M';
        member.projectionYears = 111;
    }

    ValuationContext context() {
        arrays = host.arrays();
        return valuationContext(basis.get(), &arrays);
    }

    // The same death probability at ages from..to in every year.
    static void setMortality(MortalityTable &table, int from, int to, double q) {
        for (int age = from; age <= to; ++age)
            for (int year = 0; year < kProjectionSlots; ++year) table[age][year] = q;
    }

    double counted(int block, int year) const { return host.memberCounts[block + year]; }
    double events(int block, int year) const { return host.decrementCounts[block + year]; }
    double paid(int block, int year) const { return host.benefitCashflows[block + year]; }
};

// Sum of every element of the three result arrays outside the given
// (array, block) pairs; arrays: 0 memberCounts, 1 decrementCounts, 2 benefitCashflows.
struct BlockRef {
    int array;
    int block;
};
inline double sumOutside(const TestHost &host, const std::vector<BlockRef> &kept) {
    const std::vector<double> *arrays[3] = {&host.memberCounts, &host.decrementCounts,
                                            &host.benefitCashflows};
    double sum = 0.0;
    for (int a = 0; a < 3; ++a) {
        const std::vector<double> &values = *arrays[a];
        for (size_t i = 0; i < values.size(); ++i) {
            bool inKept = false;
            for (const BlockRef &ref : kept) {
                if (ref.array == a && static_cast<int>(i) >= ref.block &&
                    static_cast<int>(i) < ref.block + kBlockSlots)
                    inKept = true;
            }
            if (!inKept) sum += values[i] < 0 ? -values[i] : values[i];
        }
    }
    return sum;
}

// Sum of the absolute values of all three result arrays.
inline double sumOfAll(const TestHost &host) { return sumOutside(host, {}); }
