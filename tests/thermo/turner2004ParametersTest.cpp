// The built-in turner2004 set (dat/turner2004/) against values read by hand from the published
// Turner 2004 parameter file, and against turner1999 where the two sets differ or agree.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "thermo/parameterSets.h"
#include "thermo/thermoLoader.h"

using namespace korvane;

namespace {

constexpr int A = 1, C = 2, G = 3, U = 4;

// Special-hairpin key: base-5 digits, 5' nucleotide least significant.
int hairpinKey(std::string_view letters) {
    constexpr std::string_view BASES = "ACGU";
    int key = 0;
    int weight = 1;
    for (char letter : letters) {
        key += static_cast<int>(BASES.find(letter) + 1) * weight;
        weight *= 5;
    }
    return key;
}

int specialBonus(const specialHairpins& list, int count, std::string_view letters) {
    for (int n = 1; n <= count; ++n)
        if (list[n][0] == hairpinKey(letters)) return list[n][1];
    return INFINITE;
}

class turner2004Test : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::testing::internal::CaptureStderr();
        set2004 = loadParameterSet("turner2004").release();
        set1999 = loadParameterSet("turner1999").release();
        warnings = ::testing::internal::GetCapturedStderr();
    }
    static void TearDownTestSuite() {
        delete set2004;
        delete set1999;
    }
    static inline paramTables* set2004 = nullptr;
    static inline paramTables* set1999 = nullptr;
    static inline std::string warnings;
};

TEST_F(turner2004Test, IsBuiltInAndLoadsCleanly) {
    const auto names = builtinParameterSets();
    EXPECT_NE(std::find(names.begin(), names.end(), "turner2004"), names.end());
    EXPECT_EQ(names.front(), "turner1999");
    EXPECT_EQ(warnings, "");
}

TEST_F(turner2004Test, PublishedHelixAndLoopValues) {
    const paramTables& t = *set2004;
    EXPECT_EQ(t.stack[C][G][G][C], -24);  // CG followed by CG, -240 dcal
    EXPECT_EQ(t.stack[G][C][C][G], -34);
    // the cell the converter mends from its mirror (the source's GU-AU cell is malformed)
    EXPECT_EQ(t.stack[G][U][U][A], -14);
    EXPECT_EQ(t.stack[A][U][U][G], -14);
    EXPECT_EQ((std::array{t.hairpinLoop[3], t.hairpinLoop[4], t.hairpinLoop[5], t.hairpinLoop[6]}),
              (std::array{54, 56, 57, 54}));
    EXPECT_EQ(t.internalLoop[4], 11);
    EXPECT_EQ(t.bulgeLoop[1], 38);
    EXPECT_EQ(t.tstackh[C][G][G][A], -23);
    EXPECT_EQ(t.tstacki1n[A][U][A][A], 7);  // 1xn loops: only the AU closure, 70 dcal
    EXPECT_EQ(t.int11[C][G][C][G][G][G], -22);
    EXPECT_EQ(t.int11[C][G][G][G][G][C], -14);
}

TEST_F(turner2004Test, PublishedMiscellaneousValues) {
    const paramTables& t = *set2004;
    EXPECT_EQ(t.terminalAuPenalty, 5);
    EXPECT_EQ((std::array{t.mbEvalOffset, t.mbEvalPerUnpaired, t.mbEvalPerHelix}), (std::array{93, 0, -9}));
    EXPECT_EQ((std::array{t.loopConst[5], t.loopConst[6], t.loopConst[10]}), (std::array{93, 0, -9}));
    EXPECT_EQ(t.asymmetryPenalty[1], 6);
    EXPECT_EQ(t.asymmetryMax, 30);
    EXPECT_EQ(t.intermolecularInit, 41);
}

TEST_F(turner2004Test, SpecialHairpinsAreBonusesOverTheLoopTerms) {
    const paramTables& t = *set2004;
    ASSERT_EQ(t.tloopCount, 16);
    ASSERT_EQ(t.triloopCount, 2);
    ASSERT_EQ(t.hexaloopCount, 4);
    // CUUCGG: total 3.7 less hairpin(4) 5.6 less the C-G mismatch U/G -1.0
    EXPECT_EQ(specialBonus(t.tloop, t.tloopCount, "CUUCGG"), -9);
    // CAACG: total 6.8 less hairpin(3) 5.4; a C-G closure carries no AU penalty
    EXPECT_EQ(specialBonus(t.triloop, t.triloopCount, "CAACG"), 14);
    // ACAGUGUU: total 1.8 less hairpin(6) 5.4 less the A-U mismatch C/U -0.2
    EXPECT_EQ(specialBonus(t.hexaloop, t.hexaloopCount, "ACAGUGUU"), -34);
}

TEST_F(turner2004Test, DiffersFromTurner1999WhereTheSetsDiffer) {
    const paramTables& n = *set2004;
    const paramTables& o = *set1999;
    EXPECT_NE(n.hairpinLoop[3], o.hairpinLoop[3]);
    EXPECT_NE(n.internalLoop[4], o.internalLoop[4]);
    EXPECT_NE(n.tstackh[C][G][G][A], o.tstackh[C][G][G][A]);
    EXPECT_NE(n.int11[C][G][C][G][G][G], o.int11[C][G][C][G][G][G]);
    EXPECT_NE(n.mbEvalOffset, o.mbEvalOffset);
    EXPECT_NE(n.tloopCount, o.tloopCount);
    // the helix tables of the two publications agree
    EXPECT_EQ(n.stack[C][G][G][C], o.stack[C][G][G][C]);
    EXPECT_EQ(n.stack[G][U][U][A], o.stack[G][U][U][A]);
    EXPECT_EQ(n.dangle[G][C][A][1], o.dangle[G][C][A][1]);
    EXPECT_EQ(n.terminalAuPenalty, o.terminalAuPenalty);
}

TEST(turner2004Enthalpies, AdjustToRoomTemperature) {
    ::testing::internal::CaptureStderr();
    const auto t = loadParameterSet("turner2004", 25.0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    const auto kelvin = static_cast<float>(298.15);
    EXPECT_EQ(t->hairpinLoop[4], adjustValue(kelvin, 56, 48));  // dH 480 dcal
    EXPECT_EQ(t->bulgeLoop[1], adjustValue(kelvin, 38, 106));
    EXPECT_EQ(t->stack[G][C][C][G], adjustValue(kelvin, -34, -149));
}

}  // namespace
