// korvane-eval's scoring rules and its in-memory dot-bracket record, as the Python module uses them.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "evaluation.h"
#include "rna/alphabet.h"
#include "structureFile.h"

using namespace korvane;

namespace {

constexpr int LINKER_CODE = 5;

std::string messageOf(const std::string& letters, const std::string& brackets) {
    try {
        readDotBracketRecord("t", letters, brackets);
    } catch (const inputError& error) {
        EXPECT_EQ(error.line, 0);
        return error.what();
    }
    return "";
}

scoredStructure withPairs(std::vector<int> codes, std::vector<std::pair<int, int>> pairs) {
    scoredStructure s;
    s.code = {0};
    s.code.insert(s.code.end(), codes.begin(), codes.end());
    s.pairs.assign(s.code.size(), 0);
    for (const auto& [i, j] : pairs) {
        s.pairs[i] = j;
        s.pairs[j] = i;
    }
    return s;
}

}  // namespace

TEST(energyModels, byNameAndUnknownNamesListTheKnownOnes) {
    EXPECT_EQ(energyModelNamed("full"), scoringModel::full);
    EXPECT_EQ(energyModelNamed("mfe"), scoringModel::mfe);
    EXPECT_EQ(energyModelNames().front(), "full");
    try {
        energyModelNamed("Full");
        FAIL() << "a model name is matched exactly";
    } catch (const std::invalid_argument& error) {
        EXPECT_EQ(std::string(error.what()), "unknown energy model 'Full' (known: full, mfe)");
    }
}

TEST(dotBracketRecordReads, lettersPairsAndTitle) {
    const scoredStructure s = readDotBracketRecord("a\ttitle", "gGAtAACC", "((....)) (-1.20)");
    EXPECT_EQ(s.title, "a title");
    EXPECT_EQ(s.code, (std::vector<int>{0, CODE_G, CODE_G, CODE_A, CODE_U, CODE_A, CODE_A, CODE_C, CODE_C}));
    EXPECT_EQ(s.pairs, (std::vector<int>{0, 8, 7, 0, 0, 0, 0, 2, 1}));
}

TEST(dotBracketRecordRejects, eachFaultWithItsMessage) {
    EXPECT_EQ(messageOf("GGGAAACCC", "(((...))"), "the structure has 8 characters, the sequence 9");
    EXPECT_EQ(messageOf("GGGAAACCC", ")((...)))"), "')' at position 1 has no matching '('");
    EXPECT_EQ(messageOf("GGGAAACCC", "(((....))"), "'(' at position 1 is never closed");
    EXPECT_EQ(messageOf("GGGAAACCC", "<<<...>>>"), "unexpected character '<' at position 1 of the structure");
    EXPECT_EQ(messageOf("GGGAAACCC", "((.[.].))"), "unexpected character '[' at position 4 of the structure");
    EXPECT_EQ(messageOf("GGGAZACCC", "(((...)))"), "unreadable base letter 'Z' at position 5");
    EXPECT_EQ(messageOf("", "(((...)))"), "the sequence is empty");
    EXPECT_EQ(messageOf("GGGAAACCC", " "), "the structure is empty");
    EXPECT_EQ(messageOf("GGGA\nAACCC", "(((...)))"), "the sequence holds a line break");
    EXPECT_EQ(messageOf("GGGAAACCC", "(((...)))\r"), "the structure holds a line break");
}

TEST(impossibleStructures, nonCanonicalPairsAndShortHairpins) {
    EXPECT_EQ(impossibility(withPairs({CODE_G, CODE_A, CODE_A, CODE_A, CODE_C}, {{1, 5}})), "");
    EXPECT_EQ(impossibility(withPairs({CODE_G, CODE_A, CODE_A, CODE_A, CODE_U}, {{1, 5}})), "");
    EXPECT_EQ(impossibility(withPairs({CODE_G, CODE_A, CODE_A, CODE_A, CODE_A}, {{1, 5}})),
              "pair 1-5 (G-A) is not a canonical pair (A-U, C-G, G-U)");
    EXPECT_EQ(impossibility(withPairs({CODE_UNKNOWN, CODE_A, CODE_A, CODE_A, CODE_G}, {{1, 5}})),
              "pair 1-5 (N-G) is not a canonical pair (A-U, C-G, G-U)");
    // A linker's code plus C's sums like G-U's; it still pairs with nothing.
    EXPECT_EQ(impossibility(withPairs({LINKER_CODE, CODE_A, CODE_A, CODE_A, CODE_C}, {{1, 5}})),
              "pair 1-5 (?-C) is not a canonical pair (A-U, C-G, G-U)");
    EXPECT_EQ(impossibility(withPairs({CODE_G, CODE_G, CODE_A, CODE_A, CODE_C, CODE_C}, {{1, 6}, {2, 5}})),
              "pair 2-5 (G-C) closes a hairpin of fewer than three unpaired nucleotides");
}
