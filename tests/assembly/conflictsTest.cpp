#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <vector>

#include "assembly/detail/foldJob.h"
#include "assemblyTestSupport.h"

namespace {

using korvane::foldJob;
using korvane::isNestedPairs;
using korvane::isStackStruct;
using korvane::stem;
using korvane::STEM_REMOVED;
using korvane::testing::poolOf;
using ref = std::array<int, 4>;
using triple = std::array<int, 3>;
using tripleList = std::vector<triple>;

std::vector<int> pairTable(int n, const std::vector<std::pair<int, int>>& pairs) {
    std::vector<int> table(n + 1, 0);
    for (auto [p, q] : pairs) {
        table[p] = q;
        table[q] = p;
    }
    return table;
}

std::string captured(const std::function<void()>& action) {
    ::testing::internal::CaptureStdout();
    action();
    return ::testing::internal::GetCapturedStdout();
}

TEST(nestingTest, isNestedPairsSeesCrossingsAndBrokenPartners) {
    EXPECT_TRUE(isNestedPairs(pairTable(12, {{1, 10}, {2, 9}}), 12));
    EXPECT_TRUE(isNestedPairs(pairTable(30, {{1, 10}, {12, 20}, {13, 19}, {21, 30}}), 30));
    EXPECT_FALSE(isNestedPairs(pairTable(15, {{1, 10}, {5, 15}}), 15));
    std::vector<int> oneSided(12, 0);
    oneSided[3] = 8;
    EXPECT_FALSE(isNestedPairs(oneSided, 11));
    std::vector<int> self(12, 0);
    self[4] = 4;
    EXPECT_FALSE(isNestedPairs(self, 11));
}

class stackStructTest : public ::testing::Test {
protected:
    korvane::structure record{korvane::STRUCTURE_SLOTS};
    void SetUp() override {
        record.allocateSequence(20);
        record.nbases = 20;
    }
    void set(int k, const std::vector<std::pair<int, int>>& pairs) {
        auto row = record.pairs(k);
        std::fill(row.begin(), row.end(), 0);
        for (auto [p, q] : pairs) {
            row[p] = q;
            row[q] = p;
        }
    }
    bool ok = false;
    std::string check() {
        return captured([&] { ok = isStackStruct(record); });
    }
};

TEST_F(stackStructTest, acceptsNestedRecordsSilently) {
    EXPECT_EQ(check(), "");
    EXPECT_TRUE(ok);  // no structures at all
    record.nstructs = 2;
    set(1, {{1, 20}, {2, 19}, {5, 10}});
    set(2, {{3, 8}, {12, 18}});
    EXPECT_EQ(check(), "");
    EXPECT_TRUE(ok);
}

TEST_F(stackStructTest, reportsTheFirstFaultWorded) {
    record.nstructs = 2;
    set(1, {{1, 20}});
    set(2, {{1, 10}, {5, 15}});
    EXPECT_EQ(check(), "in isStackStruct ,error1 ,maybe find a psudoknot,2th structrue, j=15th base,i=10\n");
    EXPECT_FALSE(ok);

    // The last value popped carries over from the structures before.
    set(2, {});
    record.pairs(2)[7] = 7;
    EXPECT_EQ(check(), "in isStackStruct ,error2 i<s->basepr[k][i]==i,2th structrue, 20th base\n");

    record.nstructs = 1;
    set(1, {});
    record.pairs(1)[3] = 8;
    EXPECT_EQ(check(), "in isStackStruct ,error -1th structrue, i8th base\n");
    EXPECT_FALSE(ok);

    record.pairs(1)[3] = 0;
    record.pairs(1)[2] = 2;
    EXPECT_EQ(check(), "in isStackStruct ,error2 i<s->basepr[k][i]==i,1th structrue, -10th base\n");
}

class conflictTest : public ::testing::Test {
protected:
    korvane::testing::jobMaker files;
    std::unique_ptr<foldJob> job = files.make(std::string(80, 'A'));

    void candidates(const std::vector<ref>& refs) {
        job->subStructure.nstructs = static_cast<int>(refs.size());
        for (size_t s = 0; s < refs.size(); ++s) job->subStructure.stemref[s + 1] = refs[s];
    }
};

TEST_F(conflictTest, keepsPairsThatStayNestedAndRejectsEmptyCandidates) {
    korvane::testing::setPool(*job, {{10, 30, 4}, {10, 30, 4}, {20, 50, 5}, {60, 75, 3}});
    candidates({{10, 30, 4, 1}, {-1, -1, -1, 1}, {10, 30, 4, 2}, {20, 50, 5, 3}, {60, 75, 3, 4}});
    std::vector<int> noConf{7, 7, 7};
    job->handleConficts(5, noConf);
    ASSERT_EQ(noConf.size(), 81u);
    // The second copy of (10,30,4) finds its positions taken; (20,50,5) crosses (10,30) on
    // every pair and keeps none; (60,75,3) is apart.
    EXPECT_EQ(noConf, pairTable(80, {{10, 30}, {11, 29}, {12, 28}, {13, 27}, {60, 75}, {61, 74}, {62, 73}}));
    EXPECT_EQ(job->subStructure.stemref[1], (ref{10, 30, 4, 1}));
    EXPECT_EQ(job->subStructure.stemref[2], (ref{-1, -1, -1, 1}));
    EXPECT_EQ(job->subStructure.stemref[3], (ref{10, 30, 4, -2}));
    EXPECT_EQ(job->subStructure.stemref[4], (ref{20, 50, 5, -3}));
    EXPECT_EQ(job->subStructure.stemref[5], (ref{60, 75, 3, 4}));
    // Only the first v candidates are used.
    candidates({{10, 30, 4, 1}, {60, 75, 3, 4}});
    job->handleConficts(1, noConf);
    EXPECT_EQ(noConf, pairTable(80, {{10, 30}, {11, 29}, {12, 28}, {13, 27}}));
}

TEST_F(conflictTest, acceptsTheNonCrossingPairsOfAPartlyCrossingCandidate) {
    // (5,40,3) sits; (30,60,8) has pairs (30,60)..(37,53), which all cross
    // (7,38) as their 5' ends lie inside it. (38,70,6) pairs (38,70)..(43,65): 38, 39 and 40 are
    // taken, (41,67)..(43,65) are kept.
    candidates({{5, 40, 3, 1}, {30, 60, 8, 2}, {38, 70, 6, 3}});
    std::vector<int> noConf;
    job->handleConficts(3, noConf);
    EXPECT_EQ(noConf, pairTable(80, {{5, 40}, {6, 39}, {7, 38}, {41, 67}, {42, 66}, {43, 65}}));
    EXPECT_EQ(job->subStructure.stemref[2][3], -2);
    EXPECT_EQ(job->subStructure.stemref[3][3], 3);
}

TEST_F(conflictTest, matchesAWholeTableRecheckOnRandomCandidates) {
    korvane::testing::lcg rng(3);
    for (int round = 0; round < 200; ++round) {
        std::vector<ref> refs;
        const int v = 1 + rng.below(12);
        for (int s = 1; s <= v; ++s) {
            const int length = 1 + rng.below(6);
            const int i = 1 + rng.below(40);
            const int j = i + 2 * length + 2 + rng.below(35);
            refs.push_back(rng.below(8) == 0 ? ref{-1, -1, -1, s} : ref{i, std::min(j, 80), length, s});
        }
        candidates(refs);
        std::vector<int> expected(81, 0);
        std::vector<ref> expectedRefs = refs;
        for (ref& r : expectedRefs) {
            if (r[0] <= 0) continue;
            int accepted = 0;
            for (int k = 1; k <= r[2]; ++k) {
                const int p = r[0] + k - 1;
                const int q = r[1] - k + 1;
                if (expected[p] != 0 || expected[q] != 0) continue;
                expected[p] = q;
                expected[q] = p;
                if (isNestedPairs(expected, 80)) {
                    ++accepted;
                } else {
                    expected[p] = 0;
                    expected[q] = 0;
                }
            }
            if (accepted == 0) r[3] = -r[3];
        }
        std::vector<int> noConf;
        job->handleConficts(v, noConf);
        ASSERT_EQ(noConf, expected) << round;
        for (int s = 1; s <= v; ++s) ASSERT_EQ(job->subStructure.stemref[s], expectedRefs[s - 1]) << round;
    }
}

class trimTest : public conflictTest {
protected:
    const std::string blocks = std::string(20, 'G') + std::string(20, 'C') + std::string(20, 'G') + std::string(20, 'C');
    std::string trim(int v) {
        return captured([&] { job->trimStemPool(v); });
    }
};

TEST_F(trimTest, cutsCrossingStemsAndLeavesEnclosingAndInnerOnes) {
    job = files.make(blocks);
    korvane::testing::setPool(*job, {{5, 60, 5}, {10, 25, 3}, {20, 40, 4}, {25, 35, 3}});
    candidates({{20, 40, 4, 3}});
    EXPECT_EQ(trim(1), "");
    job->compactStemPool();
    EXPECT_EQ(poolOf(*job), (tripleList{{5, 60, 5}, {25, 35, 3}}));
}

TEST_F(trimTest, keepsTheFirstSurvivingRunOfAPartlyCoveredStem) {
    job = files.make(blocks);
    korvane::testing::setPool(*job, {{10, 31, 5}, {30, 50, 3}, {60, 75, 3}});
    // A rejected candidate leaves the pool without trimming anything; a pseudohelix is passed over.
    candidates({{30, 50, 3, 2}, {-1, -1, -1, 1}, {60, 75, 3, -3}});
    job->subStructure.nstructs = 1;  // as assemble leaves it before the pass trims
    EXPECT_EQ(trim(3), "");
    job->compactStemPool();
    EXPECT_EQ(poolOf(*job), (tripleList{{12, 29, 3}}));
}

TEST_F(trimTest, examinesAShortenedStemWithItsNewCoordinates) {
    job = files.make(blocks);
    korvane::testing::setPool(*job, {{10, 31, 5}, {30, 50, 3}, {11, 30, 1}});
    // After the first candidate the stem is (12,29,3), which lies inside the loop of (11,30,1);
    // as (10,31,5) it would have lost all but one pair.
    candidates({{30, 50, 3, 2}, {11, 30, 1, 3}});
    EXPECT_EQ(trim(2), "");
    job->compactStemPool();
    EXPECT_EQ(poolOf(*job), (tripleList{{12, 29, 3}}));
}

TEST_F(trimTest, removesAShortenedStemThatIsNoStemAndLogsIt) {
    // Positions 12..14 and 27..29 cannot pair, so the surviving run fails the stem check.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::create_directories(files.dir() / "run" / "check");
    std::filesystem::current_path(files.dir() / "run");
    korvane::testing::setPool(*job, {{10, 31, 5}, {30, 50, 3}});
    candidates({{30, 50, 3, 2}});
    const std::string printed = trim(1);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(printed,
              "in isAstem return false,pair error:12=1,29=1,0,3\n"
              "in trimStemPool error: is not a stem\n");
    job->compactStemPool();
    EXPECT_EQ(job->numOfstemsInPool, 0);
    std::ifstream log(files.dir() / "run" / "check" / "error.out");
    std::stringstream content;
    content << log.rdbuf();
    EXPECT_EQ(content.str(), "12,29,3\n");
}

TEST_F(trimTest, handlesSequencesBeyondFiveThousandBases) {
    std::string seq(6000, 'A');
    for (int p = 5450; p <= 5454; ++p) seq[p - 1] = 'G';
    for (int p = 5467; p <= 5471; ++p) seq[p - 1] = 'C';
    job = files.make(seq);
    korvane::testing::setPool(*job, {{5450, 5471, 5}, {5470, 5490, 3}});
    candidates({{5470, 5490, 3, 2}});
    EXPECT_EQ(trim(1), "");
    job->compactStemPool();
    EXPECT_EQ(poolOf(*job), (tripleList{{5452, 5469, 3}}));
}

}  // namespace
