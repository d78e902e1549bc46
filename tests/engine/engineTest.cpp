#include <gtest/gtest.h>

#include <random>

#include "engine/engine.h"
#include "output/output.h"
#include "thermo/parameterSets.h"
#include "thermo/thermoLoader.h"

namespace {

using namespace korvane;

const paramTables& builtin() {
    static const auto tables = loadParameterSet("turner1999");
    return *tables;
}

std::string randomRna(std::mt19937& rng, int length) {
    std::string s;
    for (int p = 0; p < length; ++p) s += "ACGU"[rng() % 4];
    return s;
}

TEST(engine, aReusedWorkspaceFoldsAsAFreshOne) {
    std::mt19937 rng(9);
    foldWorkspace reused;
    const foldOptions options;
    for (int round = 0; round < 12; ++round) {
        const rnaSequence sequence = makeSequence("r", randomRna(rng, 30 + 97 * (round % 5)));
        foldWorkspace fresh;
        const foldResult a = foldSequence(sequence, builtin(), options, reused);
        const foldResult b = foldSequence(sequence, builtin(), options, fresh);
        EXPECT_EQ(a.pairs, b.pairs);
        EXPECT_EQ(a.energy, b.energy);
        EXPECT_EQ(a.passes, b.passes);
        EXPECT_EQ(a.stems, b.stems);
    }
}

TEST(engine, failuresAreTyped) {
    foldWorkspace workspace;
    foldOptions options;
    auto kindOf = [&](const std::string& letters) {
        try {
            foldSequence(makeSequence("t", letters), builtin(), options, workspace);
        } catch (const foldError& error) {
            return static_cast<int>(error.kind());
        }
        return -1;
    };
    EXPECT_EQ(kindOf("ACGUACGU"), static_cast<int>(foldErrorKind::noStem));
    options.stemPoolLimit = 3;
    EXPECT_EQ(kindOf("GGGGGAAAACCCCCAAAGGGGAAAACCCC"), static_cast<int>(foldErrorKind::stemPoolFull));
    options.algorithm = foldAlgorithm::mfe;
    options.stemPoolLimit = UNLIMITED_STEM_POOL;
    EXPECT_NE(kindOf("GGGGAAAACCCC"), -1);
    EXPECT_THROW(makeSequence("t", "ACGU-"), std::invalid_argument);
}

TEST(parameterSets, builtInSetsEqualTheirFoldersAtAnyTemperature) {
    ASSERT_FALSE(builtinParameterSets().empty());
    EXPECT_EQ(builtinParameterSets()[0], DEFAULT_PARAMETER_SET);
    for (double celsius : {37.0, 55.0}) {
        thermoLoader loader(true, celsius + 273.15);
        ASSERT_EQ(loader.loadTables(KORVANE_SOURCE_DIR "/dat"), LOAD_SUCCEEDED);
        const auto fromFiles = loader.releaseTables();
        const auto built = loadParameterSet("turner1999", celsius);
        const auto folder = loadParameterSet(KORVANE_SOURCE_DIR "/dat", celsius);
        for (const paramTables* t : {built.get(), folder.get()}) {
            EXPECT_EQ(t->stack, fromFiles->stack) << celsius;
            EXPECT_EQ(t->int22, fromFiles->int22) << celsius;
            EXPECT_EQ(t->tloop, fromFiles->tloop) << celsius;
            EXPECT_EQ(t->loopConst, fromFiles->loopConst) << celsius;
            EXPECT_FLOAT_EQ(t->rtKcal, fromFiles->rtKcal) << celsius;
        }
    }
    EXPECT_THROW(loadParameterSet("turner1066"), parameterError);
    EXPECT_THROW(loadParameterSet("turner1999", 1000.0), parameterError);
}

TEST(bracketNotation, nestedPairsUseParenthesesAndCrossingOnesFurtherPages) {
    auto line = [](std::vector<std::pair<int, int>> pairs, int n) {
        std::vector<int> table(n + 1, 0);
        for (auto [i, j] : pairs) {
            table[i] = j;
            table[j] = i;
        }
        return bracketNotation(table, n);
    };
    EXPECT_EQ(line({{1, 12}, {2, 11}}, 12), "((........))");
    EXPECT_EQ(line({{1, 6}, {4, 10}}, 10), "(..[.)...]");
    EXPECT_EQ(line({{1, 5}, {3, 8}, {6, 10}, {2, 9}}, 10), "([[.)(.]])");
    EXPECT_EQ(line({{1, 5}, {2, 7}, {3, 9}, {4, 11}, {6, 12}}, 12), "([{<)(].}.>)");
    EXPECT_EQ(line({}, 3), "...");
}

}  // namespace
