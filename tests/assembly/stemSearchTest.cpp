#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "assembly/detail/foldJob.h"
#include "assemblyTestSupport.h"

namespace {

using korvane::foldJob;
using korvane::stem;
using korvane::testing::jobMaker;
using korvane::testing::poolOf;
using triple = std::array<int, 3>;
using tripleList = std::vector<triple>;

// The search as first written: every earlier stem scanned for containment.
tripleList literalSearch(const std::vector<int>& code, int n, size_t limit) {
    auto pairs = [&](int p, int q) { return code[p] + code[q] == 5 || code[p] + code[q] == 7; };
    tripleList pool;
    for (int i = 1; i <= n - 9; ++i) {
        for (int j = i + 8; j <= n; ++j) {
            if (code[i] + code[j] == 7) continue;
            int l = 0;
            while (pairs(i + l, j - l) && (j - l) - (i + l) >= 2) ++l;
            while (j - i - 2 * l < 2) --l;
            while (l >= 3 && code[i + l - 1] + code[j - l + 1] == 7) --l;
            if (l < 3) continue;
            bool inside = false;
            for (const triple& m : pool)
                if (i - m[0] == m[1] - j && m[0] + m[2] - 1 >= i) inside = true;
            if (inside) continue;
            pool.push_back({i, j, l});
            if (pool.size() == limit) return pool;
        }
    }
    return pool;
}

class stemSearchTest : public ::testing::Test {
protected:
    jobMaker files;
    tripleList search(const std::string& sequence, bool expectFound = true) {
        job = files.make(sequence);
        ::testing::internal::CaptureStdout();
        const bool found = job->findMaxStems();
        printed = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(found, expectFound) << sequence;
        return found ? poolOf(*job) : tripleList{};
    }
    std::unique_ptr<foldJob> job;
    std::string printed;
};

TEST_F(stemSearchTest, findsTheExampleStems) {
    EXPECT_EQ(search("GGGAAAACCC"), (tripleList{{1, 10, 3}}));
    EXPECT_EQ(job->stemPool[2].start, korvane::STEM_END_MARK);
    EXPECT_EQ(job->numOfstemsInPool, 1);
    EXPECT_EQ(job->stemsFound(), 1);
    EXPECT_EQ(job->energyDiff.size(), 2u);
    // (1,12) runs 4 pairs, its inner G-U (4,9) is stripped; (2,11) on the same diagonal then
    // keeps only 2 pairs.
    EXPECT_EQ(search("GGGUAAAAGCCC"), (tripleList{{1, 12, 3}}));
    EXPECT_EQ(printed, "");
}

TEST_F(stemSearchTest, startsNoStemOnAWobbleButKeepsInnerWobbles) {
    // Only (1,10) G-U could start a stem here.
    search("GGGAAAACCU", false);
    // With (1,12) G-U not a start, (2,11) is no longer contained and is recorded.
    EXPECT_EQ(search("GGGGAAAACCCU"), (tripleList{{1, 11, 3}, {2, 11, 3}}));
    // Two inner G-U pairs: stripping the innermost leaves 2 pairs.
    search("GGGAAAAUUC", false);
    // A G-U in the middle stays: (2,13) G-U is the second pair of (1,14).
    EXPECT_EQ(search("CGGGAAAAACCUG")[0], (triple{1, 13, 4}));
}

TEST_F(stemSearchTest, keepsThreeUnpairedInsideEveryStem) {
    // (1,12) could stack 5 G-C pairs but would then close a loop of 2.
    const tripleList pool = search("GGGGGAACCCCC");
    EXPECT_EQ(pool, (tripleList{{1, 10, 3}, {1, 11, 4}, {1, 12, 4}, {2, 12, 4}, {3, 12, 3}}));
    for (const triple& t : pool) EXPECT_GE(t[1] - t[0] - 2 * t[2] + 1, 3);
}

TEST_F(stemSearchTest, recordsADiagonalOnlyBeyondEarlierStrands) {
    EXPECT_EQ(search("GGGGAAAACCCC"), (tripleList{{1, 11, 3}, {1, 12, 4}, {2, 12, 3}}));
    // On the diagonal of (1,18) a mismatch at (4,15) ends the first stem; (5,14) starts a second.
    EXPECT_EQ(search("GGGAGGGAAAACCCACCC"), (tripleList{{1, 14, 3}, {1, 18, 3}, {5, 14, 3}, {5, 18, 3}}));
}

TEST_F(stemSearchTest, findsNothingInShortOrUnreadableInput) {
    search("GGGAAACCC", false);
    search("GGGGAAAACC", false);
    EXPECT_EQ(printed, "");
    job = std::make_unique<foldJob>();
    EXPECT_EQ(job->subStructure.nbases, 0);
    EXPECT_EQ(job->finalStructure.nbases, 0);
    EXPECT_FALSE(job->findMaxStems());
    EXPECT_EQ(job->numOfstemsInPool, 0);
}

TEST_F(stemSearchTest, matchesTheLiteralSearchOnRandomSequences) {
    korvane::testing::lcg rng(11);
    for (int round = 0; round < 40; ++round) {
        const std::string seq = korvane::testing::randomRna(rng, 10 + rng.below(250), 30 + rng.below(50));
        job = files.make(seq);
        const tripleList expected = literalSearch(job->subStructure.seqcode, job->subStructure.nbases, 100000);
        EXPECT_EQ(job->findMaxStems(), !expected.empty()) << seq;
        EXPECT_EQ(poolOf(*job), expected) << seq;
    }
}

TEST_F(stemSearchTest, overflowsAtTheNineThousandNineHundredNinetyNinthStem) {
    korvane::testing::lcg rng(5);
    const std::string seq = korvane::testing::randomRna(rng, 1100);
    search(seq, false);
    EXPECT_EQ(printed, "");  // the front end says why
    EXPECT_EQ(job->stemsFound(), 9999);
    const tripleList expected = literalSearch(job->subStructure.seqcode, job->subStructure.nbases, 9999);
    ASSERT_EQ(expected.size(), 9999u);
    EXPECT_EQ(job->stemPool[9999].start, expected.back()[0]);
    EXPECT_EQ(job->stemPool[9999].end, expected.back()[1]);
    EXPECT_EQ(job->stemPool[9998].length, expected[9997][2]);

    // Without a limit the pool grows, and a reused job searches a second sequence afresh.
    job->poolLimit = korvane::NO_POOL_LIMIT;
    ASSERT_TRUE(job->findMaxStems());
    const tripleList all = literalSearch(job->subStructure.seqcode, job->subStructure.nbases, 1 << 30);
    EXPECT_GT(all.size(), 9999u);
    EXPECT_EQ(poolOf(*job), all);
    job->load(korvane::makeSequence("short", "GGGAAAACCC"));
    ASSERT_TRUE(job->findMaxStems());
    EXPECT_EQ(poolOf(*job), (tripleList{{1, 10, 3}}));
}

class isAstemTest : public stemSearchTest {
protected:
    bool check(int i, int j, int l) {
        ::testing::internal::CaptureStdout();
        const bool ok = job->isAstem(i, j, l);
        printed = ::testing::internal::GetCapturedStdout();
        return ok;
    }
};

TEST_F(isAstemTest, acceptsStemsAndWobblesAtItsEnds) {
    // Positions 5,6,7 are G C U, 18,19,20 are A G C: pairs (5,20) G-C, (6,19) C-G, (7,18) U-A.
    job = files.make("AAAAGCUAAAAAAAAAAAGCAA");
    EXPECT_TRUE(check(5, 20, 3));
    EXPECT_EQ(printed, "");
    job = files.make("GGGAAAAUUU");
    EXPECT_TRUE(check(1, 10, 3));
}

TEST_F(isAstemTest, rejectsWithTheReasonPrinted) {
    job = files.make("AAAAGCUAAAAAAAAAAAGCAA");
    EXPECT_FALSE(check(5, 12, 3));
    EXPECT_EQ(printed, "in isAstem returen false,loop length error:5,12,3\n");
    EXPECT_FALSE(check(-5, 20, 3));
    EXPECT_EQ(printed, "in isAstem returen false,-5,20,3\n");
    EXPECT_FALSE(check(5, 20, 4));  // (8,17) is A-A
    EXPECT_EQ(printed, "in isAstem return false,pair error:5=1,20=1,3,4\n");
    EXPECT_FALSE(check(15, 30, 3));  // beyond the sequence nothing pairs
    EXPECT_EQ(printed, "in isAstem return false,pair error:15=1,30=0,0,3\n");
}

}  // namespace
