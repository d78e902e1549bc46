#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "assembly/detail/foldJob.h"
#include "assemblyTestSupport.h"

namespace {

using korvane::foldJob;
using ref = std::array<int, 4>;

class candidatesTest : public ::testing::Test {
protected:
    korvane::testing::jobMaker files;
    std::unique_ptr<foldJob> job = files.make(std::string(60, 'A'));

    // Candidates 1..n with these energies, sorted as given, and a pool of n stems.
    void sortedEnergies(const std::vector<int>& energies) {
        std::vector<korvane::stem> stems(energies.size(), korvane::stem{1, 20, 3});
        korvane::testing::setPool(*job, stems);
        job->subStructure.nstructs = static_cast<int>(energies.size());
        for (size_t k = 0; k < energies.size(); ++k) job->subStructure.energy[k + 1] = energies[k];
        job->computeEnergyDiff();
    }
    // Runs action in a child whose standard input is empty and whose output goes to a file;
    // returns what it printed, and expects the exit status 1.
    std::string fatalOutput(const std::function<void()>& action) {
        const std::string out = (files.dir() / "fatal.out").string();
        EXPECT_EXIT(
            {
                if (!std::freopen("/dev/null", "r", stdin) || !std::freopen(out.c_str(), "w", stdout)) std::abort();
                action();
                std::exit(0);
            },
            ::testing::ExitedWithCode(1), "");
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(candidatesTest, buildsOneCandidatePerStemAndPerPseudohelix) {
    korvane::testing::setPool(*job, {{1, 20, 3}, {5, 15, 2}, {22, 40, 4}, {30, 38, 1}, {45, 60, 3}});
    job->numOfPseudoHelices = 2;
    auto final = job->finalStructure.pairs(1);
    final[50] = 55;
    final[55] = 50;
    auto first = job->subStructure.pairs(1);
    std::copy(final.begin(), final.end(), first.begin());
    job->subStructure.amplifyStem(7);
    job->asmbEvyStm_PseudoStm2Structs(7);
    EXPECT_EQ(job->subStructure.stemref[1], (ref{1, 20, 3, 1}));
    EXPECT_EQ(job->subStructure.stemref[5], (ref{45, 60, 3, 5}));
    EXPECT_EQ(job->subStructure.stemref[6], (ref{-1, -1, -1, 1}));
    EXPECT_EQ(job->subStructure.stemref[7], (ref{-1, -1, -1, 2}));
    for (int k : {6, 7})
        for (int p = 1; p <= 60; ++p) EXPECT_EQ(job->subStructure.partner(k, p), final[p]) << k << " " << p;
    auto third = job->subStructure.pairs(3);
    EXPECT_EQ(third[22], 40);
    EXPECT_EQ(third[40], 22);
    EXPECT_EQ(third[25], 37);
    EXPECT_EQ(third[26], 0);
    EXPECT_EQ(third[50], 55);
}

TEST_F(candidatesTest, stopsWhenAStemMeetsAPairedPosition) {
    korvane::testing::setPool(*job, {{1, 20, 3}, {50, 58, 2}});
    auto first = job->subStructure.pairs(1);
    first[57] = 45;
    first[45] = 57;
    job->subStructure.amplifyStem(2);
    EXPECT_EQ(fatalOutput([&] { job->asmbEvyStm_PseudoStm2Structs(2); }),
              "in asmbEvyStm_PseudoStm2Structs: error: 0\t45\xEF\xBC\x8Cgetchar();\n");
}

TEST_F(candidatesTest, findVarnKeepsTheLeadersBeforeTheWidestGaps) {
    sortedEnergies({-120, -118, -80, -79, -40, -10, -5});
    EXPECT_EQ(job->energyDiff[0], korvane::ENERGY_DIFF_FIRST);
    EXPECT_EQ(std::vector<int>(job->energyDiff.begin() + 1, job->energyDiff.begin() + 7),
              (std::vector<int>{2, 38, 1, 39, 30, 5}));
    EXPECT_EQ(job->maxDiffIndex(6, 0.0, 1), 4);
    EXPECT_EQ(job->maxDiffIndex(4, 31.2, 1), 2);
    EXPECT_EQ(job->maxDiffIndex(2, 30.4, 1), 2);
    EXPECT_EQ(job->findVarn(), 2);

    sortedEnergies({-50, -50, -50, -50});
    EXPECT_EQ(job->findVarn(), 1);
    sortedEnergies({-50});
    EXPECT_EQ(job->findVarn(), 1);
    sortedEnergies({-90, 40});
    EXPECT_EQ(job->findVarn(), 2);
}

TEST_F(candidatesTest, aGapMustReachTheShrunkThreshold) {
    // Widest gap 13 after candidate 3, so 10.4 is the next threshold: the gap of 10 after
    // candidate 1 does not count, a gap of 11 does.
    sortedEnergies({-100, -90, -89, -76, -75, -75});
    EXPECT_EQ(job->findVarn(), 3);
    sortedEnergies({-100, -89, -88, -75, -74, -74});
    EXPECT_EQ(job->findVarn(), 1);
    EXPECT_EQ(job->maxDiffIndex(3, 10.4, 1), 1);
    sortedEnergies({-100, -90, -89, -76, -75, -75});
    EXPECT_EQ(job->maxDiffIndex(3, 10.4, 1), 3);
}

TEST_F(candidatesTest, gapsAfterPositiveEnergiesAreNotLookedAt) {
    // The widest gap lies after a candidate with energy above 0.
    sortedEnergies({-30, -20, 5, 100, 101});
    EXPECT_EQ(job->maxDiffIndex(4, 0.0, 1), 2);
    EXPECT_EQ(job->findVarn(), 2);
    EXPECT_EQ(job->maxDiffIndex(1, 99.0, 1), 1);
}

TEST_F(candidatesTest, assembleAddsPairsAndReleasesTheTable) {
    job->subStructure.nstructs = 9;
    auto final = job->finalStructure.pairs(1);
    final[1] = 10;
    final[10] = 1;
    std::vector<int> noConf(61, 0);
    noConf[20] = 30;
    noConf[30] = 20;
    job->assemble(noConf);
    EXPECT_TRUE(noConf.empty());
    EXPECT_EQ(job->finalStructure.nstructs, 1);
    EXPECT_EQ(job->subStructure.nstructs, 1);
    EXPECT_EQ(final[20], 30);
    EXPECT_EQ(final[30], 20);
    EXPECT_EQ(final[1], 10);

    std::vector<int> clash(61, 0);
    clash[10] = 15;
    clash[15] = 10;
    EXPECT_EQ(fatalOutput([&] { job->assemble(clash); }),
              "in assemble: error found :this->finalStructure->basepr[1][i] != 0 && noConf[i] > 0 and getchar()\n");
}

}  // namespace
