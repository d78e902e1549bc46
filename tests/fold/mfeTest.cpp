#include "fold/mfe.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bruteForce.h"
#include "fold/modelEnergy.h"
#include "rna/sequence.h"
#include "thermo/parameterSets.h"

namespace korvane::fold {
namespace {

using testing::forEachStructure;

const paramTables& turner() { return testing::turner1999(); }

struct exhaustive {
    int best = 0;
    std::vector<int> first;  // the lexicographically first optimal partner table
    int optimal = 0;         // how many structures reach best
};

// maxSpan > 0: only structures whose pairs i-j all have j - i <= maxSpan.
exhaustive byEnumeration(const energyModel& m, int maxSpan = ANY_SPAN) {
    exhaustive e;
    bool any = false;
    forEachStructure(m, [&](std::span<const int> pairs) {
        if (maxSpan > 0)
            for (int p = 1; p <= m.n; ++p)
                if (pairs[p] - p > maxSpan) return;
        const modelEvaluation s = evaluateStructure(m, pairs);
        if (!s.allowed) return;
        const std::vector<int> table(pairs.begin(), pairs.end());
        if (!any || s.energy < e.best) {
            any = true;
            e = {s.energy, table, 1};
        } else if (s.energy == e.best) {
            ++e.optimal;
            if (table < e.first) e.first = table;
        }
    });
    return e;
}

std::string randomLetters(std::mt19937& random, int length, const std::string& alphabet) {
    std::string letters;
    for (int p = 0; p < length; ++p) letters += alphabet[random() % alphabet.size()];
    return letters;
}

// The optimum, the structure (first optimal table) and its re-evaluated energy, against brute force.
void expectExhaustiveOptimum(const paramTables& tables, const std::string& letters, int* ties = nullptr) {
    const rnaSequence s = makeSequence("t", letters);
    const energyModel m(tables, s.codes, s.length());
    mfeWorkspace workspace;
    std::vector<int> pairs;
    const int energy = minimumFreeEnergy(m, workspace, pairs);
    const exhaustive e = byEnumeration(m);
    EXPECT_EQ(energy, e.best) << letters;
    EXPECT_EQ(pairs, e.first) << letters;
    const modelEvaluation again = evaluateStructure(m, pairs);
    EXPECT_TRUE(again.allowed) << letters << ": " << again.fault;
    EXPECT_EQ(again.energy, energy) << letters;
    if (ties != nullptr && e.optimal > 1) ++*ties;
}

TEST(Mfe, EqualsExhaustiveSearchOnRandomShortSequences) {
    std::mt19937 random(20261208);
    int ties = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 6 + trial % 13;
        // Every fifth sequence is G/C/U only (many pairs, deep nesting) or holds unknown letters.
        const std::string alphabet = trial % 5 == 0 ? "GCU" : trial % 5 == 1 ? "ACGUX" : "ACGU";
        expectExhaustiveOptimum(turner(), randomLetters(random, n, alphabet), &ties);
    }
    EXPECT_GT(ties, 0) << "no tie was met: the tie rule went untested";
}

// Turner 2004 gives 1xn and 2x3 loops mismatch tables of their own and has hexaloops; the
// vectorised loop scan must take each shape's table. The second set favours those loops, so
// that optima hold them often.
TEST(Mfe, EqualsExhaustiveSearchWithTurner2004LoopShapes) {
    const auto turner2004 = loadParameterSet("turner2004");
    auto favoured = loadParameterSet("turner2004");
    for (auto* grid : {&favoured->tstacki1n, &favoured->tstacki23})
        for (auto& a : *grid)
            for (auto& b : a)
                for (auto& c : b)
                    for (int& cell : c)
                        if (cell < INFINITE) cell -= 15;
    std::mt19937 random(2004);
    testing::shapedLoopCount seen;
    for (int trial = 0; trial < 160; ++trial) {
        const paramTables& tables = trial % 2 ? *favoured : *turner2004;
        const std::string letters = trial % 4 == 3 ? randomLetters(random, 12 + trial % 7, "GGCCAU")
                                                   : testing::shapedLoopLetters(random, tables);
        expectExhaustiveOptimum(tables, letters);
        const rnaSequence s = makeSequence("t", letters);
        const energyModel m(tables, s.codes, s.length());
        mfeWorkspace workspace;
        std::vector<int> pairs;
        minimumFreeEnergy(m, workspace, pairs);
        testing::countShapedLoops(m, pairs, seen);
    }
    EXPECT_GT(seen.oneByN, 0);
    EXPECT_GT(seen.twoByThree, 0);
    EXPECT_GT(seen.hexaloops, 0);
}

TEST(Mfe, EqualsExhaustiveSearchOnHandMadeCases) {
    for (const char* letters : {"X", "XXXXXXXXXXXX", "AAAAAAAAAAAAAAAAAAAAAA", "AAGAAGAGGAAGAGG", "G", "GC", "GAC",
                                "GAAC", "GAAAC", "GCAUG",
                                "GGGGGAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAACCCCC",     // a hairpin of 36
                                "GGGAGGGAAACCCAGGGAAACCCACCC",                        // a multiloop
                                "GGXGGGAAAXCCCXGGGXAAACCCXCC"}) {
        expectExhaustiveOptimum(turner(), letters);
    }
}

// Both helices cannot form at once and cost the same: X neighbours dangle nothing and the two
// stacks and hairpin mismatches are each other's rotation.
// The hand-made multiloop case is only worth its place if the optimum really holds one.
TEST(Mfe, TheHandMadeMultiloopIsOne) {
    const rnaSequence s = makeSequence("multi", "GGGAGGGAAACCCAGGGAAACCCACCC");
    const energyModel m(turner(), s.codes, s.length());
    mfeWorkspace workspace;
    std::vector<int> pairs;
    minimumFreeEnergy(m, workspace, pairs);
    ASSERT_EQ(pairs[1], s.length());
    int closing = 1;
    while (pairs[closing + 1] == pairs[closing] - 1) ++closing;  // the outer helix's last pair
    int branches = 0;
    for (int p = closing + 1; p < pairs[closing]; p = pairs[p] > p ? pairs[p] + 1 : p + 1) branches += pairs[p] > p;
    EXPECT_EQ(branches, 2);
}

TEST(Mfe, TiesGoToTheLexicographicallyFirstTable) {
    const std::string letters = "GGGXXXXCCCXXXXGGG";
    const rnaSequence s = makeSequence("tie", letters);
    const energyModel m(turner(), s.codes, s.length());
    ASSERT_GT(byEnumeration(m).optimal, 1);
    mfeWorkspace workspace;
    std::vector<int> pairs;
    minimumFreeEnergy(m, workspace, pairs);
    EXPECT_EQ(pairs[1], 0);  // position 1 may stay unpaired, so it does: the 3' helix wins
    EXPECT_EQ(pairs[8], 17);
    std::vector<int> again;
    minimumFreeEnergy(m, workspace, again);
    EXPECT_EQ(again, pairs);
}

// Tables that make some generic interior loops forbidden take the loop-by-loop path; it must
// refuse exactly what the evaluator refuses.
TEST(Mfe, ForbiddenInteriorLoopsAreNeverUsed) {
    const auto tables = makeParamTables();
    *tables = turner();
    for (int size = 4; size <= 6; ++size) tables->internalLoop[size] = INFINITE;
    tables->bulgeLoop[3] = INFINITE;
    std::mt19937 random(11);
    for (int trial = 0; trial < 60; ++trial)
        expectExhaustiveOptimum(*tables, randomLetters(random, 12 + trial % 7, "GCU"));
}

TEST(Mfe, ASpanLimitEqualsExhaustiveSearchOverShortPairs) {
    std::mt19937 random(23);
    mfeWorkspace workspace;
    for (int trial = 0; trial < 80; ++trial) {
        const std::string letters = randomLetters(random, 10 + trial % 9, trial % 2 ? "GCU" : "ACGU");
        const int span = 4 + trial % 11;
        const rnaSequence s = makeSequence("t", letters);
        const energyModel m(turner(), s.codes, s.length());
        std::vector<int> pairs;
        const int energy = minimumFreeEnergy(m, workspace, pairs, span);
        const exhaustive e = byEnumeration(m, span);
        EXPECT_EQ(energy, e.best) << letters << " span " << span;
        EXPECT_EQ(pairs, e.first) << letters << " span " << span;
    }
    // A limit the sequence never reaches changes nothing, on a long one too.
    const rnaSequence s = makeSequence("long", randomLetters(random, 700, "ACGU"));
    const energyModel m(turner(), s.codes, s.length());
    std::vector<int> exact, limited, narrow;
    EXPECT_EQ(minimumFreeEnergy(m, workspace, limited, 699), minimumFreeEnergy(m, workspace, exact));
    EXPECT_EQ(limited, exact);
    const int local = minimumFreeEnergy(m, workspace, narrow, 150);
    EXPECT_EQ(evaluateStructure(m, narrow).energy, local);
    for (int p = 1; p <= s.length(); ++p) EXPECT_LE(narrow[p] - p, 150);
}

TEST(Mfe, LongSequencesReEvaluateToTheReportedEnergyAndReuseTheWorkspace) {
    std::mt19937 random(5);
    mfeWorkspace reused;
    for (int n : {1000, 200, 640, 333}) {
        const rnaSequence s = makeSequence("long", randomLetters(random, n, "ACGU"));
        const energyModel m(turner(), s.codes, n);
        std::vector<int> pairs, fresh;
        const int energy = minimumFreeEnergy(m, reused, pairs);
        const modelEvaluation again = evaluateStructure(m, pairs);
        ASSERT_TRUE(again.allowed) << again.fault;
        EXPECT_EQ(again.energy, energy) << n;
        mfeWorkspace other;
        EXPECT_EQ(minimumFreeEnergy(m, other, fresh), energy);
        EXPECT_EQ(fresh, pairs);
        EXPECT_LT(energy, 0);
    }
}

}  // namespace
}  // namespace korvane::fold
