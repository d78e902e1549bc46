#include <gtest/gtest.h>

#include "thermo/parameterSets.h"
#include "thermo/parameterWriter.h"

namespace korvane {
namespace {

std::unique_ptr<paramTables> readTexts(const parameterTexts& texts) {
    auto tables = makeParamTables();
    parameterPaths paths;
    EXPECT_EQ(readParameterTexts(texts, paths, *tables), 1);
    return tables;
}

// Changed cells come back from the rewritten files, every other byte stays where it was, and
// cells that no number of their own holds are refused.
TEST(parameterWriter, rewritesOnlyTheNumbersOfChangedCells) {
    for (const char* set : {"turner1999", "turner2004"}) {
        const parameterTexts texts = parameterSetTexts(set, false);
        const auto start = readTexts(texts);
        auto changed = readTexts(texts);
        changed->stack[2][3][3][2] -= 7;          // C-G then G-C
        changed->hairpinLoop[5] += 3;
        changed->terminalAuPenalty = 9;
        changed->loopConst[10] = -12;             // multibranch per helix
        changed->int11[1][2][1][4][3][4] += 11;   // an A-U / A-U 1x1 loop
        changed->int22[2][2][3][3][1][1][1][1] -= 5;
        changed->tloop[1][1] -= 4;
        const parameterTexts out = rewriteParameterTexts(texts, *changed);
        const auto back = readTexts(out);
        EXPECT_EQ(back->stack[2][3][3][2], changed->stack[2][3][3][2]) << set;
        EXPECT_EQ(back->hairpinLoop[5], start->hairpinLoop[5] + 3);
        EXPECT_EQ(back->terminalAuPenalty, 9);
        EXPECT_EQ(back->loopConst[10], -12);
        EXPECT_EQ(back->int11[1][2][1][4][3][4], changed->int11[1][2][1][4][3][4]);
        EXPECT_EQ(back->int22[2][2][3][3][1][1][1][1], changed->int22[2][2][3][3][1][1][1][1]);
        EXPECT_EQ(back->tloop[1][1], changed->tloop[1][1]);
        EXPECT_EQ(back->stack[1][4][1][4], start->stack[1][4][1][4]);
        EXPECT_EQ(out[coaxialFile], texts[coaxialFile]);  // untouched files stay byte for byte
        EXPECT_EQ(rewriteParameterTexts(texts, *start), texts);

        auto ruled = readTexts(texts);
        ruled->loopConst[7] += 1;  // a constant of the reader, not of the files
        EXPECT_THROW(rewriteParameterTexts(texts, *ruled), parameterWriteError);
    }
}

}  // namespace
}  // namespace korvane
