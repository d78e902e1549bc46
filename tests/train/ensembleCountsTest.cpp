#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "../fold/bruteForce.h"
#include "fold/modelEnergy.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"
#include "train/ensembleCounts.h"

namespace korvane::train {
namespace {

// ln Z, p(i, j) and every expected count equal sums over all structures, for parameters moved
// off the published ones by fractions of a tenth.
TEST(EnsembleCounts, EqualSumsOverEveryStructure) {
    const auto turner = loadParameterSet("turner1999");
    const parameterLayout layout(*turner);
    std::mt19937 random(17);
    std::vector<double> theta = layout.initial();
    for (double& x : theta) x += std::uniform_real_distribution<double>(-8, 8)(random);
    auto real = realCopy(*turner);
    layout.write(theta, *real);
    const double beta = 1.0 / (10.0 * static_cast<double>(real->rtKcal));
    ensembleCounts ensemble;
    for (int trial = 0; trial < 12; ++trial) {
        std::string letters;
        for (int p = 0; p < 14 + trial % 5; ++p) letters += "GGCCAU"[random() % 6];
        const rnaSequence s = makeSequence("r", letters);
        const int n = s.length();
        const fold::energyModel cells(*turner, s.codes, n);
        const realModel m(*real, s.codes, n);
        std::vector<double> counts;
        const double logZ = ensemble.compute(m, cells, layout, counts);
        // A gain per pair, and the same pass carrying it.
        std::vector<double> pairGain((n + 1) * (n + 1));
        for (double& x : pairGain) x = std::uniform_real_distribution<double>(-2, 2)(random);
        std::vector<double> gainedCounts, gainCounts;
        double expectedGain = 0;
        const double gainedLogZ = ensemble.computeGain(m, cells, layout, gainedCounts, pairGain, gainCounts, expectedGain);

        double z = 0, gainSum = 0;
        std::vector<double> expected(layout.size(), 0.0), withGain(layout.size(), 0.0);
        std::vector<double> pairs((n + 1) * (n + 1), 0.0);
        testing::forEachStructure(cells, [&](std::span<const int> structure) {
            double e = 0;
            bool allowed = true;
            fold::forEachLoopTerm(m, structure, [&](double term, int, int) {
                allowed = allowed && term < INFINITE;
                e += term;
            });
            if (!allowed) return;
            const double weight = std::exp(-beta * e);
            z += weight;
            loopFeatures f;
            structureFeatures(cells, structure, f);
            layout.accumulate(f, weight, expected);
            double g = 0;
            for (int i = 1; i <= n; ++i)
                if (structure[i] > i) pairs[i * (n + 1) + structure[i]] += weight, g += pairGain[i * (n + 1) + structure[i]];
            gainSum += weight * g;
            layout.accumulate(f, weight * g, withGain);
        });
        ASSERT_NEAR(logZ, std::log(z), 1e-10) << letters;
        for (int p = 0; p < layout.size(); ++p)
            ASSERT_NEAR(counts[p], expected[p] / z, 1e-9) << layout.name(p) << " " << letters;
        ASSERT_NEAR(gainedLogZ, logZ, 1e-12);
        ASSERT_NEAR(expectedGain, gainSum / z, 1e-9) << letters;
        for (int p = 0; p < layout.size(); ++p) {
            ASSERT_NEAR(gainedCounts[p], counts[p], 1e-12);
            ASSERT_NEAR(gainCounts[p], withGain[p] / z - gainSum / z * expected[p] / z, 1e-9) << layout.name(p);
        }
        for (int i = 1; i <= n; ++i)
            for (int j = i + 1; j <= n; ++j) ASSERT_NEAR(ensemble.probability(i, j), pairs[i * (n + 1) + j] / z, 1e-10);
    }
}

// Holding pairs restricts the sums to the structures containing them: a few pairs of a random
// structure of the ensemble are held, the rest of the sequence folds freely.
TEST(EnsembleCounts, HeldPairsSumOverTheStructuresHoldingThem) {
    const auto turner = loadParameterSet("turner1999");
    const parameterLayout layout(*turner);
    std::mt19937 random(19);
    std::vector<double> theta = layout.initial();
    for (double& x : theta) x += std::uniform_real_distribution<double>(-5, 5)(random);
    auto real = realCopy(*turner);
    layout.write(theta, *real);
    const double beta = 1.0 / (10.0 * static_cast<double>(real->rtKcal));
    ensembleCounts ensemble;
    int tried = 0;
    while (tried < 10) {
        std::string letters;
        for (int p = 0; p < 15 + tried % 4; ++p) letters += "GGCCAU"[random() % 6];
        const rnaSequence s = makeSequence("r", letters);
        const int n = s.length();
        const fold::energyModel cells(*turner, s.codes, n);
        const realModel m(*real, s.codes, n);
        const auto energyOf = [&](std::span<const int> structure, double& e) {
            e = 0;
            bool allowed = true;
            fold::forEachLoopTerm(m, structure, [&](double term, int, int) {
                allowed = allowed && term < INFINITE;
                e += term;
            });
            return allowed;
        };
        std::vector<std::vector<int>> all;
        testing::forEachStructure(cells, [&](std::span<const int> structure) {
            double e;
            if (energyOf(structure, e) && std::count_if(structure.begin(), structure.end(), [](int x) { return x; }) >= 4)
                all.emplace_back(structure.begin(), structure.end());
        });
        if (all.empty()) continue;
        ++tried;
        std::vector<int> held = all[random() % all.size()];
        for (int i = 1; i <= n; ++i)  // keep about half of its pairs
            if (held[i] > i && random() % 2) held[held[i]] = 0, held[i] = 0;

        std::vector<double> counts;
        const double logZ = ensemble.compute(m, cells, layout, counts, held);
        double z = 0;
        std::vector<double> expected(layout.size(), 0.0);
        testing::forEachStructure(cells, [&](std::span<const int> structure) {
            double e;
            for (int i = 1; i <= n; ++i)
                if (held[i] != 0 && structure[i] != held[i]) return;
            if (!energyOf(structure, e)) return;
            const double weight = std::exp(-beta * e);
            z += weight;
            loopFeatures f;
            structureFeatures(cells, structure, f);
            layout.accumulate(f, weight, expected);
        });
        ASSERT_NEAR(logZ, std::log(z), 1e-10) << letters;
        for (int p = 0; p < layout.size(); ++p)
            ASSERT_NEAR(counts[p], expected[p] / z, 1e-9) << layout.name(p) << " " << letters;
    }
}

}  // namespace
}  // namespace korvane::train
