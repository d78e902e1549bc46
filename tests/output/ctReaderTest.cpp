#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "output/output.h"
#include "outputTestFiles.h"

using namespace korvane;
using namespace korvane::outputtest;

namespace {

const std::string GAAC_BLOCK =
    "    4  ENERGY = -1.2  t1\n"
    "    1 G       0    2    4    1\n"
    "    2 A       1    3    0    2\n"
    "    3 A       2    4    0    3\n"
    "    4 C       3    0    1    4\n";

structure readBack(const std::string& path) {
    structure record(STRUCTURE_SLOTS);
    readCtFile(record, path);
    return record;
}

structure readFrom(const scratchFile& file, const std::string& text) {
    writeText(file.path(), text);
    return readBack(file.path());
}

void expectRefused(const structure& record) {
    EXPECT_EQ(record.nstructs, 0);
    EXPECT_EQ(record.nbases, 0);
    EXPECT_FALSE(record.seqAllocated);
}

// A block of two bases paired to each other when paired is true.
std::string twoBaseBlock(int number, bool paired) {
    const std::string partner1 = paired ? "2" : "0";
    const std::string partner2 = paired ? "1" : "0";
    return "    2  block" + std::to_string(number) + "\n    1 G       0    2    " + partner1 +
           "    1\n    2 C       1    0    " + partner2 + "    2\n";
}

}  // namespace

TEST(ctReaderReads, roundTripWithTheWriter) {
    scratchFile file("round.ct");
    structure written = recordOf("GAAC", "t1");
    addPair(written, 1, 1, 4);
    written.energy[1] = -12;
    ctoutWithNum(written, file.path(), false, 1, 1);
    EXPECT_EQ(readText(file.path()), GAAC_BLOCK);

    const structure record = readBack(file.path());
    EXPECT_EQ(record.nbases, 4);
    EXPECT_EQ(record.nstructs, 1);
    EXPECT_EQ(record.label[1], "  ENERGY = -1.2  t1");
    EXPECT_EQ(record.energy[1], 0);  // energies are not read back
    EXPECT_EQ(record.seqchars.substr(1, 4), "GAAC");
    const int codes[] = {3, 1, 1, 2};
    const int partners[] = {4, 0, 0, 1};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(record.seqcode[i], codes[i - 1]) << i;
        EXPECT_EQ(record.partner(1, i), partners[i - 1]) << i;
        EXPECT_EQ(record.histnum[i], i) << i;
    }
    EXPECT_FALSE(record.intermolecular);
}

TEST(ctReaderReads, appendedBlocksAndSixWideColumns) {
    scratchFile file("wide.ct");
    structure written = recordOf(std::string(10'000, 'A'), "long");
    addPair(written, 1, 1, 10'000);
    ctoutWithNum(written, file.path(), false, 1, 1);
    addPair(written, 1, 20, 9'000);
    ctoutWithNum(written, file.path(), true, 1, 1);

    const structure record = readBack(file.path());
    EXPECT_EQ(record.nbases, 10'000);
    EXPECT_EQ(record.nstructs, 2);
    EXPECT_EQ(record.partner(1, 10'000), 1);
    EXPECT_EQ(record.partner(1, 20), 0);
    EXPECT_EQ(record.partner(2, 20), 9'000);
    EXPECT_EQ(record.partner(2, 1), 10'000);
    EXPECT_EQ(record.histnum[10'000], 10'000);
    EXPECT_EQ(record.label[2], "  long");
}

TEST(ctReaderReads, leadingCommentLinesOnly) {
    scratchFile file("comments.ct");
    structure record = readFrom(file, "# made by hand\n#\n# third\n" + GAAC_BLOCK);
    EXPECT_EQ(record.nstructs, 1);
    EXPECT_EQ(record.partner(1, 1), 4);

    // After the first header a "#" line is no comment: it ends the read.
    record = readFrom(file, GAAC_BLOCK + "# not a comment\n" + GAAC_BLOCK);
    EXPECT_EQ(record.nstructs, 1);
}

TEST(ctReaderReads, letterCodesAndLinkers) {
    scratchFile file("letters.ct");
    std::string text = "    9  t\n";
    const std::string letters = "TiIgXIaII";
    for (int i = 1; i <= 9; ++i) {
        text += std::to_string(i) + ' ' + letters[i - 1] + " 0 0 0 " + std::to_string(i) + '\n';
    }
    const structure record = readFrom(file, text);
    ASSERT_EQ(record.nstructs, 1);
    EXPECT_EQ(record.seqchars.substr(1, 9), letters);
    const int codes[] = {4, 0, 5, 3, 0, 5, 1, 5, 5};
    for (int i = 1; i <= 9; ++i) EXPECT_EQ(record.seqcode[i], codes[i - 1]) << i;
    EXPECT_TRUE(record.intermolecular);
    EXPECT_EQ(record.linker, (std::vector<int>{3, 6, 8, 9}));
}

TEST(ctReaderReads, longTitlesAndLetterTokensAreCut) {
    scratchFile file("long.ct");
    const std::string title(700, 'x');
    const structure record = readFrom(file, "1" + title + "\r\n1 Gxyzw 0 0 0 1\n");
    ASSERT_EQ(record.nstructs, 1);
    EXPECT_EQ(record.label[1], std::string(548, 'x'));
    EXPECT_EQ(record.seqchars[1], 'G');
    EXPECT_EQ(record.seqcode[1], 3);

    const structure crlf = readFrom(file, "1  t1\r\n1 A 0 0 0 1\r\n");
    EXPECT_EQ(crlf.label[1], "  t1");
}

TEST(ctReaderReads, partnersOutsideTheSequenceReadAsUnpaired) {
    scratchFile file("partners.ct");
    const structure record = readFrom(file, "3 t\n1 A 0 2 3 1\n2 A 1 3 9 2\n3 A 2 0 -1 3\n");
    ASSERT_EQ(record.nstructs, 1);
    EXPECT_EQ(record.partner(1, 1), 3);
    EXPECT_EQ(record.partner(1, 2), 0);
    EXPECT_EQ(record.partner(1, 3), 0);
}

TEST(ctReaderReads, moreThanAThousandBlocksKeepEveryBlock) {
    scratchFile file("many.ct");
    constexpr int blocks = 4'500;  // past the first growth and past the record's 4,000 kept
    std::string text;
    for (int b = 1; b <= blocks; ++b) text += twoBaseBlock(b, b % 2 == 0);
    const structure record = readFrom(file, text);
    ASSERT_EQ(record.nstructs, blocks);
    EXPECT_GT(record.capacity, blocks);
    for (int b : {1, 1000, 1001, 1002, 2002, 4001, 4002, blocks}) {
        EXPECT_EQ(record.label[b], "  block" + std::to_string(b)) << b;
        EXPECT_EQ(record.partner(b, 1), b % 2 == 0 ? 2 : 0) << b;
    }
}

TEST(ctReaderStops, blocksOfAnotherLengthOrIncompleteBlocks) {
    scratchFile file("stops.ct");
    structure record = readFrom(file, GAAC_BLOCK + twoBaseBlock(2, true));
    EXPECT_EQ(record.nstructs, 1);
    EXPECT_EQ(record.nbases, 4);

    record = readFrom(file, GAAC_BLOCK + GAAC_BLOCK.substr(0, 80));
    EXPECT_EQ(record.nstructs, 1);
    EXPECT_TRUE(record.label[2].empty());

    record = readFrom(file, "2 t\n1 G 0 2 x 1\n2 C 1 0 1 2\n");
    EXPECT_EQ(record.nstructs, 0);
}

TEST(ctReaderRejects, lengthOnlyFiles) {
    scratchFile file("length.ct");
    EXPECT_EQ(readFrom(file, "   12").nstructs, 0);
    EXPECT_EQ(readFrom(file, "   12\n").nstructs, 0);
}

TEST(ctReaderRejects, noPositiveLengthLeavesTheRecordEmpty) {
    scratchFile file("bad.ct");
    for (const std::string text : {"", "\n\n", "# only a comment\n", "abc 1 A 0 0 0 1\n", "0  t\n",
                                   "-3  t\n1 A 0 0 0 1\n", "99999999999 t\n"}) {
        expectRefused(readFrom(file, text));
    }
}

TEST(ctReaderRejects, lengthTheFileCannotBack) {
    scratchFile file("absurd.ct");
    expectRefused(readFrom(file, "2000000000  huge\n    1 G       0    2    0    1\n"));
    // The shortest complete block is still accepted.
    EXPECT_EQ(readFrom(file, "1\n1 A 0 0 0 1").nstructs, 1);
}

TEST(ctReaderFailures, unopenableFileEndsTheProgram) {
    const std::string path = "/nonexistent-korvane-folder/x.ct";
    EXPECT_EXIT(
        {
            std::freopen("/dev/null", "r", stdin);
            readBack(path);
        },
        testing::ExitedWithCode(1), "Error opening ct file /nonexistent-korvane-folder/x.ct");
}

TEST(ctReaderFailures, tryReadReportsUnreadablePathsAndReadsTheRest) {
    structure record(STRUCTURE_SLOTS);
    EXPECT_FALSE(tryReadCtFile(record, "/nonexistent-korvane-folder/x.ct"));
    EXPECT_FALSE(tryReadCtFile(record, std::filesystem::temp_directory_path().string()));
    expectRefused(record);

    scratchFile file("try.ct");
    writeText(file.path(), GAAC_BLOCK);
    ASSERT_TRUE(tryReadCtFile(record, file.path()));
    EXPECT_EQ(record.nstructs, 1);
    EXPECT_EQ(record.partner(1, 1), 4);
    // A readable file without a structure is read, and leaves the record empty.
    structure empty(STRUCTURE_SLOTS);
    writeText(file.path(), "no length here\n");
    EXPECT_TRUE(tryReadCtFile(empty, file.path()));
    expectRefused(empty);
}
