#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../energy/energyTestSupport.h"
#include "../fold/bruteForce.h"
#include "fold/modelEnergy.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"
#include "train/loopFeatures.h"

namespace korvane::train {
namespace {

int sum(const paramTables& t, const loopFeatures& f) {
    long long e = f.fixed;
    for (const feature& x : f.cells) e += static_cast<long long>(x.count) * cellValue(t, x.at);
    return static_cast<int>(e);
}

std::string randomLetters(std::mt19937& random, int n) {
    std::string s;
    for (int p = 0; p < n; ++p) s += "ACGU"[random() % 4];
    return s;
}

// Every cell distinct (a wrong index shows), plus special hairpins that the sequences contain
// and the hexaloops of Turner 2004 (which shapedLetters places).
std::unique_ptr<paramTables> distinctWithSpecials(const std::vector<int>& code) {
    auto t = testing::distinctTables();
    int next = 350000;
    testing::fillCounting(t->tstacki1n, next, 1);
    next = 370000;
    testing::fillCounting(t->tstacki23, next, 1);
    const auto turner2004 = loadParameterSet("turner2004");
    t->hexaloopCount = turner2004->hexaloopCount;
    for (int e = 1; e <= t->hexaloopCount; ++e) t->hexaloop[e] = {turner2004->hexaloop[e][0], -50 - e};
    const auto key = [&code](int first, int length) {
        int k = 0, w = 1;
        for (int p = 0; p < length; ++p, w *= 5) k += code[first + p] * w;
        return k;
    };
    t->tloopCount = t->triloopCount = 2;
    t->tloop[1] = {key(1, 6), -31};
    t->tloop[2] = {key(7, 6), -33};
    t->triloop[1] = {key(1, 5), -41};
    t->triloop[2] = {key(13, 5), -43};
    return t;
}

// Pieces holding 1xn and 2x3 loops and hexaloops, one after another.
std::string shapedLetters(std::mt19937& random, int pieces) {
    static const auto turner2004 = loadParameterSet("turner2004");
    std::string s;
    for (int p = 0; p < pieces; ++p) s += testing::shapedLoopLetters(random, *turner2004);
    return s;
}

TEST(LoopFeatures, EveryTermSumsBackToTheModel) {
    std::mt19937 random(3);
    const auto turner = loadParameterSet("turner1999");
    const auto turner2004 = loadParameterSet("turner2004");
    for (int trial = 0; trial < 8; ++trial) {
        const rnaSequence s = makeSequence("r", trial % 2 ? shapedLetters(random, 3) : randomLetters(random, 48));
        const auto distinct = distinctWithSpecials(s.codes);
        for (const paramTables* t : {turner.get(), turner2004.get(), distinct.get()}) {
            const fold::energyModel m(*t, s.codes, s.length());
            loopFeatures f;
            for (int i = 1; i <= m.n; ++i)
                for (int j = i + fold::MIN_HAIRPIN + 1; j <= m.n; ++j) {
                    if (!m.canPair(i, j)) continue;
                    f.clear(), hairpinFeatures(m, i, j, f);
                    ASSERT_EQ(sum(*t, f), m.hairpin(i, j)) << i << "-" << j;
                    f.clear(), multiClosingFeatures(m, i, j, f);
                    ASSERT_EQ(sum(*t, f), m.multiClosing(i, j));
                    if (i > 1 && j < m.n) {  // a branch has its loop on both sides
                        f.clear(), multiBranchFeatures(m, i, j, f);
                        ASSERT_EQ(sum(*t, f), m.multiBranch(i, j));
                    }
                    f.clear(), exteriorBranchFeatures(m, i, j, f);
                    ASSERT_EQ(sum(*t, f), m.exteriorBranch(i, j));
                    for (int k = i + 1; k < j; ++k)
                        for (int l = j - 1; l > k + fold::MIN_HAIRPIN; --l) {
                            if (!m.canPair(k, l) || (k - i - 1) + (j - l - 1) > fold::MAX_INTERIOR) continue;
                            f.clear(), interiorFeatures(m, i, j, k, l, f);
                            ASSERT_EQ(sum(*t, f), m.interior(i, j, k, l)) << i << "-" << j << " " << k << "-" << l;
                        }
                }
            loopFeatures u;
            multiUnpairedFeatures(5, u);
            EXPECT_EQ(sum(*t, u), 5 * m.multiPerUnpaired());
        }
    }
}

TEST(LoopFeatures, StructuresSumBackToTheEvaluator) {
    std::mt19937 random(5);
    const auto turner = loadParameterSet("turner1999");
    const auto turner2004 = loadParameterSet("turner2004");
    for (int trial = 0; trial < 12; ++trial) {
        // At least 17 letters: distinctWithSpecials places a triloop at 13.
        std::string letters = trial % 2 ? shapedLetters(random, 1) : randomLetters(random, 17);
        if (letters.size() < 17) letters += randomLetters(random, 17 - static_cast<int>(letters.size()));
        const rnaSequence s = makeSequence("r", letters);
        const auto distinct = distinctWithSpecials(s.codes);
        for (const paramTables* t : {turner.get(), turner2004.get(), distinct.get()}) {
            const fold::energyModel m(*t, s.codes, s.length());
            int seen = 0;
            testing::forEachStructure(m, [&](std::span<const int> pairs) {
                const auto e = fold::evaluateStructure(m, pairs);
                if (!e.allowed || ++seen % 3 != 0) return;
                loopFeatures f;
                structureFeatures(m, pairs, f);
                EXPECT_EQ(sum(*t, f), e.energy);
            });
        }
    }
}

}  // namespace
}  // namespace korvane::train
