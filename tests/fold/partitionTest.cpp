#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <span>
#include <string>

#include "bruteForce.h"
#include "fold/decoding.h"
#include "fold/modelEnergy.h"
#include "fold/partition.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"

namespace korvane::fold {
namespace {

using testing::forEachStructure;

const paramTables& tablesAt(double celsius) {
    static std::map<double, std::unique_ptr<paramTables>> loaded;
    auto& slot = loaded[celsius];
    if (!slot) slot = loadParameterSet("turner1999", celsius);
    return *slot;
}

std::string randomLetters(std::mt19937& random, int n, const char* alphabet = "ACGU") {
    std::string letters;
    const int size = static_cast<int>(std::char_traits<char>::length(alphabet));
    for (int p = 0; p < n; ++p) letters += alphabet[random() % size];
    return letters;
}

// The Boltzmann sum, pair marginals and lowest energy over every structure, from the evaluator.
struct exhaustive {
    double z = 0;
    std::map<std::pair<int, int>, double> pairWeight;
    int lowest = 0;
};

exhaustive enumerate(const energyModel& m) {
    exhaustive e;
    const double beta = 1.0 / (10.0 * m.tables.rtKcal);
    forEachStructure(m, [&](std::span<const int> pairs) {
        const modelEvaluation v = evaluateStructure(m, pairs);
        if (!v.allowed) return;
        const double weight = std::exp(-beta * v.energy);
        e.z += weight;
        e.lowest = std::min(e.lowest, v.energy);
        for (int i = 1; i <= m.n; ++i)
            if (pairs[i] > i) e.pairWeight[{i, pairs[i]}] += weight;
    });
    return e;
}

// Sequences rich in G and C fold tightly and so exercise interior and multibranch loops.
TEST(PartitionFunction, MatchesExhaustiveEnumeration) {
    std::mt19937 random(20261208);
    partitionFunction pf;  // one workspace for every length: reuse must not leak state
    for (int trial = 0; trial < 36; ++trial) {
        const int n = 8 + trial % 11;
        const double celsius = trial % 3 == 0 ? 37.0 : (trial % 3 == 1 ? 20.0 : 60.0);
        const rnaSequence s = makeSequence("r", randomLetters(random, n, trial % 2 ? "ACGU" : "GGCCAU"));
        const energyModel m(tablesAt(celsius), s.codes, n);
        const exhaustive e = enumerate(m);
        pf.compute(m);
        EXPECT_NEAR(pf.logPartition(), std::log(e.z), 1e-9) << s.letters;
        EXPECT_LE(pf.ensembleEnergy(), e.lowest / 10.0 + 1e-12) << s.letters;
        for (int i = 1; i <= n; ++i) {
            double sum = 0;
            for (int j = i + 1; j <= n; ++j) {
                const auto it = e.pairWeight.find({i, j});
                const double expected = it == e.pairWeight.end() ? 0.0 : it->second / e.z;
                EXPECT_NEAR(pf.probability(i, j), expected, 1e-9) << s.letters << " " << i << "-" << j;
            }
            for (int j = 1; j <= n; ++j) sum += j == i ? 0 : pf.probability(std::min(i, j), std::max(i, j));
            EXPECT_LE(sum, 1.0 + 1e-9);
            EXPECT_NEAR(pf.unpaired()[i], 1.0 - sum, 1e-9);
        }
    }
}

// Turner 2004's 1xn and 2x3 loops leave the factorised generic sum and are added one by one.
TEST(PartitionFunction, MatchesExhaustiveEnumerationWithTurner2004LoopShapes) {
    const auto turner2004 = loadParameterSet("turner2004");
    std::mt19937 random(2004);
    partitionFunction pf;
    testing::shapedLoopCount weighed;
    for (int trial = 0; trial < 24; ++trial) {
        const rnaSequence s = makeSequence("r", trial % 4 == 3 ? randomLetters(random, 14, "GGCCAU")
                                                               : testing::shapedLoopLetters(random, *turner2004));
        const energyModel m(*turner2004, s.codes, s.length());
        const exhaustive e = enumerate(m);
        forEachStructure(m, [&](std::span<const int> pairs) { testing::countShapedLoops(m, pairs, weighed); });
        pf.compute(m);
        EXPECT_NEAR(pf.logPartition(), std::log(e.z), 1e-9) << s.letters;
        for (int i = 1; i <= m.n; ++i)
            for (int j = i + 1; j <= m.n; ++j) {
                const auto it = e.pairWeight.find({i, j});
                const double expected = it == e.pairWeight.end() ? 0.0 : it->second / e.z;
                EXPECT_NEAR(pf.probability(i, j), expected, 1e-9) << s.letters << " " << i << "-" << j;
            }
    }
    EXPECT_GT(weighed.oneByN, 0);
    EXPECT_GT(weighed.twoByThree, 0);
    EXPECT_GT(weighed.hexaloops, 0);
}

// Long chains need the scale: unscaled, these weights pass 1e308 (GC repeats within 500 nt).
TEST(PartitionFunction, StaysFiniteOnLongSequences) {
    std::mt19937 random(11);
    partitionFunction pf;
    for (const auto& [n, alphabet] : {std::pair{700, "GC"}, std::pair{1000, "GGCCAU"}}) {
        const rnaSequence s = makeSequence("long", randomLetters(random, n, alphabet));
        const energyModel m(tablesAt(37.0), s.codes, n);
        pf.compute(m);
        EXPECT_GT(pf.rescales(), 0) << "the sequence was meant to need rescaling";
        EXPECT_TRUE(std::isfinite(pf.logPartition()));
        EXPECT_GT(pf.logPartition(), 709.0);  // ln of the largest double
        double sumAll = 0;
        for (int i = 1; i <= n; ++i) {
            double sum = 0;
            for (int j = 1; j <= n; ++j) {
                if (j == i) continue;
                const double p = pf.probability(std::min(i, j), std::max(i, j));
                ASSERT_TRUE(p >= 0.0 && p <= 1.0);
                sum += p;
            }
            EXPECT_LE(sum, 1.0 + 1e-9);
            sumAll += sum;
        }
        EXPECT_GT(sumAll, n * 0.2);  // a folded chain, not an underflow to nothing
    }
}

// Pairs within pairs closed by one outer pair: a multibranch loop, the sampler's longest path.
bool hasMultibranchLoop(std::span<const int> pairs) {
    const int n = static_cast<int>(pairs.size()) - 1;
    for (int i = 1; i <= n; ++i) {
        if (pairs[i] <= i) continue;
        int branches = 0;
        for (int p = i + 1; p < pairs[i]; ++p)
            if (pairs[p] > p) {
                ++branches;
                p = pairs[p];
            }
        if (branches >= 2) return true;
    }
    return false;
}

// The second sequence folds into a multibranch loop in about a tenth of its ensemble.
TEST(PartitionFunction, SamplesFollowTheProbabilities) {
    for (const char* letters : {"GGGAAACCCAGGCUUCGGCC", "GGAAGCGAUUCGUCGCAAGCGAUUCGUCGCAAUCC"}) {
        const rnaSequence s = makeSequence("s", letters);
        const energyModel m(tablesAt(37.0), s.codes, s.length());
        partitionFunction pf;
        pf.compute(m);
        constexpr int DRAWS = 20000;
        const auto drawn = pf.sample(DRAWS, 5);
        ASSERT_EQ(static_cast<int>(drawn.size()), DRAWS);
        std::map<std::pair<int, int>, int> counts;
        int multibranch = 0;
        for (const auto& pairs : drawn) {
            ASSERT_TRUE(evaluateStructure(m, pairs).allowed) << letters;
            multibranch += hasMultibranchLoop(pairs);
            for (int i = 1; i <= m.n; ++i)
                if (pairs[i] > i) ++counts[{i, pairs[i]}];
        }
        for (int i = 1; i <= m.n; ++i)
            for (int j = i + 1; j <= m.n; ++j) {
                const double p = pf.probability(i, j);
                const double frequency = counts[{i, j}] / static_cast<double>(DRAWS);
                EXPECT_LE(std::abs(frequency - p), 5 * std::sqrt(p * (1 - p) / DRAWS) + 1e-3) << letters << " " << i << "-" << j;
            }
        if (s.length() > 30) {
            EXPECT_GT(multibranch, DRAWS / 20) << letters;
        }
        EXPECT_EQ(pf.sample(3, 9), pf.sample(3, 9));
    }
}

double objective(std::span<const int> pairs, const partitionFunction& pf, double gamma) {
    double value = 0;
    for (int i = 1; i <= pf.length(); ++i) {
        if (pairs[i] == 0) value += pf.unpaired()[i];
        else if (pairs[i] > i) value += 2 * gamma * pf.probability(i, pairs[i]);
    }
    return value;
}

TEST(Decoding, MaximumExpectedAccuracyIsTheBestNestedStructure) {
    std::mt19937 random(3);
    partitionFunction pf;
    for (int trial = 0; trial < 16; ++trial) {
        const int n = 10 + trial % 7;
        const rnaSequence s = makeSequence("m", randomLetters(random, n, "GGCCAU"));
        const energyModel m(tablesAt(37.0), s.codes, n);
        pf.compute(m);
        for (const double gamma : {0.25, 1.0, 4.0}) {
            const auto listed = pf.pairs(0.0);
            const std::vector<int> chosen = maximumExpectedAccuracy(n, listed, pf.unpaired(), gamma);
            double best = -1;
            forEachStructure(m, [&](std::span<const int> pairs) { best = std::max(best, objective(pairs, pf, gamma)); });
            EXPECT_NEAR(objective(chosen, pf, gamma), best, 1e-12) << s.letters << " gamma " << gamma;
            for (int i = 1; i <= n; ++i)
                if (chosen[i] > i) {
                    EXPECT_TRUE(m.canPair(i, chosen[i]));
                }
        }
    }
}

TEST(Decoding, ThreshKnotKeepsMutualBestPairsAboveTheThreshold) {
    // Hand-made probabilities: 1-10 and 3-12 cross; 5's best partner is 14, not 9.
    const std::vector<pairProbability> listed = {{1, 10, 0.6}, {2, 9, 0.2},  {3, 12, 0.5}, {5, 9, 0.35},
                                                 {5, 14, 0.4}, {6, 14, 0.3}, {7, 13, 0.1}};
    const std::vector<int> chosen = threshKnot(14, listed, 0.3);
    std::vector<int> expected(15, 0);
    for (const auto& [i, j] : {std::pair{1, 10}, std::pair{3, 12}, std::pair{5, 14}}) expected[i] = j, expected[j] = i;
    EXPECT_EQ(chosen, expected);
    EXPECT_EQ(threshKnot(14, listed, 0.45)[5], 0);
    // The nested part keeps 1-10 (more probable) over the 3-12 that crosses it.
    const std::vector<int> nested = nestedByProbability(chosen, listed);
    EXPECT_EQ(nested[1], 10);
    EXPECT_EQ(nested[3], 0);
    EXPECT_EQ(nested[5], 0);  // 5-14 crosses 1-10 as well

    // Against real probabilities: the definition holds pair by pair.
    std::mt19937 random(8);
    const rnaSequence s = makeSequence("t", randomLetters(random, 120));
    const energyModel m(tablesAt(37.0), s.codes, s.length());
    partitionFunction pf;
    pf.compute(m);
    const auto all = pf.pairs(0.0);
    const std::vector<int> knot = threshKnot(m.n, all, 0.2);
    const auto prob = [&](int a, int b) { return a == b ? 0.0 : pf.probability(std::min(a, b), std::max(a, b)); };
    const auto topOf = [&](int a) {
        double top = 0;
        for (int b = 1; b <= m.n; ++b) top = std::max(top, prob(a, b));
        return top;
    };
    int kept = 0;
    for (int i = 1; i <= m.n; ++i) {
        const double top = topOf(i);
        if (knot[i] != 0) {
            ++kept;
            EXPECT_EQ(knot[knot[i]], i);
            EXPECT_GE(prob(i, knot[i]), 0.2);
            EXPECT_EQ(prob(i, knot[i]), top);
            EXPECT_EQ(prob(i, knot[i]), topOf(knot[i]));
        } else if (top >= 0.2) {
            // Left out although likely paired: its best partner has a better one of its own.
            for (int j = 1; j <= m.n; ++j)
                if (prob(i, j) == top) {
                    EXPECT_GT(topOf(j), top) << i << "-" << j;
                }
        }
    }
    EXPECT_GT(kept, 0);
}

TEST(Decoding, OversizedLoopsAreDroppedForTheModel) {
    // 1-60 around 36-56 leaves 34 + 3 unpaired: an internal loop the model cannot form.
    std::vector<int> pairs(61, 0);
    pairs[1] = 60, pairs[60] = 1, pairs[36] = 56, pairs[56] = 36, pairs[2] = 20, pairs[20] = 2;
    EXPECT_EQ(withinModel(pairs), pairs);  // a multibranch loop: any size is fine
    pairs[2] = pairs[20] = 0;
    std::vector<int> expected = pairs;
    expected[1] = expected[60] = 0;
    EXPECT_EQ(withinModel(pairs), expected);
}

}  // namespace
}  // namespace korvane::fold
