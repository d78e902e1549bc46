#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "rna/recordReader.h"

namespace {

using korvane::recordReader;
using korvane::sequenceRecord;

std::vector<sequenceRecord> readAll(const std::string& text, std::size_t maxLength = 1000) {
    std::istringstream in(text);
    recordReader reader(in, maxLength);
    std::vector<sequenceRecord> records;
    sequenceRecord record;
    while (reader.next(record)) records.push_back(record);
    return records;
}

TEST(recordReader, readsRecordsLinesAndFaultsInOrder) {
    const auto records = readAll(
        "; a comment\n\n"
        ">one\tfirst\x01title\r\nAC GU\r\nac\r\n((..))\r\nGGGG\n"
        ">two\nACXZN\nACGU\n"
        ">\n"
        ">four\nAAAA");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].title, "one first title");
    EXPECT_EQ(records[0].letters, "ACGUac");  // the structure line and what follows it are not sequence
    EXPECT_EQ(records[0].fault, "");
    EXPECT_EQ(records[1].fault, "line 9, column 4: 'Z' is not a sequence letter");
    EXPECT_EQ(records[1].letters, "");
    EXPECT_EQ(records[2].number, 3);
    EXPECT_EQ(records[2].fault, "empty record: no sequence");
    EXPECT_EQ(records[3].letters, "AAAA");
}

TEST(recordReader, bareLinesAreRecordsAndLengthIsBounded) {
    const auto bare = readAll("ACGU\nGG\x80G\n\nUUUU\n");
    ASSERT_EQ(bare.size(), 3u);
    EXPECT_EQ(bare[0].title, "seq1");
    EXPECT_EQ(bare[1].fault, "line 2, column 3: byte 0x80 is not a sequence letter");
    EXPECT_EQ(bare[2].title, "seq3");
    EXPECT_EQ(bare[2].letters, "UUUU");

    const auto capped = readAll(">long\n" + std::string(30, 'A') + "\n" + std::string(30, 'C') + "\n>next\nGG\n", 50);
    ASSERT_EQ(capped.size(), 2u);
    EXPECT_EQ(capped[0].fault, "the sequence is longer than the maximum length (50 nt)");
    EXPECT_EQ(capped[0].letters, "");
    EXPECT_EQ(capped[1].letters, "GG");
    EXPECT_TRUE(readAll("").empty());
    EXPECT_TRUE(readAll("\n\n; only comments\n").empty());
}

}  // namespace
