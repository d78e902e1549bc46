#include "thermo/thermoLoader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "parameterSetWriter.h"

using namespace korvane;
using namespace korvane::thermoTest;

namespace {

constexpr int A = 1, C = 2, G = 3, U = 4, I = 5;
constexpr int ENTHALPY_SHIFT = -300;  // every enthalpy is its free energy less 30 kcal/mol

TEST(adjustValueTest, FreeEnergyAtAnotherTemperature) {
    EXPECT_EQ(adjustValue(298.15, -33, -80), -35);
    EXPECT_EQ(adjustValue(273.15, -33, -80), -39);
    EXPECT_EQ(adjustValue(353.15, 34, 0), 39);
    for (double t : {273.15, 310.15, 353.15})
        for (int h : {-500, 0, 14000}) EXPECT_EQ(adjustValue(t, INFINITE, h), INFINITE);
    EXPECT_EQ(adjustValue(298.15, 10, INFINITE), 551);  // only the free energy marks a forbidden cell
    for (int g : {-340, -1, 0, 7, 1250})
        for (int h : {-1500, 0, 900}) {
            EXPECT_EQ(adjustValue(310.15, g, h), g);
            EXPECT_EQ(adjustValue(static_cast<float>(310.15), g, h), g);
        }
}

TEST(buildParameterPathsTest, FolderPrefixNameSuffix) {
    parameterPaths paths;
    buildParameterPaths(paths, "./dat/", true, false);
    EXPECT_EQ(paths[loopFile], "./dat/loop.dat");
    EXPECT_EQ(paths[miscloopFile], "./dat/miscloop.dat");
    EXPECT_EQ(paths[tstacki1nFile], "./dat/tstacki1n.dat");
    buildParameterPaths(paths, "./dat/", false, true);
    EXPECT_EQ(paths[loopFile], "./dat/dnaloop.dh");
    EXPECT_EQ(paths[int22File], "./dat/dnaint22.dh");
    buildParameterPaths(paths, "./dat//", true, false);
    EXPECT_EQ(paths[loopFile], "./dat//loop.dat");
}

class loaderTest : public ::testing::Test {
protected:
    scratchFolder folder{"loader"};
    std::string dir = folder.path().string();

    void SetUp() override { writeSet(folder.path(), defaultSet()); }

    void writeEnthalpies() {
        auto files = defaultSet(ENTHALPY_SHIFT);
        auto misc = defaultMiscRecords();
        misc[0] = "9.9";  // not used by the adjustment
        misc[2] = "-1.0 -1.0 -1.0 -1.0";
        misc[7] = "3.7";
        files[miscloopFile] = miscText(misc);
        writeSet(folder.path(), files, "", ".dh");
    }
};

TEST_F(loaderTest, LoadsHoldsAndHandsOver) {
    thermoLoader loader(true);
    EXPECT_FALSE(loader.loaded);
    EXPECT_EQ(loader.tables(), nullptr);
    ASSERT_EQ(loader.loadTables(dir.c_str()), 0);
    EXPECT_TRUE(loader.loaded);
    ASSERT_NE(loader.tables(), nullptr);
    EXPECT_EQ(loader.tables()->stack[A][U][C][G], quadValue(1, A, U, C, G));
    paramTables* first = loader.tables();
    first->stack[A][U][C][G] = 999;
    ASSERT_EQ(loader.loadTables((dir + "/").c_str()), 0);  // "dir//loop.dat" opens the same files
    EXPECT_EQ(loader.tables(), first);                      // reread into the same object
    EXPECT_EQ(first->stack[A][U][C][G], quadValue(1, A, U, C, G));
    std::unique_ptr<paramTables> taken = loader.releaseTables();
    EXPECT_EQ(taken.get(), first);
    EXPECT_EQ(loader.tables(), nullptr);
    ASSERT_EQ(loader.loadTables(dir.c_str()), 0);  // after a hand-over a reload needs new tables
    ASSERT_NE(loader.tables(), nullptr);
    EXPECT_NE(loader.tables(), first);
}

TEST_F(loaderTest, NullFolderMeansDat) {
    writeSet(folder.path() / "dat", defaultSet(7));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    thermoLoader byNull(true), byName(true);
    int nullResult = byNull.loadTables(nullptr);
    int nameResult = byName.loadTables("./dat");
    std::filesystem::current_path(previous);
    ASSERT_EQ(nullResult, 0);
    ASSERT_EQ(nameResult, 0);
    EXPECT_EQ(byNull.tables()->stack[A][U][C][G], quadValue(1, A, U, C, G) + 7);
    EXPECT_EQ(byNull.tables()->int22[C][C][G][G][G][A][A][G], byName.tables()->int22[C][C][G][G][G][A][A][G]);
}

TEST_F(loaderTest, DnaFileNames) {
    writeSet(folder.path() / "dna", defaultSet(3), "dna");
    thermoLoader dna(false);
    ASSERT_EQ(dna.loadTables((dir + "/dna").c_str()), 0);
    EXPECT_EQ(dna.tables()->hairpinLoop[5], 205 + 3);
    thermoLoader rna(true);
    EXPECT_EQ(rna.loadTables((dir + "/dna").c_str()), LOAD_FAILED);
}

TEST_F(loaderTest, MissingFileFailsWithoutTables) {
    std::filesystem::remove(folder.path() / "coaxstack.dat");
    thermoLoader loader(true);
    EXPECT_EQ(loader.loadTables(dir.c_str()), 5);
    EXPECT_FALSE(loader.loaded);
    EXPECT_EQ(loader.tables(), nullptr);
    writeSet(folder.path(), defaultSet());
    ASSERT_EQ(loader.loadTables(dir.c_str()), 0);
    std::filesystem::remove(folder.path() / "tloop.dat");
    EXPECT_EQ(loader.loadTables(dir.c_str()), 5);  // a failed reload releases the tables too
    EXPECT_FALSE(loader.loaded);
    EXPECT_EQ(loader.tables(), nullptr);
}

TEST_F(loaderTest, TemperatureBounds) {
    // no ".dh" files exist: only an adjustment would need them
    for (double t : {310.15, 310.14, 310.159}) {
        thermoLoader loader(true, t);
        EXPECT_EQ(loader.loadTables(dir.c_str()), 0) << t;
        EXPECT_EQ(loader.tables()->stack[A][U][C][G], quadValue(1, A, U, C, G)) << t;
    }
    for (double t : {310.16, 310.17, 298.15}) {
        thermoLoader loader(true, t);
        EXPECT_EQ(loader.loadTables(dir.c_str()), 5) << t;
        EXPECT_FALSE(loader.loaded);
        ASSERT_NE(loader.tables(), nullptr) << t;  // the unadjusted tables stay held
        EXPECT_EQ(loader.tables()->stack[A][U][C][G], quadValue(1, A, U, C, G)) << t;
    }
    thermoLoader loader(true);
    ASSERT_EQ(loader.loadTables(dir.c_str()), 0);
    loader.temperature = 300.0;
    EXPECT_EQ(loader.loadTables(dir.c_str()), 5);
    EXPECT_TRUE(loader.loaded);  // a failed enthalpy read leaves loaded as it was
    EXPECT_EQ(loader.tables()->tstackh[A][U][A][A], quadValue(2, A, U, A, A));
}

TEST_F(loaderTest, AdjustsEveryFreeEnergy) {
    writeEnthalpies();
    thermoLoader plain(true);
    ASSERT_EQ(plain.loadTables(dir.c_str()), 0);
    const paramTables& g = *plain.tables();
    thermoLoader warm(true, 330.0);
    ASSERT_EQ(warm.loadTables(dir.c_str()), 0);
    const paramTables& t = *warm.tables();
    const double T = static_cast<float>(330.0);
    auto shifted = [&](int g37) { return adjustValue(T, g37, g37 + ENTHALPY_SHIFT); };
    ASSERT_NE(shifted(0), 0);
    int wrong = 0;
    for (int a = 1; a <= 4; ++a)
        for (int b = 1; b <= 4; ++b)
            for (int c = 1; c <= 4; ++c)
                for (int d = 1; d <= 4; ++d)
                    for (auto field : {&paramTables::stack, &paramTables::tstackh, &paramTables::tstacki, &paramTables::tstacki23,
                                       &paramTables::tstacki1n, &paramTables::tstack, &paramTables::tstackm,
                                       &paramTables::coaxial, &paramTables::tstackcoax, &paramTables::coaxstack})
                        wrong += (t.*field)[a][b][c][d] != shifted((g.*field)[a][b][c][d]);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(t.dangle[G][C][A][1], shifted(g.dangle[G][C][A][1]));
    EXPECT_EQ(t.dangle[G][C][A][2], shifted(g.dangle[G][C][A][2]));
    EXPECT_EQ(t.int11[C][G][C][G][G][G], shifted(g.int11[C][G][C][G][G][G]));
    EXPECT_EQ(t.int21[C][G][A][A][A][G][C], shifted(g.int21[C][G][A][A][A][G][C]));
    EXPECT_EQ(t.int22[C][C][G][G][G][A][A][G], shifted(g.int22[C][C][G][G][G][A][A][G]));
    EXPECT_EQ(t.hairpinLoop[30], shifted(g.hairpinLoop[30]));
    EXPECT_EQ(t.tloop[2][1], shifted(g.tloop[2][1]));  // paired by position
    EXPECT_EQ(t.tloop[2][0], g.tloop[2][0]);           // keys untouched
    EXPECT_EQ(t.triloop[1][1], shifted(g.triloop[1][1]));
    // linker and unknown cells: INFINITE stays, 0 cells follow their enthalpy
    EXPECT_EQ(t.stack[A][U][I][G], INFINITE);
    EXPECT_EQ(t.int11[I][A][A][U][A][A], INFINITE);
    EXPECT_EQ(t.tstacki[A][U][I][G], 0);
    // scalars: asymmetry -1.0 in the .dh reads as -9 (truncated)
    EXPECT_EQ(t.asymmetryPenalty[2], adjustValue(T, 5, -9));
    EXPECT_EQ(t.terminalAuPenalty, adjustValue(T, 5, 37));
    EXPECT_EQ(t.loopConst[5], adjustValue(T, 34, 34));
    EXPECT_EQ((std::array{t.loopConst[7], t.loopConst[8], t.loopConst[9]}), (std::array{30, 30, -500}));
    EXPECT_EQ(t.loopExtrapolation, g.loopExtrapolation * static_cast<float>(330.0) / 310.15f);
    EXPECT_EQ(t.rtKcal, RT_KCAL_37 * static_cast<float>(330.0) / 310.15f);
    EXPECT_EQ(t.tloopCount, g.tloopCount);
}

TEST_F(loaderTest, AdjustmentJustAboveTheUpperBound) {
    writeEnthalpies();
    thermoLoader loader(true, 310.16);
    ASSERT_EQ(loader.loadTables(dir.c_str()), 0);
    EXPECT_NE(loader.tables()->rtKcal, RT_KCAL_37);  // the adjustment ran
    EXPECT_EQ(loader.tables()->stack[A][U][C][G], quadValue(1, A, U, C, G));  // too small a step to show
    ASSERT_EQ(loader.loadTables(dir.c_str()), 0);  // a reload scales from the 37 C value again
    EXPECT_EQ(loader.tables()->rtKcal, RT_KCAL_37 * static_cast<float>(310.16) / 310.15f);
}

}  // namespace
