#include <gtest/gtest.h>

#include <vector>

#include "assembly/detail/foldJob.h"
#include "assemblyTestSupport.h"

namespace {

using korvane::foldJob;
using korvane::stem;

class pseudohelixTest : public ::testing::Test {
protected:
    korvane::testing::jobMaker files;
    std::unique_ptr<foldJob> job = files.make("GGGAAAACCC");

    void build(const std::vector<stem>& stems) {
        korvane::testing::setPool(*job, stems);
        EXPECT_TRUE(job->findPseudolelices());
    }
    // Entries 0 .. 0 + count + 1 of a row.
    std::vector<int> row(int r) {
        const auto& cells = job->pseudoHelicesPool[r];
        return std::vector<int>(cells.begin(), cells.begin() + cells[0] + 2);
    }
};

TEST_F(pseudohelixTest, chainsStemsThatContinueEachOtherInwards) {
    build({{10, 60, 4}, {14, 56, 3}});
    ASSERT_EQ(job->numOfPseudoHelices, 1);
    EXPECT_EQ(row(1), (std::vector<int>{2, 1, 2, -1}));

    // 15 is not 10 + 4: no chain, and the opened row is left clear.
    build({{10, 60, 4}, {15, 56, 3}});
    EXPECT_EQ(job->numOfPseudoHelices, 0);
    for (size_t r = 1; r < job->pseudoHelicesPool.size(); ++r)
        EXPECT_EQ(job->pseudoHelicesPool[r], korvane::pseudohelixRow{}) << r;

    // Spans below 16 head nothing.
    build({{10, 25, 3}, {13, 22, 3}});
    EXPECT_EQ(job->numOfPseudoHelices, 0);
}

TEST_F(pseudohelixTest, aStemHeadsItsOwnChainInsideAnother) {
    build({{10, 60, 4}, {14, 56, 3}, {12, 58, 3}, {17, 53, 5}});
    ASSERT_EQ(job->numOfPseudoHelices, 2);
    EXPECT_EQ(row(1), (std::vector<int>{3, 1, 2, 4, -1}));
    EXPECT_EQ(row(2), (std::vector<int>{2, 2, 4, -1}));
    job->controlPseudoHelicesPool();
    EXPECT_EQ(job->numOfPseudoHelices, 2);
    EXPECT_EQ(job->pseudoHelicesPool[1][0], 0);
    EXPECT_EQ(job->pseudoHelicesPool[2][0], 0);
    EXPECT_EQ(job->pseudoHelicesPool[1][1], 1);

    // The next pass starts from clean rows.
    build({{10, 60, 4}, {14, 56, 3}});
    EXPECT_EQ(job->numOfPseudoHelices, 1);
    EXPECT_EQ(row(1), (std::vector<int>{2, 1, 2, -1}));
    for (size_t r = 2; r < job->pseudoHelicesPool.size(); ++r)
        EXPECT_EQ(job->pseudoHelicesPool[r], korvane::pseudohelixRow{}) << r;
}

TEST_F(pseudohelixTest, recordsNothingPastTheTableLimits) {
    std::vector<stem> chain;
    for (int k = 0; k < 35; ++k) chain.push_back({1 + k, 200 - k, 1});
    build(chain);
    EXPECT_EQ(job->numOfPseudoHelices, 34);
    const auto& first = job->pseudoHelicesPool[1];
    EXPECT_EQ(first[0], 29);
    for (int m = 1; m <= 29; ++m) EXPECT_EQ(first[m], m);
    EXPECT_EQ(first[30], -1);
    EXPECT_EQ(row(34), (std::vector<int>{2, 34, 35, -1}));

    std::vector<stem> pairs;
    for (int k = 0; k <= korvane::MAX_NUM_PSEUDOHELICES; ++k) {
        const int x = 5 * k + 1;
        pairs.push_back({x, x + 40, 2});
        pairs.push_back({x + 2, x + 38, 2});
    }
    build(pairs);
    EXPECT_EQ(job->numOfPseudoHelices, korvane::MAX_NUM_PSEUDOHELICES);
    EXPECT_EQ(row(korvane::MAX_NUM_PSEUDOHELICES), (std::vector<int>{2, 5999, 6000, -1}));
}

}  // namespace
