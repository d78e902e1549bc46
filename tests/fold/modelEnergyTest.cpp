#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>

#include "../energy/energyTestSupport.h"
#include "bruteForce.h"
#include "fold/modelEnergy.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"

namespace korvane::fold {
namespace {

using testing::forEachStructure;

const paramTables& turner() { return testing::turner1999(); }

using testing::pairsOf;

TEST(ModelEnergy, LoopsAddUpFromTheirTerms) {
    const rnaSequence s = makeSequence("m", "GGGGAAACCCAGGGAAACCCC");
    const energyModel m(turner(), s.codes, s.length());
    const auto stem = [&m](int i) {  // three pairs i..i+2 closing a hairpin of three
        return m.interior(i, i + 8, i + 1, i + 7) + m.interior(i + 1, i + 7, i + 2, i + 6) + m.hairpin(i + 2, i + 6);
    };
    EXPECT_EQ(evaluateStructure(m, pairsOf(".(((...))).........."  ".")).energy,
              stem(2) + m.exteriorBranch(2, 10));
    const auto two = evaluateStructure(m, pairsOf(".(((...))).(((...))).")); 
    EXPECT_EQ(two.energy, stem(2) + stem(12) + m.exteriorBranch(2, 10) + m.exteriorBranch(12, 20));
    const auto multi = evaluateStructure(m, pairsOf("((((...))).(((...))))"));
    ASSERT_TRUE(multi.allowed) << multi.fault;
    EXPECT_EQ(multi.energy, stem(2) + stem(12) + m.exteriorBranch(1, 21) + m.multiClosing(1, 21) +
                                m.multiBranch(2, 10) + m.multiBranch(12, 20) + m.multiPerUnpaired());
    // A helix spanning the whole chain has no neighbour to dangle.
    EXPECT_EQ(m.exteriorBranch(1, 21), 0);
}

TEST(ModelEnergy, RefusesWhatTheModelCannotForm) {
    const rnaSequence s = makeSequence("m", "G" + std::string(32, 'A') + "GAAACC");
    const energyModel m(turner(), s.codes, s.length());
    const int n = s.length();
    std::vector<int> pairs(n + 1, 0);
    pairs[1] = 3, pairs[3] = 1;
    EXPECT_NE(evaluateStructure(m, pairs).fault.find("1-3 is not A-U, C-G or G-U"), std::string::npos);
    pairs.assign(n + 1, 0);
    pairs[1] = n, pairs[n] = 1, pairs[34] = 38, pairs[38] = 34;  // a bulge of 32
    EXPECT_NE(evaluateStructure(m, pairs).fault.find("closed by 1-39"), std::string::npos);
    pairs[1] = pairs[n] = 0;
    EXPECT_TRUE(evaluateStructure(m, pairs).allowed);
    pairs[2] = 5;  // one-sided partner
    EXPECT_FALSE(evaluateStructure(m, pairs).allowed);

    const rnaSequence h = makeSequence("h", "GAACAAA");
    const energyModel mh(turner(), h.codes, h.length());
    pairs.assign(h.length() + 1, 0);
    pairs[1] = 4, pairs[4] = 1;
    EXPECT_NE(evaluateStructure(mh, pairs).fault.find("fewer than three"), std::string::npos);

    const rnaSequence x = makeSequence("x", "GGAAAAGGAAAACCAAAACC");
    const energyModel mx(turner(), x.codes, x.length());
    pairs.assign(x.length() + 1, 0);
    pairs[1] = 13, pairs[13] = 1, pairs[7] = 20, pairs[20] = 7;
    EXPECT_NE(evaluateStructure(mx, pairs).fault.find("crosses"), std::string::npos);
}

// The enumerator must see every structure once: its count equals a counting recursion.
TEST(ModelEnergy, EnumeratorVisitsEveryNestedStructureOnce) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 20; ++trial) {
        std::string letters;
        const int n = 4 + trial % 12;
        for (int p = 0; p < n; ++p) letters += "ACGU"[random() % 4];
        const rnaSequence s = makeSequence("r", letters);
        const energyModel m(turner(), s.codes, n);
        std::map<std::pair<int, int>, long long> memo;
        std::function<long long(int, int)> count = [&](int i, int j) -> long long {
            if (i >= j) return 1;
            if (auto it = memo.find({i, j}); it != memo.end()) return it->second;
            long long c = count(i + 1, j);
            for (int k = i + 1; k <= j; ++k)
                if (m.canPair(i, k)) c += count(i + 1, k - 1) * count(k + 1, j);
            return memo[{i, j}] = c;
        };
        long long seen = 0;
        std::set<std::vector<int>> distinct;
        forEachStructure(m, [&](std::span<const int> pairs) {
            ++seen;
            distinct.emplace(pairs.begin(), pairs.end());
        });
        EXPECT_EQ(seen, count(1, n)) << letters;
        EXPECT_EQ(static_cast<long long>(distinct.size()), seen) << letters;
    }
}

}  // namespace
}  // namespace korvane::fold
