#include <gtest/gtest.h>

#include <random>

#include "fold/modelEnergy.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"
#include "train/reference.h"

namespace korvane::train {
namespace {

int pairCount(const std::vector<int>& pairs) {
    int c = 0;
    for (int p = 1; p < static_cast<int>(pairs.size()); ++p) c += pairs[p] > p;
    return c;
}

bool nested(const std::vector<std::pair<int, int>>& chosen) {
    for (auto [a, b] : chosen)
        for (auto [c, d] : chosen)
            if (a < c && c < b && b < d) return false;
    return true;
}

// Random pseudoknotted references of canonical pairs: the reduction keeps as many pairs as the
// largest nested subset, and what it keeps the model can score.
TEST(ReduceReference, KeepsTheLargestNestedSubsetTheModelCanScore) {
    const auto tables = loadParameterSet("turner1999");
    std::mt19937 random(21);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 30 + trial % 50;
        std::string letters;
        for (int p = 0; p < n; ++p) letters += "ACGU"[random() % 4];
        const rnaSequence s = makeSequence("r", letters);
        const fold::energyModel m(*tables, s.codes, n);
        std::vector<int> pairs(n + 1, 0);
        std::vector<std::pair<int, int>> given;
        for (int attempt = 0; attempt < 200 && given.size() < 12; ++attempt) {
            const int i = 1 + static_cast<int>(random() % n), j = 1 + static_cast<int>(random() % n);
            if (i >= j || pairs[i] || pairs[j] || !m.canPair(i, j)) continue;
            pairs[i] = j, pairs[j] = i;
            given.push_back({i, j});
        }
        int best = 0;
        for (unsigned mask = 0; mask < (1u << given.size()); ++mask) {
            std::vector<std::pair<int, int>> chosen;
            for (size_t b = 0; b < given.size(); ++b)
                if (mask >> b & 1) chosen.push_back(given[b]);
            if (nested(chosen)) best = std::max(best, static_cast<int>(chosen.size()));
        }
        const reducedReference r = reduceReference(m, pairs);
        EXPECT_TRUE(fold::evaluateStructure(m, r.pairs).allowed) << fold::evaluateStructure(m, r.pairs).fault;
        EXPECT_EQ(static_cast<int>(given.size()) - r.crossingDropped, best);
        EXPECT_EQ(pairCount(r.pairs) + r.crossingDropped + r.unformableDropped, static_cast<int>(given.size()));
        for (int p = 1; p <= n; ++p)
            if (r.pairs[p] > p) {
                EXPECT_EQ(pairs[p], r.pairs[p]);  // only given pairs survive
            }
    }
}

TEST(ReduceReference, DropsTheOuterPairOfALoopBeyondTheTables) {
    const auto tables = loadParameterSet("turner1999");
    const rnaSequence s = makeSequence("b", "GG" + std::string(40, 'A') + "GGGAAACCC" + "CC");
    const fold::energyModel m(*tables, s.codes, s.length());
    std::vector<int> pairs(s.length() + 1, 0);
    const auto join = [&pairs](int i, int j) { pairs[i] = j, pairs[j] = i; };
    join(1, 53), join(2, 52), join(43, 51), join(44, 50), join(45, 49);
    const reducedReference r = reduceReference(m, pairs);
    // 2-52 around 43-51 is a bulge of 40; once it goes, 1-53 closes a bulge of 41 and goes too.
    EXPECT_EQ(r.unformableDropped, 2);
    EXPECT_EQ(r.pairs[1] + r.pairs[2], 0);
    EXPECT_EQ(r.pairs[43], 51);
}

}  // namespace
}  // namespace korvane::train
