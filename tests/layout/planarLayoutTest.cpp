#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "layout/layout.h"
#include "layoutTestSupport.h"

namespace {

using korvane::layout::layOutPlanar;
using korvane::layout::planarLayout;
using korvane::layout::point;
using korvane::testing::distance;
using korvane::testing::partnersOf;

constexpr double TOLERANCE = 1e-6;

point at(const planarLayout& drawn, int p) { return drawn.positions[static_cast<size_t>(p)]; }

// No two circles overlap, no bond crosses another; every stacked pair continues a straight
// ladder of unit steps; hairpin loops are regular polygons; the exterior lies on a line; no
// backbone segment runs through a circle or crosses a bond or another segment.
void expectGoodDrawing(const std::vector<int>& pairs, const std::string& what) {
    const planarLayout drawn = layOutPlanar(pairs);
    const int n = static_cast<int>(pairs.size()) - 1;
    ASSERT_EQ(drawn.positions.size(), pairs.size()) << what;
    for (int p = 1; p <= n; ++p) {
        ASSERT_TRUE(std::isfinite(at(drawn, p).x) && std::isfinite(at(drawn, p).y)) << what << " at " << p;
    }
    const auto overlaps = korvane::testing::overlappingCircles(drawn);
    EXPECT_TRUE(overlaps.empty()) << what << ": " << overlaps.size() << " overlaps, first " << overlaps[0].first
                                  << " and " << overlaps[0].second;
    const auto crossings = korvane::testing::crossingBonds(drawn);
    EXPECT_TRUE(crossings.empty()) << what << ": bonds of " << crossings[0].first << " and " << crossings[0].second
                                   << " cross";
    const auto backbone = korvane::testing::backboneFaults(drawn);
    EXPECT_TRUE(backbone.empty()) << what << ": " << backbone.size() << " backbone faults, first " << backbone[0];

    int depth = 0;
    for (int i = 1; i <= n; ++i) {
        const int j = drawn.nested[static_cast<size_t>(i)];
        if (j == 0 || j < i) {
            if (j != 0) --depth;
            if (depth == 0) {
                EXPECT_NEAR(at(drawn, i).y, 0, TOLERANCE) << what << ": exterior " << i;
            }
            continue;
        }
        if (depth == 0) {
            EXPECT_NEAR(at(drawn, i).y, 0, TOLERANCE) << what << ": exterior " << i;
        }
        ++depth;
        EXPECT_NEAR(distance(at(drawn, i), at(drawn, j)), 1, TOLERANCE) << what << ": bond " << i << "-" << j;
        if (i + 1 < j - 1 && drawn.nested[static_cast<size_t>(i + 1)] == j - 1) {
            EXPECT_NEAR(distance(at(drawn, i), at(drawn, i + 1)), 1, TOLERANCE) << what << ": step at " << i;
            // the next rung is the same vector moved along the helix: a straight ladder
            const point rung{at(drawn, j).x - at(drawn, i).x, at(drawn, j).y - at(drawn, i).y};
            const point next{at(drawn, j - 1).x - at(drawn, i + 1).x, at(drawn, j - 1).y - at(drawn, i + 1).y};
            EXPECT_NEAR(rung.x, next.x, TOLERANCE) << what << ": ladder at " << i;
            EXPECT_NEAR(rung.y, next.y, TOLERANCE) << what << ": ladder at " << i;
        }
        bool hairpin = true;
        for (int p = i + 1; p < j; ++p) hairpin = hairpin && drawn.nested[static_cast<size_t>(p)] == 0;
        // a lone pair lifts its loop's lowest nucleotides off the pair's line
        const bool lifted = i == 1 || j == n || drawn.nested[static_cast<size_t>(i - 1)] != j + 1;
        if (hairpin && j - i >= 3 && !lifted) {
            for (int p = i; p < j; ++p)
                EXPECT_NEAR(distance(at(drawn, p), at(drawn, p + 1)), 1, TOLERANCE) << what << ": hairpin side at " << p;
            // a regular polygon: every vertex as far from the centroid
            point centre{0, 0};
            for (int p = i; p <= j; ++p) {
                centre.x += at(drawn, p).x / (j - i + 1);
                centre.y += at(drawn, p).y / (j - i + 1);
            }
            for (int p = i + 1; p <= j; ++p)
                EXPECT_NEAR(distance(at(drawn, p), centre), distance(at(drawn, i), centre), TOLERANCE)
                    << what << ": hairpin ring at " << p;
        }
    }
}

TEST(planarLayoutGeometry, cloverleafAndFiveS) {
    expectGoodDrawing(partnersOf(korvane::testing::TRNA_BRACKETS), "tRNA");
    expectGoodDrawing(partnersOf(korvane::testing::TRNA_MEA_BRACKETS), "tRNA, mea fold");
    expectGoodDrawing(partnersOf(korvane::testing::FIVE_S_BRACKETS), "5S");
}

TEST(planarLayoutGeometry, smallAndDegenerateStructures) {
    expectGoodDrawing(std::vector<int>(1, 0), "empty");
    expectGoodDrawing(partnersOf("."), "one nucleotide");
    expectGoodDrawing(partnersOf("()"), "a lone pair with no loop");
    expectGoodDrawing(partnersOf("((()))"), "a helix with no loop");
    expectGoodDrawing(partnersOf("(.)(..)((...))"), "tiny hairpins");
    expectGoodDrawing(partnersOf(".........."), "open chain");
    expectGoodDrawing(partnersOf("((((((((((((((((((((((((((((((...))))))))))))))))))))))))))))))"), "long helix");
    // many short arms on one multiloop, which must grow for them to fit
    std::string star = "((";
    for (int arm = 0; arm < 30; ++arm) star += "((((((((....))))))))";
    star += "))";
    expectGoodDrawing(partnersOf(star), "thirty-arm junction");
    // arms with no unpaired nucleotides between them on the exterior line
    std::string row;
    for (int arm = 0; arm < 20; ++arm) row += "(((((((...(((...)))...(((...))))))))))";
    expectGoodDrawing(partnersOf(row), "a row of branched arms");
}

TEST(planarLayoutGeometry, randomNestedStructuresUpTo500) {
    std::mt19937 rng(15);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 20 + static_cast<int>(rng() % 481);
        expectGoodDrawing(korvane::testing::randomNested(rng, n), "random " + std::to_string(trial) + " of " +
                                                                       std::to_string(n) + " nt");
    }
}

TEST(planarLayoutGeometry, crossingPairsAreSetAsideAndTheRestLaidOut) {
    // H-type pseudoknot: the longer stem stays in the layout
    const std::vector<int> pairs = partnersOf("((((((...[[[..))))))..]]].");
    const planarLayout drawn = layOutPlanar(pairs);
    EXPECT_EQ(drawn.crossing, (std::vector<std::pair<int, int>>{{10, 25}, {11, 24}, {12, 23}}));
    EXPECT_EQ(drawn.nested, partnersOf("((((((........))))))......"));
    EXPECT_TRUE(korvane::testing::overlappingCircles(drawn).empty());
}

TEST(planarLayoutGeometry, anyPartnerTableGivesAGoodDrawingOfWhatItKeeps) {
    // garbage entries (negative, beyond n, not mutual, self) and crossing pairs
    std::mt19937 rng(99);
    for (int trial = 0; trial < 100; ++trial) {
        const int n = 1 + static_cast<int>(rng() % 200);
        std::vector<int> pairs(static_cast<size_t>(n) + 1, 0);
        for (int p = 1; p <= n; ++p) {
            if (rng() % 3 == 0) pairs[static_cast<size_t>(p)] = static_cast<int>(rng() % static_cast<unsigned>(n + 5)) - 2;
        }
        for (int attempt = 0; attempt < n / 3; ++attempt) {
            const int i = 1 + static_cast<int>(rng() % static_cast<unsigned>(n));
            const int j = 1 + static_cast<int>(rng() % static_cast<unsigned>(n));
            if (i == j) continue;
            pairs[static_cast<size_t>(i)] = j;
            pairs[static_cast<size_t>(j)] = i;
        }
        expectGoodDrawing(korvane::layout::nestedSubset(pairs), "nested subset of table " + std::to_string(trial));
        const planarLayout drawn = layOutPlanar(pairs);
        EXPECT_TRUE(korvane::testing::overlappingCircles(drawn).empty()) << "table " << trial;
        for (const auto& [i, j] : drawn.crossing) {
            EXPECT_EQ(pairs[static_cast<size_t>(i)], j);
            EXPECT_EQ(pairs[static_cast<size_t>(j)], i);
        }
    }
}

TEST(planarLayoutGeometry, isDeterministic) {
    std::mt19937 rng(7);
    const std::vector<int> pairs = korvane::testing::randomNested(rng, 400);
    const planarLayout first = layOutPlanar(pairs);
    const planarLayout second = layOutPlanar(pairs);
    for (size_t p = 1; p < pairs.size(); ++p) {
        EXPECT_EQ(first.positions[p].x, second.positions[p].x);
        EXPECT_EQ(first.positions[p].y, second.positions[p].y);
    }
}

}  // namespace
