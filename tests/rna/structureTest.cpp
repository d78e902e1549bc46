#include "rna/structure.h"

#include <gtest/gtest.h>

using korvane::structure;

namespace {

structure withSequence(int n) {
    structure s(korvane::STRUCTURE_SLOTS);
    s.allocateSequence(n);
    s.nbases = n;
    return s;
}

TEST(structureGrowth, amplifyCopiesStructureOneAndGrowsPastCapacity) {
    structure s = withSequence(6);
    auto row = s.pairs(1);
    row[1] = 6;
    row[6] = 1;
    s.nstructs = 1;
    s.amplifyStem(1000);
    EXPECT_EQ(s.nstructs, 1000);
    EXPECT_EQ(s.capacity, 2002);
    for (int k : {2, 500, 1000}) {
        EXPECT_EQ(s.partner(k, 1), 6) << k;
        EXPECT_EQ(s.partner(k, 6), 1) << k;
    }
    EXPECT_EQ(s.partner(1, 1), 6);
}

TEST(structureGrowth, smallCountsOnlySetTheCount) {
    structure s = withSequence(4);
    s.pairs(1)[2] = 4;
    s.amplifyStem(1);
    EXPECT_EQ(s.nstructs, 1);
    EXPECT_FALSE(s.hasPairs(2));
    s.amplifyStem(0);
    EXPECT_EQ(s.nstructs, 0);
    EXPECT_EQ(s.capacity, korvane::STRUCTURE_SLOTS);
}

TEST(structureGrowth, growthKeepsOnlyStructuresBelowTheCountAndWithinLimit) {
    structure s(5);
    s.allocateSequence(3);
    s.nbases = 3;
    for (int k = 1; k <= 4; ++k) {
        s.energy[k] = -k;
        s.setLabel(k, "t" + std::to_string(k));
        s.pairs(k)[1] = 3;
    }
    s.nstructs = 4;
    s.growStructures();
    EXPECT_EQ(s.capacity, 10);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(s.energy[k], -k);
        EXPECT_EQ(s.label[k], "t" + std::to_string(k));
        EXPECT_EQ(s.partner(k, 1), 3);
    }
    // capacity - 1 was never saved aside: it comes back empty.
    EXPECT_EQ(s.energy[4], 0);
    EXPECT_EQ(s.label[4], "");
    EXPECT_EQ(s.partner(4, 1), 0);
}

TEST(structureSort, stableByEnergyWithRowsAndRefsButNotLabels) {
    structure s = withSequence(8);
    const int energies[] = {-50, -80, -80, -20};
    for (int k = 1; k <= 4; ++k) {
        s.energy[k] = energies[k - 1];
        s.stemref[k] = {k, k + 4, 1, k};
        auto row = s.pairs(k);
        row[k] = k + 4;
        row[k + 4] = k;
    }
    s.setLabel(1, "title");
    s.nstructs = 4;
    s.sortByEnergy();
    const int expectedFrom[] = {2, 3, 1, 4};
    for (int r = 1; r <= 4; ++r) {
        const int from = expectedFrom[r - 1];
        EXPECT_EQ(s.energy[r], energies[from - 1]);
        EXPECT_EQ(s.stemref[r][3], from);
        EXPECT_EQ(s.partner(r, from), from + 4);
    }
    EXPECT_EQ(s.label[1], "title");
}

TEST(structureSort, matchesInsertionSortOnManyTies) {
    structure s = withSequence(2);
    s.nstructs = 300;
    s.growStructures();
    std::vector<std::pair<int, int>> reference;
    for (int k = 1; k <= 300; ++k) {
        s.energy[k] = (k * 37) % 11 - 5;
        s.stemref[k] = {0, 0, 0, k};
        reference.push_back({s.energy[k], k});
    }
    for (size_t i = 1; i < reference.size(); ++i)
        for (size_t j = i; j > 0 && reference[j].first < reference[j - 1].first; --j)
            std::swap(reference[j], reference[j - 1]);
    s.sortByEnergy();
    for (int r = 1; r <= 300; ++r) EXPECT_EQ(s.stemref[r][3], reference[r - 1].second) << r;
}

TEST(structureLetters, baseLetterCoversEveryCode) {
    std::string letters;
    for (int code = 0; code <= 6; ++code) letters += korvane::baseLetter(code);
    EXPECT_EQ(letters, "XACGUI?");
}

TEST(structureLabels, longTitleKeepsFirst549) {
    structure s(3);
    s.setLabel(1, std::string(600, 'a'));
    EXPECT_EQ(s.label[1].size(), 549u);
}

}  // namespace
