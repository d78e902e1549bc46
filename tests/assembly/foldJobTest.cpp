#include <gtest/gtest.h>

#include "assembly/detail/foldJob.h"
#include "assemblyTestSupport.h"

namespace {

using korvane::STEM_END_MARK;
using korvane::STEM_REMOVED;
using korvane::stem;
using korvane::testing::poolOf;
using triple = std::array<int, 3>;
using tripleList = std::vector<triple>;

class foldJobTest : public ::testing::Test {
protected:
    korvane::testing::jobMaker files;
};

TEST_F(foldJobTest, readsTheSequenceIntoBothRecords) {
    const auto tables = korvane::makeParamTables();
    auto job = files.make("GGGAAAACCC", tables.get());
    for (const korvane::structure* s : {&job->subStructure, &job->finalStructure}) {
        EXPECT_EQ(s->nbases, 10);
        EXPECT_EQ(s->seqchars.substr(1, 10), "GGGAAAACCC");
        EXPECT_EQ(s->energy[1], 0);
        EXPECT_EQ(s->nstructs, 0);
        EXPECT_EQ(s->capacity, korvane::STRUCTURE_SLOTS);
    }
    EXPECT_EQ(job->tables, tables.get());
    EXPECT_EQ(job->numOfstemsInPool, 0);
    EXPECT_DOUBLE_EQ(job->gapRatio, 0.8);
    EXPECT_TRUE(job->pseudoHelicesPool.empty());
}

TEST_F(foldJobTest, compactionDropsOnlyRemovedStemsInOrder) {
    auto job = files.make("GGGAAAACCC");
    korvane::testing::setPool(*job, {{1, 20, 3}, {2, 30, 3}, {3, 40, 3}, {4, 50, 3}, {5, 60, 3}});
    job->stemPool[2].start = STEM_REMOVED;
    job->stemPool[4].start = STEM_REMOVED;
    job->compactStemPool();
    EXPECT_EQ(poolOf(*job), (tripleList{{1, 20, 3}, {3, 40, 3}, {5, 60, 3}}));
    EXPECT_EQ(job->stemPool[4].start, STEM_END_MARK);

    // A temporarily marked stem is not a removed one.
    korvane::testing::setPool(*job, {{-17, 40, 3}, {2, 30, 3}});
    job->stemPool[2].start = STEM_REMOVED;
    job->compactStemPool();
    EXPECT_EQ(poolOf(*job), (tripleList{{-17, 40, 3}}));
    EXPECT_EQ(job->stemPool[2].start, STEM_END_MARK);

    korvane::testing::setPool(*job, {{1, 20, 3}, {2, 30, 3}});
    job->stemPool[1].start = STEM_REMOVED;
    job->stemPool[2].start = STEM_REMOVED;
    job->compactStemPool();
    EXPECT_EQ(job->numOfstemsInPool, 0);
    EXPECT_EQ(job->stemPool[1].start, STEM_END_MARK);
}

}  // namespace
