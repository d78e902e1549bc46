#include "energy/loopTerms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "energyTestSupport.h"

namespace korvane {
namespace {

using namespace korvane::testing;

std::string joined(std::initializer_list<std::string> parts) {
    std::string out;
    for (const auto& part : parts) out += part;
    return out;
}

class loopTerms : public ::testing::Test {
protected:
    std::unique_ptr<paramTables> owned = distinctTables();
    paramTables& t = *owned;
};

TEST_F(loopTerms, stackReadsOuterThenInnerPairAndAddsItsConstant) {
    const auto code = codesOf("GACU");
    EXPECT_EQ(stackEnergy(t, code, 1, 4, 2, 3), t.stack[G][U][A][C] + t.loopConst[1]);
}

TEST_F(loopTerms, tetraloopKeyTakesTheFirstMatchWithNonZeroEnergy) {
    // C G A A A G: key 2 + 3*5 + 1*25 + 1*125 + 1*625 + 3*3125 = 10167.
    t.tloop[1] = {10167, 0};
    t.tloop[2] = {7343, -99};
    t.tloop[3] = {10167, -31};
    t.tloop[4] = {10167, -47};
    t.tloopCount = 4;
    const int base = t.tstackh[C][G][G][A] + t.hairpinLoop[4] + t.loopConst[4];
    EXPECT_EQ(hairpinEnergy(t, codesOf("CGAAAG"), 1, 6), base - 31);
    EXPECT_EQ(hairpinEnergy(t, codesOf("AACGAAAGA"), 3, 8), base - 31);
    // G G G G A C: key 7343.
    EXPECT_EQ(hairpinEnergy(t, codesOf("GGGGAC"), 1, 6),
              t.tstackh[G][C][G][A] + t.hairpinLoop[4] + t.loopConst[4] - 99);
    t.tloopCount = 2;  // entries past the count are not consulted
    EXPECT_EQ(hairpinEnergy(t, codesOf("CGAAAG"), 1, 6), base);
}

TEST_F(loopTerms, triloopTakesBonusAndAuPenaltyButNoMismatch) {
    // G A A A C: key 3 + 1*5 + 1*25 + 1*125 + 2*625 = 1408; U A A A A: key 784.
    t.triloop[1] = {1408, 0};
    t.triloop[2] = {1408, -13};
    t.triloop[3] = {1408, -20};
    t.triloopCount = 3;
    EXPECT_EQ(hairpinEnergy(t, codesOf("GAAAC"), 1, 5), t.hairpinLoop[3] + t.loopConst[4] - 13);
    EXPECT_EQ(hairpinEnergy(t, codesOf("UAAAA"), 1, 5), t.hairpinLoop[3] + t.loopConst[4] + t.terminalAuPenalty);
    t.triloop[2] = {784, -17};
    EXPECT_EQ(hairpinEnergy(t, codesOf("UAAAA"), 1, 5),
              t.hairpinLoop[3] + t.loopConst[4] + t.terminalAuPenalty - 17);
}

TEST_F(loopTerms, gggBonusNeedsTwoGuaninesBeforeAGuClosureFromPositionThree) {
    const int loop = t.tstackh[G][U][A][A] + t.hairpinLoop[4] + t.loopConst[4];
    EXPECT_EQ(hairpinEnergy(t, codesOf("GGGAAAAU"), 3, 8), loop + t.gggHairpinBonus);
    EXPECT_EQ(hairpinEnergy(t, codesOf("AGGGAAAAU"), 4, 9), loop + t.gggHairpinBonus);
    // At i = 2 the bonus needs position 0, which holds no base, even if its entry reads G.
    auto shortLead = codesOf("GGAAAAU");
    shortLead[0] = G;
    EXPECT_EQ(hairpinEnergy(t, shortLead, 2, 7), loop);
    EXPECT_EQ(hairpinEnergy(t, codesOf("AGGAAAAU"), 3, 8), loop);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GGGAAAAC"), 3, 8),
              t.tstackh[G][C][A][A] + t.hairpinLoop[4] + t.loopConst[4]);
}

TEST_F(loopTerms, allCLoopsUseTheThreeTermOrInterceptAndSlope) {
    EXPECT_EQ(hairpinEnergy(t, codesOf("GCCCC"), 1, 5), t.hairpinLoop[3] + t.loopConst[4] + t.polyC3);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GCCCCCC"), 1, 7),
              t.tstackh[G][C][C][C] + t.hairpinLoop[5] + t.loopConst[4] + t.polyCIntercept + 5 * t.polyCSlope);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GCCCCC"), 1, 6),
              t.tstackh[G][C][C][C] + t.hairpinLoop[4] + t.loopConst[4] + t.polyCIntercept + 4 * t.polyCSlope);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GCCACC"), 1, 6), t.tstackh[G][C][C][C] + t.hairpinLoop[4] + t.loopConst[4]);
}

TEST_F(loopTerms, shortHairpins) {
    EXPECT_EQ(hairpinEnergy(t, codesOf("GC"), 1, 2), INFINITE);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GAAU"), 1, 4), t.hairpinLoop[2] + t.loopConst[4] + 6);
    EXPECT_EQ(hairpinEnergy(t, codesOf("UAG"), 1, 3), t.hairpinLoop[1] + t.loopConst[4] + 6);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GAAC"), 1, 4), t.hairpinLoop[2] + t.loopConst[4]);
}

TEST_F(loopTerms, loopsPastThirtyTruncateTheLogarithmicTerm) {
    const auto hairpin31 = codesOf(joined({"G", std::string(31, 'A'), "C"}));
    const int base = t.tstackh[G][C][A][A] + t.hairpinLoop[30] + t.loopConst[4];
    // ln(31/30) = 0.03279: 30.4 gives 0.997 and 30.6 gives 1.003; truncation, not rounding or floor.
    t.loopExtrapolation = 30.4f;
    EXPECT_EQ(hairpinEnergy(t, hairpin31, 1, 33), base);
    t.loopExtrapolation = 30.6f;
    EXPECT_EQ(hairpinEnergy(t, hairpin31, 1, 33), base + 1);
    t.loopExtrapolation = -30.4f;
    EXPECT_EQ(hairpinEnergy(t, hairpin31, 1, 33), base);
    t.loopExtrapolation = -30.6f;
    EXPECT_EQ(hairpinEnergy(t, hairpin31, 1, 33), base - 1);

    // 10.79 * ln(45/30) = 4.375 for a 45-nucleotide bulge and a 20x25 internal loop.
    t.loopExtrapolation = 10.79f;
    const auto bulge = codesOf(joined({"G", std::string(45, 'A'), "CAAAGC"}));
    EXPECT_EQ(loopEnergy(t, bulge, 1, 52, 47, 51), t.bulgeLoop[30] + 4 + t.loopConst[2]);
    const auto internal = codesOf(joined({"G", std::string(20, 'U'), "CAAAG", std::string(25, 'U'), "C"}));
    EXPECT_EQ(loopEnergy(t, internal, 1, 52, 22, 26),
              t.tstacki[G][C][U][U] + t.tstacki[G][C][U][U] + t.internalLoop[30] + 4 + t.loopConst[3] +
                  std::min(t.asymmetryMax, 5 * t.asymmetryPenalty[2]));
}

TEST_F(loopTerms, bulges) {
    // One bulged nucleotide: the helix stacks across it and no terminal penalty applies.
    EXPECT_EQ(loopEnergy(t, codesOf("GACAAAGC"), 1, 8, 3, 7), t.stack[G][C][C][G] + t.bulgeLoop[1] + t.loopConst[2]);
    EXPECT_EQ(loopEnergy(t, codesOf("AAUAAAAU"), 1, 8, 3, 7), t.stack[A][U][U][A] + t.bulgeLoop[1] + t.loopConst[2]);
    EXPECT_EQ(loopEnergy(t, codesOf("GCAAAGAC"), 1, 8, 2, 6), t.stack[G][C][C][G] + t.bulgeLoop[1] + t.loopConst[2]);
    // Longer bulges pay both pairs' penalties.
    EXPECT_EQ(loopEnergy(t, codesOf("AAAUAAAAU"), 1, 9, 4, 8),
              t.bulgeLoop[2] + t.loopConst[2] + 2 * t.terminalAuPenalty);
    EXPECT_EQ(loopEnergy(t, codesOf("GAAACAAAGC"), 1, 10, 5, 9), t.bulgeLoop[3] + t.loopConst[2]);
}

TEST_F(loopTerms, hexaloopBonusGoesOnTopOfTheLoopsOwnTerms) {
    // A C A G U G U U: key 1 + 2*5 + 1*25 + 3*125 + 4*625 + 3*3125 + 4*15625 + 4*78125 = 387286.
    t.hexaloop[1] = {387286, -34};
    t.hexaloopCount = 1;
    const int base = t.tstackh[A][U][C][U] + t.hairpinLoop[6] + t.loopConst[4];
    EXPECT_EQ(hairpinEnergy(t, codesOf("ACAGUGUU"), 1, 8), base - 34);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GACAGUGUUC"), 2, 9), base - 34);
    // The same six letters in a loop of seven, or closed otherwise, take no bonus.
    EXPECT_EQ(hairpinEnergy(t, codesOf("ACAGUGUAU"), 1, 9), t.tstackh[A][U][C][A] + t.hairpinLoop[7] + t.loopConst[4]);
    EXPECT_EQ(hairpinEnergy(t, codesOf("GCAGUGUC"), 1, 8), t.tstackh[G][C][C][U] + t.hairpinLoop[6] + t.loopConst[4]);
    t.hexaloopCount = 0;
    EXPECT_EQ(hairpinEnergy(t, codesOf("ACAGUGUU"), 1, 8), base);
}

TEST_F(loopTerms, genericInternalLoopsAndTheirAsymmetry) {
    // Loops with a one-nucleotide side and the 2x3 loops read tables of their own.
    int next = 350000;
    fillCounting(t.tstacki1n, next, 1);
    next = 370000;
    fillCounting(t.tstacki23, next, 1);
    // G U | C AAA G | A C U | C: a 1x3 loop.
    const auto oneByThree = codesOf("GUCAAAGACUC");
    const int mismatches = t.tstacki1n[G][C][U][U] + t.tstacki1n[G][C][A][U];
    EXPECT_EQ(loopEnergy(t, oneByThree, 1, 11, 3, 7),
              mismatches + t.internalLoop[4] + t.loopConst[3] + 2 * t.asymmetryPenalty[1]);
    t.asymmetryMax = 100;
    EXPECT_EQ(loopEnergy(t, oneByThree, 1, 11, 3, 7), mismatches + t.internalLoop[4] + t.loopConst[3] + 100);
    t.asymmetryMax = 100000;
    // 3x3: no asymmetry.
    EXPECT_EQ(loopEnergy(t, codesOf("GAUUCAAAGCAUC"), 1, 13, 5, 9),
              t.tstacki[G][C][A][U] + t.tstacki[G][C][C][U] + t.internalLoop[6] + t.loopConst[3]);
    // 4x1 (G AAAA | C AAA G | U | C), 2x3 (G UA | C AAA G | ACU | C) and 3x2 (G ACU | C AAA G | AU | C).
    EXPECT_EQ(loopEnergy(t, codesOf("GAAAACAAAGUC"), 1, 12, 6, 10),
              t.tstacki1n[G][C][A][U] + t.tstacki1n[G][C][U][A] + t.internalLoop[5] + t.loopConst[3] +
                  std::min(t.asymmetryMax, 3 * t.asymmetryPenalty[1]));
    EXPECT_EQ(loopEnergy(t, codesOf("GUACAAAGACUC"), 1, 12, 4, 8),
              t.tstacki23[G][C][U][U] + t.tstacki23[G][C][A][A] + t.internalLoop[5] + t.loopConst[3] +
                  t.asymmetryPenalty[2]);
    EXPECT_EQ(loopEnergy(t, codesOf("GACUCAAAGAUC"), 1, 12, 5, 9),
              t.tstacki23[G][C][A][U] + t.tstacki23[G][C][A][U] + t.internalLoop[5] + t.loopConst[3] +
                  t.asymmetryPenalty[2]);
    // 5x3 reads the entry for a smaller side of two, not three.
    EXPECT_EQ(loopEnergy(t, codesOf("GAAAAACAAAGAAAC"), 1, 15, 7, 11),
              t.tstacki[G][C][A][A] + t.tstacki[G][C][A][A] + t.internalLoop[8] + t.loopConst[3] +
                  2 * t.asymmetryPenalty[2]);
}

TEST_F(loopTerms, specialInternalLoopsUseTheirExactIndexOrder) {
    // int11: G A | C AAA G | U C.
    EXPECT_EQ(loopEnergy(t, codesOf("GACAAAGUC"), 1, 9, 3, 7), t.int11[G][A][C][C][U][G]);
    // int21, single nucleotide 5': G A | C AAA G | U C U.
    EXPECT_EQ(loopEnergy(t, codesOf("GACAAAGUCU"), 1, 10, 3, 7), t.int21[G][U][A][C][U][C][G]);
    // int21, single nucleotide 3': G A U | C AAA G | C U.
    EXPECT_EQ(loopEnergy(t, codesOf("GAUCAAAGCU"), 1, 10, 4, 8), t.int21[G][C][C][U][A][U][G]);
    // int22: G A U | C AAA G | C A U.
    EXPECT_EQ(loopEnergy(t, codesOf("GAUCAAAGCAU"), 1, 11, 4, 8), t.int22[G][C][U][G][A][U][A][C]);
}

TEST_F(loopTerms, danglesAndTerminalPenalty) {
    const auto code = codesOf("AGCUI");
    EXPECT_EQ(danglingEnergy(t, code, 4, 1, 2, 1), t.dangle[U][A][G][1]);
    EXPECT_EQ(danglingEnergy(t, code, 4, 1, 3, 2), t.dangle[U][A][C][2]);
    EXPECT_EQ(danglingEnergy(t, code, 4, 1, 5, 1), 0);  // the linker takes no dangle
    EXPECT_EQ(auPenalty(t, code, 1, 4), t.terminalAuPenalty);
    EXPECT_EQ(auPenalty(t, code, 2, 4), t.terminalAuPenalty);
    EXPECT_EQ(auPenalty(t, code, 2, 3), 0);
    EXPECT_EQ(auPenalty(t, code, 1, 3), 0);
}

}  // namespace
}  // namespace korvane
