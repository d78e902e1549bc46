#include "rna/sequenceReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using korvane::structure;

class sequenceReaderTest : public ::testing::Test {
protected:
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("korvane_reader_" + std::to_string(::getpid()));
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string& content) {
        const auto path = dir / ("in" + std::to_string(counter++) + ".fasta");
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
    // Reads content into a fresh record; returns the letters read, or "FAIL".
    std::string read(const std::string& content) {
        rec = std::make_unique<structure>(korvane::STRUCTURE_SLOTS);
        if (!korvane::openseq(*rec, write(content))) return "FAIL";
        return rec->seqchars.substr(1, rec->nbases);
    }
    std::unique_ptr<structure> rec;
    int counter = 0;
};

TEST_F(sequenceReaderTest, readsFastaWithCodesCaseAndTitle) {
    EXPECT_EQ(read(">t1\nACGU\nacgu\n"), "ACGUacgu");
    EXPECT_EQ(rec->label[1], "t1");
    EXPECT_EQ(rec->nbases, 8);
    for (int p = 1; p <= 8; ++p) {
        EXPECT_EQ(rec->seqcode[p], (p - 1) % 4 + 1) << p;
        EXPECT_EQ(rec->histnum[p], p);
        EXPECT_EQ(rec->partner(1, p), 0);
    }
    ASSERT_EQ(rec->nlower, 4);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(rec->lowerpos[k], k + 4);
}

TEST_F(sequenceReaderTest, spacesIgnoredAndUnknownLettersKept) {
    EXPECT_EQ(read(">t1\nAC GT\nN x\n"), "ACGTNx");
    const int codes[] = {1, 2, 3, 4, 0, 0};
    for (int p = 1; p <= 6; ++p) EXPECT_EQ(rec->seqcode[p], codes[p - 1]);
    EXPECT_EQ(rec->nlower, 0);
}

TEST_F(sequenceReaderTest, headerVariantsAndLineEnds) {
    EXPECT_EQ(read("\xEF\xBB\xBF  \n#t1\r\n>more\r\nACGU\r\nGG\r\n"), "ACGUGG");
    EXPECT_EQ(rec->label[1], "t1");
    EXPECT_EQ(read(">t1\nACGU\n((..))\nGGG\n"), "ACGU");
    EXPECT_EQ(read(">t1\nACGU\n\n.(..)\n"), "ACGU");
}

TEST_F(sequenceReaderTest, lastLineWithoutLineEndIsRead) {
    EXPECT_EQ(read(">t1\nACGU\nGG"), "ACGUGG");
    EXPECT_EQ(read(">t1\nACGU"), "ACGU");
}

TEST_F(sequenceReaderTest, refusesWhatIsNotASequence) {
    const std::vector<std::string> bad = {">t1\nACGU\n>t2\nGGCC\n", ">t1\nAC-GU\n", ">t1\nAC\tGU\n", ">t1\nACnGU\n",
                            ">t1\nACIGU\n", ">t1\nAC1GU\n", ">t1\n(ACGU\n", "ACGU\n", "\n\n  \n", "",
                            ">t1\n", ">t1", ">t1\nAC\rGU\n", ">t1\nAC\xFFGU\n", "\xFF>t1\nACGU\n",
                            std::string(">t1\nAC\0GU\n", 10)};
    for (const auto& content : bad) {
        EXPECT_EQ(read(content), "FAIL") << content;
        EXPECT_EQ(rec->nbases, 0);
        EXPECT_FALSE(rec->seqAllocated);
    }
    rec = std::make_unique<structure>(korvane::STRUCTURE_SLOTS);
    EXPECT_FALSE(korvane::openseq(*rec, (dir / "missing.fasta").string()));
}

TEST_F(sequenceReaderTest, semicolonLayout) {
    EXPECT_EQ(read(";comment\n;more\nmy title\nACGU1GGG\n"), "ACGU");
    EXPECT_EQ(rec->label[1], "my title\n");
    EXPECT_EQ(read("  ;c\n\n\x01junk\nT\nAC\nGU\n1\n"), "ACGU");
    EXPECT_EQ(rec->label[1], "T\n");
    // A file that ends before its closing 1 ends the sequence there.
    EXPECT_EQ(read(";c\ntitle\nACGU\nGG"), "ACGUGG");
    EXPECT_EQ(read(";c\n;only comments\n"), "FAIL");
    EXPECT_EQ(read(";c\ntitle\nAC>GU1\n"), "FAIL");
}

TEST_F(sequenceReaderTest, longLinesAndTitles) {
    const std::string longTitle(700, 'w');
    const std::string bases(50000, 'G');
    EXPECT_EQ(read(">" + longTitle + "\n" + bases + "\n"), bases);
    EXPECT_EQ(rec->label[1], std::string(549, 'w'));
}

TEST_F(sequenceReaderTest, refusesSequencesBeyondTheMaximumLength) {
    std::string content = ">big\n";
    content += std::string(korvane::MAX_SEQUENCE_LENGTH, 'A');
    EXPECT_NE(read(content + "\n"), "FAIL");
    EXPECT_EQ(read(content + "C\n"), "FAIL");
}

TEST_F(sequenceReaderTest, manyLowerCaseLettersAreAllRecorded) {
    EXPECT_EQ(read(">t\n" + std::string(3500, 'a') + "\n").size(), 3500u);
    EXPECT_EQ(rec->nlower, 3500);
    EXPECT_EQ(rec->lowerpos[3500], 3500);
}

}  // namespace

namespace {

TEST_F(sequenceReaderTest, controlCharactersInTitlesBecomeBlanks) {
    // A CR inside the title would split a CT header for readers that end lines at CR.
    EXPECT_EQ(read(std::string(">a\rb\tc\x01") + '\0' + "d\x7F\nACGU\n"), "ACGU");
    EXPECT_EQ(rec->label[1], "a b c  d ");
    // The semicolon layout's title keeps the line end it brings.
    EXPECT_EQ(read(";c\ntitle\x02x\nACGU1\n"), "ACGU");
    EXPECT_EQ(rec->label[1], "title x\n");
}

}  // namespace
