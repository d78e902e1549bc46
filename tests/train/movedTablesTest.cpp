#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "../fold/bruteForce.h"
#include "fold/mfe.h"
#include "fold/modelEnergy.h"
#include "fold/partition.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"
#include "train/parameterLayout.h"

namespace korvane::train {
namespace {

// Learned tables lose the regularities of the published ones (monotone loop lengths, equal
// mismatch tables, small bonuses); the fast paths of mfe and the partition function must stay
// exact on whatever values training writes.
TEST(MovedTables, ExactAlgorithmsStayExactOnArbitraryCells) {
    const auto turner = loadParameterSet("turner2004");
    const parameterLayout layout(*turner);
    std::mt19937 random(20);
    fold::partitionFunction pf;
    fold::mfeWorkspace workspace;
    for (int draw = 0; draw < 4; ++draw) {
        std::vector<double> theta = layout.initial();
        for (double& x : theta) x += static_cast<int>(random() % 41) - 20;
        auto moved = loadParameterSet("turner2004");
        layout.write(theta, *moved);
        for (int trial = 0; trial < 12; ++trial) {
            std::string letters;
            if (trial % 3 == 0) {
                letters = testing::shapedLoopLetters(random, *moved);
            } else {
                const std::string alphabet = trial % 3 == 1 ? "GGCCAU" : "ACGU";
                for (int p = 0; p < 13 + trial % 6; ++p) letters += alphabet[random() % alphabet.size()];
            }
            const rnaSequence s = makeSequence("m", letters);
            const fold::energyModel m(*moved, s.codes, s.length());
            const double beta = 1.0 / (10.0 * m.tables.rtKcal);
            int best = 0;
            double z = 0;
            testing::forEachStructure(m, [&](std::span<const int> pairs) {
                const auto e = fold::evaluateStructure(m, pairs);
                if (!e.allowed) return;
                best = std::min(best, e.energy);
                z += std::exp(-beta * e.energy);
            });
            std::vector<int> pairs;
            EXPECT_EQ(fold::minimumFreeEnergy(m, workspace, pairs), best) << draw << " " << letters;
            EXPECT_EQ(fold::evaluateStructure(m, pairs).energy, best) << letters;
            pf.compute(m);
            EXPECT_NEAR(pf.logPartition(), std::log(z), 1e-9) << draw << " " << letters;
        }
    }
}

}  // namespace
}  // namespace korvane::train
