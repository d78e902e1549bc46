#include <gtest/gtest.h>

#include <random>

#include "engine/engine.h"
#include "fold/decoding.h"
#include "fold/modelEnergy.h"
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

// Asking for the ensemble leaves the greedy structure alone; decoded structures carry the
// model energy of what they print, and the listed probabilities are consistent.
TEST(engine, ensembleFieldsAndDecodedEnergies) {
    std::mt19937 rng(4);
    foldWorkspace workspace;
    for (int round = 0; round < 6; ++round) {
        const rnaSequence sequence = makeSequence("e", randomRna(rng, 40 + 53 * round));
        const int n = sequence.length();
        foldOptions options;
        const foldResult plain = foldSequence(sequence, builtin(), options, workspace);
        options.probabilities = true;
        options.samples = 3;
        const foldResult with = foldSequence(sequence, builtin(), options, workspace);
        EXPECT_EQ(with.pairs, plain.pairs);
        EXPECT_EQ(with.energy, plain.energy);
        EXPECT_FALSE(plain.hasEnsemble);
        ASSERT_TRUE(with.hasEnsemble);
        EXPECT_EQ(with.sampled.size(), 3u);
        ASSERT_EQ(static_cast<int>(with.pairedProbability.size()), n + 1);
        std::vector<double> paired(n + 1, 0.0);
        for (size_t k = 0; k < with.pairProbabilities.size(); ++k) {
            const auto& pair = with.pairProbabilities[k];
            ASSERT_TRUE(1 <= pair.i && pair.i < pair.j && pair.j <= n);
            if (k > 0) {
                const auto& before = with.pairProbabilities[k - 1];
                EXPECT_LT(std::pair(before.i, before.j), std::pair(pair.i, pair.j));
            }
            paired[pair.i] += pair.p;
            paired[pair.j] += pair.p;
        }
        for (int p = 1; p <= n; ++p) EXPECT_NEAR(paired[p], with.pairedProbability[p], 1e-4);

        const fold::energyModel model(builtin(), sequence.codes, n);
        for (const foldAlgorithm algorithm : {foldAlgorithm::mea, foldAlgorithm::threshknot}) {
            options.algorithm = algorithm;
            const foldResult decoded = foldSequence(sequence, builtin(), options, workspace);
            EXPECT_DOUBLE_EQ(decoded.ensembleEnergy, with.ensembleEnergy);
            // Nested at the default threshold (crossing pairs would need p <= 0.5); threshknot
            // keeps pairs around loops the model cannot score and reports the energy without them.
            const std::vector<int> scored =
                algorithm == foldAlgorithm::mea ? decoded.pairs : fold::withinModel(decoded.pairs);
            const fold::modelEvaluation evaluation = fold::evaluateStructure(model, scored);
            ASSERT_TRUE(evaluation.allowed) << evaluation.fault;
            EXPECT_EQ(decoded.energy, evaluation.energy);
            EXPECT_GE(decoded.energy / 10.0, with.ensembleEnergy - 1e-9);
        }
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
    options.beam = 5;  // no beam in this build
    EXPECT_EQ(kindOf("GGGGAAAACCCC"), static_cast<int>(foldErrorKind::unsupported));
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
