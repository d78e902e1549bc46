#include "thermo/paramTables.h"

#include <gtest/gtest.h>

#include "thermo/parameterReader.h"

using namespace korvane;

namespace {

TEST(paramTablesTest, ConstructionMarksTheIntTablesForbidden) {
    auto t = makeParamTables();
    int notInfinite = 0;
    for (const auto& a : t->int11)
        for (const auto& b : a)
            for (const auto& c : b)
                for (const auto& d : c)
                    for (const auto& e : d)
                        for (int cell : e) notInfinite += cell != INFINITE;
    EXPECT_EQ(notInfinite, 0);
    EXPECT_EQ(t->int21[0][5][0][5][0][5][0], INFINITE);
    EXPECT_EQ(t->int22[5][5][5][5][5][5][5][5], INFINITE);
    EXPECT_EQ(t->rtKcal, 0.61633f);
}

TEST(paramTablesTest, AuPenaltyGoesByTheCodeOfU) {
    auto t = makeParamTables();
    t->terminalAuPenalty = 5;
    EXPECT_EQ(t->pairAuPenalty(3, 4), 5);  // G-U
    EXPECT_EQ(t->pairAuPenalty(4, 1), 5);  // U-A
    EXPECT_EQ(t->pairAuPenalty(3, 2), 0);  // G-C
    EXPECT_EQ(t->pairAuPenalty(4, 5), 5);  // U and the linker
    EXPECT_EQ(t->pairAuPenalty(1, 1), 0);
}

TEST(paramTablesTest, HairpinKeysAreBaseFiveDigits) {
    EXPECT_EQ(specialHairpinKey("GGGGAC", 6), 3 + 3 * 5 + 3 * 25 + 3 * 125 + 1 * 625 + 2 * 3125);
    EXPECT_EQ(specialHairpinKey("CGAAAG", 6), 10167);
}

}  // namespace
