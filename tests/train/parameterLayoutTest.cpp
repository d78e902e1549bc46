#include <gtest/gtest.h>

#include <random>

#include "../fold/bruteForce.h"
#include "fold/modelEnergy.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"
#include "train/parameterLayout.h"

namespace korvane::train {
namespace {

TEST(ParameterLayout, ReproducesTheTablesAndMovesEnergiesByItsCounts) {
    const auto turner = loadParameterSet("turner1999");
    const parameterLayout layout(*turner);
    EXPECT_GT(layout.size(), 1000);
    EXPECT_LT(layout.size(), 5000);

    std::mt19937 random(11);
    std::vector<double> theta = layout.initial();
    for (double& x : theta) x += static_cast<int>(random() % 21) - 10;  // whole tenths: writing is exact
    auto moved = loadParameterSet("turner1999");
    layout.write(theta, *moved);
    auto same = loadParameterSet("turner1999");
    layout.write(layout.initial(), *same);

    for (int trial = 0; trial < 6; ++trial) {
        std::string letters;
        for (int p = 0; p < 16; ++p) letters += "ACGU"[random() % 4];
        const rnaSequence s = makeSequence("r", letters);
        const fold::energyModel original(*turner, s.codes, s.length());
        const fold::energyModel rewritten(*same, s.codes, s.length());
        const fold::energyModel shifted(*moved, s.codes, s.length());
        testing::forEachStructure(original, [&](std::span<const int> pairs) {
            const auto e = fold::evaluateStructure(original, pairs);
            if (!e.allowed) return;
            EXPECT_EQ(fold::evaluateStructure(rewritten, pairs).energy, e.energy);
            loopFeatures f;
            structureFeatures(shifted, pairs, f);
            const auto m = fold::evaluateStructure(shifted, pairs);
            if (m.allowed) {
                EXPECT_DOUBLE_EQ(layout.energy(f, theta, *moved), m.energy);
            }
            // The energy is linear in theta along each parameter: its slope is the count.
            std::vector<double> gradient(layout.size(), 0.0);
            layout.accumulate(f, 1.0, gradient);
            if (f.cells.empty()) return;
            const int p = layout.parameterOf(f.cells[random() % f.cells.size()].at);
            if (p < 0) return;
            std::vector<double> step = theta;
            step[p] += 1.0;
            EXPECT_DOUBLE_EQ(layout.energy(f, step, *moved) - layout.energy(f, theta, *moved), gradient[p]);
        });
    }
}

}  // namespace
}  // namespace korvane::train
