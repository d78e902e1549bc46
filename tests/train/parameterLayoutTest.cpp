#include <gtest/gtest.h>

#include <random>

#include "../fold/bruteForce.h"
#include "fold/modelEnergy.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"
#include "fold/model.h"
#include "train/parameterLayout.h"
#include "train/realTables.h"

namespace korvane::train {
namespace {

// Sequences of 16 random letters or, for every other one, a stem around a 1xn or 2x3 loop
// (with a hexaloop now and then), so that Turner 2004's own cells come into play.
std::string someLetters(std::mt19937& random, int trial, const paramTables& tables, int length) {
    if (trial % 2) return testing::shapedLoopLetters(random, tables);
    std::string letters;
    for (int p = 0; p < length; ++p) letters += "ACGU"[random() % 4];
    return letters;
}

TEST(ParameterLayout, ReproducesTheTablesAndMovesEnergiesByItsCounts) {
    for (const char* set : {"turner1999", "turner2004"}) {
        const auto turner = loadParameterSet(set);
        const parameterLayout layout(*turner);
        EXPECT_GT(layout.size(), 1000);
        EXPECT_LT(layout.size(), 5000);

        std::mt19937 random(11);
        std::vector<double> theta = layout.initial();
        for (double& x : theta) x += static_cast<int>(random() % 21) - 10;  // whole tenths: writing is exact
        auto moved = loadParameterSet(set);
        layout.write(theta, *moved);
        auto same = loadParameterSet(set);
        layout.write(layout.initial(), *same);

        for (int trial = 0; trial < 6; ++trial) {
            const std::string letters = someLetters(random, trial, *turner, 16);
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
}

// Real-valued tables score every loop as the integer ones do, and fractional parameters move
// a structure's energy exactly as its features say.
TEST(ParameterLayout, RealTablesScoreWithUnroundedParameters) {
    for (const char* set : {"turner1999", "turner2004"}) {
        const auto turner = loadParameterSet(set);
        const parameterLayout layout(*turner);
        auto real = realCopy(*turner);
        std::mt19937 random(13);
        std::vector<double> theta = layout.initial();
        for (double& x : theta) x += std::uniform_real_distribution<double>(-5, 5)(random);
        // The asymmetry's cap is a rule, not a cell: moved across it, a loop's features change.
        for (int p = 0; p < layout.size(); ++p)
            if (layout.name(p).starts_with("asymmetry")) theta[p] = layout.initial()[p];
        auto moved = realCopy(*turner);
        layout.write(theta, *moved);
        for (int trial = 0; trial < 4; ++trial) {
            const std::string letters = someLetters(random, trial, *turner, 15);
            const rnaSequence s = makeSequence("r", letters);
            const fold::energyModel exact(*turner, s.codes, s.length());
            const fold::basicEnergyModel<realTables> copy(*real, s.codes, s.length());
            const fold::basicEnergyModel<realTables> shifted(*moved, s.codes, s.length());
            testing::forEachStructure(exact, [&](std::span<const int> pairs) {
                const auto e = fold::evaluateStructure(exact, pairs);
                if (!e.allowed) return;
                double copied = 0, moved = 0;
                fold::forEachLoopTerm(copy, pairs, [&copied](double term, int, int) { copied += term; });
                fold::forEachLoopTerm(shifted, pairs, [&moved](double term, int, int) { moved += term; });
                EXPECT_EQ(copied, e.energy);
                loopFeatures f;
                structureFeatures(exact, pairs, f);
                EXPECT_NEAR(moved, layout.energy(f, theta, *turner), 1e-9) << set << " " << letters;
            });
        }
    }
}

}  // namespace
}  // namespace korvane::train
