// The shipped dat/ folder against worked examples of its conversion notes (dat/README.md).

#include <gtest/gtest.h>

#include <string>

#include "thermo/parameterReader.h"
#include "thermo/parameterSets.h"
#include "thermo/thermoLoader.h"

using namespace korvane;

namespace {

constexpr int A = 1, C = 2, G = 3, U = 4;

class shippedParametersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        thermoLoader loader(true);
        ::testing::internal::CaptureStderr();
        result = loader.loadTables(KORVANE_SOURCE_DIR "/dat");
        warnings = ::testing::internal::GetCapturedStderr();
        tables = loader.releaseTables().release();
    }
    static void TearDownTestSuite() {
        delete tables;
        tables = nullptr;
    }
    static inline int result = -1;
    static inline std::string warnings;
    static inline paramTables* tables = nullptr;
};

TEST_F(shippedParametersTest, LoadsCleanly) {
    EXPECT_EQ(result, 0);
    EXPECT_EQ(warnings, "");
    ASSERT_NE(tables, nullptr);
}

TEST_F(shippedParametersTest, HelixTables) {
    ASSERT_NE(tables, nullptr);
    const paramTables& t = *tables;
    EXPECT_EQ(t.stack[G][C][C][G], -34);
    EXPECT_EQ(t.stack[C][G][G][C], -24);
    EXPECT_EQ(t.stack[C][G][A][U], -21);
    EXPECT_EQ(t.stack[G][U][U][G], 13);
    EXPECT_EQ(t.stack[A][A][C][G], INFINITE);
    EXPECT_EQ(t.coaxial[G][C][A][U], -21);
    EXPECT_EQ(t.coaxial[C][G][G][C], -33);
    EXPECT_EQ(t.tstackcoax[G][G][A][U], -11);
    EXPECT_EQ(t.coaxstack[A][A][C][C], INFINITE);
    EXPECT_EQ(t.dangle[G][C][A][1], -11);
    EXPECT_EQ(t.dangle[U][A][U][1], -1);
    EXPECT_EQ(t.dangle[C][G][A][2], -2);
    EXPECT_EQ(t.dangle[G][C][C][2], -3);
    EXPECT_EQ(t.tstackm[C][G][G][A], -19);
    EXPECT_EQ(t.tstackm[A][U][G][G], -10);
}

TEST_F(shippedParametersTest, LoopTables) {
    ASSERT_NE(tables, nullptr);
    const paramTables& t = *tables;
    EXPECT_EQ(t.tstackh[C][G][G][A], -22);
    EXPECT_EQ(t.tstackh[C][G][A][G], -14);
    EXPECT_EQ(t.tstacki[C][G][A][G], -11);
    EXPECT_EQ(t.tstacki[G][U][A][A], 7);
    EXPECT_EQ(t.int11[C][G][C][G][G][G], -17);
    EXPECT_EQ(t.int11[C][C][C][G][A][G], 3);
    EXPECT_EQ(t.int21[C][G][A][A][A][G][C], 24);
    EXPECT_EQ(t.int21[C][G][A][G][A][G][C], 16);
    EXPECT_EQ(t.int22[C][C][G][G][G][A][A][G], -17);
    EXPECT_EQ(t.int22[A][A][U][U][G][A][A][G], 5);
    EXPECT_EQ(t.internalLoop[2], 41);
    EXPECT_EQ(t.hairpinLoop[21], 73);  // 725 dcal rounds up
    EXPECT_EQ(t.bulgeLoop[1], 38);
    EXPECT_EQ(t.hairpinLoop[1], INFINITE);
    ASSERT_EQ(t.tloopCount, 30);
    EXPECT_EQ(t.tloop[1][0], 7343);  // GGGGAC
    EXPECT_EQ(t.tloop[1][1], -30);
    EXPECT_EQ(t.triloopCount, 0);
    EXPECT_EQ(t.hexaloopCount, 0);
}

TEST_F(shippedParametersTest, MiscellaneousValues) {
    ASSERT_NE(tables, nullptr);
    const paramTables& t = *tables;
    EXPECT_NEAR(t.loopExtrapolation, 10.79f, 1e-5);
    EXPECT_EQ(t.asymmetryMax, 30);
    EXPECT_EQ(t.asymmetryPenalty[1], 5);
    EXPECT_EQ((std::array{t.mbEvalOffset, t.mbEvalPerUnpaired, t.mbEvalPerHelix}), (std::array{34, 0, 4}));
    EXPECT_EQ(t.terminalAuPenalty, 5);
    EXPECT_EQ(t.intermolecularInit, 41);
    EXPECT_EQ(t.gggHairpinBonus, -22);
}

TEST(shippedEnthalpiesTest, AdjustToRoomTemperature) {
    thermoLoader loader(true, 298.15);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(loader.loadTables(KORVANE_SOURCE_DIR "/dat"), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    // stack G-C/C-G: dG -3.4, dH -14.9
    EXPECT_EQ(loader.tables()->stack[G][C][C][G], adjustValue(static_cast<float>(298.15), -34, -149));
    EXPECT_EQ(loader.tables()->tloop[1][1], adjustValue(static_cast<float>(298.15), -30, -40));
}

}  // namespace

// The batch program's set has no 1xn or 2x3 mismatches of its own and no hexaloops, so the
// loop rules that read them leave its energies as they were, at any temperature.
TEST(shippedParameters, OneByNAndTwoByThreeMismatchesEqualTheInternalOnes) {
    for (double kelvin : {STANDARD_TEMPERATURE, STANDARD_TEMPERATURE - 27.0, STANDARD_TEMPERATURE + 23.0}) {
        thermoLoader loader(true, kelvin);
        ::testing::internal::CaptureStderr();
        ASSERT_EQ(loader.loadTables(KORVANE_SOURCE_DIR "/dat"), 0);
        ::testing::internal::GetCapturedStderr();
        const auto t = loader.releaseTables();
        EXPECT_EQ(t->tstacki1n, t->tstacki) << kelvin;
        EXPECT_EQ(t->tstacki23, t->tstacki) << kelvin;
        EXPECT_EQ(t->hexaloopCount, 0) << kelvin;
    }
}

// The learned set is defined at 37 C only: the exact algorithms' default falls back to the
// published Turner 2004 elsewhere, and asking for it elsewhere by name is an error.
TEST(shippedParameters, TheLearnedSetIsTheExactDefaultAt37COnly) {
    EXPECT_EQ(defaultParameterSet(false), DEFAULT_PARAMETER_SET);
    EXPECT_EQ(defaultParameterSet(false, 25.0), DEFAULT_PARAMETER_SET);
    EXPECT_EQ(defaultParameterSet(true), "learned");
    EXPECT_EQ(defaultParameterSet(true, 25.0), "turner2004");
    EXPECT_NO_THROW(loadParameterSet(defaultParameterSet(true, 25.0), 25.0));
    EXPECT_THROW(loadParameterSet("learned", 25.0), parameterError);
}
