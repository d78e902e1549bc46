#include <gtest/gtest.h>

#include "output/output.h"
#include "outputTestFiles.h"

using namespace korvane;
using namespace korvane::outputtest;

TEST(dotBracketWrites, nestedAndCrossingPairsGiveTheSameBrackets) {
    scratchFile file("pairs.dp");
    structure record = recordOf("GGACC", "t1");
    addPair(record, 1, 1, 5);
    addPair(record, 1, 2, 4);
    writeDotBracket(record, file.path());
    EXPECT_EQ(readText(file.path()), "> t1\nGGACC\n((.))\n");

    structure knot = recordOf("GGACC", "t1");
    addPair(knot, 1, 1, 4);
    addPair(knot, 1, 2, 5);
    writeDotBracket(knot, file.path());
    EXPECT_EQ(readText(file.path()), "> t1\nGGACC\n((.))\n");
}

TEST(dotBracketWrites, lettersAsReadAndEveryStructureInOrder) {
    scratchFile file("letters.dp");
    structure record = recordOf("gaTNu", "mixed");
    record.nstructs = 2;
    addPair(record, 2, 1, 5);
    record.setLabel(2, "second");
    writeDotBracket(record, file.path());
    EXPECT_EQ(readText(file.path()), "> mixed\ngaTNu\n.....\n> second\ngaTNu\n(...)\n");
}

TEST(dotBracketWrites, titleWithItsOwnLineEndLeavesAnEmptyLine) {
    scratchFile file("title.dp");
    structure record = recordOf("AC", "t1\n");
    writeDotBracket(record, file.path());
    EXPECT_EQ(readText(file.path()), "> t1\n\nAC\n..\n");
}

TEST(dotBracketWrites, noStructuresGiveAnEmptyFile) {
    scratchFile file("none.dp");
    writeText(file.path(), "old\n");
    structure record = recordOf("GGGAAACCC", "t1");
    record.nstructs = 0;
    writeDotBracket(record, file.path());
    EXPECT_TRUE(std::filesystem::exists(file.path()));
    EXPECT_EQ(readText(file.path()), "");
}

TEST(dotBracketWrites, unopenableFileIsIgnored) {
    const std::string path = "/nonexistent-korvane-folder/x.dp";
    EXPECT_FALSE(writeDotBracket(recordOf("A"), path));
    EXPECT_FALSE(std::filesystem::exists(path));
}
