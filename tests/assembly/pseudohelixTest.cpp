#include <gtest/gtest.h>

#include <algorithm>
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

namespace {

// The chain search as first written: a scan over the following stems until one starts beyond.
std::vector<std::vector<int>> literalChains(const std::vector<stem>& pool) {
    std::vector<std::vector<int>> rows;
    const int count = static_cast<int>(pool.size());
    for (int s = 1; s <= count; ++s) {
        int a = pool[s - 1].start, b = pool[s - 1].end, c = pool[s - 1].length;
        if (b - a < korvane::PSEUDOHELIX_MIN_SPAN) continue;
        std::vector<int> members{s};
        for (int t = s + 1; t <= count; ++t) {
            const stem& next = pool[t - 1];
            if (next.start > a + c) break;
            if (next.start != a + c || next.end != b - c) continue;
            if (static_cast<int>(members.size()) == korvane::MAX_TRUE_STEMS_IN__PSEUDOHELCE - 1) break;
            members.push_back(t);
            a = next.start, b = next.end, c = next.length;
        }
        if (members.size() >= 2) rows.push_back(members);
    }
    return rows;
}

TEST_F(pseudohelixTest, findsTheChainsOfTheLiteralScanInPoolsOfAnyOrder) {
    korvane::testing::lcg rng(4);
    for (int round = 0; round < 200; ++round) {
        // Few distinct starts and ends, so that chains, duplicates and out-of-order starts abound.
        std::vector<stem> pool;
        const int count = 1 + rng.below(60);
        for (int s = 0; s < count; ++s) {
            const int start = 1 + rng.below(12);
            pool.push_back({start, 40 - start - rng.below(3), 1 + rng.below(3)});
        }
        if (round % 2 == 0)
            std::sort(pool.begin(), pool.end(), [](const stem& x, const stem& y) { return x.start < y.start; });
        build(pool);
        std::vector<std::vector<int>> found;
        for (int r = 1; r <= job->numOfPseudoHelices; ++r) {
            const auto cells = row(r);
            found.emplace_back(cells.begin() + 1, cells.end() - 1);
        }
        ASSERT_EQ(found, literalChains(pool)) << "round " << round;
    }
}

}  // namespace
