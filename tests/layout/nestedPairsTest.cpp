#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "layout/layout.h"
#include "layoutTestSupport.h"

namespace {

using korvane::layout::nestedSubset;
using korvane::testing::partnersOf;
using pairList = std::vector<std::pair<int, int>>;

bool cross(std::pair<int, int> a, std::pair<int, int> b) {
    return (a.first < b.first && b.first < a.second && a.second < b.second) ||
           (b.first < a.first && a.first < b.second && b.second < a.second);
}

pairList pairsOf(const std::vector<int>& table) {
    pairList found;
    for (int i = 1; i < static_cast<int>(table.size()); ++i)
        if (table[static_cast<size_t>(i)] > i) found.emplace_back(i, table[static_cast<size_t>(i)]);
    return found;
}

TEST(nestedSubsetKeeps, aNestedTableAsItIs) {
    const std::vector<int> pairs = partnersOf(korvane::testing::FIVE_S_BRACKETS);
    pairList dropped{{1, 2}};
    EXPECT_EQ(nestedSubset(pairs, &dropped), pairs);
    EXPECT_TRUE(dropped.empty());
}

TEST(nestedSubsetKeeps, theLongerHelixOfAPseudoknot) {
    pairList dropped;
    EXPECT_EQ(nestedSubset(partnersOf("[[..((((..]]..))))"), &dropped), partnersOf("....((((......))))"));
    EXPECT_EQ(dropped, (pairList{{1, 12}, {2, 11}}));
    // equal helices: the 5'-most stays
    EXPECT_EQ(nestedSubset(partnersOf("(((..[[[..)))..]]]")), partnersOf("(((.......)))....."));
}

TEST(nestedSubsetRejects, entriesThatAreNotMutualOrOutOfRange) {
    std::vector<int> pairs = partnersOf("((..))");
    pairs[3] = 6;   // 6 points back at 1
    pairs[4] = 99;  // beyond the sequence
    EXPECT_EQ(nestedSubset(pairs), partnersOf("((..))"));
}

TEST(nestedSubsetKeeps, aNestedMaximalShareOfRandomCrossingTables) {
    std::mt19937 rng(3);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 10 + static_cast<int>(rng() % 60);
        std::vector<int> pairs(static_cast<size_t>(n) + 1, 0);
        for (int attempt = 0; attempt < n / 2; ++attempt) {
            const int i = 1 + static_cast<int>(rng() % static_cast<unsigned>(n));
            const int j = 1 + static_cast<int>(rng() % static_cast<unsigned>(n));
            if (i == j || pairs[static_cast<size_t>(i)] != 0 || pairs[static_cast<size_t>(j)] != 0) continue;
            pairs[static_cast<size_t>(i)] = j;
            pairs[static_cast<size_t>(j)] = i;
        }
        pairList dropped;
        const std::vector<int> kept = nestedSubset(pairs, &dropped);
        const pairList keptPairs = pairsOf(kept);
        pairList all = keptPairs;
        all.insert(all.end(), dropped.begin(), dropped.end());
        std::sort(all.begin(), all.end());
        EXPECT_EQ(all, pairsOf(pairs)) << "kept and dropped together are the input";
        for (const auto& a : keptPairs)
            for (const auto& b : keptPairs) EXPECT_FALSE(cross(a, b)) << a.first << "-" << a.second;
        // nothing could have been kept as well: a dropped pair crosses something kept, unless its
        // helix partner was what crossed (helices go whole)
        for (const auto& d : dropped) {
            bool crossesKept = false;
            for (const auto& k : keptPairs) crossesKept = crossesKept || cross(d, k);
            bool helixMateCrosses = false;
            for (const auto& e : dropped) {
                const bool stacked = e.first + e.second == d.first + d.second && e != d;
                if (!stacked) continue;
                for (const auto& k : keptPairs) helixMateCrosses = helixMateCrosses || cross(e, k);
            }
            EXPECT_TRUE(crossesKept || helixMateCrosses) << d.first << "-" << d.second << " could have stayed";
        }
    }
}

}  // namespace
